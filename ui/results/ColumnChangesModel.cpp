#include "ui/results/ColumnChangesModel.h"

#include <QCoreApplication>

#include "ui/results/ResultTexts.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::results {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ColumnChangesModel", text);
}

// Whole percent, but never 0% for a column with changes nor 100% for one without them all.
QString shareText(qint64 count, qint64 total)
{
    if (total <= 0)
        return {};
    const qint64 percent = (count * 100 + total / 2) / total;
    if (percent == 0 && count > 0)
        return tr("<1%");
    if (percent == 100 && count < total)
        return tr(">99%");
    return tr("%1%").arg(percent);
}

}  // namespace

ColumnChangesModel::ColumnChangesModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

void ColumnChangesModel::setSummary(std::shared_ptr<const records::ComparisonSummary> summary, qint64 changedRecords)
{
    beginResetModel();
    summary_ = std::move(summary);
    columns_ = summary_ ? records::columnsByChanges(*summary_) : std::vector<std::size_t>();
    changedRecords_ = changedRecords;
    endResetModel();
}

void ColumnChangesModel::setChosenColumn(std::optional<std::size_t> column)
{
    if (chosen_ == column)
        return;
    const std::optional<int> before = chosen_ ? rowOf(*chosen_) : std::nullopt;
    chosen_ = column;
    const std::optional<int> after = chosen_ ? rowOf(*chosen_) : std::nullopt;
    for (const std::optional<int> row : {before, after})
        if (row)
            emit dataChanged(index(*row), index(*row));
}

std::size_t ColumnChangesModel::column(int row) const
{
    return columns_.at(static_cast<std::size_t>(row));
}

std::optional<int> ColumnChangesModel::rowOf(std::size_t column) const
{
    for (std::size_t row = 0; row < columns_.size(); ++row)
        if (columns_[row] == column)
            return static_cast<int>(row);
    return std::nullopt;
}

int ColumnChangesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

const records::ColumnChanges& ColumnChangesModel::changes(int row) const
{
    return summary_->columns[column(row)];
}

double ColumnChangesModel::share(int row) const
{
    return changedRecords_ > 0 ? static_cast<double>(changes(row).changedRecords) / changedRecords_ : 0.0;
}

QVariant ColumnChangesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const records::ColumnChanges& column = changes(index.row());
    const QString header = widgets::boundedText(records::columnName(column.leftHeader, column.leftIndex));
    const qint64 count = column.changedRecords;
    const bool isChosen = chosen_ == this->column(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case headerRole:
        return header;
    case countRole:
        return count;
    case shareRole:
        return share(index.row());
    case shareTextRole:
        return shareText(count, changedRecords_);
    case isChosenRole:
        return isChosen;
    case Qt::ToolTipRole:
        return widgets::plainToolTip(
            tr("%1 → %2\n%3 of %Ln changed record(s) (%4)\n%5", nullptr, static_cast<int>(changedRecords_))
                .arg(header, widgets::boundedText(column.rightHeader), groupedNumber(count),
                     shareText(count, changedRecords_),
                     isChosen ? tr("Click again to show the records of every column.")
                              : tr("Click to show only the records where this column changed.")));
    case Qt::AccessibleTextRole:
        return (isChosen ? tr("%1: %Ln changed record(s), %2, shown alone", nullptr, static_cast<int>(count))
                         : tr("%1: %Ln changed record(s), %2", nullptr, static_cast<int>(count)))
            .arg(header, shareText(count, changedRecords_));
    default:
        return {};
    }
}

}  // namespace rowlark::ui::results
