#include "ui/results/InspectorFieldList.h"

#include <algorithm>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextLine>

#include "engine/text/TextDifference.h"
#include "engine/text/Unicode.h"
#include "model/UTF8Text.h"
#include "ui/results/FieldListAccessibility.h"
#include "ui/results/ValueExcerpt.h"
#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::results {

namespace {

constexpr int margin = 16;
constexpr int padding = 16;
constexpr int columnGap = 16;
constexpr int captionSpacing = 6;
constexpr int headingPadding = 10;
constexpr int pencilSize = 12;
constexpr int focusInset = 4;
// Word wrapping rescans a word for every line it fills, so it takes time in the square of the longest
// word; text with a word longer than this wraps anywhere instead.
constexpr qsizetype longestWrappedWord = 200;
// How long one turn of laying out lines out of view may keep the interface busy.
constexpr qint64 idleLayoutMilliseconds = 8;

QFont valueFont()
{
    return widgets::styledFont(widgets::TextStyle::callout);
}

QFont smallCaptionFont()
{
    QFont font = widgets::styledFont(widgets::TextStyle::caption);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.9);
    else
        font.setPixelSize(qRound(font.pixelSize() * 0.9));
    return font;
}

QFont headingFont()
{
    return widgets::styledFont(widgets::TextStyle::headline);
}

QString notCompared()
{
    return InspectorFieldList::tr("Not compared");
}

// The note under a shortened value wraps rather than being cut.
QRect noteBounds(const FieldSide& side, int width)
{
    return QFontMetrics(smallCaptionFont())
        .boundingRect(QRect(0, 0, width, 1 << 20), Qt::TextWordWrap, InspectorFieldList::noteText(side));
}

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

bool hasLongWord(const QString& text)
{
    qsizetype word = 0;
    for (const QChar character : text) {
        word = character.isSpace() ? 0 : word + 1;
        if (word > longestWrappedWord)
            return true;
    }
    return false;
}

// Byte spans of a value as read, as ranges of the text shown: the value decoded to UTF-16 up to
// `shownLength` units. What lies past a shortened value's cut is left out.
QList<QTextLayout::FormatRange> shownRanges(std::string_view value, const std::vector<text::TextSpan>& spans,
                                            qsizetype shownLength)
{
    QList<QTextLayout::FormatRange> ranges;
    std::size_t byte = 0;
    qsizetype unit = 0;
    const auto advanceTo = [&](std::size_t target) {
        while (byte < target && unit < shownLength)
            unit += text::nextScalar(value, byte) > 0xFFFF ? 2 : 1;
    };
    for (const text::TextSpan& span : spans) {
        advanceTo(span.begin);
        if (unit >= shownLength)
            break;
        QTextLayout::FormatRange range;
        range.start = static_cast<int>(unit);
        advanceTo(span.end);
        range.length = static_cast<int>(std::min(unit, shownLength)) - range.start;
        ranges << range;
    }
    return ranges;
}

qsizetype shownLength(const FieldSide& side)
{
    return side.isShortened() ? side.value.size() - 1 : side.value.size();
}

// The UTF-8 bytes of the start of a value shown by its start.
std::size_t shownStartBytes(const FieldSide& side)
{
    return static_cast<std::size_t>(side.value.first(shownLength(side)).toUtf8().size());
}

// A tint, and an underline in the colour of the text itself: visible in any palette, high contrast
// included, and not told by colour alone.
QTextCharFormat editFormat(const QPalette& palette)
{
    QTextCharFormat format;
    QColor tint = widgets::orangeColor();
    tint.setAlphaF(0.3);
    format.setBackground(tint);
    format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    format.setUnderlineColor(palette.color(QPalette::Text));
    return format;
}

int headingHeight()
{
    return QFontMetrics(headingFont()).height() + 2 * headingPadding + 1;
}

}  // namespace

// Where an entry is drawn. Until its texts have been laid out once its height is an estimate; only the
// entries that have been in view keep their layouts.
struct InspectorFieldList::Placed {
    int top = 0;
    int height = 0;
    bool isMeasured = false;
    std::unique_ptr<QTextLayout> values[2];

    bool isLaidOut() const { return values[0] != nullptr; }
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
    setAccessibleName(tr("Fields"));
    idleLayout_.setSingleShot(true);
    idleLayout_.setInterval(0);
    connect(&idleLayout_, &QTimer::timeout, this, &InspectorFieldList::layOutWhileIdle);
}

InspectorFieldList::~InspectorFieldList() = default;

void InspectorFieldList::setEntries(const QString& leftName, const QString& rightName, std::vector<FieldEntry> entries)
{
    leftHeading_ = leftName;
    rightHeading_ = rightName;
    if (auto* accessible = dynamic_cast<FieldListAccessible*>(QAccessible::queryAccessibleInterface(this)))
        accessible->reset();
    idleLayout_.stop();
    placed_.clear();
    entries_ = std::move(entries);
    editMarks_.assign(entries_.size(), EditMarks{});
    selection_.reset();
    current_.reset();
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

const FieldSide& InspectorFieldList::sideOf(std::size_t entry, bool leftSide) const
{
    return leftSide ? entries_[entry].left : entries_[entry].right;
}

// Every entry gets an estimated height at once; the ones in view are laid out before they are painted
// and the rest while the interface is idle.
void InspectorFieldList::relayout()
{
    idleLayout_.stop();
    columnWidth_ = std::max(40, (viewport()->width() - 2 * margin - columnGap) / 2);
    placed_.clear();
    placed_.resize(entries_.size());
    const QFontMetrics metrics(valueFont());
    const int frame =
        2 * padding + QFontMetrics(widgets::emphasizedFont(widgets::TextStyle::caption)).height() + captionSpacing + 1;
    const int charactersPerLine = std::max(1, columnWidth_ / std::max(1, metrics.averageCharWidth()));
    for (std::size_t entry = 0; entry < entries_.size(); ++entry) {
        const qsizetype longest =
            std::min(std::max(entries_[entry].left.value.size(), entries_[entry].right.value.size()), shownValueLength);
        placed_[entry].height = frame + static_cast<int>(1 + longest / charactersPerLine) * metrics.lineSpacing();
    }
    laidOutWidth_ = viewport()->width();
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(metrics.lineSpacing());
    placeFrom(0);
    nextToLayOut_ = 0;
    if (!placed_.empty())
        idleLayout_.start();
}

void InspectorFieldList::placeFrom(std::size_t entry)
{
    int top = entry == 0 ? headingHeight() : placed_[entry - 1].top + placed_[entry - 1].height;
    for (std::size_t next = entry; next < placed_.size(); ++next) {
        placed_[next].top = top;
        top += placed_[next].height;
    }
    contentHeight_ = top;
    verticalScrollBar()->setRange(0, std::max(0, contentHeight_ - viewport()->height()));
}

void InspectorFieldList::layOutEntry(std::size_t entry)
{
    Placed& placed = placed_[entry];
    const QFont font = valueFont();
    int tallest = 0;
    for (const bool leftSide : {true, false}) {
        const FieldSide& shown = sideOf(entry, leftSide);
        auto layout = std::make_unique<QTextLayout>(layoutText(shown.value), font);
        QTextOption option;
        option.setWrapMode(hasLongWord(shown.value) ? QTextOption::WrapAnywhere
                                                    : QTextOption::WrapAtWordBoundaryOrAnywhere);
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
        const int noteHeight = shown.isShortened() ? captionSpacing + noteBounds(shown, columnWidth_).height() : 0;
        tallest = std::max(tallest, qCeil(height) + noteHeight);
        placed.values[leftSide ? 0 : 1] = std::move(layout);
    }
    placed.height = 2 * padding + QFontMetrics(widgets::emphasizedFont(widgets::TextStyle::caption)).height() +
                    captionSpacing + tallest + 1;
    placed.isMeasured = true;
}

void InspectorFieldList::layOutInView()
{
    const int top = verticalScrollBar()->value();
    const int bottom = top + viewport()->height();
    for (std::size_t entry = entryAtY(top); entry < placed_.size() && placed_[entry].top < bottom; ++entry)
        layOutIfNeeded(entry);
}

// Laying out an entry leaves its top in place and moves the ones after it.
void InspectorFieldList::layOutIfNeeded(std::size_t entry)
{
    findEdits(entry);
    if (placed_[entry].isLaidOut())
        return;
    const bool wasMeasured = placed_[entry].isMeasured;
    layOutEntry(entry);
    if (!wasMeasured)
        placeFrom(entry + 1);
}

// Only entries about to be drawn are compared: each comparison is bounded whatever the length of the
// values, but a record can have thousands of changed fields. A shortened value that differs past its
// start is shown around its differing parts instead, and its entry is laid out again.
void InspectorFieldList::findEdits(std::size_t entry)
{
    EditMarks& marks = editMarks_[entry];
    const std::optional<EditedValues>& edited = entries_[entry].edited;
    if (marks.isFound || !edited)
        return;
    const text::TextDifference difference = text::textDifference(edited->left, edited->right, edited->ignoreCase);
    bool isShownAnew = false;
    for (const bool leftSide : {true, false}) {
        FieldSide& side = leftSide ? entries_[entry].left : entries_[entry].right;
        const std::string_view value = leftSide ? edited->left : edited->right;
        const std::vector<text::TextSpan>& spans = leftSide ? difference.left : difference.right;
        QList<QTextLayout::FormatRange>& shown = marks.sides[leftSide ? 0 : 1];
        if (side.isShortened() && !spans.empty() && spans.back().end > shownStartBytes(side)) {
            ValueExcerpt excerpt = excerptAround(value, spans, shownValueLength);
            side.value = std::move(excerpt.text);
            side.isExcerpt = true;
            shown = std::move(excerpt.marks);
            isShownAnew = true;
        } else {
            shown = shownRanges(value, spans, shownLength(side));
        }
    }
    marks.isFound = true;
    if (isShownAnew && entry < placed_.size()) {
        placed_[entry].values[0].reset();
        placed_[entry].values[1].reset();
        placed_[entry].isMeasured = false;
    }
}

QList<QTextLayout::FormatRange> InspectorFieldList::editMarks(std::size_t entry, bool leftSide) const
{
    return entry < editMarks_.size() ? editMarks_[entry].sides[leftSide ? 0 : 1] : QList<QTextLayout::FormatRange>{};
}

void InspectorFieldList::layOutWhileIdle()
{
    if (placed_.empty())
        return;
    const int top = verticalScrollBar()->value();
    const std::size_t anchor = entryAtY(top);
    const int intoAnchor = top - placed_[anchor].top;
    QElapsedTimer clock;
    clock.start();
    // Only the height is kept: thousands of layouts would take memory, and time to free with the list.
    for (; nextToLayOut_ < placed_.size() && clock.elapsed() < idleLayoutMilliseconds; ++nextToLayOut_) {
        Placed& placed = placed_[nextToLayOut_];
        if (placed.isMeasured)
            continue;
        layOutEntry(nextToLayOut_);
        placed.values[0].reset();
        placed.values[1].reset();
    }
    placeFrom(0);
    // The entries above the view had estimated heights: what is in view stays where it is.
    verticalScrollBar()->setValue(placed_[anchor].top + intoAnchor);
    if (nextToLayOut_ < placed_.size())
        idleLayout_.start();
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

bool InspectorFieldList::isPlaced() const
{
    return !placed_.empty() && placed_.size() == entries_.size();
}

QString InspectorFieldList::noteText(const FieldSide& side)
{
    return side.isExcerpt ? tr("Shown around what differs · copying takes the whole value")
                          : tr("Shortened · copying takes the whole value");
}

QRect InspectorFieldList::noteRect(std::size_t entry, bool leftSide) const
{
    if (!isPlaced() || entry >= placed_.size() || !placed_[entry].isLaidOut() || !sideOf(entry, leftSide).isShortened())
        return {};
    const QPointF origin = valueOrigin(entry, leftSide);
    const int top = qCeil(origin.y() + placed_[entry].value(leftSide).boundingRect().height()) + captionSpacing;
    const QRect note = noteBounds(sideOf(entry, leftSide), columnWidth_);
    return QRect(qRound(origin.x()), top - verticalScrollBar()->value(), columnWidth_, note.height());
}

QRect InspectorFieldList::entryRect(std::size_t entry) const
{
    if (!isPlaced() || entry >= placed_.size())
        return {};
    return QRect(0, placed_[entry].top - verticalScrollBar()->value(), viewport()->width(), placed_[entry].height);
}

std::optional<std::size_t> InspectorFieldList::entryAt(const QPoint& viewportPoint) const
{
    const int y = viewportPoint.y() + verticalScrollBar()->value();
    if (!isPlaced() || y < placed_.front().top || y >= contentHeight_)
        return std::nullopt;
    return entryAtY(y);
}

// Entries come into view laid out only while painting, which moves what lies below them.
void InspectorFieldList::scrollContentsBy(int, int)
{
    viewport()->update();
}

void InspectorFieldList::paintEvent(QPaintEvent*)
{
    ensureLaidOut();
    layOutInView();
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
        QColor tint = widgets::orangeColor();
        tint.setAlphaF(0.07);
        painter.fillRect(area.adjusted(0, 0, 0, -1), tint);
    }
    QColor divider = palette().color(QPalette::Text);
    divider.setAlphaF(0.15);
    painter.fillRect(QRect(area.left(), area.bottom(), area.width(), 1), divider);

    const int captionHeight = QFontMetrics(widgets::emphasizedFont(widgets::TextStyle::caption)).height();
    for (const bool leftSide : {true, false}) {
        const FieldSide& side = leftSide ? entries_[entry].left : entries_[entry].right;
        paintCaption(painter, side, QRect(columnLeft(leftSide), placed.top + padding, columnWidth_, captionHeight));
        paintValue(painter, entry, leftSide);
    }
}

void InspectorFieldList::paintCaption(QPainter& painter, const FieldSide& side, const QRect& line) const
{
    const QColor secondary = widgets::secondaryColor(palette());
    int trailing = 0;
    const QFont small = smallCaptionFont();
    const int notComparedWidth = QFontMetrics(small).horizontalAdvance(notCompared());
    const int noteWidth = QFontMetrics(small).horizontalAdvance(side.note);
    if (side.isChanged)
        trailing += pencilSize + 6;
    if (side.isNotCompared)
        trailing += notComparedWidth + 6;
    if (!side.note.isEmpty())
        trailing += std::min(noteWidth, line.width() / 2) + 6;

    const QFont font = widgets::emphasizedFont(widgets::TextStyle::caption);
    const QFontMetrics metrics(font);
    const QString header = metrics.elidedText(side.caption, Qt::ElideMiddle, std::max(0, line.width() - trailing));
    painter.setFont(font);
    painter.setPen(secondary);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, header);
    int x = line.left() + metrics.horizontalAdvance(header) + 6;
    if (side.isChanged) {
        const QPixmap pencil =
            widgets::symbolPixmap(widgets::Symbol::pencil, pencilSize, widgets::orangeColor(), devicePixelRatioF());
        painter.drawPixmap(x, line.center().y() - pencilSize / 2 + 1, pencil);
        x += pencilSize + 6;
    }
    painter.setFont(small);
    if (side.isNotCompared) {
        painter.drawText(QRect(x, line.top(), notComparedWidth + 1, line.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         notCompared());
        x += notComparedWidth + 6;
    }
    if (!side.note.isEmpty()) {
        const int width = std::max(0, line.right() - x);
        painter.drawText(QRect(x, line.top(), width + 1, line.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetrics(small).elidedText(side.note, Qt::ElideRight, width));
    }
}

QPointF InspectorFieldList::valueOrigin(std::size_t entry, bool leftSide) const
{
    return QPointF(columnLeft(leftSide),
                   placed_[entry].top + padding +
                       QFontMetrics(widgets::emphasizedFont(widgets::TextStyle::caption)).height() + captionSpacing);
}

void InspectorFieldList::paintValue(QPainter& painter, std::size_t entry, bool leftSide) const
{
    const FieldSide& side = sideOf(entry, leftSide);
    const Placed& placed = placed_[entry];
    const QTextLayout& layout = placed.value(leftSide);
    const QPointF origin = valueOrigin(entry, leftSide);
    QList<QTextLayout::FormatRange> selections = editMarks(entry, leftSide);
    const QTextCharFormat edit = editFormat(palette());
    for (QTextLayout::FormatRange& mark : selections)
        mark.format = edit;
    if (selection_ && selection_->entry == entry && selection_->leftSide == leftSide &&
        selection_->anchor != selection_->cursor) {
        QTextLayout::FormatRange range;
        range.start = std::min(selection_->anchor, selection_->cursor);
        range.length = std::abs(selection_->cursor - selection_->anchor);
        range.format.setBackground(palette().brush(QPalette::Highlight));
        range.format.setForeground(palette().brush(QPalette::HighlightedText));
        selections << range;
    }
    painter.setPen(side.isValueMissing ? widgets::secondaryColor(palette()) : palette().color(QPalette::Text));
    layout.draw(&painter, origin, selections);
    qreal height = layout.boundingRect().height();
    if (side.isShortened()) {
        painter.setFont(smallCaptionFont());
        painter.setPen(widgets::secondaryColor(palette()));
        height += captionSpacing;
        const QRect note = noteBounds(side, columnWidth_);
        painter.drawText(QRectF(origin.x(), origin.y() + height, columnWidth_, note.height()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, noteText(side));
        height += note.height();
    }
    if (hasFocus() && current_ == Slot{entry, leftSide}) {
        painter.setPen(QPen(widgets::accentColor(), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(origin.x() - focusInset, origin.y() - focusInset, columnWidth_ + 2 * focusInset,
                                       height + 2 * focusInset)
                                    .adjusted(0.5, 0.5, -0.5, -0.5),
                                4, 4);
    }
}

std::optional<InspectorFieldList::Hit> InspectorFieldList::hitTest(const QPoint& viewportPoint, bool clampToValue)
{
    if (!isPlaced())
        return std::nullopt;
    const int y = viewportPoint.y() + verticalScrollBar()->value();
    const std::size_t entry = clampToValue && selection_ ? selection_->entry : entryAtY(y);
    const bool leftSide =
        clampToValue && selection_ ? selection_->leftSide : viewportPoint.x() < columnLeft(false) - columnGap / 2;
    layOutIfNeeded(entry);
    const Placed& placed = placed_[entry];
    const QTextLayout& layout = placed.value(leftSide);
    const QPointF local = QPointF(viewportPoint.x(), y) - valueOrigin(entry, leftSide);
    const QRectF bounds = layout.boundingRect();
    const FieldSide& side = sideOf(entry, leftSide);
    if (!clampToValue && side.isValueMissing)
        return std::nullopt;
    if (!clampToValue && (local.y() < 0 || local.y() > bounds.height() || local.x() < 0 || local.x() > columnWidth_))
        return std::nullopt;
    const auto hit = [&](int position) { return Hit{entry, leftSide, position}; };
    if (layout.lineCount() == 0 || local.y() < 0)
        return hit(0);
    for (int i = 0; i < layout.lineCount() && local.y() < bounds.height(); ++i) {
        const QTextLine line = layout.lineAt(i);
        if (local.y() < line.y() + line.height())
            return hit(line.xToCursor(local.x()));
    }
    return hit(static_cast<int>(layout.text().size()));
}

void InspectorFieldList::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const std::optional<Hit> hit = hitTest(event->position().toPoint(), false);
    selection_.reset();
    if (hit) {
        selection_ = Selection{hit->entry, hit->leftSide, hit->position, hit->position};
        current_ = Slot{hit->entry, hit->leftSide};
        announceCurrent();
    }
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
    current_ = Slot{entry, leftSide};
    const FieldSide& side = sideOf(entry, leftSide);
    selection_.reset();
    if (!side.isValueMissing)
        selection_ = Selection{entry, leftSide, 0, static_cast<int>(side.value.size())};
    viewport()->update();
    announceCurrent();
}

void InspectorFieldList::moveCurrent(const Slot& slot)
{
    selectValue(slot.entry, slot.leftSide);
    scrollToValue(slot);
}

// The arrow keys move between values, Home and End to the first and the last line; without a current
// value any of them starts on the first.
bool InspectorFieldList::moveCurrentByKey(int key)
{
    if (entries_.empty())
        return false;
    const std::size_t last = entries_.size() - 1;
    const bool isMoving = current_.has_value();
    Slot slot = current_.value_or(Slot{});
    switch (key) {
    case Qt::Key_Up:
        if (isMoving && slot.entry > 0)
            --slot.entry;
        break;
    case Qt::Key_Down:
        if (isMoving && slot.entry < last)
            ++slot.entry;
        break;
    case Qt::Key_Left:
        slot.leftSide = true;
        break;
    case Qt::Key_Right:
        slot.leftSide = !isMoving;
        break;
    case Qt::Key_Home:
        slot.entry = 0;
        break;
    case Qt::Key_End:
        slot.entry = last;
        break;
    default:
        return false;
    }
    moveCurrent(slot);
    return true;
}

void InspectorFieldList::scrollToValue(const Slot& slot)
{
    ensureLaidOut();
    if (!isPlaced())
        return;
    layOutIfNeeded(slot.entry);
    // The first line brings the heading above it along.
    const int top = slot.entry == 0 ? 0 : placed_[slot.entry].top;
    const int bottom = placed_[slot.entry].top + placed_[slot.entry].height;
    const int viewTop = verticalScrollBar()->value();
    const int viewHeight = viewport()->height();
    if (top < viewTop || bottom - top > viewHeight)
        verticalScrollBar()->setValue(top);
    else if (bottom > viewTop + viewHeight)
        verticalScrollBar()->setValue(bottom - viewHeight);
}

void InspectorFieldList::announceCurrent()
{
    if (!current_ || !hasFocus())
        return;
    auto* accessible = dynamic_cast<FieldListAccessible*>(QAccessible::queryAccessibleInterface(this));
    if (QAccessibleInterface* value =
            accessible ? accessible->valueItem(current_->entry, current_->leftSide) : nullptr) {
        QAccessibleEvent focus(value, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

QString InspectorFieldList::wholeValue(const FieldSide& side) const
{
    return side.wholeValue ? model::utf8Text(*side.wholeValue) : side.value;
}

// Selections count in the text shown; one that takes in the "…" of a shortened value takes the rest of
// the whole value with it.
QString InspectorFieldList::selectedText() const
{
    if (!selection_ || selection_->entry >= entries_.size())
        return {};
    const FieldSide& side = sideOf(selection_->entry, selection_->leftSide);
    const int start = std::min(selection_->anchor, selection_->cursor);
    const int end = std::max(selection_->anchor, selection_->cursor);
    // Parts of a value shown around what differs lie apart in it: only all of them stand for all of it.
    if (side.isExcerpt && start == 0 && end == side.value.size())
        return wholeValue(side);
    if (side.isShortened() && !side.isExcerpt && end == side.value.size())
        return wholeValue(side).mid(start);
    return side.value.mid(start, end - start);
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
    if (event->matches(QKeySequence::SelectAll) && current_) {
        selectValue(current_->entry, current_->leftSide);
        return;
    }
    if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && moveCurrentByKey(event->key()))
        return;
    QAbstractScrollArea::keyPressEvent(event);
}

// Coming in by keyboard puts the current value on the first line in view, so Ctrl+C has something to
// copy and a screen reader something to read.
void InspectorFieldList::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    if (!current_ && !entries_.empty() && event->reason() != Qt::MouseFocusReason)
        selectValue(isPlaced() ? entryAtY(verticalScrollBar()->value()) : 0, true);
    viewport()->update();
    announceCurrent();
}

void InspectorFieldList::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void InspectorFieldList::contextMenuEvent(QContextMenuEvent* event)
{
    const std::optional<Hit> hit = hitTest(event->pos(), false);
    QMenu menu(this);
    QAction* copy = menu.addAction(tr("Copy"), this, &InspectorFieldList::copySelection);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(!selectedText().isEmpty());
    if (hit) {
        menu.addAction(tr("Copy Value"), this, [this, hit] {
            selectValue(hit->entry, hit->leftSide);
            copySelection();
        });
    }
    menu.exec(event->globalPos());
}

}  // namespace rowlark::ui::results
