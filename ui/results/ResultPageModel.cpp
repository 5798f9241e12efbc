#include "ui/results/ResultPageModel.h"

#include "ui/results/ResultTexts.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::results {

ResultPageModel::ResultPageModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

void ResultPageModel::setPage(std::shared_ptr<const records::ComparisonSummary> summary,
                              const std::vector<std::size_t>& positions, const QString& leftName,
                              const QString& rightName)
{
    beginResetModel();
    summary_ = std::move(summary);
    rows_.clear();
    if (summary_) {
        for (const std::size_t position : positions)
            if (position < summary_->differences.size())
                rows_.push_back(&summary_->differences[position]);
    }
    leftName_ = leftName;
    rightName_ = rightName;
    endResetModel();
}

const records::RowDifference& ResultPageModel::difference(int row) const
{
    return *rows_.at(static_cast<std::size_t>(row));
}

std::optional<int> ResultPageModel::rowOf(const records::UUID& id) const
{
    for (std::size_t row = 0; row < rows_.size(); ++row)
        if (rows_[row]->id == id)
            return static_cast<int>(row);
    return std::nullopt;
}

int ResultPageModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant ResultPageModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const records::RowDifference& row = difference(index.row());
    switch (role) {
    case keyRole:
        return row.key.empty() ? tr("Empty key") : widgets::shortenedText(row.key, captionTextLength);
    case statusRole:
        return static_cast<int>(row.status);
    case statusTextRole:
        return statusText(row.status, leftName_, rightName_);
    case captionRole:
        return changedFieldsCaption(row, *summary_);
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return spokenRecord(row, *summary_, leftName_, rightName_);
    case Qt::ToolTipRole:
        return tr("Select to inspect the complete record");
    default:
        return {};
    }
}

QHash<int, QByteArray> ResultPageModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(keyRole, "key");
    names.insert(statusRole, "status");
    names.insert(statusTextRole, "statusText");
    names.insert(captionRole, "caption");
    return names;
}

}  // namespace rowlark::ui::results
