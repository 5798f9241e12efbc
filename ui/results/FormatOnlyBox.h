#pragma once

// The columns of a comparison whose changes are, some or all, the same values written differently:
// "Rate: 10,000 of 10,000 are the same number written differently", each with the action that
// compares it by the rule proposed for it ("Compare as numbers"), and one action for all of them.
// Each action compares the files again.

#include <vector>

#include <QWidget>

#include "model/ComparisonModel.h"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace rowlark::ui::results {

class FormatOnlyBox : public QWidget {
    Q_OBJECT

public:
    // The columns listed one by one; more are counted, and taken by the action for all.
    static constexpr std::size_t listedColumns = 4;

    explicit FormatOnlyBox(model::ComparisonModel& model, QWidget* parent = nullptr);

    // The positions in the summary's `columns` of the columns listed, the most changed first.
    const std::vector<std::size_t>& columns() const { return columns_; }

private:
    void followResult();
    void clear();

    model::ComparisonModel& model_;
    QVBoxLayout* entries_;
    std::vector<std::size_t> columns_;
};

// "Rate: 10,000 of 10,000 are the same number written differently".
QString formatOnlyText(const records::ColumnChanges& column);

}  // namespace rowlark::ui::results
