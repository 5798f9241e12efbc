#pragma once

// The mappings the mapping screen lists: those the search shows, in mapping order, one row each.
// Edits that leave the listed mappings in place are announced as changed rows, not as a reset, so
// the open rows keep their focus and the list its scroll position.

#include <cstddef>
#include <optional>
#include <vector>

#include <QAbstractListModel>

#include "model/ComparisonModel.h"

namespace rowlark::ui::mapping {

class MappingListModel : public QAbstractListModel {
    Q_OBJECT

public:
    // The position of the row's mapping in the model's mappings.
    static constexpr int positionRole = Qt::UserRole + 1;

    explicit MappingListModel(const model::ComparisonModel& model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    std::optional<std::size_t> positionAt(int row) const;

    // Follows the model after `mappings` or `mappingSearch` changed.
    void followMappings();
    // Lists the mappings again from scratch, as a file changed.
    void reload();

private:
    void show(std::vector<std::size_t> positions);

    const model::ComparisonModel& model_;
    std::vector<std::size_t> positions_;
    // What the rows showed last, to tell which of them an edit changed.
    std::vector<records::ColumnMapping> shown_;
};

}  // namespace rowlark::ui::mapping
