#pragma once

// The sheets of two workbooks compared at once: one line per pair with its counts, or the mark of a
// pair that was not compared, and the sheets of one file only, in File A's order. Choosing a pair
// shows its results below.

#include <QTreeWidget>

#include "model/ComparisonModel.h"

namespace rowlark::ui::results {

class SheetList : public QTreeWidget {
    Q_OBJECT

public:
    explicit SheetList(model::ComparisonModel& model, QWidget* parent = nullptr);

private:
    void refresh();
    void fill(QTreeWidgetItem* item, const model::SheetListEntry& entry) const;
    void refreshChosen();
    void choose(QTreeWidgetItem* item);

    model::ComparisonModel& model_;
};

// "Orders", "Orders → orders" when the two sheets are named apart, with " (hidden)" or
// " (hidden in File A)" for a hidden sheet.
QString pairName(const model::SheetListEntry& entry);

}  // namespace rowlark::ui::results
