#include "text/Encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "text/Unicode.h"

namespace rowlark::text {
namespace {

using namespace std::string_literals;

struct ValidityCase {
    std::string bytes;
    bool isValid;
};

class UTF8ValidityTest : public ::testing::TestWithParam<ValidityCase> {};

TEST_P(UTF8ValidityTest, AcceptsOnlyWellFormedSequences)
{
    EXPECT_EQ(isValidUTF8(GetParam().bytes), GetParam().isValid) << ::testing::PrintToString(GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(WellFormed, UTF8ValidityTest,
                         ::testing::Values(ValidityCase{"", true},
                                           ValidityCase{"plain ASCII text, longer than one word", true},
                                           ValidityCase{"nul \0 bytes"s, true},
                                           ValidityCase{"\u00E9\u0080\u07FF", true},
                                           ValidityCase{"\u0800\uD7FF\uE000\uFFFF\uFEFF", true},
                                           ValidityCase{"\U00010000\U0010FFFF\U0001F600", true},
                                           ValidityCase{"abcdefg\u00E9abcdefgh\u65E5", true}));

INSTANTIATE_TEST_SUITE_P(IllFormed, UTF8ValidityTest,
                         ::testing::Values(ValidityCase{"\xE9", false},  // a Windows-1252 é
                                           ValidityCase{"caf\xE9 au lait", false},
                                           ValidityCase{"\x80", false},              // lone continuation byte
                                           ValidityCase{"\xC0\x80", false},          // overlong NUL
                                           ValidityCase{"\xC1\xBF", false},          // overlong ASCII
                                           ValidityCase{"\xE0\x9F\xBF", false},      // overlong three-byte form
                                           ValidityCase{"\xF0\x8F\xBF\xBF", false},  // overlong four-byte form
                                           ValidityCase{"\xED\xA0\x80", false},      // surrogate U+D800
                                           ValidityCase{"\xED\xBF\xBF", false},      // surrogate U+DFFF
                                           ValidityCase{"\xF4\x90\x80\x80", false},  // above U+10FFFF
                                           ValidityCase{"\xF5\x80\x80\x80", false}, ValidityCase{"\xFF", false},
                                           ValidityCase{"\xC3", false},  // truncated at the end
                                           ValidityCase{"\xE2\x82", false}, ValidityCase{"\xF0\x9F\x98", false},
                                           ValidityCase{"\xE2\x28\xA1", false},  // ASCII inside a sequence
                                           ValidityCase{"abcdefgh\xC3(", false},
                                           ValidityCase{"abcdefghijklmno\x80", false},  // after whole ASCII words
                                           ValidityCase{"abcdefg\x80hijklmnop", false}));

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

TEST(Windows1252, DecodesASCIIUnchanged)
{
    EXPECT_EQ(decodeWindows1252(""), "");
    EXPECT_EQ(decodeWindows1252("id,name\r\n1,\"x\"\0"s), "id,name\r\n1,\"x\"\0"s);
}

TEST(Windows1252, DecodesTheTypographicRange)
{
    EXPECT_EQ(decodeWindows1252("\x80"), "\u20AC");
    EXPECT_EQ(decodeWindows1252("\x85\x91\x92\x93\x94\x95\x96\x97"),
              "\u2026\u2018\u2019\u201C\u201D\u2022\u2013\u2014");
    EXPECT_EQ(decodeWindows1252("\x8A\x8C\x8E\x99\x9F"), "\u0160\u0152\u017D\u2122\u0178");
}

TEST(Windows1252, MapsTheUpperHalfToLatin1)
{
    EXPECT_EQ(decodeWindows1252("Ren\xE9 M\xFCller \xA0\xFF"), "Ren\u00E9 M\u00FCller \u00A0\u00FF");
}

TEST(Windows1252, MapsTheFiveUndefinedBytesToC1Controls)
{
    EXPECT_EQ(decodeWindows1252("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
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

}  // namespace
}  // namespace rowlark::text
