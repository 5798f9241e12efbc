#pragma once

// The compared columns with changes, the most changed first, as a list for the "Changes by column"
// panel. Its rows are columns, never records: a million changed records cost no more than ten.

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include <QAbstractListModel>

#include "engine/records/Differences.h"

namespace rowlark::ui::results {

class ColumnChangesModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        headerRole = Qt::UserRole + 1,  // the left header, shortened
        countRole,                      // changed records that differ in the column, as a qint64
        shareRole,                      // that count over all changed records, 0 to 1
        shareTextRole,                  // the share in whole percent: "67%", "<1%"
        isChosenRole,                   // the list is narrowed to this column
    };

    explicit ColumnChangesModel(QObject* parent = nullptr);

    // Lists the columns of `summary` with changes; `changedRecords` is the number of changed records.
    void setSummary(std::shared_ptr<const records::ComparisonSummary> summary, qint64 changedRecords);
    // Marks the column the list is narrowed to (a position in the summary's `columns`).
    void setChosenColumn(std::optional<std::size_t> column);

    // The position in the summary's `columns` of the column shown in `row`.
    std::size_t column(int row) const;
    std::optional<int> rowOf(std::size_t column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    const records::ColumnChanges& changes(int row) const;
    double share(int row) const;

    std::shared_ptr<const records::ComparisonSummary> summary_;
    std::vector<std::size_t> columns_;
    qint64 changedRecords_ = 0;
    std::optional<std::size_t> chosen_;
};

}  // namespace rowlark::ui::results
