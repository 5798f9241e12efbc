#include "cli/Command.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "analysis/MappingAnalysis.h"
#include "cli/ColumnEdits.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "results/ComparisonReport.h"
#include "results/ComparisonRun.h"
#include "workbook/SpreadsheetImporter.h"
#include "text/Unicode.h"

namespace rowlark::cli {
namespace {

constexpr std::string_view programName = "rowlark-compare";

// An error of one named file; the message is the system's own.
class FileError : public std::runtime_error {
public:
    FileError(const std::string& path, const std::string& message)
        : std::runtime_error(path + ": " + message)
    {
    }
};

struct LoadedFile {
    std::string name;  // the last component of the path, as the app shows it
    CSVTable table;
};

LoadedFile load(const std::string& path, const std::optional<std::string>& sheet)
{
    try {
        return {std::filesystem::path(path).filename().string(),
                SpreadsheetImporter::loadWithMetadata(path, sheet).table};
    } catch (const std::exception& error) {
        throw FileError(path, error.what());
    }
}

// The permissions a newly created file gets; mkstemp would make the report private.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Writes through a temporary file beside the target that then replaces it, so a failed write
// never leaves half a report behind.
void writeAtomically(const std::string& path, std::string_view text)
{
    const std::filesystem::path target(path);
    std::string hiddenName = target.filename().string();
    hiddenName.insert(0, 1, '.');
    hiddenName += ".XXXXXX";
    std::string temporary = (target.parent_path() / hiddenName).string();
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0)
        throw FileError(path, std::generic_category().message(errno));
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(descriptor, text.data() + written, text.size() - written);
        if (count < 0) {
            const int error = errno;
            ::close(descriptor);
            std::remove(temporary.c_str());
            throw FileError(path, std::generic_category().message(error));
        }
        written += static_cast<std::size_t>(count);
    }
    if (::fchmod(descriptor, newFileMode()) != 0 || ::fsync(descriptor) != 0 || ::close(descriptor) != 0 ||
        std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        std::remove(temporary.c_str());
        throw FileError(path, std::generic_category().message(error));
    }
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
    auto pendingLeft = std::async(std::launch::async, load, options.leftPath, options.leftSheet);
    const LoadedFile right = load(options.rightPath, options.rightSheet);
    const LoadedFile left = pendingLeft.get();

    MappingAnalysisResult analysis = CSVComparator::analyzeMappings(left.table, right.table);
    const std::vector<std::string> notices =
        applyColumnEdits(options, {left.table, "File A (" + left.name + ")"},
                         {right.table, "File B (" + right.name + ")"}, analysis.mappings);
    std::ostream& summaryOut = options.reportPath == standardOutputPath ? err : out;
    if (!options.isJSON)
        for (const std::string& notice : notices)
            summaryOut << notice << '\n';
    if (options.isMappingOnly) {
        printMapping(options, out,
                     {left.table.headers(), right.table.headers(), analysis.mappings, analysis.suggestions});
        return noDifferencesStatus;
    }

    const ComparisonOutcome outcome = runComparison(left.table, right.table, left.name, right.name,
                                                    analysis.mappings, options.isIgnoringCase);
    const std::vector<std::size_t> selected = outcome.index.matching(options.filter, options.search);
    if (options.reportPath) {
        const std::string report = ComparisonReport::csv(
            outcome.summary, left.name, right.name, left.table.headers(), right.table.headers(), selected);
        if (options.reportPath == standardOutputPath)
            out.write(report.data(), static_cast<std::streamsize>(report.size())).flush();
        else
            writeAtomically(*options.reportPath, report);
    }
    const FileNames names{left.name, right.name};
    if (options.isJSON)
        writeSummaryJSON(summaryOut, names, outcome);
    else
        writeSummary(summaryOut, names, outcome,
                     {options.filter != ResultFilter::all || !text::isBlank(options.search), selected.size(),
                      options.reportPath == standardOutputPath ? std::nullopt : options.reportPath});
    return outcome.summary.differences.empty() ? noDifferencesStatus : differencesStatus;
}

}  // namespace

int runCommand(std::span<const std::string_view> arguments, std::ostream& out, std::ostream& err)
{
    try {
        const Options options = parseOptions(arguments);
        if (options.isHelpRequested) {
            out << helpText();
            return noDifferencesStatus;
        }
        return compareFiles(options, out, err);
    } catch (const std::exception& error) {
        out.flush();
        err << programName << ": " << error.what() << '\n';
        return errorStatus;
    }
}

}  // namespace rowlark::cli
