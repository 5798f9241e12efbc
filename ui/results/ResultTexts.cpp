#include "results/ResultTexts.h"

#include <algorithm>

#include <QLocale>
#include <QStringList>
#include <QTextBoundaryFinder>

#include "Utf8Text.h"

namespace rowlark::ui {

namespace {

constexpr std::size_t namedFieldCount = 3;
// One UTF-16 unit takes at most three bytes of UTF-8.
constexpr qsizetype utf8BytesPerUnit = 3;

}  // namespace

QString onlyIn(const QString& name)
{
    return QStringLiteral("Only in ") + name;
}

QString statusText(DiffStatus status, const QString& leftName, const QString& rightName)
{
    switch (status) {
    case DiffStatus::changed:
        return QStringLiteral("Changed");
    case DiffStatus::onlyLeft:
        return onlyIn(leftName);
    case DiffStatus::onlyRight:
        return onlyIn(rightName);
    }
    return {};
}

QString changedFieldsCaption(const RowDifference& row)
{
    if (row.cells.empty())
        return {};
    QStringList headers;
    const std::size_t named = std::min(row.cells.size(), namedFieldCount);
    for (std::size_t i = 0; i < named; ++i)
        headers << shortenedText(row.cells[i].leftHeader, captionTextLength);
    return QStringLiteral("%1 changed fields · %2").arg(row.cells.size()).arg(headers.join(QStringLiteral(", ")));
}

QString shortenedText(QStringView text, qsizetype limit)
{
    if (text.size() <= limit)
        return text.toString();
    // Whether a character ends at the cut depends only on what comes before it and the unit after it.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text.first(limit + 1).toString());
    characters.setPosition(limit);
    const qsizetype cut = characters.isAtBoundary() ? limit : std::max<qsizetype>(0, characters.toPreviousBoundary());
    return text.first(cut).toString() + QChar(0x2026);
}

QString decodedStart(std::string_view utf8, qsizetype limit)
{
    // A sequence cut at the end decodes to one stand-in, so three more units' worth of bytes keep two
    // real units past the limit.
    const auto decoded = static_cast<std::size_t>(utf8BytesPerUnit * (limit + 3));
    return utf8Text(utf8.substr(0, std::min(utf8.size(), decoded)));
}

QString shortenedText(std::string_view utf8, qsizetype limit)
{
    return shortenedText(decodedStart(utf8, limit), limit);
}

QString groupedNumber(qint64 number)
{
    return QLocale().toString(number);
}

}  // namespace rowlark::ui
