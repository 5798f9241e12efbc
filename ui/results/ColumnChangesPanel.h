#pragma once

// "Changes by column": one bar per compared column with changes, the most changed first, with its
// count and its share of the changed records; above them, the columns whose changes are the same
// values written differently, with the action that compares them by their proposed rule. Choosing a column (a click, or
// Return or Space on the keyboard) narrows the result list to the records where it changed; choosing it again shows
// every record once more.

#include <QLabel>
#include <QListView>
#include <QWidget>

#include "model/ComparisonModel.h"

namespace rowlark::ui::results {

class ColumnChangesModel;

class ColumnChangesPanel : public QWidget {
    Q_OBJECT

public:
    explicit ColumnChangesPanel(model::ComparisonModel& model, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followResult();
    void followFilter();
    void choose(const QModelIndex& index);

    model::ComparisonModel& model_;
    ColumnChangesModel* columns_;
    QLabel* subtitle_;
    QListView* list_;
};

}  // namespace rowlark::ui::results
