#include "engine/results/SheetComparison.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

#include "engine/analysis/MappingAnalysis.h"
#include "engine/table/Parallel.h"
#include "engine/workbook/ImportError.h"
#include "engine/workbook/ReadFailure.h"

namespace rowlark::results {
namespace {

namespace fs = std::filesystem;
using workbook::FileImport::readSheets;
using workbook::FileImport::readTable;

// What one side's read gave: the value, or the message of its failure. A cancellation passes
// through.
template<typename Value> struct SideResult {
    std::optional<Value> value;
    std::string failure;
};

template<typename Value, typename Read>
SideResult<Value> readSide(bool isLeftSide, const fs::path& path, const Read& read)
{
    try {
        return {read(), {}};
    } catch (const workbook::ImportCancelled&) {
        throw;
    } catch (const std::exception& error) {
        return {std::nullopt,
                workbook::readFailureMessage(workbook::sideName(isLeftSide), path.filename().string(), error)};
    }
}

// Both failures, File A's first, a line each.
template<typename Left, typename Right>
std::string failuresOf(const SideResult<Left>& left, const SideResult<Right>& right)
{
    if (left.failure.empty() || right.failure.empty())
        return left.failure + right.failure;
    return left.failure + '\n' + right.failure;
}

void runCheckpoint(const std::function<void()>& checkpoint)
{
    if (checkpoint)
        checkpoint();
}

}  // namespace

workbook::SheetPairing pairWorkbookSheets(const WorkbookFiles& files, std::stop_token stop)
{
    using Sheets = std::vector<workbook::SheetEntry>;
    const auto sheetsOf = [&](bool isLeftSide) {
        const fs::path& path = isLeftSide ? files.left : files.right;
        return readSide<Sheets>(isLeftSide, path,
                                [&] { return readSheets(path, files.locations, stop, files.reader); });
    };
    auto [left, right] = table::runSideBySide([&] { return sheetsOf(true); }, [&] { return sheetsOf(false); });
    if (!left.value || !right.value)
        throw SheetListError(failuresOf(left, right));
    return workbook::pairSheets(*left.value, *right.value);
}

bool hasUsableKey(const std::vector<records::ColumnMapping>& mappings)
{
    return std::ranges::any_of(mappings, [](const records::ColumnMapping& mapping) {
        return mapping.isKey && mapping.rightIndex.has_value();
    });
}

SheetComparison compareSheetPair(const WorkbookFiles& files, const workbook::SheetPair& pair, bool ignoreCase,
                                 const MappingEdit& edit, std::stop_token stop, const std::function<void()>& checkpoint)
{
    SheetComparison comparison{pair, {}, {}, {}, std::nullopt, {}};
    const auto sheetOf = [&](bool isLeftSide) {
        const fs::path& path = isLeftSide ? files.left : files.right;
        const std::string& sheet = isLeftSide ? pair.left.name : pair.right.name;
        return readSide<table::Table>(
            isLeftSide, path, [&] { return readTable(path, sheet, files.locations, stop, files.reader).table; });
    };
    auto [left, right] = table::runSideBySide([&] { return sheetOf(true); }, [&] { return sheetOf(false); });
    if (!left.value || !right.value) {
        comparison.error = failuresOf(left, right);
        return comparison;
    }
    comparison.leftHeaders = left.value->headers();
    comparison.rightHeaders = right.value->headers();
    runCheckpoint(checkpoint);
    comparison.analysis = analysis::analyzeMappings(*left.value, *right.value, checkpoint);
    if (edit) {
        try {
            edit(*left.value, *right.value, comparison.analysis);
        } catch (const std::exception& error) {
            comparison.error = error.what();
            return comparison;
        }
    }
    if (!hasUsableKey(comparison.analysis.mappings)) {
        comparison.error = noKeyMessage;
        return comparison;
    }
    runCheckpoint(checkpoint);
    comparison.outcome =
        runComparison(*left.value, *right.value, files.left.filename().string(), files.right.filename().string(),
                      comparison.analysis.mappings, ignoreCase, checkpoint);
    return comparison;
}

void compareSheetPairs(const WorkbookFiles& files, const workbook::SheetPairing& pairing, bool ignoreCase,
                       const MappingEdit& edit, const std::function<void(SheetComparison)>& finished,
                       std::stop_token stop, const std::function<void()>& checkpoint)
{
    for (const workbook::SheetPair& pair : pairing.pairs) {
        runCheckpoint(checkpoint);
        if (stop.stop_requested())
            throw workbook::ImportCancelled();
        finished(compareSheetPair(files, pair, ignoreCase, edit, stop, checkpoint));
    }
}

}  // namespace rowlark::results
