// The reader helper: runs the spreadsheet-reader library and the reader script on one workbook
// in a process of its own, so that the library's memory use, a crash or a kill never reaches the
// program that asked. The conversation with the importer is described in table/ReaderProtocol.h.

#include <JavaScriptCore/JavaScript.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "engine/workbook/container/ZIPArchive.h"
#include "engine/workbook/library/ReaderProtocol.h"
#include "engine/workbook/ods/ODSManifest.h"
#include "reader/ReaderScript.h"

#if defined(__SANITIZE_ADDRESS__)
// Under the memory ceiling an allocation the engine cannot have is to fail as it does without the
// sanitizer, with a null pointer the engine answers for, not with a sanitizer report.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}
#endif

namespace {

using rowlark::workbook::readerProtocol::Answer;

struct Settings {
    std::string libraryPath;
    double maxRows = 0;
    double maxColumns = 0;
    double maxCells = 0;
    bool isNamesOnly = false;
    bool isFormatting = false;
    std::uint64_t memoryBytes = 0;
    std::uint64_t processorSeconds = 0;
};

struct Input {
    std::optional<std::string> selectedSheet;
    std::vector<unsigned char> workbook;
};

std::optional<std::uint64_t> parseCount(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<Settings> parseFormattingArguments(char** argv)
{
    Settings settings;
    settings.libraryPath = argv[1];
    settings.isFormatting = true;
    const auto memoryBytes = parseCount(argv[3]);
    const auto processorSeconds = parseCount(argv[4]);
    if (!memoryBytes || !processorSeconds)
        return std::nullopt;
    settings.memoryBytes = *memoryBytes;
    settings.processorSeconds = *processorSeconds;
    return settings;
}

std::optional<Settings> parseArguments(int argc, char** argv)
{
    if (argc == 5 && std::string_view(argv[2]) == rowlark::workbook::readerProtocol::formatMode)
        return parseFormattingArguments(argv);
    if (argc != 8)
        return std::nullopt;
    Settings settings;
    settings.libraryPath = argv[1];
    const auto rows = parseCount(argv[2]);
    const auto columns = parseCount(argv[3]);
    const auto cells = parseCount(argv[4]);
    const std::string_view namesOnly = argv[5];
    const auto memoryBytes = parseCount(argv[6]);
    const auto processorSeconds = parseCount(argv[7]);
    if (!rows || !columns || !cells || (namesOnly != "0" && namesOnly != "1") || !memoryBytes || !processorSeconds)
        return std::nullopt;
    settings.maxRows = static_cast<double>(*rows);
    settings.maxColumns = static_cast<double>(*columns);
    settings.maxCells = static_cast<double>(*cells);
    settings.isNamesOnly = namesOnly == "1";
    settings.memoryBytes = *memoryBytes;
    settings.processorSeconds = *processorSeconds;
    return settings;
}

std::vector<unsigned char> readAllInput()
{
    std::vector<unsigned char> bytes;
    std::size_t used = 0;
    bytes.resize(1 << 20);
    while (true) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t count = ::read(STDIN_FILENO, bytes.data() + used, bytes.size() - used);
        if (count == 0)
            break;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            std::exit(EXIT_FAILURE);
        }
        used += static_cast<std::size_t>(count);
    }
    bytes.resize(used);
    return bytes;
}

std::optional<Input> splitInput(std::vector<unsigned char> bytes)
{
    const auto lineEnd = std::find(bytes.begin(), bytes.end(), static_cast<unsigned char>('\n'));
    if (lineEnd == bytes.end())
        return std::nullopt;
    const std::string line(bytes.begin(), lineEnd);
    auto rest = static_cast<std::size_t>(lineEnd - bytes.begin()) + 1;
    Input input;
    if (line != "-") {
        const auto length = parseCount(line);
        if (!length || *length > bytes.size() - rest)
            return std::nullopt;
        const auto size = static_cast<std::size_t>(*length);
        input.selectedSheet.emplace(bytes.begin() + static_cast<std::ptrdiff_t>(rest),
                                    bytes.begin() + static_cast<std::ptrdiff_t>(rest + size));
        rest += size;
    }
    bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(rest));
    input.workbook = std::move(bytes);
    return input;
}

// Writes UTF-8 to standard output through one buffer.
class Output {
public:
    ~Output() { flush(); }

    void append(char byte)
    {
        if (buffer_.size() == capacity)
            flush();
        buffer_.push_back(byte);
    }
    void append(std::string_view text)
    {
        for (const char byte : text)
            append(byte);
    }
    void appendScalar(char32_t scalar)
    {
        if (scalar < 0x80) {
            append(static_cast<char>(scalar));
        } else if (scalar < 0x800) {
            append(static_cast<char>(0xC0 | (scalar >> 6)));
            append(static_cast<char>(0x80 | (scalar & 0x3F)));
        } else if (scalar < 0x10000) {
            append(static_cast<char>(0xE0 | (scalar >> 12)));
            append(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
            append(static_cast<char>(0x80 | (scalar & 0x3F)));
        } else {
            append(static_cast<char>(0xF0 | (scalar >> 18)));
            append(static_cast<char>(0x80 | ((scalar >> 12) & 0x3F)));
            append(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
            append(static_cast<char>(0x80 | (scalar & 0x3F)));
        }
    }
    // A lone surrogate has no UTF-8 form and becomes U+FFFD.
    void appendUTF16(const JSChar* units, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i) {
            const char32_t unit = units[i];
            if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
                appendScalar(0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
                ++i;
            } else if (unit >= 0xD800 && unit < 0xE000) {
                appendScalar(0xFFFD);
            } else {
                appendScalar(unit);
            }
        }
    }
    void flush()
    {
        std::size_t written = 0;
        while (written < buffer_.size()) {
            const ssize_t count = ::write(STDOUT_FILENO, buffer_.data() + written, buffer_.size() - written);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                std::exit(EXIT_FAILURE);
            written += static_cast<std::size_t>(count);
        }
        buffer_.clear();
    }

private:
    static constexpr std::size_t capacity = 1 << 16;
    std::string buffer_;
};

void answer(Answer tag, std::string_view text = {})
{
    Output output;
    output.append(static_cast<char>(tag));
    output.append(text);
}

void answer(Answer tag, JSStringRef text)
{
    Output output;
    output.append(static_cast<char>(tag));
    output.appendUTF16(JSStringGetCharactersPtr(text), JSStringGetLength(text));
}

struct StringReleaser {
    void operator()(OpaqueJSString* text) const { JSStringRelease(text); }
};
using OwnedString = std::unique_ptr<OpaqueJSString, StringReleaser>;

struct ContextReleaser {
    void operator()(OpaqueJSContext* context) const { JSGlobalContextRelease(context); }
};
using OwnedContext = std::unique_ptr<OpaqueJSContext, ContextReleaser>;

OwnedString makeString(std::string_view utf8)
{
    const std::string terminated(utf8);
    return OwnedString(JSStringCreateWithUTF8CString(terminated.c_str()));
}

// A text with NUL characters or invalid UTF-8 still reaches the script intact, as UTF-16.
OwnedString makeStringFromBytes(std::string_view utf8)
{
    std::vector<JSChar> units;
    units.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead >= 0xF0 && lead < 0xF5 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        char32_t scalar = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool isValid = length > 0 && i + static_cast<std::size_t>(length) <= utf8.size();
        for (int k = 1; isValid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            isValid = (next & 0xC0) == 0x80;
            scalar = (scalar << 6) | (next & 0x3F);
        }
        if (isValid && (scalar > 0x10FFFF || (scalar >= 0xD800 && scalar < 0xE000) || (length == 3 && scalar < 0x800) ||
                        (length == 4 && scalar < 0x10000)))
            isValid = false;
        if (!isValid) {
            units.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (scalar >= 0x10000) {
            units.push_back(static_cast<JSChar>(0xD800 + ((scalar - 0x10000) >> 10)));
            units.push_back(static_cast<JSChar>(0xDC00 + ((scalar - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<JSChar>(scalar));
        }
        i += static_cast<std::size_t>(length);
    }
    return OwnedString(JSStringCreateWithCharacters(units.data(), units.size()));
}

// The text form of a thrown value; none when there is no value or it has no text form.
OwnedString exceptionText(JSContextRef context, JSValueRef exception)
{
    if (!exception)
        return nullptr;
    JSValueRef conversionException = nullptr;
    OwnedString text(JSValueToStringCopy(context, exception, &conversionException));
    return conversionException ? nullptr : std::move(text);
}

void setGlobal(JSGlobalContextRef context, const char* name, JSValueRef value)
{
    const OwnedString key = makeString(name);
    JSObjectSetProperty(context, JSContextGetGlobalObject(context), key.get(), value, kJSPropertyAttributeNone,
                        nullptr);
}

std::optional<std::string> readLibrary(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    if (!file && !file.eof())
        return std::nullopt;
    return std::move(text).str();
}

// Processor time: the bound for reading the file, and more for the cells of the sheet once its
// used range has passed the size limits (a sheet of a few kilobytes may span five million
// cells). Past the bound the system ends the process with SIGXCPU.
namespace processorTime {

// About three times what the densest sheet takes in the sanitizer build.
constexpr double secondsPerCell = 6e-6;

void limit(std::uint64_t seconds, double maxCells)
{
    const auto cellSeconds = static_cast<rlim_t>(maxCells * secondsPerCell);
    const rlimit limit{seconds, seconds + cellSeconds + 2};
    ::setrlimit(RLIMIT_CPU, &limit);
}

// The script's __allowCellWork(cellCount): time for the cells it is about to convert.
JSValueRef allowCellWork(JSContextRef context, JSObjectRef, JSObjectRef, std::size_t argumentCount,
                         const JSValueRef arguments[], JSValueRef*)
{
    rlimit limit{};
    if (argumentCount == 1 && ::getrlimit(RLIMIT_CPU, &limit) == 0) {
        const double cells = JSValueToNumber(context, arguments[0], nullptr);
        if (cells > 0) {
            limit.rlim_cur = std::min(limit.rlim_max, limit.rlim_cur + static_cast<rlim_t>(cells * secondsPerCell) + 1);
            ::setrlimit(RLIMIT_CPU, &limit);
        }
    }
    return JSValueMakeUndefined(context);
}

}  // namespace processorTime

// The memory ceiling. The engine reserves tens of gigabytes of address space when it starts,
// writable but untouched (and the address sanitizer its shadow memory), so the ceiling is set
// as a limit on the data segment above what the process already has once the engine runs:
// every mapping made after that counts against it. The engine meets the limit as a failed
// allocation, and then either throws its out-of-memory error or stops the process with a
// trap or an abort; a process stopped that way near its ceiling ends as out of memory.
namespace memoryCeiling {

constexpr int fatalSignals[] = {SIGABRT, SIGBUS, SIGILL, SIGSEGV, SIGTRAP};
struct sigaction previousActions[NSIG];
std::uint64_t exhaustedBytes = 0;
long pageBytes = 0;

// The data segment as /proc/self/statm counts it (its sixth field, in pages); 0 when unknown.
// Only async-signal-safe calls.
std::uint64_t dataBytes()
{
    const int file = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return 0;
    char text[256];
    const ssize_t length = ::read(file, text, sizeof text - 1);
    ::close(file);
    if (length <= 0)
        return 0;
    std::uint64_t field[6] = {};
    int index = 0;
    for (ssize_t i = 0; i < length && index < 6; ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            field[index] = field[index] * 10 + static_cast<std::uint64_t>(text[i] - '0');
        else
            ++index;
    }
    return field[5] * static_cast<std::uint64_t>(pageBytes);
}

void onFatalSignal(int signal)
{
    if (dataBytes() >= exhaustedBytes)
        ::_exit(rowlark::workbook::readerProtocol::outOfMemoryStatus);
    ::sigaction(signal, &previousActions[signal], nullptr);
    // A fault happens again on return and reaches the previous handler; a raised signal is
    // raised again.
    if (signal == SIGABRT || signal == SIGTRAP)
        ::raise(signal);
}

void apply(std::uint64_t bytes)
{
    pageBytes = ::sysconf(_SC_PAGESIZE);
    const std::uint64_t base = dataBytes();
    if (base == 0)
        return;
    const rlimit limit{base + bytes, base + bytes};
    if (::setrlimit(RLIMIT_DATA, &limit) != 0)
        return;
    // The request that failed may have been large; one eighth of the ceiling short of it counts.
    exhaustedBytes = base + bytes - bytes / 8;
    struct sigaction action {};
    action.sa_handler = onFatalSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : fatalSignals)
        ::sigaction(signal, &action, &previousActions[signal]);
}

bool isReached()
{
    return exhaustedBytes != 0 && dataBytes() >= exhaustedBytes;
}

}  // namespace memoryCeiling

// Evaluates a script; true when it threw a value with a text form, which is then the answer.
// A script that ran out of memory ends the helper as out of memory whatever it gave: the
// library passes over errors in a sheet, the engine's own out-of-memory error among them, and
// would answer with an empty sheet.
bool evaluateAnswersException(JSGlobalContextRef context, const std::string& script, JSValueRef& result)
{
    const OwnedString source = makeString(script);
    JSValueRef exception = nullptr;
    result = JSEvaluateScript(context, source.get(), nullptr, nullptr, 1, &exception);
    const OwnedString text = exceptionText(context, exception);
    if (memoryCeiling::isReached() || (text && JSStringIsEqualToUTF8CString(text.get(), "RangeError: Out of memory")))
        throw std::bad_alloc();
    if (text) {
        answer(Answer::exception, text.get());
        return true;
    }
    return false;
}

// A context with the library and the date text function loaded and the memory ceiling set;
// none when that failed, and the answer given.
OwnedContext loadLibrary(const Settings& settings)
{
    const std::optional<std::string> library = readLibrary(settings.libraryPath);
    if (!library) {
        answer(Answer::libraryUnreadable);
        return nullptr;
    }
    OwnedContext context(JSGlobalContextCreate(nullptr));
    if (!context) {
        answer(Answer::noContext);
        return nullptr;
    }
    JSValueRef result = nullptr;
    if (evaluateAnswersException(context.get(), *library, result) ||
        evaluateAnswersException(context.get(), rowlark::reader::dateTextScript, result))
        return nullptr;
    memoryCeiling::apply(settings.memoryBytes);
    return context;
}

// Runs a script of ours and answers with the text it gives.
void answerWithScript(JSGlobalContextRef context, const char* script)
{
    JSValueRef result = nullptr;
    if (evaluateAnswersException(context, script, result))
        return;
    if (!result || !JSValueIsString(context, result))
        return answer(Answer::noResult);
    JSValueRef conversionException = nullptr;
    const OwnedString text(JSValueToStringCopy(context, result, &conversionException));
    if (!text || conversionException)
        return answer(Answer::noResult);
    answer(Answer::payload, text.get());
}

void runFormatting(const Settings& settings, const std::vector<unsigned char>& request)
{
    const OwnedContext context = loadLibrary(settings);
    if (!context)
        return;
    const std::string_view text(reinterpret_cast<const char*>(request.data()), request.size());
    setGlobal(context.get(), "__formatRequest", JSValueMakeString(context.get(), makeStringFromBytes(text).get()));
    answerWithScript(context.get(), rowlark::reader::formatScript);
}

void run(const Settings& settings, Input& input)
{
    const OwnedContext context = loadLibrary(settings);
    if (!context)
        return;

    JSObjectRef bytes =
        JSObjectMakeTypedArrayWithBytesNoCopy(context.get(), kJSTypedArrayTypeUint8Array, input.workbook.data(),
                                              input.workbook.size(), nullptr, nullptr, nullptr);
    setGlobal(context.get(), "__workbookBytes", bytes);
    setGlobal(context.get(), "__selectedSheet",
              input.selectedSheet ? JSValueMakeString(context.get(), makeStringFromBytes(*input.selectedSheet).get())
                                  : JSValueMakeNull(context.get()));
    setGlobal(context.get(), "__namesOnly", JSValueMakeBoolean(context.get(), settings.isNamesOnly));
    setGlobal(context.get(), "__maxRows", JSValueMakeNumber(context.get(), settings.maxRows));
    setGlobal(context.get(), "__maxColumns", JSValueMakeNumber(context.get(), settings.maxColumns));
    setGlobal(context.get(), "__maxCells", JSValueMakeNumber(context.get(), settings.maxCells));
    setGlobal(context.get(), "__maxTextUnits",
              JSValueMakeNumber(context.get(),
                                static_cast<double>(rowlark::workbook::readerProtocol::maximumSheetTextUnits)));
    const OwnedString allowCellWorkName = makeString("__allowCellWork");
    setGlobal(context.get(), "__allowCellWork",
              JSObjectMakeFunctionWithCallback(context.get(), allowCellWorkName.get(), processorTime::allowCellWork));

    answerWithScript(context.get(), rowlark::reader::readerScript);
}

// Should memory run short, the system is to end this process rather than the program that
// started it.
void offerToMemoryReclaim()
{
    if (FILE* score = std::fopen("/proc/self/oom_score_adj", "w")) {
        std::fputs("1000", score);
        std::fclose(score);
    }
}

// The helper must not outlive the program that started it: the system stops it when that
// program's thread ends, and a watch on the answer channel covers the moment before that
// request was made (the channel fails once its reading end is gone).
void endWithParent()
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::thread([] {
        pollfd channel{STDOUT_FILENO, 0, 0};
        while (::poll(&channel, 1, -1) < 0 && errno == EINTR) {
        }
        ::_exit(EXIT_FAILURE);
    }).detach();
}

// The library turns dates into day numbers through the local time zone; read in UTC, they are
// the values the file holds whatever zone the machine is in.
void readInUniversalTime()
{
    ::setenv("TZ", "UTC", 1);
    ::tzset();
}

// The answer for a workbook the library is not to be given; none when it may read it. The
// library trusts the archive: a cut-off directory or a damaged deflate stream can keep it busy
// forever, and a small entry that inflates to gigabytes takes the memory with it. Inflating every
// entry once, with its output thrown away, finds both in time proportional to what the archive
// may hold. ZIP64 archives are left to the library. An encrypted ODS is refused here too: the
// library would fail on the sizes of its encrypted parts.
std::optional<Answer> inspectArchive(const std::vector<unsigned char>& workbook)
{
    using rowlark::workbook::ZIPArchive;
    using rowlark::workbook::ZIPError;
    try {
        std::optional<ZIPArchive> archive = ZIPArchive::open(workbook);
        if (!archive)
            return std::nullopt;
        if (const rowlark::workbook::ZIPEntry* manifest = archive->find("META-INF/manifest.xml")) {
            if (rowlark::workbook::isEncryptedManifest(archive->readAll(*manifest)).value_or(false))
                return Answer::encryptedArchive;
        }
        archive->checkUnreadEntries();
    } catch (const ZIPError& error) {
        return error.problem() == rowlark::workbook::ZIPProblem::damaged ? Answer::damagedArchive
                                                                         : Answer::archiveTooLarge;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::optional<Settings> settings = parseArguments(argc, argv);
    if (!settings) {
        std::fputs("usage: rowlark-reader LIBRARY MAX_ROWS MAX_COLUMNS MAX_CELLS NAMES_ONLY MEMORY_BYTES CPU_SECONDS "
                   "< input\n"
                   "       rowlark-reader LIBRARY format MEMORY_BYTES CPU_SECONDS < pairs\n",
                   stderr);
        return EXIT_FAILURE;
    }
    endWithParent();
    readInUniversalTime();
    processorTime::limit(settings->processorSeconds, settings->maxCells);
    offerToMemoryReclaim();
    try {
        std::vector<unsigned char> bytes = readAllInput();
        if (settings->isFormatting) {
            runFormatting(*settings, bytes);
            return EXIT_SUCCESS;
        }
        std::optional<Input> input = splitInput(std::move(bytes));
        if (!input)
            return EXIT_FAILURE;
        if (const std::optional<Answer> verdict = inspectArchive(input->workbook))
            answer(*verdict);
        else
            run(*settings, *input);
    } catch (const std::bad_alloc&) {
        return rowlark::workbook::readerProtocol::outOfMemoryStatus;
    }
    return EXIT_SUCCESS;
}
