#include "cli/Command.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <exception>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <system_error>
#include <utility>

#include "RowlarkVersion.h"
#include "cli/ColumnEdits.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "engine/analysis/MappingAnalysis.h"
#include "engine/results/ComparisonReport.h"
#include "engine/results/ComparisonRun.h"
#include "engine/results/ReportFile.h"
#include "engine/results/XLSXReport.h"
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
};

struct LoadedFile {
    std::string name;  // the last component of the path, as the app shows it
    table::Table table;
    std::optional<csv::Separator> separator;  // of a CSV text
};

LoadedFile load(const FileRequest& request, workbook::FileImport::WorkbookReader reader)
{
    try {
        workbook::ImportedTable imported = workbook::FileImport::readTable(
            request.path, request.sheet, workbook::FileImport::defaultReaderLocations(), {}, reader, request.separator);
        return {std::filesystem::path(request.path).filename().string(), std::move(imported.table), imported.separator};
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

bool hasMappedKey(const std::vector<records::ColumnMapping>& mappings)
{
    return std::ranges::any_of(mappings, [](const records::ColumnMapping& mapping) {
        return mapping.isKey && mapping.rightIndex.has_value();
    });
}

// Both files load at once; when both fail, both errors are reported, File A's first.
std::pair<LoadedFile, LoadedFile> loadBoth(const Options& options)
{
    const FileRequest leftRequest{workbook::sideName(true), options.leftPath, options.leftSheet,
                                  options.leftSeparator ? options.leftSeparator : options.separator};
    const FileRequest rightRequest{workbook::sideName(false), options.rightPath, options.rightSheet,
                                   options.rightSeparator ? options.rightSeparator : options.separator};
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

int compareFiles(const Options& options, std::ostream& out, std::ostream& err)
{
    const auto [left, right] = loadBoth(options);

    records::MappingAnalysisResult analysis = analysis::analyzeMappings(left.table, right.table);
    const NamedTable leftSide{left.table, "File A (" + left.name + ")"};
    const std::vector<std::string> notices =
        applyColumnEdits(options, leftSide, {right.table, "File B (" + right.name + ")"}, analysis.mappings);
    // A misspelt column fails before the comparison does its work.
    const std::optional<std::int64_t> changedColumn =
        options.changedColumn ? std::optional(resolveColumn(leftSide, *options.changedColumn)) : std::nullopt;
    std::ostream& summaryOut = options.reportPath == standardOutputPath ? err : out;
    if (!options.isJSON)
        for (const std::string& notice : notices)
            summaryOut << notice << '\n';
    if (options.isMappingOnly) {
        printMapping(options, out,
                     {left.table.headers(), right.table.headers(), analysis.mappings, analysis.suggestions});
        return noDifferencesStatus;
    }
    if (!hasMappedKey(analysis.mappings))
        throw UsageError("no row key was found; choose the key columns with --key COLUMN (--mapping lists them)");

    const results::ComparisonOutcome outcome = results::runComparison(left.table, right.table, left.name, right.name,
                                                                      analysis.mappings, options.isIgnoringCase);
    const std::vector<std::size_t> selected = outcome.index.matching(
        options.filter, options.search,
        changedColumn ? std::optional(comparedColumn(outcome.summary, *changedColumn, *options.changedColumn, leftSide))
                      : std::nullopt);
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
        writeReport(*options.reportPath,
                    [&] { results::XLSXReport::write(*options.reportPath, outcome.summary, details, selected); });
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
                     {options.filter != records::ResultFilter::all || !text::isBlank(options.search) ||
                          changedColumn.has_value(),
                      selected.size(), options.reportPath == standardOutputPath ? std::nullopt : options.reportPath});
    return outcome.summary.differences.empty() ? noDifferencesStatus : differencesStatus;
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
        else if (options.shownTablePath)
            showTable(options, out, err);
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
