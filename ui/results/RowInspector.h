#pragma once

// One differing record field by field: every mapped column with the values of both files side by side
// and in full, the changed fields marked with the parts of their values that differ, then the columns
// of File B that no mapping uses.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QCheckBox>
#include <QLabel>
#include <QWidget>

#include "model/ComparisonModel.h"
#include "ui/results/InspectorFieldList.h"

namespace rowlark::ui::results {

// One line of the inspector.
struct InspectorField {
    std::size_t id = 0;  // position in the full list of lines
    std::optional<std::int64_t> leftIndex;
    std::optional<std::int64_t> rightIndex;
    bool compared = false;  // the mapping is included or part of the key

    bool operator==(const InspectorField&) const = default;
};

class RowInspector : public QWidget {
    Q_OBJECT

public:
    RowInspector(model::ComparisonModel& model, records::RowDifference row, QWidget* parent = nullptr);

    const records::RowDifference& row() const { return row_; }
    bool onlyChangedFields() const { return onlyChangedFields_; }
    void setOnlyChangedFields(bool value);

    std::vector<InspectorField> fields() const;
    bool isChanged(const InspectorField& field) const;
    // A value longer than the list shows is given by its start, and by itself for copying: `value` must
    // outlive the side.
    static FieldSide fieldValue(std::optional<std::string_view> header, std::optional<std::string_view> value,
                                bool changed, bool compared);

private:
    QWidget* buildHeaderBlock();
    void refresh();
    std::optional<std::string_view> header(const InspectorField& field, bool leftSide) const;
    std::optional<std::string_view> value(const InspectorField& field, bool leftSide) const;
    void noteRule(const InspectorField& field, FieldEntry& entry) const;
    const records::CellDifference* changedCell(const InspectorField& field) const;

    model::ComparisonModel& model_;
    const records::RowDifference row_;
    bool onlyChangedFields_ = false;
    // The header pairs of the changed cells of `row_`, so that each line is checked at once.
    std::set<std::pair<std::string_view, std::string_view>> changedHeaderPairs_;
    QLabel* status_;
    QCheckBox* onlyChangedBox_;
    InspectorFieldList* list_;
};

}  // namespace rowlark::ui::results
