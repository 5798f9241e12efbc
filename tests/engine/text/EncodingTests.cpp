#include "engine/text/Encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/text/Unicode.h"
#include "tests/engine/text/CaseFile.h"
#include "tests/support/CaseLines.h"

namespace rowlark::text {
namespace {

using rowlark::testing::expectCases;
using Inputs = std::vector<std::string>;

TEST(Encoding, DecidesAndDecodesTheCasesOfTheDataFiles)
{
    expectCases("isValidUTF8.txt",
                [](const Inputs& bytes) { return rowlark::testing::yesOrNo(isValidUTF8(bytes[0])); });
    expectCases("decodeWindows1252.txt", [](const Inputs& bytes) { return decodeWindows1252(bytes[0]); });
}

TEST(UTF8Validity, FindsAnInvalidByteAtEveryPositionOfALongText)
{
    const std::string ascii(40, 'a');
    for (std::size_t position = 0; position < ascii.size(); ++position) {
        std::string bytes = ascii;
        bytes[position] = '\xE9';
        EXPECT_FALSE(isValidUTF8(bytes)) << position;
        bytes.replace(position, 1, "\u00E9");
        EXPECT_TRUE(isValidUTF8(bytes)) << position;
    }
}

// Split anywhere, into two or three chunks, a text gets the verdict it gets whole.
TEST(UTF8StreamCheck, JudgesChunksAsTheWholeText)
{
    const std::vector<std::string> texts =
        rowlark::testing::caseLines(std::string(ROWLARK_CASE_FOLDER) + "/utf8-chunk-texts.txt");
    const auto verdict = [](const std::vector<std::string_view>& chunks) {
        UTF8StreamCheck check;
        for (const std::string_view chunk : chunks)
            if (!check.accept(chunk))
                return false;
        return check.isComplete();
    };
    for (const std::string& text : texts) {
        const std::string_view whole(text);
        for (std::size_t first = 0; first <= whole.size(); ++first)
            for (std::size_t second = first; second <= whole.size(); ++second)
                EXPECT_EQ(verdict({whole.substr(0, first), whole.substr(first, second - first), whole.substr(second)}),
                          isValidUTF8(whole))
                    << ::testing::PrintToString(text) << " split at " << first << " and " << second;
    }
}

TEST(Windows1252, DecodesEveryByteToOneScalar)
{
    std::string bytes;
    for (int byte = 0; byte < 256; ++byte)
        bytes += static_cast<char>(byte);
    const std::string decoded = decodeWindows1252(bytes);
    ASSERT_TRUE(isValidUTF8(decoded));
    std::size_t position = 0;
    for (int byte = 0; byte < 256; ++byte) {
        const char32_t scalar = nextScalar(decoded, position);
        if (byte < 0x80 || byte >= 0xA0)
            EXPECT_EQ(scalar, static_cast<char32_t>(byte)) << byte;
        else
            EXPECT_GE(scalar, 0x80u) << byte;
    }
    EXPECT_EQ(position, decoded.size());
}

// Every scalar, the surrogate pairs above U+FFFF included, goes through either byte order; bytes
// that are not UTF-16 decode to nothing.
TEST(UTF16, DecodesEveryScalarInBothByteOrdersAndRefusesBrokenPairs)
{
    std::u16string units;
    std::string expected;
    for (char32_t scalar = 0; scalar <= 0x10FFFF; scalar += scalar < 0x800 ? 1 : 97) {
        if (scalar >= 0xD800 && scalar <= 0xDFFF)
            continue;
        if (scalar < 0x10000) {
            units += static_cast<char16_t>(scalar);
        } else {
            units += static_cast<char16_t>(0xD800 + ((scalar - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((scalar - 0x10000) & 0x3FF));
        }
        appendScalar(expected, scalar);
    }
    std::string little;
    std::string big;
    for (const char16_t unit : units) {
        little += static_cast<char>(unit & 0xFF);
        little += static_cast<char>(unit >> 8);
        big += static_cast<char>(unit >> 8);
        big += static_cast<char>(unit & 0xFF);
    }
    EXPECT_EQ(decodeUTF16(little, ByteOrder::littleEndian), expected);
    EXPECT_EQ(decodeUTF16(big, ByteOrder::bigEndian), expected);
    EXPECT_EQ(decodeUTF16("", ByteOrder::littleEndian), "");
    for (const std::string& broken :
         {std::string("a\0b", 3), std::string("\x3D\xD8", 2), std::string("\x00\xDC\x61\x00", 4),
          std::string("\x3D\xD8\x3D\xD8", 4), std::string("\x3D\xD8\x61\x00", 4)})
        EXPECT_EQ(decodeUTF16(broken, ByteOrder::littleEndian), std::nullopt) << broken.size();
}

}  // namespace
}  // namespace rowlark::text
