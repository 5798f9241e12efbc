#pragma once

// The scrolling field list of the record inspector. A record can have thousands of fields and a field
// megabytes of text, so the list lays its texts out itself: the lines in view at once, the rest a few
// milliseconds at a time while the interface is idle, and a very long value only up to a cut marked
// with "…". A value is selected by dragging across it (a double click takes all of it) or with the
// arrow keys, which move from value to value and select each whole; the platform's copy key and the
// context menu copy the selection, which always holds the value as read, however much of it is shown.
// In a changed field the parts of the two values that differ are tinted and underlined.

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <QAbstractScrollArea>
#include <QString>
#include <QTextLayout>
#include <QTimer>

namespace rowlark::ui::results {

// One half of one line of the inspector, as drawn.
struct FieldSide {
    QString caption;              // the column's header, or "No mapped column"
    bool isChanged = false;       // drawn with the pencil
    bool isNotCompared = false;   // drawn with "Not compared"
    QString note;                 // drawn after the header: the comparison rule, or what it could not read
    QString value;                // the cell as read, or "Empty" / "Not present"; a very long one shortened
    bool isValueMissing = false;  // `value` is one of the two stand-ins, drawn in the secondary colour
    // When `value` is shortened: the whole cell as read, in the record the list is showing. It is turned
    // into text only when it is copied.
    std::optional<std::string_view> wholeValue;
    // A shortened value shown around its differing parts (ValueExcerpt) rather than by its start.
    bool isExcerpt = false;

    bool isShortened() const { return wholeValue.has_value(); }
};

// The values of a changed field as read, whose differing parts are marked once the entry is drawn.
struct EditedValues {
    std::string_view left;
    std::string_view right;
    bool ignoreCase = false;  // parts that differ in letter case alone are not marked
};

struct FieldEntry {
    FieldSide left;
    FieldSide right;
    bool isChanged = false;  // tinted
    // Must outlive the entry, like `FieldSide::wholeValue`.
    std::optional<EditedValues> edited;
};

class InspectorFieldList : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit InspectorFieldList(QWidget* parent = nullptr);
    ~InspectorFieldList() override;

    void setEntries(const QString& leftName, const QString& rightName, std::vector<FieldEntry> entries);

    const std::vector<FieldEntry>& entries() const { return entries_; }
    const QString& leftHeading() const { return leftHeading_; }
    const QString& rightHeading() const { return rightHeading_; }

    // The most of a value the list shows; a longer one is shown cut, with "…": by its start, or, when
    // it differs past that, around the parts that differ.
    static constexpr qsizetype shownValueLength = 5000;

    // Selects the whole value of one side of one entry, as a double click on it does.
    void selectValue(std::size_t entry, bool leftSide);
    QString selectedText() const;
    void copySelection() const;

    // The value the keyboard is on: where the arrow keys move from and what assistive technology reads.
    struct Slot {
        std::size_t entry = 0;
        bool leftSide = true;

        bool operator==(const Slot&) const = default;
    };
    std::optional<Slot> currentValue() const { return current_; }

    // The marked parts of one value of an edited entry, in the text shown; none before it is drawn.
    QList<QTextLayout::FormatRange> editMarks(std::size_t entry, bool leftSide) const;

    // Where an entry is drawn, in viewport coordinates; empty before the list is laid out.
    QRect entryRect(std::size_t entry) const;
    // Where the note under a shortened value is drawn, wrapped to as many lines as it takes, in
    // viewport coordinates; empty for a value shown whole or an entry not laid out.
    QRect noteRect(std::size_t entry, bool leftSide) const;
    // The note's text: how the value is shortened, and that copying takes it whole.
    static QString noteText(const FieldSide& side);
    std::optional<std::size_t> entryAt(const QPoint& viewportPoint) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct Placed;
    struct EditMarks {
        bool isFound = false;
        QList<QTextLayout::FormatRange> sides[2];
    };
    struct Hit {
        std::size_t entry = 0;
        bool leftSide = true;
        int position = 0;
    };
    struct Selection {
        std::size_t entry = 0;
        bool leftSide = true;
        int anchor = 0;
        int cursor = 0;
    };

    void ensureLaidOut();
    void relayout();
    void layOutEntry(std::size_t entry);
    void layOutInView();
    void layOutIfNeeded(std::size_t entry);
    void findEdits(std::size_t entry);
    void layOutWhileIdle();
    void placeFrom(std::size_t entry);
    void paintHeading(QPainter& painter) const;
    void paintEntry(QPainter& painter, std::size_t entry) const;
    void paintCaption(QPainter& painter, const FieldSide& side, const QRect& line) const;
    void paintValue(QPainter& painter, std::size_t entry, bool leftSide) const;
    std::optional<Hit> hitTest(const QPoint& viewportPoint, bool clampToValue);
    std::size_t entryAtY(int contentY) const;
    bool isPlaced() const;
    int columnLeft(bool leftSide) const;
    QPointF valueOrigin(std::size_t entry, bool leftSide) const;
    const FieldSide& sideOf(std::size_t entry, bool leftSide) const;
    QString wholeValue(const FieldSide& side) const;
    void moveCurrent(const Slot& slot);
    bool moveCurrentByKey(int key);
    void scrollToValue(const Slot& slot);
    void announceCurrent();

    std::vector<FieldEntry> entries_;
    std::vector<Placed> placed_;
    std::vector<EditMarks> editMarks_;  // by entry, kept through new layouts
    QString leftHeading_;
    QString rightHeading_;
    std::optional<int> laidOutWidth_;
    int contentHeight_ = 0;
    int columnWidth_ = 0;
    std::optional<Selection> selection_;
    std::optional<Slot> current_;
    bool isDragging_ = false;
    std::size_t nextToLayOut_ = 0;
    QTimer idleLayout_;
};

}  // namespace rowlark::ui::results
