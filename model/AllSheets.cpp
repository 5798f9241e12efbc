#include "model/AllSheets.h"

#include <algorithm>
#include <utility>

#include "engine/edits/MappingEdits.h"
#include "engine/results/ComparisonRun.h"
#include "engine/results/SheetComparison.h"
#include "engine/results/XLSXReport.h"
#include "engine/workbook/SheetPairing.h"
#include "model/ModelWork.h"
#include "model/UTF8Text.h"

namespace rowlark::model {

namespace {

InputFile sheetFile(const std::filesystem::path& path, const workbook::SheetEntry& sheet,
                    const std::vector<workbook::SheetEntry>& sheets, table::Table table)
{
    return {path.filename().string(), path, std::move(table), sheets, sheet.name, std::nullopt};
}

void keepOutcome(SheetPair& pair, results::ComparisonOutcome outcome)
{
    pair.summary = std::make_shared<const records::ComparisonSummary>(std::move(outcome.summary));
    pair.index = std::make_shared<const results::ResultIndex>(std::move(outcome.index));
    pair.elapsed = outcome.elapsed;
    pair.comparedAt = outcome.comparedAt;
    pair.keyWarning = utf8Text(outcome.keyWarning);
}

}  // namespace

WorkbookPairing pairWorkbookSheets(const InputFile& left, const InputFile& right)
{
    workbook::SheetPairing pairing = workbook::pairSheets(left.sheets, right.sheets);
    WorkbookPairing paired;
    for (const workbook::SheetEntry& sheet : left.sheets)
        paired.leftSheets.push_back(sheet.name);
    for (workbook::SheetPair& pair : pairing.pairs)
        paired.pairs.push_back(SheetPair{.left = std::move(pair.left), .right = std::move(pair.right)});
    paired.onlyInLeft = std::move(pairing.onlyInLeft);
    paired.onlyInRight = std::move(pairing.onlyInRight);
    return paired;
}

void comparePairFromFiles(SheetPair& pair, const InputFile& left, const InputFile& right, bool ignoreCase,
                          std::stop_token stop)
{
    // The tables are kept as the engine hands them over for the mapping, before it compares them.
    const results::MappingEdit keepTables = [&](const table::Table& leftTable, const table::Table& rightTable,
                                                records::MappingAnalysisResult&) {
        pair.leftFile = sheetFile(*left.path, pair.left, left.sheets, leftTable);
        pair.rightFile = sheetFile(*right.path, pair.right, right.sheets, rightTable);
    };
    results::SheetComparison compared =
        results::compareSheetPair({*left.path, *right.path}, {pair.left, pair.right}, ignoreCase, keepTables, stop,
                                  [&stop] { throwIfCancelled(stop); });
    pair.mappings = std::move(compared.analysis.mappings);
    pair.suggestions = std::move(compared.analysis.suggestions);
    pair.problem = utf8Text(compared.error);
    if (compared.outcome)
        keepOutcome(pair, std::move(*compared.outcome));
}

void comparePair(SheetPair& pair, bool ignoreCase, std::stop_token stop)
{
    if (!pair.leftFile || !pair.rightFile)
        return;
    pair.summary.reset();
    pair.index.reset();
    if (!results::hasUsableKey(pair.mappings)) {
        pair.problem = utf8Text(results::noKeyMessage);
        return;
    }
    results::ComparisonOutcome outcome =
        results::runComparison(pair.leftFile->table, pair.rightFile->table, pair.leftFile->name, pair.rightFile->name,
                               pair.mappings, ignoreCase, [&stop] { throwIfCancelled(stop); });
    keepOutcome(pair, std::move(outcome));
    pair.problem.clear();
}

std::size_t saveAllSheets(const std::filesystem::path& path, const WorkbookPairing& pairing,
                          const std::string& leftName, const std::string& rightName, std::stop_token stop)
{
    // The reports refer to these, so they are all made before the first report.
    std::vector<std::string> keys;
    std::vector<std::string> times;
    std::vector<std::vector<std::size_t>> positions;
    std::vector<std::string> problems;
    const std::vector<std::string> noHeaders;
    for (const SheetPair& pair : pairing.pairs) {
        keys.push_back(pair.leftFile ? results::XLSXReport::keyColumns(pair.mappings, pair.leftFile->table.headers())
                                     : std::string());
        times.push_back(pair.summary ? results::XLSXReport::localTime(pair.comparedAt) : std::string());
        positions.push_back(pair.index ? pair.index->matching(records::ResultFilter::all, "")
                                       : std::vector<std::size_t>());
        problems.push_back(pair.problem.toStdString());
    }
    const std::string filter = records::title(records::ResultFilter::all, leftName, rightName);
    std::vector<results::XLSXReport::SheetReport> reports;
    std::size_t rows = 0;
    for (std::size_t index = 0; index < pairing.pairs.size(); ++index) {
        const SheetPair& pair = pairing.pairs[index];
        reports.push_back({pair.left,
                           pair.right,
                           pair.summary.get(),
                           {leftName,
                            rightName,
                            pair.leftFile ? pair.leftFile->table.headers() : noHeaders,
                            pair.rightFile ? pair.rightFile->table.headers() : noHeaders,
                            keys[index],
                            times[index],
                            filter,
                            {},
                            {}},
                           positions[index],
                           problems[index]});
        rows += positions[index].size();
    }
    const std::string comparedAt = results::XLSXReport::localTime(std::chrono::system_clock::now());
    if (!results::XLSXReport::writeSheets(
            path, reports, {leftName, rightName, comparedAt, pairing.onlyInLeft, pairing.onlyInRight}, stop))
        throw OperationCancelled{};
    return rows;
}

bool canCompareTables(const table::Table& left, const table::Table& right,
                      const std::vector<records::ColumnMapping>& mappings)
{
    if (!results::hasUsableKey(mappings))
        return false;
    const auto leftCount = static_cast<std::int64_t>(left.columnCount());
    const auto rightCount = static_cast<std::int64_t>(right.columnCount());
    return std::ranges::all_of(mappings, [&](const records::ColumnMapping& mapping) {
        if (mapping.leftIndex < 0 || mapping.leftIndex >= leftCount)
            return false;
        if (!mapping.rightIndex)
            return true;
        const std::int64_t rightIndex = *mapping.rightIndex;
        if (rightIndex < 0 || rightIndex >= rightCount)
            return false;
        return edits::MappingEdits::canPair(left, right, mapping.leftIndex, rightIndex);
    });
}

}  // namespace rowlark::model
