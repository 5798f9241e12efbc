#include "cli/Command.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>
#include <utility>

#include "RowlarkVersion.h"
#include "cli/ColumnEdits.h"
#include "cli/GitDiff.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "engine/analysis/MappingAnalysis.h"
#include "engine/results/ComparisonReport.h"
#include "engine/results/ComparisonRun.h"
#include "engine/results/HTMLReport.h"
#include "engine/results/ReportFile.h"
#include "engine/results/SheetComparison.h"
#include "engine/results/XLSXReport.h"
#include "engine/setups/SetupApplication.h"
#include "engine/table/Parallel.h"
#include "engine/text/Unicode.h"
#include "engine/workbook/FileImport.h"
#include "engine/workbook/ReadFailure.h"

namespace rowlark::cli {
namespace {

constexpr std::string_view programName = "rowlark-compare";

// An error of one named file, or of both input files, a line each.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    FileError(const std::string& path, const std::string& message)
        : std::runtime_error(path + ": " + message)
    {
    }
};

// One file to read, and the side it is read as ("File A", "File B", or empty for --show-table).
struct FileRequest {
    std::string_view side;
    std::string path;
    std::optional<std::string> sheet;
    std::optional<csv::Separator> separator;
    bool isSetupSheet = false;  // the setup named the sheet: the first one stands in when it is gone
};

struct LoadedFile {
    std::string name;  // the last component of the path, as the app shows it
    table::Table table;
    std::optional<csv::Separator> separator;  // of a CSV text
    std::optional<std::string> sheet;         // the sheet read, of a workbook
    std::optional<std::string> notice;        // of the setup's sheet, when the workbook no longer has it
};

LoadedFile load(const FileRequest& request, workbook::FileImport::WorkbookReader reader)
{
    try {
        const auto read = [&](const std::optional<std::string>& sheet) {
            return workbook::FileImport::readTable(request.path, sheet, workbook::FileImport::defaultReaderLocations(),
                                                   {}, reader, request.separator);
        };
        setups::SideRead side = request.isSetupSheet ? setups::readSide(request.sheet, request.side, read)
                                                     : setups::SideRead{read(request.sheet), std::nullopt};
        return {std::filesystem::path(request.path).filename().string(), std::move(side.imported.table),
                side.imported.separator, std::move(side.imported.sheet), std::move(side.notice)};
    } catch (const std::exception& error) {
        throw FileError(workbook::readFailureMessage(request.side, request.path, error));
    }
}

void writeReport(const std::string& path, const std::function<void()>& write)
{
    try {
        write();
    } catch (const std::system_error& error) {
        throw FileError(path, error.code().message());
    } catch (const results::XLSXReport::WorkbookError& error) {
        throw FileError(path, error.what());
    }
}

// A failed write to standard output (a full disk, say) is an error like any other.
void finishWriting(std::ostream& out)
{
    out.flush();
    if (!out)
        throw std::runtime_error("standard output: " + std::generic_category().message(errno != 0 ? errno : EIO));
}

// A saved setup and where it was read from, which its relative paths start from.
struct SetupRun {
    std::filesystem::path path;
    setups::Setup setup;
};

std::optional<SetupRun> readSetup(const Options& options)
{
    if (!options.setupPath)
        return std::nullopt;
    try {
        return SetupRun{*options.setupPath, setups::read(*options.setupPath)};
    } catch (const std::system_error& error) {
        throw FileError(*options.setupPath, error.code().message());
    } catch (const setups::SetupError& error) {
        throw FileError(*options.setupPath, error.what());
    }
}

// The files of the command line replace the setup's, and so do its sheets; the setup's filter,
// search and letter-case switch hold unless the command line gives its own.
Options withSetup(Options options, const std::optional<SetupRun>& run)
{
    if (!run)
        return options;
    const setups::Setup& setup = run->setup;
    if (options.leftPath.empty()) {
        options.leftPath = setups::resolvedPath(setup.left.path, run->path).string();
        options.rightPath = setups::resolvedPath(setup.right.path, run->path).string();
    }
    if (!options.isFilterGiven)
        options.filter = setup.results.filter;
    if (!options.isSearchGiven)
        options.search = setup.results.search;
    options.isIgnoringCase = options.isIgnoringCase || setup.ignoreCase;
    return options;
}

// Each side's file, sheet and separator: the command line's, else the setup's sheet.
std::pair<FileRequest, FileRequest> sideRequests(const Options& options, const std::optional<SetupRun>& run)
{
    const auto request = [&options](bool isLeft, const std::string& path, const std::optional<std::string>& sheet,
                                    const std::optional<std::string>& setupSheet,
                                    const std::optional<csv::Separator>& separator) {
        const bool isSetupSheet = !sheet && setupSheet;
        return FileRequest{workbook::sideName(isLeft), path, isSetupSheet ? setupSheet : sheet,
                           separator ? separator : options.separator, isSetupSheet};
    };
    const std::optional<std::string> none;
    return {
        request(true, options.leftPath, options.leftSheet, run ? run->setup.left.sheet : none, options.leftSeparator),
        request(false, options.rightPath, options.rightSheet, run ? run->setup.right.sheet : none,
                options.rightSeparator)};
}

// Both files load at once; when both fail, both errors are reported, File A's first.
std::pair<LoadedFile, LoadedFile> loadBoth(const Options& options, const std::optional<SetupRun>& run)
{
    const auto [leftRequest, rightRequest] = sideRequests(options, run);
    auto pendingLeft = std::async(std::launch::async, load, leftRequest, options.reader);
    std::optional<LoadedFile> right;
    std::optional<FileError> rightError;
    try {
        right = load(rightRequest, options.reader);
    } catch (const FileError& error) {
        rightError = error;
    }
    std::optional<LoadedFile> left;
    try {
        left = pendingLeft.get();
    } catch (const FileError& error) {
        throw FileError(rightError ? error.what() + std::string("\n") + rightError->what() : error.what());
    }
    if (rightError)
        throw *rightError;
    return {std::move(*left), std::move(*right)};
}

// The table of --show-table, after the separator of a CSV text on `err`.
void showTable(const Options& options, std::ostream& out, std::ostream& err)
{
    const LoadedFile file = load({{}, *options.shownTablePath, options.shownSheet, options.separator}, options.reader);
    if (file.separator)
        err << csv::title(*file.separator) << '\n';
    writeTable(out, file.table);
}

// The position among the compared columns of File A column `leftIndex`, which `reference` named.
std::size_t comparedColumn(const records::ComparisonSummary& summary, std::int64_t leftIndex,
                           std::string_view reference, const NamedTable& left)
{
    const auto column = std::ranges::find(summary.columns, leftIndex, &records::ColumnChanges::leftIndex);
    if (column == summary.columns.end())
        throw UsageError("column “" + std::string(reference) + "” of " + left.description +
                         " is not compared (it has no File B column, or it is excluded), so --column cannot select "
                         "its changes");
    return static_cast<std::size_t>(column - summary.columns.begin());
}

void printMapping(const Options& options, std::ostream& out, const MappingTables& tables)
{
    if (options.isJSON)
        writeMappingJSON(out, tables);
    else
        writeMapping(out, tables);
}

// The proposed mapping with the setup and then the command line's edits made, and what the edits
// said.
struct EditedMapping {
    records::MappingAnalysisResult analysis;
    std::optional<std::int64_t> changedColumn;  // the File A column of --column, else of the setup
    std::string changedColumnReference;         // how it was named
    std::vector<std::string> notices;
};

// The setup put on the proposed mapping; what no longer fits goes to `err`. A key that cannot be
// applied is an error, unless --key chooses another.
setups::AppliedSetup applySetup(const Options& options, const SetupRun& run, const LoadedFile& left,
                                const LoadedFile& right, records::MappingAnalysisResult& analysis, std::ostream& err)
{
    setups::AppliedSetup applied = setups::apply(run.setup, left.table, right.table, std::move(analysis.mappings));
    for (const std::optional<std::string>& notice : {left.notice, right.notice})
        if (notice)
            err << *notice << '\n';
    for (const std::string& notice : applied.notices)
        err << notice << '\n';
    if (!applied.isKeyApplied && options.keyColumns.empty())
        throw UsageError("the key of setup " + run.path.filename().string() +
                         " cannot be applied to these files; choose the key columns with --key COLUMN");
    analysis.mappings = std::move(applied.mappings);
    return applied;
}

EditedMapping editMapping(const Options& options, const LoadedFile& left, const LoadedFile& right,
                          records::MappingAnalysisResult analysis, const std::optional<SetupRun>& run,
                          std::ostream& err)
{
    std::optional<std::int64_t> setupColumn;
    if (run)
        setupColumn = applySetup(options, *run, left, right, analysis, err).changedColumn;
    const NamedTable leftSide{left.table, "File A (" + left.name + ")"};
    std::vector<std::string> notices =
        applyColumnEdits(options, leftSide, {right.table, "File B (" + right.name + ")"}, analysis.mappings);
    if (!options.changedColumn)
        return {std::move(analysis), setupColumn, setupColumn ? "#" + std::to_string(*setupColumn + 1) : "",
                std::move(notices)};
    // A misspelt column fails before the comparison does its work.
    const std::int64_t changedColumn = resolveColumn(leftSide, *options.changedColumn);
    return {std::move(analysis), changedColumn, *options.changedColumn, std::move(notices)};
}

struct Comparison {
    results::ComparisonOutcome outcome;
    std::vector<std::size_t> selected;  // what --filter, --search and --column select
};

Comparison compareEdited(const Options& options, const LoadedFile& left, const LoadedFile& right,
                         const EditedMapping& edited)
{
    if (!results::hasUsableKey(edited.analysis.mappings))
        throw UsageError("no row key was found; choose the key columns with --key COLUMN (--mapping lists them)");
    results::ComparisonOutcome outcome = results::runComparison(left.table, right.table, left.name, right.name,
                                                                edited.analysis.mappings, options.isIgnoringCase);
    const NamedTable leftSide{left.table, "File A (" + left.name + ")"};
    std::vector<std::size_t> selected = outcome.index.matching(
        options.filter, options.search,
        edited.changedColumn ? std::optional(comparedColumn(outcome.summary, *edited.changedColumn,
                                                            edited.changedColumnReference, leftSide))
                             : std::nullopt);
    return {std::move(outcome), std::move(selected)};
}

bool isNarrowed(const Options& options, const EditedMapping& edited)
{
    return options.filter != records::ResultFilter::all || !text::isBlank(options.search) ||
           edited.changedColumn.has_value();
}

// Saves the setup of this comparison where --save-setup says.
void saveSetup(const Options& options, const LoadedFile& left, const LoadedFile& right, const EditedMapping& edited)
{
    const std::filesystem::path path = *options.savedSetupPath;
    const setups::SetupSources sources{options.leftPath,
                                       options.rightPath,
                                       left.sheet,
                                       right.sheet,
                                       left.table.headers(),
                                       right.table.headers(),
                                       edited.analysis.mappings,
                                       options.isIgnoringCase,
                                       options.filter,
                                       options.search,
                                       edited.changedColumn};
    try {
        setups::write(path, setups::capture(sources, path));
    } catch (const std::system_error& error) {
        throw FileError(path.string(), error.code().message());
    } catch (const setups::SetupError& error) {
        throw FileError(path.string(), error.what());
    }
}

// The page report of the selected differences, which names what selected them.
void writePage(const Options& options, const LoadedFile& left, const LoadedFile& right, const EditedMapping& edited,
               const Comparison& comparison)
{
    const std::string key = results::XLSXReport::keyColumns(edited.analysis.mappings, left.table.headers());
    const std::string comparedAt = results::XLSXReport::localTime(comparison.outcome.comparedAt);
    const std::string filter = options.filter == records::ResultFilter::all
                                   ? std::string()
                                   : records::title(options.filter, left.name, right.name);
    const std::optional<std::int64_t>& column = edited.changedColumn;
    const std::string changedColumn =
        column ? records::columnName(left.table.headers()[static_cast<std::size_t>(*column)], *column) : std::string();
    const results::HTMLReport::Details details{left.name,
                                               right.name,
                                               left.table.headers(),
                                               right.table.headers(),
                                               edited.analysis.mappings,
                                               key,
                                               comparedAt,
                                               comparison.outcome.keyWarning,
                                               options.isIgnoringCase,
                                               filter,
                                               text::trimmed(options.search),
                                               changedColumn};
    writeReport(*options.reportPath, [&] {
        results::HTMLReport::write(*options.reportPath, comparison.outcome.summary, details, comparison.selected);
    });
}

int compareFiles(const Options& given, std::ostream& out, std::ostream& err)
{
    const std::optional<SetupRun> setup = readSetup(given);
    const Options options = withSetup(given, setup);
    const auto [left, right] = loadBoth(options, setup);

    const EditedMapping edited =
        editMapping(options, left, right, analysis::analyzeMappings(left.table, right.table), setup, err);
    const auto& [analysis, changedColumn, changedColumnReference, notices] = edited;
    std::ostream& summaryOut = options.reportPath == standardOutputPath ? err : out;
    if (!options.isJSON)
        for (const std::string& notice : notices)
            summaryOut << notice << '\n';
    if (options.savedSetupPath && (options.isMappingOnly || results::hasUsableKey(analysis.mappings))) {
        saveSetup(options, left, right, edited);
        if (!options.isJSON)
            summaryOut << "Saved the setup to " << *options.savedSetupPath << ".\n";
    }
    if (options.isMappingOnly) {
        printMapping(options, out,
                     {left.table.headers(), right.table.headers(), analysis.mappings, analysis.suggestions});
        return noDifferencesStatus;
    }

    const Comparison comparison = compareEdited(options, left, right, edited);
    const auto& [outcome, selected] = comparison;
    if (options.reportPath && options.reportPath != standardOutputPath &&
        results::XLSXReport::isWorkbookPath(*options.reportPath)) {
        const std::string key = results::XLSXReport::keyColumns(analysis.mappings, left.table.headers());
        const std::string comparedAt = results::XLSXReport::localTime(outcome.comparedAt);
        const std::string filter = records::title(options.filter, left.name, right.name);
        const std::string column =
            changedColumn
                ? records::columnName(left.table.headers()[static_cast<std::size_t>(*changedColumn)], *changedColumn)
                : std::string();
        const results::XLSXReport::Details details{left.name,
                                                   right.name,
                                                   left.table.headers(),
                                                   right.table.headers(),
                                                   key,
                                                   comparedAt,
                                                   filter,
                                                   text::trimmed(options.search),
                                                   column};
        writeReport(*options.reportPath, [&] {
            results::XLSXReport::write(*options.reportPath, comparison.outcome.summary, details, comparison.selected);
        });
    } else if (options.reportPath && options.reportPath != standardOutputPath &&
               results::HTMLReport::isPagePath(*options.reportPath)) {
        writePage(options, left, right, edited, comparison);
    } else if (options.reportPath) {
        const std::string report = results::ComparisonReport::csv(
            outcome.summary, left.name, right.name, left.table.headers(), right.table.headers(), selected);
        if (options.reportPath == standardOutputPath) {
            out.write(report.data(), static_cast<std::streamsize>(report.size()));
            finishWriting(out);
        } else {
            writeReport(*options.reportPath, [&] { results::ReportFile::write(*options.reportPath, report); });
        }
    }
    const FileNames names{left.name, right.name};
    if (options.isJSON)
        writeSummaryJSON(summaryOut, names, outcome);
    else
        writeSummary(summaryOut, names, outcome,
                     {isNarrowed(options, edited), selected.size(),
                      options.reportPath == standardOutputPath ? std::nullopt : options.reportPath,
                      options.maxDifferences});
    if (options.maxDifferences)
        return selected.size() <= *options.maxDifferences ? noDifferencesStatus : differencesStatus;
    return outcome.summary.differences.empty() ? noDifferencesStatus : differencesStatus;
}

// The mapping edits of the command line made on one pair of --all-sheets; their notices go to
// `notices`.
results::MappingEdit pairEdits(const Options& options, const std::string& leftName, const std::string& rightName,
                               std::vector<std::string>& notices)
{
    return [&options, &notices, leftName, rightName](const table::Table& left, const table::Table& right,
                                                     records::MappingAnalysisResult& analysis) {
        notices = applyColumnEdits(options, {left, "File A (" + leftName + ")"}, {right, "File B (" + rightName + ")"},
                                   analysis.mappings);
    };
}

// One finished pair of --all-sheets, kept for the JSON summary and the report.
struct FinishedPair {
    results::SheetComparison comparison;
    std::vector<std::size_t> selected;
};

void writeSheetsReport(const Options& options, const FileNames& names, const workbook::SheetPairing& pairing,
                       const std::vector<FinishedPair>& pairs)
{
    std::vector<std::string> keys;
    std::vector<std::string> times;
    for (const FinishedPair& pair : pairs) {
        keys.push_back(results::XLSXReport::keyColumns(pair.comparison.analysis.mappings, pair.comparison.leftHeaders));
        times.push_back(pair.comparison.outcome ? results::XLSXReport::localTime(pair.comparison.outcome->comparedAt)
                                                : std::string());
    }
    const std::string filter = records::title(options.filter, names.left, names.right);
    const std::string search(text::trimmed(options.search));
    std::vector<results::XLSXReport::SheetReport> reports;
    for (std::size_t index = 0; index < pairs.size(); ++index) {
        const results::SheetComparison& comparison = pairs[index].comparison;
        reports.push_back({comparison.sheets.left,
                           comparison.sheets.right,
                           comparison.outcome ? &comparison.outcome->summary : nullptr,
                           {names.left,
                            names.right,
                            comparison.leftHeaders,
                            comparison.rightHeaders,
                            keys[index],
                            times[index],
                            filter,
                            search,
                            {}},
                           pairs[index].selected,
                           comparison.error});
    }
    const std::string comparedAt = results::XLSXReport::localTime(std::chrono::system_clock::now());
    writeReport(*options.reportPath, [&] {
        results::XLSXReport::writeSheets(
            *options.reportPath, reports,
            {names.left, names.right, comparedAt, pairing.onlyInLeft, pairing.onlyInRight});
    });
}

// --all-sheets: the sheets of both workbooks paired, each pair compared on its own, one after
// another. The text summary of a pair is printed as soon as it is done.
int compareAllSheets(const Options& options, std::ostream& out)
{
    for (const std::string& path : {options.leftPath, options.rightPath})
        if (workbook::FileImport::isCSVText(path))
            throw UsageError("--all-sheets compares two workbooks, but " + path + " is read as a CSV text");
    const results::WorkbookFiles files{options.leftPath, options.rightPath,
                                       workbook::FileImport::defaultReaderLocations(), options.reader};
    const FileNames names{files.left.filename().string(), files.right.filename().string()};
    workbook::SheetPairing pairing;
    try {
        pairing = results::pairWorkbookSheets(files);
    } catch (const results::SheetListError& error) {
        throw FileError(error.what());
    }
    const bool isNarrowed = options.filter != records::ResultFilter::all || !text::isBlank(options.search);
    std::vector<FinishedPair> pairs;
    std::vector<std::string> notices;
    bool hasDifferences = false;
    bool hasFailures = false;
    const auto finished = [&](results::SheetComparison comparison) {
        std::vector<std::size_t> selected;
        if (comparison.outcome) {
            selected = comparison.outcome->index.matching(options.filter, options.search);
            hasDifferences = hasDifferences || !comparison.outcome->summary.differences.empty();
        }
        hasFailures = hasFailures || !comparison.outcome;
        if (!options.isJSON) {
            out << (pairs.empty() ? "" : "\n");
            writePairHeading(out, comparison.sheets);
            for (const std::string& notice : notices)
                out << notice << '\n';
            if (comparison.outcome)
                writeSummary(out, names, *comparison.outcome,
                             {isNarrowed, selected.size(), std::nullopt, std::nullopt, true});
            else
                writePairError(out, comparison.error);
        }
        notices.clear();
        pairs.push_back({std::move(comparison), std::move(selected)});
    };
    results::compareSheetPairs(files, pairing, options.isIgnoringCase,
                               pairEdits(options, names.left, names.right, notices), finished);
    if (options.reportPath)
        writeSheetsReport(options, names, pairing, pairs);
    if (options.isJSON) {
        std::vector<PairResult> results;
        for (const FinishedPair& pair : pairs)
            results.push_back({pair.comparison.sheets, pair.comparison.outcome ? &*pair.comparison.outcome : nullptr,
                               pair.comparison.error});
        writeSheetsJSON(out, names, results, pairing);
    } else {
        if (!pairs.empty() && (!pairing.onlyInLeft.empty() || !pairing.onlyInRight.empty()))
            out << '\n';
        writeUnpairedSheets(out, names, pairing);
        if (options.reportPath)
            out << "Exported " << pairs.size() << " pairs of sheets to " << *options.reportPath
                << ". Formula-like values were escaped for spreadsheet safety.\n";
    }
    if (hasFailures)
        return errorStatus;
    // A sheet in one workbook only makes the workbooks differ as much as a record does.
    const bool hasUnpaired = !pairing.onlyInLeft.empty() || !pairing.onlyInRight.empty();
    return hasDifferences || hasUnpaired ? differencesStatus : noDifferencesStatus;
}

// One side of git's diff, read as the table type its path in the repository names; `name` is
// how the diff calls it.
LoadedFile loadForGit(const std::string& file, const std::string& path, std::string name,
                      const std::optional<std::string>& sheet, workbook::FileImport::WorkbookReader reader)
{
    try {
        const FileUnderName named(file, path);
        table::Table table = workbook::FileImport::readTable(named.path(), sheet,
                                                             workbook::FileImport::defaultReaderLocations(), {}, reader)
                                 .table;
        return {std::move(name), std::move(table), std::nullopt, std::nullopt, std::nullopt};
    } catch (const std::exception& error) {
        throw FileError(name, error.what());
    }
}

// The side of an added or a removed path: no records, the columns of the other side.
LoadedFile absentSide(const LoadedFile& other)
{
    return {std::string(absentFile), table::Table::fromRows(other.table.headers(), {}), std::nullopt, std::nullopt,
            std::nullopt};
}

// The table diff of one path for git: its names as a unified diff gives them, the summary, then
// every selected difference. The exit status is 0 whatever the differences, as git expects.
int diffForGit(const Options& given, std::ostream& out, std::ostream& err)
{
    const std::optional<SetupRun> setup = readSetup(given);
    const Options options = withSetup(given, setup);
    const GitDiffFiles& files = *options.gitDiff;
    if (isRunInsteadOfDifftool()) {
        out.flush();
        handOverToDifftool(files);
    }
    if (files.isUnmerged) {
        out << "* Unmerged path " << files.oldPath << '\n';
        return noDifferencesStatus;
    }
    const bool hasOld = files.oldFile != absentFile;
    const bool hasNew = files.newFile != absentFile;
    if (!hasOld && !hasNew)
        throw UsageError("git named no file to compare for " + files.oldPath);
    std::optional<LoadedFile> old;
    std::optional<LoadedFile> current;
    if (hasOld)
        old = loadForGit(files.oldFile, files.oldPath, "a/" + files.oldPath, options.leftSheet, options.reader);
    if (hasNew)
        current = loadForGit(files.newFile, files.newPath, "b/" + files.newPath, options.rightSheet, options.reader);
    const LoadedFile left = old ? std::move(*old) : absentSide(*current);
    const LoadedFile right = current ? std::move(*current) : absentSide(left);
    // A side without records proposes nothing: the other side's columns are matched with themselves.
    const LoadedFile& proposing = hasOld ? left : right;
    const EditedMapping edited =
        editMapping(options, left, right,
                    hasOld && hasNew ? analysis::analyzeMappings(left.table, right.table)
                                     : analysis::analyzeMappings(proposing.table, proposing.table),
                    setup, err);
    out << "--- " << left.name << "\n+++ " << right.name << '\n';
    for (const std::string& notice : edited.notices)
        out << notice << '\n';
    const auto [outcome, selected] = compareEdited(options, left, right, edited);
    writeSummary(out, {left.name, right.name}, outcome,
                 {isNarrowed(options, edited), selected.size(), std::nullopt, std::nullopt, false});
    if (!selected.empty())
        out << '\n';
    writeRecordDifferences(out, outcome.summary, selected);
    return noDifferencesStatus;
}

// Ends the program the way the signal would have, without the report's temporary file.
void removeUnfinishedReportAndEnd(int signal)
{
    results::ReportFile::removeUnfinishedFile();
    ::raise(signal);  // the handler was reset to the default action on entry
}

}  // namespace

void removeUnfinishedReportOnTermination()
{
    for (const int signal : {SIGHUP, SIGINT, SIGTERM}) {
        struct sigaction previous {};
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        if (::sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = removeUnfinishedReportAndEnd;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

int runCommand(std::span<const std::string_view> arguments, std::ostream& out, std::ostream& err)
{
    try {
        const Options options = parseOptions(arguments);
        int status = noDifferencesStatus;
        if (options.isHelpRequested)
            out << helpText();
        else if (options.isVersionRequested)
            out << programName << ' ' << version << '\n';
        else if (options.gitDiff)
            status = diffForGit(options, out, err);
        else if (options.shownTablePath)
            showTable(options, out, err);
        else if (options.isAllSheets)
            status = compareAllSheets(options, out);
        else
            status = compareFiles(options, out, err);
        finishWriting(out);
        return status;
    } catch (const std::exception& error) {
        out.flush();
        // A message of several lines (both files failed) names the program on each.
        const std::string_view message = error.what();
        for (std::size_t start = 0; start <= message.size();) {
            const std::size_t end = std::min(message.find('\n', start), message.size());
            err << programName << ": " << message.substr(start, end - start) << '\n';
            start = end + 1;
        }
        return errorStatus;
    }
}

}  // namespace rowlark::cli
