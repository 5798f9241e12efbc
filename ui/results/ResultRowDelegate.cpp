#include "ui/results/ResultRowDelegate.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include "engine/records/Differences.h"
#include "ui/results/ResultPageModel.h"
#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::results {

namespace {

constexpr int symbolSize = 18;
constexpr int symbolGap = 9;
constexpr int lineGap = 2;
constexpr int inset = 4;
constexpr int focusRingWidth = 2;

widgets::Symbol symbolFor(records::DiffStatus status)
{
    switch (status) {
    case records::DiffStatus::changed:
        return widgets::Symbol::pencilCircle;
    case records::DiffStatus::onlyLeft:
        return widgets::Symbol::minusCircle;
    case records::DiffStatus::onlyRight:
        return widgets::Symbol::plusCircle;
    }
    return widgets::Symbol::pencilCircle;
}

QColor colorFor(records::DiffStatus status)
{
    switch (status) {
    case records::DiffStatus::changed:
        return widgets::orangeColor();
    case records::DiffStatus::onlyLeft:
        return widgets::redColor();
    case records::DiffStatus::onlyRight:
        return widgets::accentColor();
    }
    return widgets::orangeColor();
}

bool hasCaption(const QModelIndex& index)
{
    return !index.data(ResultPageModel::captionRole).toString().isEmpty();
}

}  // namespace

QSize ResultRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int keyLine = QFontMetrics(widgets::emphasizedFont(widgets::TextStyle::callout)).height();
    const int captionLine = QFontMetrics(widgets::styledFont(widgets::TextStyle::caption)).height();
    int height = 2 * padding + keyLine + lineGap + captionLine;
    if (hasCaption(index))
        height += lineGap + captionLine;
    return {option.rect.width(), height};
}

void ResultRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const bool isSelected = option.state.testFlag(QStyle::State_Selected);
    const QRect card = option.rect.adjusted(inset, 1, -inset, -1);
    if (isSelected) {
        QPainterPath path;
        path.addRoundedRect(card, 6, 6);
        painter->fillPath(path, widgets::accentColor());
    }
    // The keyboard's place: a ring inside the card, white on the filled card of the selection and
    // of the accent colour on any other, so it shows whether or not the record is selected.
    if (option.state.testFlag(QStyle::State_HasFocus)) {
        painter->setPen(QPen(isSelected ? QColor(Qt::white) : widgets::accentColor(), focusRingWidth));
        painter->setBrush(Qt::NoBrush);
        const qreal inside = focusRingWidth / 2.0 + (isSelected ? 1.5 : 0.0);
        painter->drawRoundedRect(QRectF(card).adjusted(inside, inside, -inside, -inside), 5, 5);
    }

    const QRect content = card.adjusted(padding, padding, -padding, -padding);
    const int status = index.data(ResultPageModel::statusRole).toInt();
    painter->drawPixmap(content.left(), content.top(), statusSymbol(status, isSelected, option));

    const QColor primary = isSelected ? QColor(Qt::white) : option.palette.color(QPalette::Text);
    const QColor secondary = isSelected ? QColor(255, 255, 255, 200) : widgets::secondaryColor(option.palette);
    QRect line = content.adjusted(symbolSize + symbolGap, 0, 0, 0);

    const QFont key = widgets::emphasizedFont(widgets::TextStyle::callout);
    painter->setFont(key);
    painter->setPen(primary);
    line.setHeight(QFontMetrics(key).height());
    const QString keyText = index.data(ResultPageModel::keyRole).toString();
    painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(key).elidedText(keyText, Qt::ElideRight, line.width()));

    const QFont caption = widgets::styledFont(widgets::TextStyle::caption);
    const QFontMetrics captionMetrics(caption);
    painter->setFont(caption);
    line.translate(0, line.height() + lineGap);
    line.setHeight(captionMetrics.height());
    painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                      captionMetrics.elidedText(index.data(ResultPageModel::statusTextRole).toString(), Qt::ElideMiddle,
                                                line.width()));
    if (hasCaption(index)) {
        painter->setPen(secondary);
        line.translate(0, line.height() + lineGap);
        painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                          captionMetrics.elidedText(index.data(ResultPageModel::captionRole).toString(), Qt::ElideRight,
                                                    line.width()));
    }
    painter->restore();
}

QPixmap ResultRowDelegate::statusSymbol(int status, bool isSelected, const QStyleOptionViewItem& option) const
{
    const int cacheKey = status * 2 + (isSelected ? 1 : 0);
    auto found = symbols_.constFind(cacheKey);
    if (found != symbols_.constEnd())
        return *found;
    const auto diffStatus = static_cast<records::DiffStatus>(status);
    const qreal ratio = option.widget ? option.widget->devicePixelRatioF() : 1.0;
    const QPixmap pixmap = widgets::symbolPixmap(symbolFor(diffStatus), symbolSize,
                                                 isSelected ? QColor(Qt::white) : colorFor(diffStatus), ratio);
    symbols_.insert(cacheKey, pixmap);
    return pixmap;
}

}  // namespace rowlark::ui::results
