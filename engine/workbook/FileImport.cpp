#include "engine/workbook/FileImport.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <span>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <variant>

#include "engine/csv/CSVLoad.h"
#include "engine/text/JSON.h"
#include "engine/text/Unicode.h"
#include "engine/workbook/ImportError.h"
#include "engine/workbook/NativeReader.h"
#include "engine/workbook/WorkbookPayload.h"
#include "engine/workbook/container/ZIPArchive.h"
#include "engine/workbook/library/LibraryFormatting.h"
#include "engine/workbook/library/ReaderProcess.h"
#include "engine/workbook/library/ReaderProtocol.h"

namespace rowlark::workbook::FileImport {
namespace {

namespace fs = std::filesystem;
using readerProtocol::Answer;
using readerProtocol::HelperRequest;
using workbook::NativeRequest;

constexpr std::string_view outOfMemoryMessage = "The worksheet is too large for the available memory.";

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
        const fs::path bundle = directory / readerProtocol::bundleName;
        std::error_code error;
        if (fs::is_directory(bundle, error)) {
            reader.library = bundle / readerProtocol::libraryInBundle;
            break;
        }
    }
    std::error_code error;
    if (reader.helper.empty() || reader.library.empty() || !fs::is_regular_file(reader.library, error))
        throw ImportError::readerResourceMissing();
    return reader;
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
        return std::string(outOfMemoryMessage);
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

// The limit the reader script names after WORKSHEET_TOO_LARGE: rows, columns, cells or text.
ImportError libraryLimitError(std::string_view message)
{
    using SheetLimit = ImportError::SheetLimit;
    if (message.find("rows") != std::string_view::npos)
        return ImportError::worksheetTooLarge(SheetLimit::rows, maximumRows);
    if (message.find("columns") != std::string_view::npos)
        return ImportError::worksheetTooLarge(SheetLimit::columns, maximumColumns);
    if (message.find("text") != std::string_view::npos)
        return ImportError::worksheetTooLarge(SheetLimit::textLength, readerProtocol::maximumSheetTextUnits);
    return ImportError::worksheetTooLarge(SheetLimit::cells, maximumCells);
}

ImportError archiveTooLarge()
{
    return ImportError::worksheetTooLarge(ImportError::SheetLimit::inflatedSize,
                                          workbookInflateLimits().totalBytes / 1048576);
}

// The reader's exception text is only known by the words it contains.
ImportError mappedReaderError(std::string_view message, const std::optional<std::string>& selectedSheet)
{
    if (message.find("SHEET_NOT_FOUND") != std::string_view::npos)
        return ImportError::sheetNotFound(selectedSheet.value_or(std::string()));
    if (const std::size_t at = message.find("WORKSHEET_TOO_LARGE"); at != std::string_view::npos)
        return libraryLimitError(message.substr(at));
    const std::string lowered = text::lowercased(message);
    if (containsAny(lowered, "encrypt", "password"))
        return ImportError::encryptedWorkbook();
    if (containsAny(lowered, "unsupported", "invalid"))
        return ImportError::workbookUnreadable();
    return ImportError::readerFailure(std::string(message));
}

// Runs the helper on the library for the request; its output is then an answer: a tag byte and
// the answer's text.
ProcessOutcome runReader(const ReaderLocations& locations, const HelperRequest& request,
                         const std::vector<std::string_view>& input, std::stop_token stop)
{
    const Reader reader = locateReader(locations);
    ProcessOutcome outcome;
    try {
        outcome = runProcess(reader.helper, readerProtocol::arguments({reader.library.string(), request}), input,
                             readerProtocol::maximumPayloadBytes, std::move(stop));
    } catch (const std::system_error& error) {
        throw ImportError::readerFailure(std::string("The reader could not be started: ") + error.what());
    }
    // Past its processor time or its payload bound, the workbook asked for more than a read may take.
    if (outcome.isOutputOverLimit)
        throw ImportError::worksheetTooLarge(ImportError::SheetLimit::textLength,
                                             readerProtocol::maximumSheetTextUnits);
    if (outcome.isSignaled && outcome.signal == SIGXCPU)
        throw ImportError::worksheetTooLarge(
            ImportError::SheetLimit::readingTime,
            std::visit([](const auto& call) { return call.processorSeconds; }, request));
    if (outcome.isSignaled || outcome.exitStatus != 0 || outcome.output.empty())
        throw ImportError::readerFailure(abnormalEndMessage(outcome));
    return outcome;
}

WorkbookPayload readWithLibrary(const std::string& bytes, const std::optional<std::string>& selectedSheet,
                                bool isNamesOnly, const ReaderLocations& locations, std::stop_token stop)
{
    const readerProtocol::ReadRequest request{maximumRows, maximumColumns,      maximumCells,
                                              isNamesOnly, readerMemoryBytes(), readerProcessorSeconds(bytes.size())};
    const std::string header = readerProtocol::sheetHeader(selectedSheet);
    const ProcessOutcome outcome = runReader(locations, request, {header, bytes}, std::move(stop));

    const std::optional<readerProtocol::HelperAnswer> helperAnswer = readerProtocol::parseAnswer(outcome.output);
    if (!helperAnswer)
        throw ImportError::readerFailure(abnormalEndMessage(ProcessOutcome{}));
    const std::string_view answer = helperAnswer->text;
    switch (helperAnswer->tag) {
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
        throw archiveTooLarge();
    case Answer::encryptedArchive:
        throw ImportError::encryptedWorkbook();
    }
    throw ImportError::readerFailure(abnormalEndMessage(ProcessOutcome{}));
}

// The native reader's answer, or none when it leaves the file to the library. The archive's
// problems are reported as the helper reports them.
workbook::LibraryFormatter libraryFormatter(const ReaderLocations& locations, std::stop_token stop)
{
    return [&locations, stop](const std::vector<workbook::LibraryFormatRequest>& requests) {
        std::vector<workbook::FormatPair> pairs;
        pairs.reserve(requests.size());
        for (const workbook::LibraryFormatRequest& request : requests)
            pairs.push_back({request.format, request.value});
        return workbook::formatWithLibrary(pairs, locations, stop);
    };
}

// The native reader's answer for an XLS file, or none when it leaves the file to the library,
// which also reports what is wrong with a damaged container.
std::optional<WorkbookPayload> readXLSNatively(std::string_view bytes, const NativeRequest& request,
                                               const ReaderLocations& locations, std::stop_token stop)
{
    try {
        const std::optional<workbook::CompoundFile> file =
            workbook::CompoundFile::open(std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
        if (!file)
            return std::nullopt;
        return workbook::readXLS(*file, request, libraryFormatter(locations, stop), stop);
    } catch (const workbook::ReadDeclined&) {
        return std::nullopt;
    } catch (const workbook::CompoundFileError&) {
        return std::nullopt;
    }
}

std::optional<WorkbookPayload> readNatively(std::string_view bytes, const NativeRequest& request,
                                            const ReaderLocations& locations, std::stop_token stop)
{
    try {
        std::optional<workbook::ZIPArchive> archive =
            workbook::ZIPArchive::open(std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
        if (!archive)
            return std::nullopt;
        if (archive->find("META-INF/manifest.xml") || archive->find("objectdata.xml"))
            return workbook::readODS(*archive, request, stop);
        if (archive->find("Index/Document.iwa") || !archive->find("[Content_Types].xml"))
            return std::nullopt;
        return workbook::readXLSX(*archive, request, libraryFormatter(locations, stop), stop);
    } catch (const workbook::ReadDeclined&) {
        return std::nullopt;
    } catch (const workbook::ZIPError& error) {
        switch (error.problem()) {
        case workbook::ZIPProblem::unsupported:
            return std::nullopt;
        case workbook::ZIPProblem::tooLarge:
            throw archiveTooLarge();
        case workbook::ZIPProblem::damaged:
            break;
        }
        throw ImportError::workbookUnreadable();
    }
}

WorkbookPayload readWorkbook(const fs::path& path, const std::optional<std::string>& selectedSheet, bool isNamesOnly,
                             const ReaderLocations& locations, std::stop_token stop, WorkbookReader reader)
{
    const std::string bytes = readWorkbookFile(path);
    const std::string extension = lowercasedExtension(path);
    if (reader == WorkbookReader::native && (extension == "xlsx" || extension == "ods")) {
        if (std::optional<WorkbookPayload> payload = readNatively(bytes, {selectedSheet, isNamesOnly}, locations, stop))
            return std::move(*payload);
    }
    if (reader == WorkbookReader::native && extension == "xls") {
        if (std::optional<WorkbookPayload> payload =
                readXLSNatively(bytes, {selectedSheet, isNamesOnly}, locations, stop))
            return std::move(*payload);
    }
    return readWithLibrary(bytes, selectedSheet, isNamesOnly, locations, std::move(stop));
}

// Line breaks inside cells as CSV cells have them: CR LF and a lone CR become LF, so that a
// workbook and its own CSV export compare equal.
std::string withLineFeeds(std::string_view cell)
{
    std::string text;
    text.reserve(cell.size());
    for (std::size_t index = 0; index < cell.size(); ++index) {
        if (cell[index] != '\r')
            text.push_back(cell[index]);
        else if (index + 1 == cell.size() || cell[index + 1] != '\n')
            text.push_back('\n');
    }
    return text;
}

bool isBlank(const std::vector<std::string>& row)
{
    return std::ranges::all_of(row, [](const std::string& cell) { return cell.empty(); });
}

bool hasCarriageReturn(const table::CellStore& store)
{
    for (std::size_t row = 0; row < store.rowCount(); ++row) {
        for (std::size_t column = 0; column < store.width(); ++column) {
            if (store.cell(row, column).find('\r') != std::string_view::npos)
                return true;
        }
    }
    return false;
}

// The payload's rows from the first one that is not blank: a header row further down the used
// range is the header still. Every cell's line breaks become line feeds.
struct SheetRows {
    std::vector<std::string> header;
    table::CellStore rows;
};

std::optional<SheetRows> sheetRows(WorkbookPayload payload)
{
    const table::CellStore& later = *payload.laterRows;
    const std::size_t width = payload.firstRow.size();
    std::size_t first = 0;  // 0 for the payload's first row, r + 1 for later row r
    std::vector<std::string> header = std::move(payload.firstRow);
    while (isBlank(header)) {
        if (first == later.rowCount())
            return std::nullopt;
        for (std::size_t column = 0; column < width; ++column)
            header[column] = later.cell(first, column);
        ++first;
    }
    for (std::string& name : header)
        name = withLineFeeds(name);
    if (first == 0 && !hasCarriageReturn(later))
        return SheetRows{std::move(header), std::move(*payload.laterRows)};
    table::CellStoreBuilder builder(width, later.rowCount() - first);
    table::StoredNumbersBuilder numbers(width, later.storedNumbers().isDate1904());
    for (std::size_t row = first; row < later.rowCount(); ++row) {
        for (std::size_t column = 0; column < width; ++column) {
            const std::string_view cell = later.cell(row, column);
            if (cell.find('\r') == std::string_view::npos)
                builder.appendCell(cell);
            else
                builder.appendCell(withLineFeeds(cell));
            if (const auto number = later.storedNumbers().at(row, column, cell))
                numbers.add(row - first, column, number->value, cell);
        }
    }
    table::CellStore rows = std::move(builder).build();
    rows.attachStoredNumbers(std::move(numbers).build());
    return SheetRows{std::move(header), std::move(rows)};
}

table::Table table(WorkbookPayload payload)
{
    if (payload.rowCount == 0)
        throw ImportError::emptyWorksheet();
    std::optional<SheetRows> rows = sheetRows(std::move(payload));
    if (!rows)
        throw ImportError::emptyWorksheet();
    return table::Table::fromStore(std::move(rows->header), std::move(rows->rows)).expandingStructuredColumns();
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

ImportedTable readTable(const fs::path& path, const std::optional<std::string>& sheet, std::stop_token stop,
                        std::optional<csv::Separator> separator)
{
    return readTable(path, sheet, defaultReaderLocations(), std::move(stop), defaultWorkbookReader(), separator);
}

bool isCSVText(const fs::path& path)
{
    const std::string extension = lowercasedExtension(path);
    return extension == "csv" || extension == "txt" || extension == "tsv" || extension == "tab";
}

WorkbookReader defaultWorkbookReader()
{
    const char* choice = std::getenv("ROWLARK_WORKBOOK_READER");
    return choice && std::string_view(choice) == "library" ? WorkbookReader::library : WorkbookReader::native;
}

namespace {

// A folder is told as such whatever its name, before its name is taken for a file type.
void refuseFolder(const fs::path& path)
{
    std::error_code error;
    if (fs::is_directory(path, error))
        throwSystemError(EISDIR);
}

bool isWorkbookExtension(std::string_view extension)
{
    return extension == "xlsx" || extension == "xls" || extension == "ods" || extension == "numbers";
}

}  // namespace

std::vector<SheetEntry> readSheets(const fs::path& path, const ReaderLocations& locations, std::stop_token stop,
                                   WorkbookReader reader)
{
    refuseFolder(path);
    if (isCSVText(path))
        return {};
    const std::string extension = lowercasedExtension(path);
    if (!isWorkbookExtension(extension))
        throw ImportError::unsupportedFormat(extension);
    return readWorkbook(path, std::nullopt, true, locations, std::move(stop), reader).sheets;
}

ImportedTable readTable(const fs::path& path, const std::optional<std::string>& sheet, const ReaderLocations& locations,
                        std::stop_token stop, WorkbookReader reader, std::optional<csv::Separator> separator)
{
    refuseFolder(path);
    const std::string extension = lowercasedExtension(path);
    if (isCSVText(path)) {
        if (stop.stop_requested())
            throw ImportCancelled();
        if (!separator && (extension == "tsv" || extension == "tab"))
            separator = csv::Separator::tab;
        csv::LoadedCSV loaded = csv::loadCSV(path, separator);
        return {std::move(loaded.table), {}, std::nullopt, loaded.separator};
    }
    if (!isWorkbookExtension(extension))
        throw ImportError::unsupportedFormat(extension);

    try {
        WorkbookPayload payload = readWorkbook(path, sheet, false, locations, std::move(stop), reader);
        std::optional<std::string> sheetRead = sheet;
        if (!sheetRead && !payload.sheets.empty())
            sheetRead = payload.sheets.front().name;
        std::vector<SheetEntry> sheets = payload.sheets;
        return {table(std::move(payload)), std::move(sheets), std::move(sheetRead), std::nullopt};
    } catch (const std::bad_alloc&) {
        // A native read takes sheets as large as memory permits; past that it ends as the
        // reader helper does when it runs out of memory.
        throw ImportError::readerFailure(std::string(outOfMemoryMessage));
    }
}

}  // namespace rowlark::workbook::FileImport

namespace rowlark::workbook {
namespace {

// The pairs as the helper reads them; numbers in their shortest form that reads back exactly.
std::string formatRequest(const std::vector<FormatPair>& pairs)
{
    std::string json = "[";
    for (const FormatPair& pair : pairs) {
        if (json.size() > 1)
            json += ',';
        json += '[';
        if (pair.format)
            text::appendJSONString(json, *pair.format);
        else
            json += "null";
        json += ',';
        if (const auto* number = std::get_if<double>(&pair.value)) {
            char buffer[32];
            json.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, *number).ptr);
        } else if (const auto* boolean = std::get_if<bool>(&pair.value)) {
            json += *boolean ? "true" : "false";
        } else {
            text::appendJSONString(json, std::get<std::string>(pair.value));
        }
        if (!pair.format)
            json += pair.isDate1904 ? ",true" : ",false";
        json += ']';
    }
    return json + ']';
}

std::optional<std::vector<std::string>> decodedTexts(std::string_view json, std::size_t count)
{
    rapidjson::Document document;
    document.Parse(json.data(), json.size());
    if (document.HasParseError() || !document.IsArray() || document.Size() != count)
        return std::nullopt;
    std::vector<std::string> texts;
    texts.reserve(count);
    for (const auto& text : document.GetArray()) {
        if (!text.IsString())
            return std::nullopt;
        texts.emplace_back(text.GetString(), text.GetStringLength());
    }
    return texts;
}

}  // namespace

std::vector<std::string> formatWithLibrary(const std::vector<FormatPair>& pairs,
                                           const FileImport::ReaderLocations& locations, std::stop_token stop)
{
    using FileImport::readerMemoryBytes;
    const std::string request = formatRequest(pairs);
    // A few seconds for the library to load, then far more than the library takes a value.
    const std::uint64_t processorSeconds = 5 + pairs.size() / 10000;
    const ProcessOutcome outcome = FileImport::runReader(
        locations, readerProtocol::FormatRequest{readerMemoryBytes(), processorSeconds}, {request}, std::move(stop));
    const std::optional<readerProtocol::HelperAnswer> helperAnswer = readerProtocol::parseAnswer(outcome.output);
    const std::string_view answer = helperAnswer ? helperAnswer->text : std::string_view();
    switch (helperAnswer ? helperAnswer->tag : readerProtocol::Answer::noResult) {
    case readerProtocol::Answer::payload:
        if (auto texts = decodedTexts(answer, pairs.size()))
            return std::move(*texts);
        break;
    case readerProtocol::Answer::exception:
        throw ImportError::readerFailure(std::string(answer));
    case readerProtocol::Answer::libraryUnreadable:
        throw ImportError::readerResourceMissing();
    default:
        break;
    }
    throw ImportError::readerFailure("The reader returned invalid formatted texts.");
}

}  // namespace rowlark::workbook
