#pragma once

// What the content area shows until both files are loaded: an invitation to choose a file or try
// the samples.

#include <QPushButton>
#include <QWidget>

#include "ComparisonModel.h"

namespace rowlark::ui {

class EmptyState : public QWidget {
    Q_OBJECT

public:
    explicit EmptyState(ComparisonModel& model, QWidget* parent = nullptr);

private:
    ComparisonModel& model_;
    QPushButton* chooseFirst_;
    QPushButton* trySamples_;
};

}  // namespace rowlark::ui
