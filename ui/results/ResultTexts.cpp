#include "ui/results/ResultTexts.h"

#include <algorithm>

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

#include "ui/widgets/Styling.h"

namespace rowlark::ui::results {

namespace {

constexpr std::size_t namedFieldCount = 3;
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

QString changedFieldsCaption(const records::RowDifference& row)
{
    if (row.cells.empty())
        return {};
    QStringList headers;
    const std::size_t named = std::min(row.cells.size(), namedFieldCount);
    for (std::size_t i = 0; i < named; ++i)
        headers << widgets::shortenedText(row.cells[i].leftHeader, captionTextLength);
    return QCoreApplication::translate("ResultTexts", "%n changed field(s) · %1", nullptr,
                                       static_cast<int>(row.cells.size()))
        .arg(headers.join(QStringLiteral(", ")));
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
