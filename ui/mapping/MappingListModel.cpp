#include "ui/mapping/MappingListModel.h"

#include <utility>

#include "ui/mapping/MappingText.h"

namespace rowlark::ui::mapping {

MappingListModel::MappingListModel(const model::ComparisonModel& model, QObject* parent)
    : QAbstractListModel(parent)
    , model_(model)
{
    reload();
}

int MappingListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(positions_.size());
}

QVariant MappingListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const std::size_t position = positions_[static_cast<std::size_t>(index.row())];
    if (role == positionRole)
        return QVariant::fromValue(static_cast<qulonglong>(position));
    if (role != Qt::DisplayRole || position >= model_.mappings().size())
        return {};
    const std::int64_t leftIndex = model_.mappings()[position].leftIndex;
    return displayName(leftHeader(model_, leftIndex), leftIndex);
}

std::optional<std::size_t> MappingListModel::positionAt(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= positions_.size())
        return std::nullopt;
    return positions_[static_cast<std::size_t>(row)];
}

void MappingListModel::followMappings()
{
    std::vector<std::size_t> positions = visibleMappings(model_);
    const std::vector<records::ColumnMapping>& mappings = model_.mappings();
    if (positions != positions_ || mappings.size() != shown_.size()) {
        show(std::move(positions));
        return;
    }
    std::optional<int> first;
    int last = 0;
    for (std::size_t row = 0; row < positions_.size(); ++row) {
        const std::size_t position = positions_[row];
        if (mappings[position] == shown_[position])
            continue;
        first = first.value_or(static_cast<int>(row));
        last = static_cast<int>(row);
    }
    shown_ = mappings;
    if (first)
        emit dataChanged(index(*first), index(last));
}

void MappingListModel::reload()
{
    show(visibleMappings(model_));
}

void MappingListModel::show(std::vector<std::size_t> positions)
{
    beginResetModel();
    positions_ = std::move(positions);
    shown_ = model_.mappings();
    endResetModel();
}

}  // namespace rowlark::ui::mapping
