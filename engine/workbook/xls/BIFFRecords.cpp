#include "engine/workbook/xls/BIFFRecords.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/text/CodePage.h"
#include "engine/workbook/NativeReader.h"

namespace rowlark::workbook::biff {
namespace {

[[noreturn]] void decline()
{
    throw ReadDeclined();
}

// Records of the kind the library checks for repeating their own type at the start of the body.
constexpr std::uint16_t repeatingTypes[] = {0x01C1, 0x087C, 0x087D, 0x088C, 0x0894, 0x0896, 0x089A};

// The continuation records the library joins to the record before them, with the header bytes it
// leaves out of each.
std::optional<std::size_t> continuationHeader(std::uint16_t type)
{
    switch (type) {
    case recordType::continuation:
    case 0x043C:
        return 0;
    case 0x0812:
        return 4;
    case 0x0875:
    case 0x087F:
        return 12;
    default:
        return std::nullopt;
    }
}

}  // namespace

std::uint16_t RecordStream::word(std::size_t offset) const
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(stream_[offset]) |
                                      (static_cast<unsigned char>(stream_[offset + 1]) << 8));
}

std::optional<Record> RecordStream::next()
{
    if (position_ + 1 >= stream_.size())
        return std::nullopt;
    Record record;
    record.offset = position_;
    record.type = word(position_);
    // Zeros after the last end of file are the stream's padding.
    if (record.type == 0 && lastType_ == recordType::endOfFile)
        return std::nullopt;
    if (position_ + 4 > stream_.size())
        decline();
    const std::size_t length = word(position_ + 2);
    position_ += 4;
    if (position_ + length > stream_.size())
        decline();
    record.body = stream_.substr(position_, length);
    position_ += length;
    lastType_ = record.type;
    if (std::ranges::find(repeatingTypes, record.type) != std::end(repeatingTypes)) {
        if (length < 2)
            decline();
        const std::uint16_t repeated = word(record.offset + 4);
        if (repeated != record.type && static_cast<std::uint16_t>((repeated << 8) | (repeated >> 8)) != record.type)
            decline();
    }

    record.partStarts.push_back(0);
    if (position_ + 4 > stream_.size() || !continuationHeader(word(position_)))
        return record;
    joined_.assign(record.body);
    while (position_ + 4 <= stream_.size()) {
        const std::optional<std::size_t> header = continuationHeader(word(position_));
        if (!header)
            break;
        const std::size_t partLength = word(position_ + 2);
        if (position_ + 4 + partLength > stream_.size())
            decline();
        record.partStarts.push_back(joined_.size());
        const std::size_t skipped = std::min(*header, partLength);
        joined_.append(stream_.substr(position_ + 4 + skipped, partLength - skipped));
        position_ += 4 + partLength;
    }
    record.body = joined_;
    return record;
}

namespace {

// Bytes whose character the revisions of a code page disagree on, where ICU's tables are not
// the ones the library decodes with: the unassigned bytes of the Windows pages (ICU gives them
// the C1 control of the same value), three controls the IBM tables of the DOS pages reorder,
// µ against Greek mu in some DOS pages, and Mac Roman's Omega, currency sign and Apple logo.
bool isUncertain(int number, unsigned char byte, char32_t character)
{
    if (character >= 0x80 && character <= 0x9F)
        return true;
    if (number < 1000 && (byte == 0x1A || byte == 0x1C || byte == 0x7F))
        return true;
    if ((number == 437 || number == 861 || number == 865) && byte == 0xE6)
        return true;
    return number == 10000 && (byte == 0xBD || byte == 0xDB || byte == 0xF0);
}

}  // namespace

std::optional<CodePage> CodePage::make(int number)
{
    CodePage page;
    if (number == 1200)
        return page;
    const std::optional<std::array<std::optional<char16_t>, 256>> characters = text::codePageCharacters(number);
    if (!characters)
        return std::nullopt;
    page.isUnicode_ = false;
    for (std::size_t byte = 0; byte < 256; ++byte) {
        const std::optional<char16_t> character = (*characters)[byte];
        page.characters_[byte] = character.value_or(u'\0');
        page.isDefined_[byte] =
            character.has_value() && !isUncertain(number, static_cast<unsigned char>(byte), *character);
    }
    return page;
}

// The library looks up the unit's low byte followed by its high byte as one code: a single-byte
// page knows such a code only when the low byte is 0, and gives the high byte's character.
char16_t CodePage::character(std::uint16_t unit) const
{
    if (isUnicode_)
        return static_cast<char16_t>(unit);
    const std::size_t low = unit & 0xFF;
    const std::size_t byte = low == 0 ? unit >> 8 : low;
    if (!isDefined_[byte])
        decline();
    return characters_[byte];
}

std::u16string CodePage::text(std::string_view bytes) const
{
    // The library's decoder reads a zero byte and the byte after it as one code.
    const std::size_t zero = bytes.find('\0');
    if (isUnicode_ || (zero != std::string_view::npos && zero + 1 < bytes.size()))
        decline();
    std::u16string decoded;
    decoded.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto index = static_cast<unsigned char>(byte);
        if (!isDefined_[index])
            decline();
        decoded.push_back(characters_[index]);
    }
    return decoded;
}

std::uint8_t FieldReader::byte()
{
    if (remaining() < 1)
        decline();
    return static_cast<unsigned char>(record_.body[position_++]);
}

std::uint16_t FieldReader::word()
{
    const std::uint16_t low = byte();
    return static_cast<std::uint16_t>(low | (byte() << 8));
}

std::uint32_t FieldReader::doubleWord()
{
    const std::uint32_t low = word();
    return low | (std::uint32_t(word()) << 16);
}

double FieldReader::number()
{
    if (remaining() < 8)
        decline();
    std::uint64_t bits = 0;
    for (int index = 0; index < 8; ++index)
        bits |= std::uint64_t(static_cast<unsigned char>(record_.body[position_ + index])) << (8 * index);
    position_ += 8;
    return std::bit_cast<double>(bits);
}

void FieldReader::skip(std::size_t count)
{
    position_ += count;
}

void FieldReader::moveTo(std::size_t position)
{
    position_ = position;
}

bool FieldReader::isPartStart(std::size_t position) const
{
    return std::ranges::binary_search(record_.partStarts, position);
}

std::u16string FieldReader::characters(std::size_t count, bool isWide, const CodePage& codePage)
{
    std::u16string text;
    text.reserve(std::min(count, record_.body.size()));
    while (text.size() < count) {
        if (isPartStart(position_)) {
            isWide = byte() != 0;
            continue;
        }
        if (isWide) {
            if (isPartStart(position_ + 1))
                decline();
            text.push_back(codePage.character(word()));
        } else {
            text.push_back(codePage.character(byte()));
        }
    }
    return text;
}

std::u16string FieldReader::codePageText(std::size_t count, const CodePage& codePage)
{
    if (remaining() < count)
        decline();
    const std::string_view bytes = record_.body.substr(position_, count);
    position_ += count;
    return codePage.text(bytes);
}

std::string utf8(const std::u16string& text)
{
    std::optional<std::string> decoded = text::decodeUTF16(text);
    if (!decoded)
        decline();
    return std::move(*decoded);
}

}  // namespace rowlark::workbook::biff
