#pragma once

// Above the mapping, once a setup was opened: what of it no longer fits the files ("Setup: column
// “Rate” is not in File B; left unmapped"), a line each, every one of them, until the user dismisses
// them or other files are analysed.

#include <QPlainTextEdit>
#include <QWidget>

#include "model/ComparisonModel.h"

namespace rowlark::ui::mapping {

class SetupNotices : public QWidget {
    Q_OBJECT

public:
    explicit SetupNotices(model::ComparisonModel& model, QWidget* parent = nullptr);

    // The most lines shown at once; more scroll.
    static constexpr int shownLines = 6;

private:
    void refresh();

    model::ComparisonModel& model_;
    QPlainTextEdit* lines_;
};

}  // namespace rowlark::ui::mapping
