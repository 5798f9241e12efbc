#include "ui/widgets/SuggestionChip.h"

#include <algorithm>

#include <QPainter>
#include <QPainterPath>

#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::widgets {

namespace {

constexpr int horizontalPadding = 9;
constexpr int verticalPadding = 5;
constexpr int checkSize = 10;
constexpr int gap = 5;

QFont chipFont()
{
    QFont font = styledFont(TextStyle::caption);
    font.setWeight(QFont::Medium);
    return font;
}

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(color.alphaF() * alpha);
    return color;
}

}  // namespace

SuggestionChip::SuggestionChip(QWidget* parent)
    : QAbstractButton(parent)
{
    setObjectName(QStringLiteral("suggestionChip"));
    setFont(chipFont());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

void SuggestionChip::setSuggestion(const QString& header, const QString& strength, bool isSelected)
{
    if (header == text() && strength == strength_ && isSelected == isSelected_)
        return;
    setText(header);
    strength_ = strength;
    isSelected_ = isSelected;
    setAccessibleName(QStringLiteral("%1, %2").arg(header, strength));
    updateGeometry();
    update();
}

int SuggestionChip::fixedPartsWidth() const
{
    const int check = isSelected_ ? checkSize + gap : 0;
    return 2 * horizontalPadding + check + gap + fontMetrics().horizontalAdvance(strength_);
}

QSize SuggestionChip::sizeHint() const
{
    return {fixedPartsWidth() + fontMetrics().horizontalAdvance(text()), fontMetrics().height() + 2 * verticalPadding};
}

QSize SuggestionChip::minimumSizeHint() const
{
    const int shortest = fixedPartsWidth() + fontMetrics().horizontalAdvance(QStringLiteral("M…M"));
    return {std::min(shortest, sizeHint().width()), sizeHint().height()};
}

// Eliding compares fractional advances, which can exceed the rounded width the chip was sized for.
QString SuggestionChip::shownHeader(int width) const
{
    const QString header = text();
    return fontMetrics().horizontalAdvance(header) <= width ? header
                                                            : fontMetrics().elidedText(header, Qt::ElideMiddle, width);
}

void SuggestionChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = QRectF(rect()).adjusted(1, 1, -1, -1);
    const QColor text = palette().color(QPalette::WindowText);
    QColor fill = isSelected_ ? accentColor() : withAlpha(text, isDown() ? 0.12 : underMouse() ? 0.08 : 0.055);
    if (!isEnabled())
        fill = withAlpha(fill, 0.5);
    painter.setPen(hasFocus() ? QPen(isSelected_ ? accentColor().darker(140) : accentColor(), 2) : Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);

    QRect area = rect().adjusted(horizontalPadding, 0, -horizontalPadding, 0);
    if (isSelected_) {
        const QPixmap check = symbolPixmap(Symbol::checkmark, checkSize, Qt::white, devicePixelRatioF());
        painter.drawPixmap(area.left(), (height() - checkSize) / 2, check);
        area.setLeft(area.left() + checkSize + gap);
    }
    const int strengthWidth = fontMetrics().horizontalAdvance(strength_);
    const QRect strengthArea(area.right() - strengthWidth + 1, area.top(), strengthWidth, area.height());
    area.setRight(strengthArea.left() - gap - 1);

    painter.setPen(isSelected_ ? QColor(Qt::white) : text);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shownHeader(area.width()));
    painter.setPen(isSelected_ ? withAlpha(Qt::white, 0.9) : secondaryColor(palette()));
    painter.drawText(strengthArea, Qt::AlignLeft | Qt::AlignVCenter, strength_);
}

}  // namespace rowlark::ui::widgets
