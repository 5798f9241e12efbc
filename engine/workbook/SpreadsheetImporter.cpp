#include "workbook/SpreadsheetImporter.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "text/Unicode.h"
#include "workbook/ImportError.h"
#include "workbook/ReaderProcess.h"
#include "workbook/ReaderProtocol.h"
#include "workbook/WorkbookPayload.h"

namespace rowlark::workbook::SpreadsheetImporter {
namespace {

namespace fs = std::filesystem;
using readerProtocol::Answer;

constexpr std::string_view bundleName = "Rowlark_Rowlark.bundle";

std::string lowercasedExtension(const fs::path& path)
{
    const std::string name = path.filename().string();
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : text::lowercased(std::string_view(name).substr(dot + 1));
}

[[noreturn]] void throwSystemError(int error)
{
    throw std::system_error(error, std::generic_category());
}

// The whole file, refused as soon as it is known to be over the limit: first by its size on
// disk, then by what was actually read (the file may grow in between).
std::string readWorkbookFile(const fs::path& path)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error)
        throw std::system_error(error);
    if (size > static_cast<std::uintmax_t>(maximumWorkbookBytes))
        throw ImportError::fileTooLarge(maximumWorkbookBytes);

    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        throwSystemError(errno);
    std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
    std::size_t used = 0;
    while (true) {
        if (used == bytes.size()) {
            if (bytes.size() > static_cast<std::size_t>(maximumWorkbookBytes))
                break;
            bytes.resize(bytes.size() * 2);
        }
        const ssize_t count = ::read(descriptor, bytes.data() + used, bytes.size() - used);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            const int readError = errno;
            ::close(descriptor);
            throwSystemError(readError);
        }
        if (count == 0)
            break;
        used += static_cast<std::size_t>(count);
    }
    ::close(descriptor);
    if (used > static_cast<std::size_t>(maximumWorkbookBytes))
        throw ImportError::fileTooLarge(maximumWorkbookBytes);
    bytes.resize(used);
    return bytes;
}

struct Reader {
    fs::path helper;
    fs::path library;
};

Reader locateReader(const ReaderLocations& locations)
{
    Reader reader;
    for (const fs::path& directory : locations.helperDirectories) {
        const fs::path candidate = directory / readerProtocol::helperProgramName;
        std::error_code error;
        if (fs::is_regular_file(candidate, error) && ::access(candidate.c_str(), X_OK) == 0) {
            reader.helper = candidate;
            break;
        }
    }
    for (const fs::path& directory : locations.bundleDirectories) {
        const fs::path bundle = directory / bundleName;
        std::error_code error;
        if (fs::is_directory(bundle, error)) {
            reader.library = bundle / "Vendor" / "xlsx.full.min.js";
            break;
        }
    }
    std::error_code error;
    if (reader.helper.empty() || reader.library.empty() || !fs::is_regular_file(reader.library, error))
        throw ImportError::readerResourceMissing();
    return reader;
}

std::string sheetHeader(const std::optional<std::string>& sheet)
{
    return sheet ? std::to_string(sheet->size()) + "\n" + *sheet : std::string("-\n");
}

bool containsAny(std::string_view text, std::string_view first, std::string_view second)
{
    return text.find(first) != std::string_view::npos || text.find(second) != std::string_view::npos;
}

// The helper's memory ceiling: a third of the machine's memory, so that the two sides of a
// comparison loading at once still leave a third to everything else.
std::uint64_t readerMemoryBytes()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageBytes = ::sysconf(_SC_PAGESIZE);
    constexpr std::uint64_t fallback = std::uint64_t(4) << 30;
    if (pages <= 0 || pageBytes <= 0)
        return fallback;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageBytes) / 3;
}

// The helper's processor time: a few seconds plus fifteen a megabyte of file, about three times what
// the library takes for the densest sheets (a 2 MB workbook of a million cells reads in about
// 13 seconds).
std::uint64_t readerProcessorSeconds(std::size_t workbookBytes)
{
    return 5 + 15 * static_cast<std::uint64_t>(workbookBytes) / 1048576;
}

// The last line of a text, line breaks at its end left out: what a crash or a sanitizer last
// said on the helper's standard error.
std::string_view lastLine(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    const std::size_t lineStart = text.find_last_of('\n');
    return lineStart == std::string_view::npos ? text : text.substr(lineStart + 1);
}

// Why a helper did not end with an answer, in terms the user can act on.
std::string abnormalEndReason(const ProcessOutcome& outcome)
{
    if (outcome.isSignaled && outcome.signal == SIGKILL)
        return "The reader was stopped by the system, most likely because the worksheet is too large for the "
               "available memory.";
    if (outcome.isSignaled)
        return std::string("The reader crashed (") + ::strsignal(outcome.signal) + ").";
    if (outcome.exitStatus == readerProtocol::outOfMemoryStatus)
        return "The worksheet is too large for the available memory.";
    if (outcome.exitStatus != 0)
        return "The reader stopped unexpectedly with exit status " + std::to_string(outcome.exitStatus) + ".";
    return "The reader ended without an answer.";
}

// The reason, followed by the last thing the helper said on its standard error, if anything.
std::string abnormalEndMessage(const ProcessOutcome& outcome)
{
    const std::string_view said = lastLine(outcome.errorOutput);
    if (said.empty())
        return abnormalEndReason(outcome);
    return abnormalEndReason(outcome) + " It reported: " + std::string(said);
}

// The reader's exception text is only known by the words it contains.
ImportError mappedReaderError(std::string_view message, const std::optional<std::string>& selectedSheet)
{
    if (message.find("SHEET_NOT_FOUND") != std::string_view::npos)
        return ImportError::sheetNotFound(selectedSheet.value_or(std::string()));
    if (message.find("WORKSHEET_TOO_LARGE") != std::string_view::npos)
        return ImportError::worksheetTooLarge();
    const std::string lowered = text::lowercased(message);
    if (containsAny(lowered, "encrypt", "password"))
        return ImportError::encryptedWorkbook();
    if (containsAny(lowered, "unsupported", "invalid"))
        return ImportError::workbookUnreadable();
    return ImportError::readerFailure(std::string(message));
}

WorkbookPayload readWorkbook(const fs::path& path, const std::optional<std::string>& selectedSheet, bool isNamesOnly,
                             const ReaderLocations& locations, std::stop_token stop)
{
    const std::string bytes = readWorkbookFile(path);
    const Reader reader = locateReader(locations);
    const std::vector<std::string> arguments{reader.library.string(),
                                             std::to_string(maximumRows),
                                             std::to_string(maximumColumns),
                                             std::to_string(maximumCells),
                                             isNamesOnly ? "1" : "0",
                                             std::to_string(readerMemoryBytes()),
                                             std::to_string(readerProcessorSeconds(bytes.size()))};
    const std::string header = sheetHeader(selectedSheet);

    ProcessOutcome outcome;
    try {
        outcome =
            runProcess(reader.helper, arguments, {header, bytes}, readerProtocol::maximumPayloadBytes, std::move(stop));
    } catch (const std::system_error& error) {
        throw ImportError::readerFailure(std::string("The reader could not be started: ") + error.what());
    }
    // Past its processor time or its payload bound, the workbook asked for more than a read may take.
    if (outcome.isOutputOverLimit || (outcome.isSignaled && outcome.signal == SIGXCPU))
        throw ImportError::worksheetTooLarge();
    if (outcome.isSignaled || outcome.exitStatus != 0 || outcome.output.empty())
        throw ImportError::readerFailure(abnormalEndMessage(outcome));

    const std::string_view answer = std::string_view(outcome.output).substr(1);
    switch (static_cast<Answer>(outcome.output.front())) {
    case Answer::payload:
        if (auto payload = WorkbookPayload::decode(answer))
            return std::move(*payload);
        [[fallthrough]];
    case Answer::noResult:
        throw ImportError::readerFailure("The workbook returned invalid worksheet data.");
    case Answer::exception:
        throw mappedReaderError(answer, selectedSheet);
    case Answer::noContext:
        throw ImportError::readerFailure("JavaScriptCore could not create an execution context.");
    case Answer::libraryUnreadable:
        throw ImportError::readerResourceMissing();
    case Answer::damagedArchive:
        throw ImportError::workbookUnreadable();
    case Answer::archiveTooLarge:
        throw ImportError::worksheetTooLarge();
    }
    throw ImportError::readerFailure(abnormalEndMessage(ProcessOutcome{}));
}

table::CSVTable table(WorkbookPayload payload)
{
    if (payload.rowCount == 0)
        throw ImportError::emptyWorksheet();
    bool isHeaderBlank = true;
    for (const std::string& name : payload.firstRow)
        isHeaderBlank = isHeaderBlank && name.empty();
    if (isHeaderBlank)
        throw ImportError::emptyWorksheet();
    return table::CSVTable::fromStore(std::move(payload.firstRow), std::move(*payload.laterRows))
        .expandingStructuredColumns();
}

}  // namespace

ReaderLocations defaultReaderLocations()
{
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    const fs::path directory = executable.parent_path();
    const fs::path prefix = directory.parent_path();
    return {{directory, prefix / "libexec" / "rowlark"}, {directory, prefix / "share" / "rowlark"}};
}

ImportedTable loadWithMetadata(const fs::path& path, const std::optional<std::string>& sheet, std::stop_token stop)
{
    return loadWithMetadata(path, sheet, defaultReaderLocations(), std::move(stop));
}

ImportedTable loadWithMetadata(const fs::path& path, const std::optional<std::string>& sheet,
                               const ReaderLocations& locations, std::stop_token stop)
{
    const std::string extension = lowercasedExtension(path);
    if (extension == "csv") {
        if (stop.stop_requested())
            throw ImportCancelled();
        return {table::CSVTable::load(path), {}, std::nullopt};
    }
    if (extension != "xlsx" && extension != "xls" && extension != "ods" && extension != "numbers")
        throw ImportError::unsupportedFormat(extension);

    WorkbookPayload payload = readWorkbook(path, sheet, false, locations, std::move(stop));
    std::optional<std::string> sheetRead = sheet;
    if (!sheetRead && !payload.sheetNames.empty())
        sheetRead = payload.sheetNames.front();
    std::vector<std::string> sheets = payload.sheetNames;
    return {table(std::move(payload)), std::move(sheets), std::move(sheetRead)};
}

}  // namespace rowlark::workbook::SpreadsheetImporter
