#include "results/InspectorFieldList.h"

#include <algorithm>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLine>

#include "results/FieldListAccessibility.h"
#include "widgets/Styling.h"
#include "widgets/Symbols.h"

namespace rowlark::ui {

namespace {

constexpr int margin = 16;
constexpr int padding = 16;
constexpr int columnGap = 16;
constexpr int captionSpacing = 6;
constexpr int headingPadding = 10;
constexpr int pencilSize = 12;

QFont valueFont()
{
    return styledFont(TextStyle::callout);
}

QFont captionFont()
{
    QFont font = styledFont(TextStyle::caption);
    font.setWeight(QFont::DemiBold);
    return font;
}

QFont smallCaptionFont()
{
    QFont font = styledFont(TextStyle::caption);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.9);
    else
        font.setPixelSize(qRound(font.pixelSize() * 0.9));
    return font;
}

QFont headingFont()
{
    return styledFont(TextStyle::headline);
}

const QString notCompared = QStringLiteral("Not compared");

// QTextLayout breaks lines only at U+2028 and would draw a carriage return as a box. Swapping one
// character for one keeps every position in place, so a selection maps straight back onto the value
// as read.
QString layoutText(const QString& value)
{
    QString text = value;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    text.replace(QLatin1Char('\r'), QChar(0x200B));
    return text;
}

int headingHeight()
{
    return QFontMetrics(headingFont()).height() + 2 * headingPadding + 1;
}

}  // namespace

struct InspectorFieldList::Placed {
    int top = 0;
    int height = 0;
    std::unique_ptr<QTextLayout> values[2];

    QTextLayout& value(bool leftSide) const { return *values[leftSide ? 0 : 1]; }
};

InspectorFieldList::InspectorFieldList(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    // Before anything announces a change: the first query fixes the object's interface for good.
    installFieldListAccessibility();
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    setAccessibleName(QStringLiteral("Fields"));
}

InspectorFieldList::~InspectorFieldList() = default;

void InspectorFieldList::setEntries(const QString& leftName, const QString& rightName, std::vector<FieldEntry> entries)
{
    leftHeading_ = leftName;
    rightHeading_ = rightName;
    if (auto* accessible = dynamic_cast<FieldListAccessible*>(QAccessible::queryAccessibleInterface(this)))
        accessible->reset();
    entries_ = std::move(entries);
    selection_.reset();
    isDragging_ = false;
    laidOutWidth_.reset();
    if (isVisible())
        ensureLaidOut();
    viewport()->update();
    QAccessibleEvent reordered(this, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&reordered);
}

// Laying out thousands of values is the dear part, so it waits until the list has its real width.
void InspectorFieldList::ensureLaidOut()
{
    if (laidOutWidth_ != viewport()->width())
        relayout();
}

int InspectorFieldList::columnLeft(bool leftSide) const
{
    return leftSide ? margin : margin + columnWidth_ + columnGap;
}

void InspectorFieldList::relayout()
{
    columnWidth_ = std::max(40, (viewport()->width() - 2 * margin - columnGap) / 2);
    placed_.resize(entries_.size());
    int top = headingHeight();
    for (std::size_t entry = 0; entry < entries_.size(); ++entry) {
        layOutEntry(entry, top);
        top += placed_[entry].height;
    }
    contentHeight_ = top;
    laidOutWidth_ = viewport()->width();
    verticalScrollBar()->setRange(0, std::max(0, contentHeight_ - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(QFontMetrics(valueFont()).lineSpacing());
}

void InspectorFieldList::layOutEntry(std::size_t entry, int top)
{
    Placed& placed = placed_[entry];
    placed.top = top;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    const QFont font = valueFont();
    int tallest = 0;
    for (const bool leftSide : {true, false}) {
        const FieldSide& side = leftSide ? entries_[entry].left : entries_[entry].right;
        auto layout = std::make_unique<QTextLayout>(layoutText(side.value), font);
        layout->setTextOption(option);
        layout->setCacheEnabled(true);
        qreal height = 0;
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(columnWidth_);
            line.setPosition(QPointF(0, height));
            height += line.height();
        }
        layout->endLayout();
        tallest = std::max(tallest, qCeil(height));
        placed.values[leftSide ? 0 : 1] = std::move(layout);
    }
    placed.height = 2 * padding + QFontMetrics(captionFont()).height() + captionSpacing + tallest + 1;
}

void InspectorFieldList::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (isVisible())
        ensureLaidOut();
}

void InspectorFieldList::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    ensureLaidOut();
}

void InspectorFieldList::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        laidOutWidth_.reset();
}

std::size_t InspectorFieldList::entryAtY(int contentY) const
{
    auto after = std::upper_bound(placed_.begin(), placed_.end(), contentY,
                                  [](int y, const Placed& placed) { return y < placed.top; });
    return after == placed_.begin() ? 0 : static_cast<std::size_t>(after - placed_.begin() - 1);
}

bool InspectorFieldList::isLaidOut() const
{
    return !placed_.empty() && placed_.size() == entries_.size();
}

QRect InspectorFieldList::entryRect(std::size_t entry) const
{
    if (!isLaidOut() || entry >= placed_.size())
        return {};
    return QRect(0, placed_[entry].top - verticalScrollBar()->value(), viewport()->width(), placed_[entry].height);
}

std::optional<std::size_t> InspectorFieldList::entryAt(const QPoint& viewportPoint) const
{
    const int y = viewportPoint.y() + verticalScrollBar()->value();
    if (!isLaidOut() || y < placed_.front().top || y >= contentHeight_)
        return std::nullopt;
    return entryAtY(y);
}

void InspectorFieldList::paintEvent(QPaintEvent*)
{
    ensureLaidOut();
    QPainter painter(viewport());
    const int offset = verticalScrollBar()->value();
    painter.translate(0, -offset);
    paintHeading(painter);
    if (placed_.empty())
        return;
    const int bottom = offset + viewport()->height();
    for (std::size_t entry = entryAtY(offset); entry < placed_.size() && placed_[entry].top < bottom; ++entry)
        paintEntry(painter, entry);
}

void InspectorFieldList::paintHeading(QPainter& painter) const
{
    const QFont font = headingFont();
    const QFontMetrics metrics(font);
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::Text));
    for (const bool leftSide : {true, false}) {
        const QRect line(columnLeft(leftSide), headingPadding, columnWidth_, metrics.height());
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(leftSide ? leftHeading_ : rightHeading_, Qt::ElideMiddle, line.width()));
    }
    QColor divider = palette().color(QPalette::Text);
    divider.setAlphaF(0.15);
    painter.fillRect(QRect(0, headingHeight() - 1, viewport()->width(), 1), divider);
}

void InspectorFieldList::paintEntry(QPainter& painter, std::size_t entry) const
{
    const Placed& placed = placed_[entry];
    const QRect area(0, placed.top, viewport()->width(), placed.height);
    if (entries_[entry].isChanged) {
        QColor tint = orangeColor();
        tint.setAlphaF(0.07);
        painter.fillRect(area.adjusted(0, 0, 0, -1), tint);
    }
    QColor divider = palette().color(QPalette::Text);
    divider.setAlphaF(0.15);
    painter.fillRect(QRect(area.left(), area.bottom(), area.width(), 1), divider);

    const int captionHeight = QFontMetrics(captionFont()).height();
    for (const bool leftSide : {true, false}) {
        const FieldSide& side = leftSide ? entries_[entry].left : entries_[entry].right;
        paintCaption(painter, side, QRect(columnLeft(leftSide), placed.top + padding, columnWidth_, captionHeight));
        paintValue(painter, entry, leftSide);
    }
}

void InspectorFieldList::paintCaption(QPainter& painter, const FieldSide& side, const QRect& line) const
{
    const QColor secondary = secondaryColor(palette());
    int trailing = 0;
    const QFont small = smallCaptionFont();
    const int notComparedWidth = QFontMetrics(small).horizontalAdvance(notCompared);
    if (side.isChanged)
        trailing += pencilSize + 6;
    if (side.isNotCompared)
        trailing += notComparedWidth + 6;

    const QFont font = captionFont();
    const QFontMetrics metrics(font);
    const QString header = metrics.elidedText(side.caption, Qt::ElideMiddle, std::max(0, line.width() - trailing));
    painter.setFont(font);
    painter.setPen(secondary);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, header);
    int x = line.left() + metrics.horizontalAdvance(header) + 6;
    if (side.isChanged) {
        const QPixmap pencil = symbolPixmap(Symbol::pencil, pencilSize, orangeColor(), devicePixelRatioF());
        painter.drawPixmap(x, line.center().y() - pencilSize / 2 + 1, pencil);
        x += pencilSize + 6;
    }
    if (side.isNotCompared) {
        painter.setFont(small);
        painter.drawText(QRect(x, line.top(), notComparedWidth + 1, line.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         notCompared);
    }
}

void InspectorFieldList::paintValue(QPainter& painter, std::size_t entry, bool leftSide) const
{
    const FieldSide& side = leftSide ? entries_[entry].left : entries_[entry].right;
    const Placed& placed = placed_[entry];
    const QPointF origin(columnLeft(leftSide),
                         placed.top + padding + QFontMetrics(captionFont()).height() + captionSpacing);
    QList<QTextLayout::FormatRange> selections;
    if (selection_ && selection_->entry == entry && selection_->leftSide == leftSide &&
        selection_->anchor != selection_->cursor) {
        QTextLayout::FormatRange range;
        range.start = std::min(selection_->anchor, selection_->cursor);
        range.length = std::abs(selection_->cursor - selection_->anchor);
        range.format.setBackground(palette().brush(QPalette::Highlight));
        range.format.setForeground(palette().brush(QPalette::HighlightedText));
        selections << range;
    }
    painter.setPen(side.isValueMissing ? secondaryColor(palette()) : palette().color(QPalette::Text));
    placed.value(leftSide).draw(&painter, origin, selections);
}

std::optional<InspectorFieldList::Hit> InspectorFieldList::hitTest(const QPoint& viewportPoint, bool clampToValue) const
{
    if (!isLaidOut())
        return std::nullopt;
    const int y = viewportPoint.y() + verticalScrollBar()->value();
    const std::size_t entry = clampToValue && selection_ ? selection_->entry : entryAtY(y);
    const bool leftSide =
        clampToValue && selection_ ? selection_->leftSide : viewportPoint.x() < columnLeft(false) - columnGap / 2;
    const Placed& placed = placed_[entry];
    const QTextLayout& layout = placed.value(leftSide);
    const QPointF origin(columnLeft(leftSide),
                         placed.top + padding + QFontMetrics(captionFont()).height() + captionSpacing);
    const QPointF local = QPointF(viewportPoint.x(), y) - origin;
    const QRectF bounds = layout.boundingRect();
    const FieldSide& side = leftSide ? entries_[entry].left : entries_[entry].right;
    if (!clampToValue && side.isValueMissing)
        return std::nullopt;
    if (!clampToValue && (local.y() < 0 || local.y() > bounds.height() || local.x() < 0 || local.x() > columnWidth_))
        return std::nullopt;
    if (layout.lineCount() == 0)
        return Hit{entry, leftSide, 0};
    if (local.y() < 0)
        return Hit{entry, leftSide, 0};
    if (local.y() >= bounds.height())
        return Hit{entry, leftSide, static_cast<int>(layout.text().size())};
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        if (local.y() < line.y() + line.height())
            return Hit{entry, leftSide, line.xToCursor(local.x())};
    }
    return Hit{entry, leftSide, static_cast<int>(layout.text().size())};
}

void InspectorFieldList::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const std::optional<Hit> hit = hitTest(event->position().toPoint(), false);
    selection_.reset();
    if (hit)
        selection_ = Selection{hit->entry, hit->leftSide, hit->position, hit->position};
    isDragging_ = hit.has_value();
    viewport()->update();
}

void InspectorFieldList::mouseMoveEvent(QMouseEvent* event)
{
    if (!isDragging_ || !selection_)
        return;
    // Dragging past an edge scrolls the rest of a long value into view.
    const int y = qRound(event->position().y());
    if (y < 0)
        verticalScrollBar()->setValue(verticalScrollBar()->value() + y);
    else if (y > viewport()->height())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + y - viewport()->height());
    if (const std::optional<Hit> hit = hitTest(event->position().toPoint(), true)) {
        selection_->cursor = hit->position;
        viewport()->update();
    }
}

void InspectorFieldList::mouseReleaseEvent(QMouseEvent* event)
{
    isDragging_ = false;
    if (event->button() == Qt::LeftButton && !selectedText().isEmpty()) {
        QClipboard* clipboard = QApplication::clipboard();
        if (clipboard->supportsSelection())
            clipboard->setText(selectedText(), QClipboard::Selection);
    }
}

void InspectorFieldList::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (const std::optional<Hit> hit = hitTest(event->position().toPoint(), false))
        selectValue(hit->entry, hit->leftSide);
}

void InspectorFieldList::selectValue(std::size_t entry, bool leftSide)
{
    if (entry >= entries_.size())
        return;
    const FieldSide& side = leftSide ? entries_[entry].left : entries_[entry].right;
    selection_ = Selection{entry, leftSide, 0, static_cast<int>(side.value.size())};
    viewport()->update();
}

const QString& InspectorFieldList::valueOf(const Selection& selection) const
{
    const FieldEntry& entry = entries_[selection.entry];
    return selection.leftSide ? entry.left.value : entry.right.value;
}

QString InspectorFieldList::selectedText() const
{
    if (!selection_ || selection_->entry >= entries_.size())
        return {};
    const int start = std::min(selection_->anchor, selection_->cursor);
    return valueOf(*selection_).mid(start, std::abs(selection_->cursor - selection_->anchor));
}

void InspectorFieldList::copySelection() const
{
    const QString text = selectedText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void InspectorFieldList::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        return;
    }
    if (event->matches(QKeySequence::SelectAll) && selection_) {
        selectValue(selection_->entry, selection_->leftSide);
        return;
    }
    if (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) {
        verticalScrollBar()->triggerAction(event->key() == Qt::Key_Home ? QAbstractSlider::SliderToMinimum
                                                                        : QAbstractSlider::SliderToMaximum);
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void InspectorFieldList::contextMenuEvent(QContextMenuEvent* event)
{
    const std::optional<Hit> hit = hitTest(event->pos(), false);
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("Copy"), this, &InspectorFieldList::copySelection);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(!selectedText().isEmpty());
    if (hit) {
        menu.addAction(QStringLiteral("Copy Value"), this, [this, hit] {
            selectValue(hit->entry, hit->leftSide);
            copySelection();
        });
    }
    menu.exec(event->globalPos());
}

}  // namespace rowlark::ui
