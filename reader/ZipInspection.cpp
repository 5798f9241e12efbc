#include "ZipInspection.h"

#include <zlib.h>

#include <algorithm>
#include <optional>

namespace rowlark::reader {
namespace {

using Bytes = std::span<const unsigned char>;

constexpr std::uint32_t endOfDirectorySignature = 0x06054b50;
constexpr std::uint32_t directoryEntrySignature = 0x02014b50;
constexpr std::uint32_t localHeaderSignature = 0x04034b50;
constexpr std::size_t endOfDirectorySize = 22;
constexpr std::size_t directoryEntrySize = 46;
constexpr std::size_t localHeaderSize = 30;
constexpr std::size_t maximumCommentSize = 0xFFFF;

std::uint32_t readLittleEndian(Bytes bytes, std::size_t offset, std::size_t width)
{
    std::uint32_t value = 0;
    for (std::size_t i = width; i > 0; --i)
        value = (value << 8) | bytes[offset + i - 1];
    return value;
}

// The same test the library makes to take a file for a ZIP archive.
bool looksLikeZip(Bytes bytes)
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
        if (readLittleEndian(bytes, offset, 4) == endOfDirectorySignature)
            return offset;
    }
    return std::nullopt;
}

struct Entry {
    std::uint32_t flags;
    std::uint32_t method;
    std::uint64_t compressedSize;
    std::uint64_t localHeaderOffset;
};

enum class Inflated { complete, damaged, tooLarge };

// Inflates `input` as one raw deflate stream that must end within it, counting its output.
Inflated inflateCounting(Bytes input, std::uint64_t allowance, std::uint64_t& inflated)
{
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return Inflated::damaged;
    unsigned char sink[1 << 16];
    stream.next_in = const_cast<unsigned char*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    Inflated outcome = Inflated::damaged;
    while (true) {
        stream.next_out = sink;
        stream.avail_out = sizeof sink;
        const int status = inflate(&stream, Z_NO_FLUSH);
        const std::uint64_t produced = sizeof sink - stream.avail_out;
        inflated += produced;
        if (inflated > allowance) {
            outcome = Inflated::tooLarge;
            break;
        }
        if (status == Z_STREAM_END) {
            outcome = Inflated::complete;
            break;
        }
        if (status != Z_OK || (produced == 0 && stream.avail_in == 0))
            break;
    }
    inflateEnd(&stream);
    return outcome;
}

}  // namespace

ZipVerdict inspectZip(Bytes bytes, const InflateLimits& limits)
{
    if (!looksLikeZip(bytes))
        return ZipVerdict::notChecked;
    const std::optional<std::size_t> end = findEndOfDirectory(bytes);
    if (!end)
        return ZipVerdict::damaged;
    const std::uint32_t entryCount = readLittleEndian(bytes, *end + 10, 2);
    const std::uint32_t directorySize = readLittleEndian(bytes, *end + 12, 4);
    const std::uint32_t directoryOffset = readLittleEndian(bytes, *end + 16, 4);
    if (entryCount == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF)
        return ZipVerdict::notChecked;
    if (std::uint64_t(directoryOffset) + directorySize > *end)
        return ZipVerdict::damaged;

    std::uint64_t inflated = 0;
    std::size_t position = directoryOffset;
    for (std::uint32_t index = 0; index < entryCount; ++index) {
        if (position + directoryEntrySize > *end || readLittleEndian(bytes, position, 4) != directoryEntrySignature)
            return ZipVerdict::damaged;
        const Entry entry{readLittleEndian(bytes, position + 8, 2), readLittleEndian(bytes, position + 10, 2),
                          readLittleEndian(bytes, position + 20, 4), readLittleEndian(bytes, position + 42, 4)};
        position += directoryEntrySize + readLittleEndian(bytes, position + 28, 2) +
                    readLittleEndian(bytes, position + 30, 2) + readLittleEndian(bytes, position + 32, 2);

        const std::uint64_t header = entry.localHeaderOffset;
        if (header + localHeaderSize > bytes.size() || readLittleEndian(bytes, header, 4) != localHeaderSignature)
            return ZipVerdict::damaged;
        const std::uint64_t data = header + localHeaderSize + readLittleEndian(bytes, header + 26, 2) +
                                   readLittleEndian(bytes, header + 28, 2);
        if (data + entry.compressedSize > bytes.size())
            return ZipVerdict::damaged;
        const bool isEncrypted = (entry.flags & 1) != 0;
        if (isEncrypted)
            continue;  // the library says what it makes of encryption
        if (entry.method == 0) {
            inflated += entry.compressedSize;
        } else if (entry.method == Z_DEFLATED) {
            const std::uint64_t entryAllowance =
                std::max(limits.graceBytes, limits.ratio * std::max<std::uint64_t>(entry.compressedSize, 1));
            std::uint64_t entryInflated = 0;
            const Inflated outcome = inflateCounting(
                bytes.subspan(data, entry.compressedSize),
                std::min(entryAllowance, limits.totalBytes - std::min(inflated, limits.totalBytes)), entryInflated);
            if (outcome != Inflated::complete)
                return outcome == Inflated::tooLarge ? ZipVerdict::tooLarge : ZipVerdict::damaged;
            inflated += entryInflated;
        }
        if (inflated > limits.totalBytes)
            return ZipVerdict::tooLarge;
    }
    return ZipVerdict::sound;
}

}  // namespace rowlark::reader
