#pragma once

// The outcome of the last comparison: the counters, the filter and search, the warnings, one page of
// differing records and the inspector of the selected one.

#include <QWidget>

#include "ComparisonModel.h"

namespace rowlark::ui {

class ResultsView : public QWidget {
    Q_OBJECT

public:
    explicit ResultsView(ComparisonModel& model, QWidget* parent = nullptr);

private:
    ComparisonModel& model_;
};

}  // namespace rowlark::ui
