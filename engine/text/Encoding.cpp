#include "engine/text/Encoding.h"

#include "engine/text/Unicode.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace rowlark::text {

namespace {

constexpr std::uint64_t highBits = 0x8080808080808080ULL;

// Index of the first byte at or after `position` that is not ASCII, or the size when there is none.
std::size_t skipASCII(std::string_view bytes, std::size_t position)
{
    const std::size_t size = bytes.size();
    while (position + 8 <= size) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + position, sizeof word);
        if (const std::uint64_t nonASCII = word & highBits) {
            if constexpr (std::endian::native == std::endian::little)
                return position + static_cast<std::size_t>(std::countr_zero(nonASCII)) / 8;
            break;
        }
        position += 8;
    }
    while (position < size && static_cast<unsigned char>(bytes[position]) < 0x80)
        ++position;
    return position;
}

// Length of the well-formed sequence starting at `position` (a non-ASCII lead byte), or 0.
// The second byte's range excludes overlong forms, surrogates and scalars above U+10FFFF.
std::size_t sequenceLength(std::string_view bytes, std::size_t position)
{
    const auto at = [&](std::size_t offset) { return static_cast<unsigned char>(bytes[position + offset]); };
    const unsigned char lead = at(0);
    const std::size_t available = bytes.size() - position;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    std::size_t length;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (available < length || at(1) < low || at(1) > high)
        return 0;
    for (std::size_t offset = 2; offset < length; ++offset)
        if (!isContinuationByte(bytes[position + offset]))
            return 0;
    return length;
}

// Windows-1252 assigns 0x80–0x9F to typographic characters; the five unassigned values keep the
// C1 control of the same value so that every byte decodes.
constexpr std::array<char16_t, 32> windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t windows1252Scalar(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return windows1252High[byte - 0x80];
    return byte;
}

std::size_t utf8Length(char32_t scalar)
{
    return scalar < 0x80 ? 1 : scalar < 0x800 ? 2 : 3;
}

// Without the Unicode library, which the reader helper that shares this file goes without.
void appendUTF8(std::string& text, char32_t scalar)
{
    if (scalar < 0x80) {
        text.push_back(static_cast<char>(scalar));
    } else if (scalar < 0x800) {
        text.push_back(static_cast<char>(0xC0 | (scalar >> 6)));
        text.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    } else if (scalar < 0x10000) {
        text.push_back(static_cast<char>(0xE0 | (scalar >> 12)));
        text.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    } else {
        text.push_back(static_cast<char>(0xF0 | (scalar >> 18)));
        text.push_back(static_cast<char>(0x80 | ((scalar >> 12) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | ((scalar >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (scalar & 0x3F)));
    }
}

}  // namespace

bool isValidUTF8(std::string_view bytes)
{
    std::size_t position = skipASCII(bytes, 0);
    while (position < bytes.size()) {
        const std::size_t length = sequenceLength(bytes, position);
        if (length == 0)
            return false;
        position = skipASCII(bytes, position + length);
    }
    return true;
}

namespace {

// The length of the sequence a lead byte opens; 0 for a byte no sequence starts with.
std::size_t leadLength(unsigned char lead)
{
    return lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
}

// Where the sequence that `bytes` ends in before it is complete starts; the size when none does.
std::size_t incompleteTail(std::string_view bytes)
{
    for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if (isContinuationByte(static_cast<char>(byte)))
            continue;
        return leadLength(byte) > back ? bytes.size() - back : bytes.size();
    }
    return bytes.size();
}

}  // namespace

bool UTF8StreamCheck::accept(std::string_view chunk)
{
    if (!pending_.empty()) {
        const std::size_t needed = leadLength(static_cast<unsigned char>(pending_.front()));
        const std::size_t taken = std::min(needed - pending_.size(), chunk.size());
        pending_.append(chunk.substr(0, taken));
        chunk.remove_prefix(taken);
        if (pending_.size() < needed)
            return true;
        if (!isValidUTF8(pending_))
            return false;
        pending_.clear();
    }
    const std::size_t tail = incompleteTail(chunk);
    if (!isValidUTF8(chunk.substr(0, tail)))
        return false;
    pending_.assign(chunk.substr(tail));
    return true;
}

std::string decodeWindows1252(std::string_view bytes)
{
    std::string text;
    std::size_t size = 0;
    for (const char byte : bytes)
        size += utf8Length(windows1252Scalar(static_cast<unsigned char>(byte)));
    text.reserve(size);
    std::size_t position = 0;
    while (position < bytes.size()) {
        const std::size_t runEnd = skipASCII(bytes, position);
        text.append(bytes.substr(position, runEnd - position));
        if (runEnd == bytes.size())
            break;
        appendUTF8(text, windows1252Scalar(static_cast<unsigned char>(bytes[runEnd])));
        position = runEnd + 1;
    }
    return text;
}

std::optional<std::string> decodeUTF16(std::string_view bytes, ByteOrder order)
{
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    const std::size_t high = order == ByteOrder::bigEndian ? 0 : 1;
    const auto unitAt = [&](std::size_t position) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[position + high]) << 8 |
                                     static_cast<unsigned char>(bytes[position + 1 - high]));
    };
    std::string text;
    text.reserve(bytes.size() / 2 * 3 / 2);
    for (std::size_t position = 0; position < bytes.size(); position += 2) {
        const char32_t unit = unitAt(position);
        if (unit < 0xD800 || unit > 0xDFFF) {
            appendUTF8(text, unit);
            continue;
        }
        if (unit > 0xDBFF || position + 2 >= bytes.size())
            return std::nullopt;
        const char32_t low = unitAt(position + 2);
        if (low < 0xDC00 || low > 0xDFFF)
            return std::nullopt;
        appendUTF8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        position += 2;
    }
    return text;
}

}  // namespace rowlark::text
