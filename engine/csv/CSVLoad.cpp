#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "csv/CSVParser.h"
#include "table/CSVTable.h"
#include "text/Encoding.h"

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

// The whole file; reads until the end even when the file changed size since it was opened. Only
// regular files are read, as for workbooks: opening does not wait for a pipe's writer, and
// reading never waits for a device or a pipe.
std::string readWholeFile(const std::filesystem::path& path)
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
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(std::max<off_t>(status.st_size, 0)) + 1);
    while (true) {
        const ssize_t count = ::read(file.get(), chunk.get(), chunkBytes);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throwFileError(errno);
        if (count == 0)
            break;
        bytes.append(chunk.get(), static_cast<std::size_t>(count));
    }
    return bytes;
}

struct DecodedText {
    std::string text;
    std::size_t start;  // past a leading byte-order mark
};

DecodedText decodedText(std::string bytes)
{
    if (!text::isValidUTF8(bytes))
        return {text::decodeWindows1252(bytes), 0};
    const bool hasByteOrderMark = std::string_view(bytes).starts_with("\xEF\xBB\xBF");
    return {std::move(bytes), hasByteOrderMark ? std::size_t{3} : 0};
}

}  // namespace

}  // namespace rowlark::csv

namespace rowlark::table {

CSVTable CSVTable::parse(std::string text)
{
    csv::ParsedCSV parsed = csv::parseCSV(std::move(text));
    return withStore(std::move(parsed.headers), std::move(parsed.cells));
}

CSVTable CSVTable::load(const std::filesystem::path& path)
{
    csv::DecodedText decoded = csv::decodedText(csv::readWholeFile(path));
    csv::ParsedCSV parsed = csv::parseCSV(std::move(decoded.text), decoded.start);
    return withStore(std::move(parsed.headers), std::move(parsed.cells)).expandingStructuredColumns();
}

}  // namespace rowlark::table
