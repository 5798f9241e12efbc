#pragma once

// The first screen once both files are loaded: one row per column of File A, where the user picks the
// matching column of File B, the row key and the compared columns.

#include <QWidget>

#include "ComparisonModel.h"

namespace rowlark::ui {

class MappingView : public QWidget {
    Q_OBJECT

public:
    explicit MappingView(ComparisonModel& model, QWidget* parent = nullptr);

private:
    ComparisonModel& model_;
};

}  // namespace rowlark::ui
