#pragma once

// The records of an XLS workbook stream (BIFF5 and BIFF8) as the spreadsheet-reader library cuts
// them: a record and the CONTINUE records after it form one body, with the places where each
// part starts kept, since strings that cross them say there whether their characters go on in
// one byte or two. Fields are read with their bounds checked; whatever would make the library
// read past a body or a stream is declined.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rowlark::workbook::biff {

namespace recordType {
inline constexpr std::uint16_t endOfFile = 0x000A;
inline constexpr std::uint16_t beginOfFile = 0x0809;
inline constexpr std::uint16_t continuation = 0x003C;
}  // namespace recordType

struct Record {
    std::uint16_t type = 0;
    std::size_t offset = 0;  // of its header in the stream
    std::string_view body;   // with its continuations joined
    std::vector<std::size_t> partStarts;
};

class RecordStream {
public:
    explicit RecordStream(std::string_view stream)
        : stream_(stream)
    {
    }

    // The next record, or none at the end of the stream.
    std::optional<Record> next();
    std::size_t position() const { return position_; }

private:
    std::uint16_t word(std::size_t offset) const;

    std::string_view stream_;
    std::size_t position_ = 0;
    std::uint16_t lastType_ = 0;
    std::string joined_;
};

// The characters of one code page by byte, as the library decodes them one at a time; the code
// page of Unicode (1200) maps every unit to itself.
class CodePage {
public:
    // None for code pages not decoded here.
    static std::optional<CodePage> make(int number);
    bool isUnicode() const { return isUnicode_; }
    // The character of a UTF-16 unit read as the library's character function reads it.
    char16_t character(std::uint16_t unit) const;
    // Bytes decoded as one text.
    std::u16string text(std::string_view bytes) const;

private:
    bool isUnicode_ = true;
    std::array<char16_t, 256> characters_{};
    std::array<bool, 256> isDefined_{};
};

// Reads the fields of a record's body in order.
class FieldReader {
public:
    explicit FieldReader(const Record& record)
        : record_(record)
    {
    }

    std::uint8_t byte();
    std::uint16_t word();
    std::uint32_t doubleWord();
    double number();
    void skip(std::size_t count);
    std::size_t position() const { return position_; }
    void moveTo(std::size_t position);
    std::size_t remaining() const { return position_ <= record_.body.size() ? record_.body.size() - position_ : 0; }

    // `count` characters of a BIFF8 string whose option byte said `isWide`: each part of the body
    // they reach into starts with a new option byte. Decoded through `codePage` as the library
    // decodes them; declined when a character would be cut in two or the body ends first.
    std::u16string characters(std::size_t count, bool isWide, const CodePage& codePage);
    // `count` bytes decoded in one piece through the code page (BIFF5 strings).
    std::u16string codePageText(std::size_t count, const CodePage& codePage);

private:
    bool isPartStart(std::size_t position) const;

    const Record& record_;
    std::size_t position_ = 0;
};

// UTF-16 as UTF-8; declined for a surrogate without its pair.
std::string utf8(const std::u16string& text);

}  // namespace rowlark::workbook::biff
