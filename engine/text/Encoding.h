#pragma once

// Byte decoding for imported files.

#include <optional>
#include <string>
#include <string_view>

namespace rowlark::text {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUTF8(std::string_view bytes);

// The same check over a text that arrives in chunks, a sequence split between two chunks
// included: every chunk must be accepted, and the text complete after the last one.
class UTF8StreamCheck {
public:
    bool accept(std::string_view chunk);
    bool isComplete() const { return pending_.empty(); }

private:
    std::string pending_;  // the start of a sequence the last chunk ended in
};

// Every byte decodes: the five values Windows-1252 leaves undefined become the C1 control
// characters of the same value.
std::string decodeWindows1252(std::string_view bytes);

enum class ByteOrder { littleEndian, bigEndian };

// UTF-16 code units in `order`, as UTF-8; none when the bytes are not UTF-16: an odd count, or a
// surrogate without its pair.
std::optional<std::string> decodeUTF16(std::string_view bytes, ByteOrder order);

}  // namespace rowlark::text
