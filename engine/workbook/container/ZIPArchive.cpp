#include "engine/workbook/container/ZIPArchive.h"

#include <zlib.h>

#include <algorithm>
#include <array>

#include "engine/workbook/container/LittleEndian.h"

namespace rowlark::workbook {
namespace {

using Bytes = std::span<const unsigned char>;

constexpr std::uint32_t endOfDirectorySignature = 0x06054b50;
constexpr std::uint32_t directoryEntrySignature = 0x02014b50;
constexpr std::uint32_t localHeaderSignature = 0x04034b50;
constexpr std::size_t endOfDirectorySize = 22;
constexpr std::size_t directoryEntrySize = 46;
constexpr std::size_t localHeaderSize = 30;
constexpr std::size_t maximumCommentSize = 0xFFFF;
constexpr std::uint32_t storedMethod = 0;

// The same test the spreadsheet-reader library makes to take a file for a ZIP archive.
bool looksLikeZIP(Bytes bytes)
{
    return bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] < 9 && bytes[3] < 9;
}

std::optional<std::size_t> findEndOfDirectory(Bytes bytes)
{
    if (bytes.size() < endOfDirectorySize)
        return std::nullopt;
    const std::size_t last = bytes.size() - endOfDirectorySize;
    const std::size_t first = last > maximumCommentSize ? last - maximumCommentSize : 0;
    for (std::size_t offset = last + 1; offset-- > first;) {
        if (littleEndian(bytes, offset, 4) == endOfDirectorySignature)
            return offset;
    }
    return std::nullopt;
}

const char* problemText(ZIPProblem problem)
{
    switch (problem) {
    case ZIPProblem::damaged:
        return "damaged ZIP archive";
    case ZIPProblem::tooLarge:
        return "ZIP archive inflates too far";
    case ZIPProblem::unsupported:
        return "ZIP entry encrypted or compressed by an unsupported method";
    }
    return "";
}

bool isInflatable(const ZIPEntry& entry)
{
    return !entry.isEncrypted() && (entry.method == storedMethod || entry.method == Z_DEFLATED);
}

[[noreturn]] void fail(ZIPProblem problem)
{
    throw ZIPError(problem);
}

char foldedCharacter(char character)
{
    if (character == '\\')
        return '/';
    return character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a') : character;
}

bool isSameName(std::string_view left, std::string_view right)
{
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return foldedCharacter(a) == foldedCharacter(b);
           });
}

class Inflater {
public:
    Inflater()
    {
        if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK)
            throw std::bad_alloc();
    }
    ~Inflater() { inflateEnd(&stream_); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Inflates `input`, which must hold the whole stream, passing every chunk to `sink`; stops
    // with tooLarge once more than `allowance` bytes came out.
    void run(Bytes input, std::uint64_t allowance, std::uint64_t& produced,
             const std::function<void(std::string_view)>& sink)
    {
        stream_.next_in = const_cast<unsigned char*>(input.data());
        stream_.avail_in = static_cast<uInt>(input.size());
        while (true) {
            stream_.next_out = chunk_.data();
            stream_.avail_out = static_cast<uInt>(chunk_.size());
            const int status = inflate(&stream_, Z_NO_FLUSH);
            const std::size_t count = chunk_.size() - stream_.avail_out;
            produced += count;
            if (produced > allowance)
                fail(ZIPProblem::tooLarge);
            if (count > 0 && sink)
                sink(std::string_view(reinterpret_cast<const char*>(chunk_.data()), count));
            if (status == Z_STREAM_END)
                return;
            if (status != Z_OK || (count == 0 && stream_.avail_in == 0))
                fail(ZIPProblem::damaged);
        }
    }

private:
    z_stream stream_{};
    std::array<unsigned char, 1 << 16> chunk_{};
};

}  // namespace

InflateLimits workbookInflateLimits()
{
    return {std::uint64_t(1) << 30, 200, std::uint64_t(16) << 20};
}

ZIPError::ZIPError(ZIPProblem problem)
    : std::runtime_error(problemText(problem))
    , problem_(problem)
{
}

ZIPArchive::ZIPArchive(Bytes bytes, std::vector<ZIPEntry> entries, InflateLimits limits)
    : bytes_(bytes)
    , entries_(std::move(entries))
    , isRead_(entries_.size(), false)
    , limits_(limits)
{
}

std::optional<ZIPArchive> ZIPArchive::open(Bytes bytes)
{
    if (!looksLikeZIP(bytes))
        return std::nullopt;
    const std::optional<std::size_t> end = findEndOfDirectory(bytes);
    if (!end)
        fail(ZIPProblem::damaged);
    const std::uint32_t entryCount = littleEndian(bytes, *end + 10, 2);
    const std::uint32_t directorySize = littleEndian(bytes, *end + 12, 4);
    const std::uint32_t directoryOffset = littleEndian(bytes, *end + 16, 4);
    if (entryCount == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF)
        return std::nullopt;
    if (std::uint64_t(directoryOffset) + directorySize > *end)
        fail(ZIPProblem::damaged);

    std::vector<ZIPEntry> entries;
    entries.reserve(entryCount);
    std::size_t position = directoryOffset;
    for (std::uint32_t index = 0; index < entryCount; ++index) {
        if (position + directoryEntrySize > *end || littleEndian(bytes, position, 4) != directoryEntrySignature)
            fail(ZIPProblem::damaged);
        const std::size_t nameSize = littleEndian(bytes, position + 28, 2);
        if (position + directoryEntrySize + nameSize > *end)
            fail(ZIPProblem::damaged);
        ZIPEntry entry;
        entry.flags = littleEndian(bytes, position + 8, 2);
        entry.method = littleEndian(bytes, position + 10, 2);
        entry.compressedSize = littleEndian(bytes, position + 20, 4);
        entry.name.assign(reinterpret_cast<const char*>(bytes.data() + position + directoryEntrySize), nameSize);
        const std::uint64_t header = littleEndian(bytes, position + 42, 4);
        position += directoryEntrySize + nameSize + littleEndian(bytes, position + 30, 2) +
                    littleEndian(bytes, position + 32, 2);

        if (header + localHeaderSize > bytes.size() || littleEndian(bytes, header, 4) != localHeaderSignature)
            fail(ZIPProblem::damaged);
        entry.dataOffset =
            header + localHeaderSize + littleEndian(bytes, header + 26, 2) + littleEndian(bytes, header + 28, 2);
        if (entry.dataOffset + entry.compressedSize > bytes.size())
            fail(ZIPProblem::damaged);
        entries.push_back(std::move(entry));
    }
    return ZIPArchive(bytes, std::move(entries), workbookInflateLimits());
}

const ZIPEntry* ZIPArchive::find(std::string_view name) const
{
    for (const ZIPEntry& entry : entries_) {
        if (isSameName(entry.name, name))
            return &entry;
    }
    return nullptr;
}

void ZIPArchive::read(const ZIPEntry& entry, const std::function<void(std::string_view)>& sink)
{
    isRead_[static_cast<std::size_t>(&entry - entries_.data())] = true;
    if (!isInflatable(entry))
        fail(ZIPProblem::unsupported);
    const Bytes data = bytes_.subspan(entry.dataOffset, entry.compressedSize);
    if (entry.method == storedMethod) {
        inflatedBytes_ += data.size();
        if (inflatedBytes_ > limits_.totalBytes)
            fail(ZIPProblem::tooLarge);
        if (sink && !data.empty())
            sink(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
        return;
    }
    const std::uint64_t entryAllowance =
        std::max(limits_.graceBytes, limits_.ratio * std::max<std::uint64_t>(entry.compressedSize, 1));
    const std::uint64_t allowance =
        std::min(entryAllowance, limits_.totalBytes - std::min(inflatedBytes_, limits_.totalBytes));
    std::uint64_t produced = 0;
    Inflater inflater;
    inflater.run(data, allowance, produced, sink);
    inflatedBytes_ += produced;
}

std::string ZIPArchive::readAll(const ZIPEntry& entry)
{
    std::string text;
    read(entry, [&text](std::string_view chunk) { text.append(chunk); });
    return text;
}

void ZIPArchive::checkUnreadEntries()
{
    for (std::size_t index = 0; index < entries_.size(); ++index) {
        if (!isRead_[index] && isInflatable(entries_[index]))
            read(entries_[index], {});
    }
}

}  // namespace rowlark::workbook
