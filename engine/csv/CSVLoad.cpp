#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/csv/CSVError.h"
#include "engine/csv/CSVLoad.h"
#include "engine/csv/CSVParser.h"
#include "engine/table/Table.h"
#include "engine/text/Encoding.h"

namespace rowlark::csv {

namespace {

// The system's message alone: callers name the file themselves.
[[noreturn]] void throwFileError(int error)
{
    throw std::system_error(error, std::generic_category());
}

class FileDescriptor {
public:
    explicit FileDescriptor(int descriptor)
        : descriptor_(descriptor)
    {
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { ::close(descriptor_); }
    int get() const { return descriptor_; }

private:
    int descriptor_;
};

// Where the bytes from `checked` on may be split for checking, so that a valid text splits between
// two characters: at the last byte that starts a character, which a valid text has among any four
// in a row. None when the last four bytes all continue a character, which no valid text ends with.
std::optional<std::size_t> lastCharacterStart(std::string_view bytes, std::size_t checked)
{
    const auto isContinuation = [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; };
    for (std::size_t back = 1; back <= 4 && back <= bytes.size() - checked; ++back)
        if (!isContinuation(bytes[bytes.size() - back]))
            return bytes.size() - back;
    return bytes.size() - checked < 4 ? std::optional(checked) : std::nullopt;
}

struct FileBytes {
    std::string bytes;
    bool isValidUTF8;
};

// The whole file; reads until the end even when the file changed size since it was opened. Only
// regular files are read, as for workbooks: opening does not wait for a pipe's writer, and
// reading never waits for a device or a pipe. The bytes are checked for UTF-8 as they arrive,
// while they are in the cache.
FileBytes readWholeFile(const std::filesystem::path& path)
{
    int descriptor;
    do
        descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
        throwFileError(errno);
    const FileDescriptor file(descriptor);
    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        throwFileError(errno);
    if (S_ISDIR(status.st_mode))
        throwFileError(EISDIR);
    if (!S_ISREG(status.st_mode))
        throwFileError(ENOTSUP);

    // Read through a small buffer, so that each byte of the text is written once: a text sized up
    // front would be filled with zeros first.
    constexpr std::size_t chunkBytes = std::size_t{1} << 20;
    const auto chunk = std::make_unique_for_overwrite<char[]>(chunkBytes);
    FileBytes result{{}, true};
    std::string& bytes = result.bytes;
    bytes.reserve(static_cast<std::size_t>(std::max<off_t>(status.st_size, 0)) + 1);
    std::size_t checked = 0;
    while (true) {
        const ssize_t count = ::read(file.get(), chunk.get(), chunkBytes);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throwFileError(errno);
        if (count == 0)
            break;
        bytes.append(chunk.get(), static_cast<std::size_t>(count));
        if (!result.isValidUTF8)
            continue;
        const std::optional<std::size_t> split = lastCharacterStart(bytes, checked);
        result.isValidUTF8 = split && text::isValidUTF8(std::string_view(bytes).substr(checked, *split - checked));
        checked = split.value_or(checked);
    }
    result.isValidUTF8 = result.isValidUTF8 && text::isValidUTF8(std::string_view(bytes).substr(checked));
    return result;
}

struct DecodedText {
    std::string text;
    std::size_t start;  // past a leading byte-order mark
};

// A UTF-16 byte-order mark is never valid UTF-8, so it decides before the UTF-8 check does.
DecodedText decodedText(FileBytes file)
{
    const std::string_view bytes = file.bytes;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        const auto order = bytes.front() == '\xFF' ? text::ByteOrder::littleEndian : text::ByteOrder::bigEndian;
        std::optional<std::string> decoded = text::decodeUTF16(bytes.substr(2), order);
        if (!decoded)
            throw CSVError::invalidUTF16();
        return {std::move(*decoded), 0};
    }
    if (!file.isValidUTF8)
        return {text::decodeWindows1252(bytes), 0};
    const bool hasByteOrderMark = bytes.starts_with("\xEF\xBB\xBF");
    return {std::move(file.bytes), hasByteOrderMark ? std::size_t{3} : 0};
}

// How much of the text's start tells whether it is text at all.
constexpr std::size_t sampledBytes = 4096;

// UTF-16 read byte by byte holds a NUL beside every Latin letter, UTF-32 three: a quarter of NUL
// characters is far more than any text holds, and far less than either encoding gives. A few NULs
// in a text are read as they are.
void refuseNULText(const DecodedText& decoded)
{
    const std::string_view sample = std::string_view(decoded.text).substr(decoded.start, sampledBytes);
    const auto nulCount = static_cast<std::size_t>(std::ranges::count(sample, '\0'));
    if (nulCount > 0 && nulCount * 4 >= sample.size())
        throw CSVError::nulCharacters();
}

}  // namespace

}  // namespace rowlark::csv

namespace rowlark::table {

Table Table::parse(std::string text)
{
    csv::ParsedCSV parsed = csv::parseCSV(std::move(text));
    return withStore(std::move(parsed.headers), std::move(parsed.cells));
}

Table Table::load(const std::filesystem::path& path)
{
    return csv::loadCSV(path).table;
}

}  // namespace rowlark::table

namespace rowlark::csv {

LoadedCSV loadCSV(const std::filesystem::path& path, std::optional<Separator> separator)
{
    DecodedText decoded = decodedText(readWholeFile(path));
    refuseNULText(decoded);
    const Separator used = separator ? *separator : detectSeparator(decoded.text, decoded.start);
    ParsedCSV parsed = parseCSV(std::move(decoded.text), decoded.start, used);
    return {table::Table::fromStore(std::move(parsed.headers), std::move(parsed.cells)).expandingStructuredColumns(),
            used};
}

}  // namespace rowlark::csv
