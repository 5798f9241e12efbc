#include "ui/results/ResultTexts.h"

#include <algorithm>

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

#include "ui/widgets/Styling.h"

namespace rowlark::ui::results {

namespace {

constexpr std::size_t namedFieldCount = 3;
// A record read aloud names as many changed fields as its caption shows, each by its start at most,
// and counts the rest.
constexpr qsizetype spokenNameLength = 100;
// Enough to recognise a dropped or added column at a glance; the rest are counted.
constexpr std::size_t namedColumnCount = 8;
constexpr qsizetype columnNameLength = 60;

}  // namespace

QString onlyIn(const QString& name)
{
    return QCoreApplication::translate("ResultTexts", "Only in %1").arg(name);
}

QString statusText(records::DiffStatus status, const QString& leftName, const QString& rightName)
{
    switch (status) {
    case records::DiffStatus::changed:
        return QCoreApplication::translate("ResultTexts", "Changed");
    case records::DiffStatus::onlyLeft:
        return onlyIn(leftName);
    case records::DiffStatus::onlyRight:
        return onlyIn(rightName);
    }
    return {};
}

namespace {

// The File A names of the first changed fields of a record, an unnamed column by its place, each
// shortened to `length`.
QStringList changedFieldNames(const records::RowDifference& row, const records::ComparisonSummary& summary,
                              qsizetype length)
{
    QStringList names;
    for (std::size_t i = 0; i < std::min(row.cells.size(), namedFieldCount); ++i) {
        const records::CellDifference& cell = row.cells[i];
        const std::string name = cell.column < summary.columns.size()
                                     ? records::columnName(cell.leftHeader, summary.columns[cell.column].leftIndex)
                                     : cell.leftHeader;
        names << widgets::shortenedText(name, length);
    }
    return names;
}

}  // namespace

QString changedFieldsCaption(const records::RowDifference& row, const records::ComparisonSummary& summary)
{
    if (row.cells.empty())
        return {};
    QStringList names = changedFieldNames(row, summary, captionTextLength);
    if (row.cells.size() > namedFieldCount)
        names << QStringLiteral("…");
    return QCoreApplication::translate("ResultTexts", "%n changed field(s) · %1", nullptr,
                                       static_cast<int>(row.cells.size()))
        .arg(names.join(QStringLiteral(", ")));
}

QString spokenRecord(const records::RowDifference& row, const records::ComparisonSummary& summary,
                     const QString& leftName, const QString& rightName)
{
    const QString key = row.key.empty() ? QCoreApplication::translate("ResultTexts", "Empty key")
                                        : widgets::shortenedText(row.key, captionTextLength);
    QString spoken = key + QStringLiteral(", ") + statusText(row.status, leftName, rightName);
    if (row.cells.empty())
        return spoken;
    QStringList names = changedFieldNames(row, summary, spokenNameLength);
    if (row.cells.size() > namedFieldCount)
        names << QCoreApplication::translate("ResultTexts", "and %1 more")
                     .arg(groupedNumber(static_cast<qint64>(row.cells.size() - namedFieldCount)));
    return spoken + QStringLiteral(": ") + names.join(QStringLiteral(", "));
}

QString columnsOnlyIn(const QString& name, const std::vector<std::string>& headers)
{
    if (headers.empty())
        return {};
    QStringList named;
    for (std::size_t i = 0; i < headers.size() && i < namedColumnCount; ++i)
        named << widgets::shortenedText(headers[i], columnNameLength);
    const QString list = named.join(QStringLiteral(", "));
    if (headers.size() <= namedColumnCount)
        return QCoreApplication::translate("ResultTexts", "Columns only in %1: %2").arg(name, list);
    return QCoreApplication::translate("ResultTexts", "Columns only in %1: %2 and %3 more")
        .arg(name, list, groupedNumber(static_cast<qint64>(headers.size() - namedColumnCount)));
}

QString groupedNumber(qint64 number)
{
    return QLocale().toString(number);
}

}  // namespace rowlark::ui::results
