#pragma once

// The scrolling list of the mapping screen. Each listed mapping is drawn by a real MappingRow, but
// only the rows in or next to the visible part exist as widgets: they are opened as they scroll in
// and closed as they leave, so a file of ten thousand columns costs no more widgets than a short one.
// The rows next to the visible part let Tab walk on from the last visible row, which then scrolls
// into view.

#include <QListView>

#include "ui/mapping/MappingListModel.h"
#include "ui/mapping/MappingRow.h"

namespace rowlark::ui::mapping {

class MappingList : public QListView {
    Q_OBJECT

public:
    // Rows kept open beyond each edge of the visible part.
    static constexpr int spareRows = 2;

    MappingList(model::ComparisonModel& model, MappingListModel* rows, ColumnChoices choices,
                QWidget* parent = nullptr);

    // The open row widget of a list row, or null while the row is not open.
    MappingRow* rowWidget(int row) const;
    // The open row widgets, top to bottom.
    QList<MappingRow*> openRows() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void openVisibleRows();
    void closeRow(int row);
    void orderFocusChain(int first, int last);
    QWidget* controlAbove() const;
    void revealFocusedRow(QWidget* focused);

    MappingListModel* rows_;
    // The open rows: first and last list row, or first past last when none is open.
    int firstOpen_ = 0;
    int lastOpen_ = -1;
};

}  // namespace rowlark::ui::mapping
