#pragma once

// One page of the filtered differences as a list for the result list: only the rows of the page are
// ever looked at, so a million differences cost no more than a hundred.

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include <QAbstractListModel>

#include "engine/records/Differences.h"
#include "engine/records/UUID.h"

namespace rowlark::ui::results {

class ResultPageModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        keyRole = Qt::UserRole + 1,  // the key display form, or "Empty key"
        statusRole,                  // DiffStatus as an int
        statusTextRole,              // "Changed" or "Only in " + the file's name
        captionRole,                 // the changed-fields caption; empty for one-sided records
    };

    explicit ResultPageModel(QObject* parent = nullptr);

    // Shows the differences at `positions` of `summary`; positions outside it are skipped.
    void setPage(std::shared_ptr<const records::ComparisonSummary> summary, const std::vector<std::size_t>& positions,
                 const QString& leftName, const QString& rightName);

    const records::RowDifference& difference(int row) const;
    std::optional<int> rowOf(const records::UUID& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    std::shared_ptr<const records::ComparisonSummary> summary_;
    std::vector<const records::RowDifference*> rows_;
    QString leftName_;
    QString rightName_;
};

}  // namespace rowlark::ui::results
