#include "ui/results/ColumnChangesPanel.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "ui/results/ColumnChangesModel.h"
#include "ui/results/FormatOnlyBox.h"
#include "ui/results/ResultTexts.h"
#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::results {

namespace {

constexpr int panelWidth = 240;
constexpr int inset = 4;
constexpr int padding = 7;
constexpr int lineGap = 5;
constexpr int barHeight = 6;
constexpr int shareGap = 8;

// One column: its header and count on the first line, under them a bar as long as its share of the
// changed records, and the share in percent.
class ColumnChangeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        const int firstLine = QFontMetrics(widgets::styledFont(widgets::TextStyle::callout)).height();
        const int secondLine =
            std::max(barHeight, QFontMetrics(widgets::styledFont(widgets::TextStyle::caption)).height());
        return {option.rect.width(), 2 * padding + firstLine + lineGap + secondLine + 2};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const bool isChosen = index.data(ColumnChangesModel::isChosenRole).toBool();
        const QRect card = option.rect.adjusted(inset, 1, -inset, -1);
        const QColor text = option.palette.color(QPalette::Text);
        if (isChosen) {
            QPainterPath path;
            path.addRoundedRect(card, 6, 6);
            painter->fillPath(path, widgets::accentColor());
        } else if (option.state.testFlag(QStyle::State_MouseOver)) {
            QPainterPath path;
            path.addRoundedRect(card, 6, 6);
            QColor hover = text;
            hover.setAlphaF(0.06);
            painter->fillPath(path, hover);
        }
        if (option.state.testFlag(QStyle::State_HasFocus) && !isChosen) {
            painter->setPen(QPen(widgets::accentColor(), 1));
            painter->drawRoundedRect(QRectF(card).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        }

        const QColor primary = isChosen ? QColor(Qt::white) : text;
        QColor secondary = isChosen ? QColor(Qt::white) : text;
        secondary.setAlphaF(isChosen ? 0.85 : 0.6);
        const QRect content = card.adjusted(padding, padding, -padding, -padding);

        const QFont headerFont = widgets::styledFont(widgets::TextStyle::callout);
        const QFont count = widgets::emphasizedFont(widgets::TextStyle::callout);
        const QString countText = groupedNumber(index.data(ColumnChangesModel::countRole).toLongLong());
        QRect line(content.topLeft(), QSize(content.width(), QFontMetrics(headerFont).height()));
        const int countWidth = QFontMetrics(count).horizontalAdvance(countText);
        painter->setFont(count);
        painter->setPen(primary);
        painter->drawText(line, Qt::AlignRight | Qt::AlignVCenter, countText);
        painter->setFont(headerFont);
        const QRect headerLine = line.adjusted(0, 0, -(countWidth + shareGap), 0);
        painter->drawText(
            headerLine, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(headerFont)
                .elidedText(index.data(ColumnChangesModel::headerRole).toString(), Qt::ElideRight, headerLine.width()));

        const QFont caption = widgets::styledFont(widgets::TextStyle::caption);
        const QFontMetrics captionMetrics(caption);
        line.translate(0, line.height() + lineGap);
        line.setHeight(std::max(barHeight, captionMetrics.height()));
        const QString share = index.data(ColumnChangesModel::shareTextRole).toString();
        const int shareWidth = captionMetrics.horizontalAdvance(QStringLiteral(">99%"));
        painter->setFont(caption);
        painter->setPen(secondary);
        painter->drawText(line, Qt::AlignRight | Qt::AlignVCenter, share);

        const QRectF track(line.left(), line.center().y() - barHeight / 2.0 + 1, line.width() - shareWidth - shareGap,
                           barHeight);
        QColor trackColor = isChosen ? QColor(Qt::white) : text;
        trackColor.setAlphaF(isChosen ? 0.3 : 0.1);
        painter->setPen(Qt::NoPen);
        painter->setBrush(trackColor);
        painter->drawRoundedRect(track, barHeight / 2.0, barHeight / 2.0);
        const double fraction = std::clamp(index.data(ColumnChangesModel::shareRole).toDouble(), 0.0, 1.0);
        QRectF fill = track;
        fill.setWidth(std::max<qreal>(barHeight, track.width() * fraction));
        painter->setBrush(isChosen ? QColor(Qt::white) : widgets::orangeColor());
        painter->drawRoundedRect(fill, barHeight / 2.0, barHeight / 2.0);
        painter->restore();
    }
};

}  // namespace

ColumnChangesPanel::ColumnChangesPanel(model::ComparisonModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    setObjectName(QStringLiteral("columnChangesPanel"));
    setFixedWidth(panelWidth);
    auto* title = widgets::styledLabel(tr("Changes by column"), widgets::TextStyle::headline, false, this);
    subtitle_ = widgets::styledLabel(QString(), widgets::TextStyle::caption, true, this);
    subtitle_->setObjectName(QStringLiteral("columnChangesSubtitle"));
    subtitle_->setWordWrap(true);

    columns_ = new ColumnChangesModel(this);
    list_ = new QListView(this);
    list_->setObjectName(QStringLiteral("columnChangesList"));
    list_->setAccessibleName(tr("Changes by column"));
    list_->setModel(columns_);
    list_->setItemDelegate(new ColumnChangeDelegate(list_));
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setUniformItemSizes(true);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setMouseTracking(true);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->viewport()->setAutoFillBackground(false);
    list_->installEventFilter(this);
    connect(list_, &QListView::clicked, this, &ColumnChangesPanel::choose);

    auto* column = new QVBoxLayout;
    column->setContentsMargins(12, 12, 8, 6);
    column->setSpacing(2);
    column->addWidget(title);
    column->addWidget(subtitle_);
    column->addWidget(new FormatOnlyBox(model_, this));
    column->addSpacing(6);
    column->addWidget(list_, 1);
    // The divider is the panel's own, so it goes when the panel hides.
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addLayout(column, 1);
    row->addWidget(widgets::verticalDivider(this));

    connect(&model_, &model::ComparisonModel::resultChanged, this, &ColumnChangesPanel::followResult);
    connect(&model_, &model::ComparisonModel::filterChanged, this, &ColumnChangesPanel::followFilter);
    followResult();
}

bool ColumnChangesPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            choose(list_->currentIndex());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ColumnChangesPanel::followResult()
{
    const std::shared_ptr<const records::ComparisonSummary>& summary = model_.summary();
    const rowlark::results::ResultIndex* index = model_.index().get();
    const auto changed =
        index ? static_cast<qint64>(index->positions(records::ResultFilter::changed).size()) : qint64{0};
    columns_->setSummary(summary, changed);
    columns_->setChosenColumn(model_.changedColumn());
    subtitle_->setText(tr("Share of %Ln changed record(s)", nullptr, static_cast<int>(changed)));
    setVisible(columns_->rowCount() > 0);
}

void ColumnChangesPanel::followFilter()
{
    columns_->setChosenColumn(model_.changedColumn());
    if (const auto chosen = model_.changedColumn())
        if (const std::optional<int> row = columns_->rowOf(*chosen))
            list_->scrollTo(columns_->index(*row));
}

void ColumnChangesPanel::choose(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const std::size_t column = columns_->column(index.row());
    model_.setChangedColumn(model_.changedColumn() == column ? std::nullopt : std::optional(column));
}

}  // namespace rowlark::ui::results
