#pragma once

// The entries of the mapping screen's drop-down lists for one kind of column: "Not mapped", then every
// column of File B of that kind (JSON-object columns or ordinary ones) by its header, in column order.
// One instance per kind is shared by all rows, so a wide file's headers are held once, not per row.

#include <cstdint>
#include <optional>
#include <vector>

#include <QAbstractListModel>
#include <QStringList>

#include "model/ComparisonModel.h"

namespace rowlark::ui::mapping {

class ColumnOptionsModel : public QAbstractListModel {
    Q_OBJECT

public:
    static QString notMapped();

    ColumnOptionsModel(const model::ComparisonModel& model, bool isStructured, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Reads File B's columns again; empty when either file is missing.
    void reload();

    // The entry showing `rightIndex`, or the "Not mapped" entry (0) when it is absent or of the other kind.
    int rowOf(std::optional<std::int64_t> rightIndex) const;
    // The column of an entry; absent for "Not mapped" and rows outside the list.
    std::optional<std::int64_t> columnAt(int row) const;

private:
    const model::ComparisonModel& model_;
    const bool isStructured_;
    std::vector<std::int64_t> columns_;
    QStringList labels_;
};

}  // namespace rowlark::ui::mapping
