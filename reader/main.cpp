// The reader helper: runs the spreadsheet-reader library and the reader script on one workbook
// in a process of its own, so that the library's memory use, a crash or a kill never reaches the
// program that asked. The conversation with the importer is described in engine/workbook/library/ReaderProtocol.h.

#include <JavaScriptCore/JavaScript.h>

#include <algorithm>
#include <cerrno>
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
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>
#include <variant>
#include <vector>

#include "engine/workbook/container/ZIPArchive.h"
#include "engine/workbook/library/ReaderProtocol.h"
#include "engine/workbook/ods/ODSManifest.h"
#include "reader/ReaderScripts.h"
#include "reader/ResourceLimits.h"

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
using rowlark::workbook::readerProtocol::FormatRequest;
using rowlark::workbook::readerProtocol::HelperCall;
using rowlark::workbook::readerProtocol::ReadInput;
using rowlark::workbook::readerProtocol::ReadRequest;
namespace readerProtocol = rowlark::workbook::readerProtocol;
namespace memoryCeiling = rowlark::reader::memoryCeiling;
namespace processorTime = rowlark::reader::processorTime;

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

// The script's __allowCellWork(cellCount): time for the cells it is about to convert.
JSValueRef allowCellWork(JSContextRef context, JSObjectRef, JSObjectRef, std::size_t argumentCount,
                         const JSValueRef arguments[], JSValueRef*)
{
    if (argumentCount == 1)
        processorTime::allowCellWork(JSValueToNumber(context, arguments[0], nullptr));
    return JSValueMakeUndefined(context);
}

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
OwnedContext loadLibrary(const std::string& libraryPath, std::uint64_t memoryBytes)
{
    const std::optional<std::string> library = readLibrary(libraryPath);
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
    memoryCeiling::apply(memoryBytes);
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

void runFormatting(const HelperCall& call, std::span<const unsigned char> request)
{
    const OwnedContext context = loadLibrary(call.libraryPath, std::get<FormatRequest>(call.request).memoryBytes);
    if (!context)
        return;
    const std::string_view text(reinterpret_cast<const char*>(request.data()), request.size());
    setGlobal(context.get(), "__formatRequest", JSValueMakeString(context.get(), makeStringFromBytes(text).get()));
    answerWithScript(context.get(), rowlark::reader::formatScript);
}

void run(const HelperCall& call, const std::optional<std::string>& sheet, std::span<unsigned char> workbook)
{
    const ReadRequest& read = std::get<ReadRequest>(call.request);
    const OwnedContext context = loadLibrary(call.libraryPath, read.memoryBytes);
    if (!context)
        return;

    JSObjectRef bytes = JSObjectMakeTypedArrayWithBytesNoCopy(
        context.get(), kJSTypedArrayTypeUint8Array, workbook.data(), workbook.size(), nullptr, nullptr, nullptr);
    setGlobal(context.get(), "__workbookBytes", bytes);
    setGlobal(context.get(), "__selectedSheet",
              sheet ? JSValueMakeString(context.get(), makeStringFromBytes(*sheet).get())
                    : JSValueMakeNull(context.get()));
    setGlobal(context.get(), "__namesOnly", JSValueMakeBoolean(context.get(), read.isNamesOnly));
    setGlobal(context.get(), "__maxRows", JSValueMakeNumber(context.get(), static_cast<double>(read.maxRows)));
    setGlobal(context.get(), "__maxColumns", JSValueMakeNumber(context.get(), static_cast<double>(read.maxColumns)));
    setGlobal(context.get(), "__maxCells", JSValueMakeNumber(context.get(), static_cast<double>(read.maxCells)));
    setGlobal(context.get(), "__maxTextUnits",
              JSValueMakeNumber(context.get(),
                                static_cast<double>(rowlark::workbook::readerProtocol::maximumSheetTextUnits)));
    const OwnedString allowCellWorkName = makeString("__allowCellWork");
    setGlobal(context.get(), "__allowCellWork",
              JSObjectMakeFunctionWithCallback(context.get(), allowCellWorkName.get(), allowCellWork));

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
std::optional<Answer> inspectArchive(std::span<const unsigned char> workbook)
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
        switch (error.problem()) {
        case rowlark::workbook::ZIPProblem::damaged:
            return Answer::damagedArchive;
        case rowlark::workbook::ZIPProblem::tooLarge:
            return Answer::archiveTooLarge;
        case rowlark::workbook::ZIPProblem::unsupported:
            break;  // an encrypted or unusually compressed manifest is the library's to judge
        }
    }
    return std::nullopt;
}

// The processor time the call may take: for a read, more in proportion to the cells it may convert.
void limitProcessorTime(const HelperCall& call)
{
    if (const auto* read = std::get_if<ReadRequest>(&call.request))
        processorTime::limit(read->processorSeconds, static_cast<double>(read->maxCells));
    else
        processorTime::limit(std::get<FormatRequest>(call.request).processorSeconds, 0);
}

void answerRead(const HelperCall& call, std::vector<unsigned char>& input)
{
    const std::optional<ReadInput> request = readerProtocol::parseReadInput(input);
    if (!request)
        std::exit(EXIT_FAILURE);
    const std::span<unsigned char> workbook = std::span(input).subspan(request->workbookOffset);
    if (const std::optional<Answer> verdict = inspectArchive(workbook))
        answer(*verdict);
    else
        run(call, request->sheet, workbook);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const std::optional<HelperCall> call = readerProtocol::parseArguments(arguments);
    if (!call) {
        std::fputs("usage: rowlark-reader LIBRARY MAX_ROWS MAX_COLUMNS MAX_CELLS NAMES_ONLY MEMORY_BYTES CPU_SECONDS "
                   "< input\n"
                   "       rowlark-reader LIBRARY format MEMORY_BYTES CPU_SECONDS < pairs\n",
                   stderr);
        return EXIT_FAILURE;
    }
    endWithParent();
    readInUniversalTime();
    limitProcessorTime(*call);
    offerToMemoryReclaim();
    try {
        std::vector<unsigned char> input = readAllInput();
        if (std::holds_alternative<FormatRequest>(call->request))
            runFormatting(*call, input);
        else
            answerRead(*call, input);
    } catch (const std::bad_alloc&) {
        return rowlark::workbook::readerProtocol::outOfMemoryStatus;
    }
    return EXIT_SUCCESS;
}
