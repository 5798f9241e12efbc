#include "ui/mapping/ColumnOptionsModel.h"

#include <algorithm>

#include "ui/mapping/MappingText.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::mapping {

QString ColumnOptionsModel::notMapped()
{
    return tr("Not mapped");
}

ColumnOptionsModel::ColumnOptionsModel(const model::ComparisonModel& model, bool isStructured, QObject* parent)
    : QAbstractListModel(parent)
    , model_(model)
    , isStructured_(isStructured)
{
    reload();
}

int ColumnOptionsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size()) + 1;
}

QVariant ColumnOptionsModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole)
        return {};
    return index.row() == 0 ? notMapped() : labels_.at(index.row() - 1);
}

void ColumnOptionsModel::reload()
{
    beginResetModel();
    columns_.clear();
    labels_.clear();
    if (model_.left() && model_.right()) {
        const table::Table& right = model_.right()->table;
        const std::set<std::size_t>& structured = right.structuredColumnIndices();
        for (std::size_t column = 0; column < right.columnCount(); ++column) {
            if (structured.contains(column) != isStructured_)
                continue;
            columns_.push_back(static_cast<std::int64_t>(column));
            labels_.push_back(widgets::boundedText(right.headers()[column]));
        }
    }
    endResetModel();
}

int ColumnOptionsModel::rowOf(std::optional<std::int64_t> rightIndex) const
{
    if (!rightIndex)
        return 0;
    const auto found = std::ranges::lower_bound(columns_, *rightIndex);
    if (found == columns_.end() || *found != *rightIndex)
        return 0;
    return static_cast<int>(found - columns_.begin()) + 1;
}

std::optional<std::int64_t> ColumnOptionsModel::columnAt(int row) const
{
    if (row < 1 || row > static_cast<int>(columns_.size()))
        return std::nullopt;
    return columns_[static_cast<std::size_t>(row - 1)];
}

}  // namespace rowlark::ui::mapping
