#pragma once

// The scrolling field list of the record inspector. A record can have thousands of fields and a field
// thousands of characters, so the list lays its texts out itself and paints only what is in view; a
// value is selected by dragging across it (a double click takes all of it) and copied with the
// platform's copy key or the context menu.

#include <memory>
#include <optional>
#include <vector>

#include <QAbstractScrollArea>
#include <QString>
#include <QTextLayout>

namespace rowlark::ui {

// One half of one line of the inspector, as drawn.
struct FieldSide {
    QString caption;              // the column's header, or "No mapped column"
    bool isChanged = false;       // drawn with the pencil
    bool isNotCompared = false;   // drawn with "Not compared"
    QString value;                // the cell as read, or "Empty" / "Not present"
    bool isValueMissing = false;  // `value` is one of the two stand-ins, drawn in the secondary colour
};

struct FieldEntry {
    FieldSide left;
    FieldSide right;
    bool isChanged = false;  // tinted
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

    // Selects the whole value of one side of one entry, as a double click on it does.
    void selectValue(std::size_t entry, bool leftSide);
    QString selectedText() const;
    void copySelection() const;

    // Where an entry is drawn, in viewport coordinates; empty before the list is laid out.
    QRect entryRect(std::size_t entry) const;
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
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Placed;
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
    void layOutEntry(std::size_t entry, int top);
    void paintHeading(QPainter& painter) const;
    void paintEntry(QPainter& painter, std::size_t entry) const;
    void paintCaption(QPainter& painter, const FieldSide& side, const QRect& line) const;
    void paintValue(QPainter& painter, std::size_t entry, bool leftSide) const;
    std::optional<Hit> hitTest(const QPoint& viewportPoint, bool clampToValue) const;
    std::size_t entryAtY(int contentY) const;
    bool isLaidOut() const;
    int columnLeft(bool leftSide) const;
    const QString& valueOf(const Selection& selection) const;

    std::vector<FieldEntry> entries_;
    std::vector<Placed> placed_;
    QString leftHeading_;
    QString rightHeading_;
    std::optional<int> laidOutWidth_;
    int contentHeight_ = 0;
    int columnWidth_ = 0;
    std::optional<Selection> selection_;
    bool isDragging_ = false;
};

}  // namespace rowlark::ui
