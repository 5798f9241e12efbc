#include "engine/text/Encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/text/Unicode.h"
#include "tests/engine/text/CaseFile.h"

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
