#include "model/AllSheets.h"

#include <algorithm>
#include <utility>

#include <QCoreApplication>

#include "engine/analysis/MappingAnalysis.h"
#include "engine/edits/MappingEdits.h"
#include "engine/results/ComparisonRun.h"
#include "engine/workbook/SheetPairing.h"
#include "model/ModelWork.h"
#include "model/UTF8Text.h"

namespace rowlark::model {

namespace {

QString noKeyProblem()
{
    return QCoreApplication::translate("AllSheets", "No row key was found. Choose one under Map columns.");
}

bool hasKey(const std::vector<records::ColumnMapping>& mappings)
{
    return std::ranges::any_of(mappings, [](const records::ColumnMapping& mapping) {
        return mapping.isKey && mapping.rightIndex.has_value();
    });
}

}  // namespace

WorkbookPairing pairWorkbookSheets(const InputFile& left, const InputFile& right)
{
    workbook::SheetPairing pairing = workbook::pairSheets(left.sheets, right.sheets);
    WorkbookPairing paired;
    for (const workbook::SheetEntry& sheet : left.sheets)
        paired.leftSheets.push_back(sheet.name);
    for (workbook::SheetPair& pair : pairing.pairs)
        paired.pairs.push_back({std::move(pair.left), std::move(pair.right), {}, {}, {}, {}, {}, {}, 0, {}, {}, {}});
    paired.onlyInLeft = std::move(pairing.onlyInLeft);
    paired.onlyInRight = std::move(pairing.onlyInRight);
    return paired;
}

void comparePairFromFiles(SheetPair& pair, const std::filesystem::path& leftPath,
                          const std::filesystem::path& rightPath, bool ignoreCase, std::stop_token stop)
{
    try {
        pair.leftFile = importInputFile({leftPath, true, pair.left.name, std::nullopt}, stop);
        pair.rightFile = importInputFile({rightPath, false, pair.right.name, std::nullopt}, stop);
    } catch (const ImportFailure& failure) {
        pair.leftFile.reset();
        pair.rightFile.reset();
        pair.problem = QString::fromUtf8(failure.what());
        return;
    }
    records::MappingAnalysisResult analysis =
        analysis::analyzeMappings(pair.leftFile->table, pair.rightFile->table, [&stop] { throwIfCancelled(stop); });
    pair.mappings = std::move(analysis.mappings);
    pair.suggestions = std::move(analysis.suggestions);
    comparePair(pair, ignoreCase, stop);
}

void comparePair(SheetPair& pair, bool ignoreCase, std::stop_token stop)
{
    if (!pair.leftFile || !pair.rightFile)
        return;
    pair.summary.reset();
    pair.index.reset();
    if (!hasKey(pair.mappings)) {
        pair.problem = noKeyProblem();
        return;
    }
    results::ComparisonOutcome outcome =
        results::runComparison(pair.leftFile->table, pair.rightFile->table, pair.leftFile->name, pair.rightFile->name,
                               pair.mappings, ignoreCase, [&stop] { throwIfCancelled(stop); });
    pair.summary = std::make_shared<const records::ComparisonSummary>(std::move(outcome.summary));
    pair.index = std::make_shared<const results::ResultIndex>(std::move(outcome.index));
    pair.elapsed = outcome.elapsed;
    pair.comparedAt = outcome.comparedAt;
    pair.keyWarning = utf8Text(outcome.keyWarning);
    pair.problem.clear();
}

bool canCompareTables(const table::Table& left, const table::Table& right,
                      const std::vector<records::ColumnMapping>& mappings)
{
    if (!hasKey(mappings))
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
