#include "compare/ValueNormalization.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/Unicode.h"

namespace rowlark::CSVComparator {
namespace {

struct Case {
    std::string header;
    std::string value;
    std::string expected;
    bool ignoreCase = false;
};

void PrintTo(const Case& c, std::ostream* out)
{
    *out << "header '" << c.header << "' value '" << c.value << "'" << (c.ignoreCase ? " ignoring case" : "");
}

std::string comparable(const Case& c)
{
    return canonicalComparable(c.value, text::normalizeHeader(c.header), c.ignoreCase);
}

class EmptySpellings : public testing::TestWithParam<Case> {};

TEST_P(EmptySpellings, giveTheExpectedForm) { EXPECT_EQ(comparable(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(CanonicalComparable, EmptySpellings,
                         testing::Values(Case{"Name", "  NULL ", ""}, Case{"Name", "N/A", ""},
                                         Case{"Name", "n.a.", ""}, Case{"Name", "Nil", ""},
                                         Case{"Name", "<null>", ""}, Case{"Phone", "NA", ""},
                                         Case{"Country", "n/a", ""}, Case{"Is Active", "null", ""},
                                         Case{"Name", "", ""}, Case{"Name", " \t\r\n\u00a0\u2028 ", ""},
                                         Case{"Name", "None", "None"}, Case{"Name", "NaN", "NaN"},
                                         Case{"Name", "-", "-"}, Case{"Name", "NaN", "nan", true},
                                         Case{"Name", "nulls", "nulls"}, Case{"Name", "n\u00e0", "n\u00e0"},
                                         // A letter outside ASCII keeps the compact form from matching.
                                         Case{"Name", "n\u0131l", "n\u0131l"}, Case{"Name", "n\u0130l", "n\u0130l"},
                                         // The Kelvin sign is canonically equivalent to K.
                                         Case{"Name", "\u212ana", "Kna"},
                                         Case{"Name", "\u00abNA\u00bb", ""}));

class FlagColumns : public testing::TestWithParam<Case> {};

TEST_P(FlagColumns, giveTheExpectedForm) { EXPECT_EQ(comparable(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    CanonicalComparable, FlagColumns,
    testing::Values(Case{"Is Member", "Yes", "true"}, Case{"Is Member", "YES", "true"}, Case{"Is Member", "1", "true"},
                    Case{"Is Member", "true", "true"}, Case{"Is Member", " y.e.s ", "true"},
                    Case{"Is Member", "No", "false"}, Case{"Is Member", "0", "false"},
                    Case{"Is Member", "False", "false"}, Case{"Is Member", "Maybe", "Maybe"},
                    Case{"Is Member", "Maybe", "maybe", true}, Case{"Is Member", "TRUE", "true", true},
                    Case{"Active", "yes", "true"}, Case{"Inactive since", "no", "false"},
                    Case{"Deceased", "1", "true"}, Case{"Issue Date", "1", "true"},
                    Case{"Issue Date", "0", "false"}, Case{"Subscribed", "Yes", "Yes"},
                    Case{"Subscribed", "1", "1"}, Case{"Subscribed", "False", "False"},
                    Case{"Subscribed", "False", "false", true}, Case{"This", "yes", "yes"},
                    Case{"Is Member", "01", "01"}));

class PhoneColumns : public testing::TestWithParam<Case> {};

TEST_P(PhoneColumns, giveTheExpectedForm) { EXPECT_EQ(comparable(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    CanonicalComparable, PhoneColumns,
    testing::Values(Case{"Phone", "(555) 010-9999", "5550109999"}, Case{"Phone", "555.010.9999", "5550109999"},
                    Case{"Phone", "+1 555 010 9999", "15550109999"}, Case{"Mobile Phone #", "555 0100", "5550100"},
                    Case{"Phone", "NA", ""}, Case{"Phone", "unknown", "unknown"},
                    Case{"Phone", "Unknown", "unknown", true}, Case{"Phone", "1", "1"},
                    Case{"Phone", "555-0100 ext. 12", "555010012"}, Case{"isPhoneVerified", "1", "true"},
                    // Digits of other scripts and numeric symbols are kept as written.
                    Case{"Phone", "\u0665\u0665-\u0661", "\u0665\u0665\u0661"}, Case{"Phone", "\u00bd x 2", "\u00bd2"},
                    // A combining mark stays with the digit it belongs to.
                    Case{"Phone", "1\u0301-2", "1\u03012"}, Case{"Telephone", "--", "--"},
                    Case{"Phone", "yes", "yes"}));

class CountryColumns : public testing::TestWithParam<Case> {};

TEST_P(CountryColumns, giveTheExpectedForm) { EXPECT_EQ(comparable(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    CanonicalComparable, CountryColumns,
    testing::Values(Case{"Country", "US", "unitedstates"}, Case{"Country", "U.S.A.", "unitedstates"},
                    Case{"Country", "United States", "unitedstates"},
                    Case{"Country/Region", "United States of America", "unitedstates"},
                    Case{"Country", "us", "unitedstates", true}, Case{"Country", "US Virgin Islands", "US Virgin Islands"},
                    Case{"Country", "USSR", "USSR"}, Case{"Nation", "US", "US"}, Case{"Nation", "U.S.A.", "U.S.A."},
                    Case{"Nation", "United States", "united states", true}, Case{"Country", "Canada", "Canada"},
                    Case{"Country", "NULL", ""}));

class PlainText : public testing::TestWithParam<Case> {};

TEST_P(PlainText, giveTheExpectedForm) { EXPECT_EQ(comparable(GetParam()), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    CanonicalComparable, PlainText,
    testing::Values(Case{"Name", "  Smith ", "Smith"}, Case{"Name", "Smith", "smith", true},
                    Case{"Name", "a  b", "a  b"}, Case{"Name", "\u00c9MILE", "\u00e9mile", true},
                    Case{"Name", "\u03a3\u039f\u03a3", "\u03c3\u03bf\u03c2", true},
                    // Canonically equivalent spellings share one composed form.
                    Case{"Name", "e\u0301", "\u00e9"}, Case{"Name", "\u212b", "\u00c5"},
                    Case{"Name", "\u3000wide\u3000", "wide"}, Case{"Name", "\u0085x\u2029", "x"},
                    Case{"Name", "{not json", "{not json"}, Case{"Name", "[1, 2", "[1, 2"},
                    // Plain ASCII cells: white space inside is kept, at either end it is trimmed.
                    Case{"Name", "a\tb\nc", "a\tb\nc"}, Case{"Name", "Smith\t", "Smith"},
                    Case{"Name", "\x7f", "\x7f"}, Case{"Name", "Ab-cd", "ab-cd", true},
                    // Letter counts around those of the spelling list.
                    Case{"Name", "N.U.L.L", ""}, Case{"Name", "nullx", "nullx"},
                    Case{"Is Member", "Y-E-S", "true"},
                    Case{"Country", "United  States", "unitedstates"},
                    Case{"Country", "United States of America!", "unitedstates"},
                    Case{"Country", "United States of Americas", "United States of Americas"}));

TEST(CanonicalComparable, sameFormsWhetherOrNotCaseIsIgnoredForFixedRules)
{
    for (const auto& [header, value] : std::vector<std::pair<std::string, std::string>>{
             {"isactive", "YES"}, {"phone", "555-0100"}, {"country", "USA"}, {"name", "NULL"}}) {
        EXPECT_EQ(canonicalComparable(value, header, false), canonicalComparable(value, header, true)) << value;
    }
}

TEST(CanonicalComparable, jsonIgnoresWhitespaceAndMemberOrder)
{
    EXPECT_EQ(canonicalComparable("{\"b\": 1, \"a\": 2}", "data", false),
              canonicalComparable("{\"a\":2,\"b\":1}", "data", false));
    EXPECT_EQ(canonicalComparable("[1, 2]", "data", false), canonicalComparable("[1,2]", "data", false));
    EXPECT_EQ(canonicalComparable("  { \"x\" : [ {\"b\":true, \"a\":null} ] }\n", "data", false),
              "{\"x\":[{\"a\":null,\"b\":true}]}");
    EXPECT_NE(canonicalComparable("[1, 2]", "data", false), canonicalComparable("[2, 1]", "data", false));
}

TEST(CanonicalComparable, jsonKeepsNumbersExact)
{
    EXPECT_NE(canonicalComparable("[12345678901234567890]", "data", false),
              canonicalComparable("[12345678901234567891]", "data", false));
    EXPECT_EQ(canonicalComparable("[1.50]", "data", false), canonicalComparable("[15e-1]", "data", false));
}

TEST(CanonicalComparable, jsonIgnoringCaseLowercasesMemberNamesBeforeSorting)
{
    EXPECT_EQ(canonicalComparable("{\"B\":\"1\",\"a\":\"2\"}", "data", true),
              canonicalComparable("{\"b\":\"1\",\"A\":\"2\"}", "data", true));
    EXPECT_NE(canonicalComparable("{\"B\":\"x\"}", "data", false), canonicalComparable("{\"b\":\"x\"}", "data", false));
    EXPECT_EQ(canonicalComparable("[\"ABC\"]", "data", true), "[\"abc\"]");
}

TEST(CanonicalComparable, jsonTopLevelMustBeObjectOrArrayStartingTheValue)
{
    EXPECT_EQ(canonicalComparable("42", "data", false), "42");
    EXPECT_EQ(canonicalComparable("\"text\"", "data", false), "\"text\"");
    EXPECT_EQ(canonicalComparable("{\"a\":1} trailing", "data", false), "{\"a\":1} trailing");
}

TEST(CanonicalComparable, deeplyNestedJSONIsComparedAsText)
{
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_EQ(canonicalComparable(deep, "data", false), deep);
}

TEST(CanonicalComparable, jsonLongerThanTheLimitIsComparedAsText)
{
    const auto arrayOfOneString = [](std::size_t bytes, std::string_view afterBracket) {
        const std::size_t letters = bytes - 4 - afterBracket.size();
        return "[" + std::string(afterBracket) + "\"" + std::string(letters, 'x') + "\"]";
    };
    const std::string compact = arrayOfOneString(maximumJSONComparisonBytes - 1, "");
    const std::string atLimit = arrayOfOneString(maximumJSONComparisonBytes, " ");
    ASSERT_EQ(atLimit.size(), maximumJSONComparisonBytes);
    EXPECT_EQ(canonicalComparable(atLimit, "data", false), compact);

    const std::string overLimit = arrayOfOneString(maximumJSONComparisonBytes + 1, "  ");
    EXPECT_EQ(canonicalComparable(overLimit, "data", false), overLimit);
    EXPECT_EQ(canonicalComparable("  " + atLimit + "  ", "data", false), compact) << "the limit applies after trimming";
}

TEST(CanonicalComparable, viewFormPointsIntoTheCellWhenNothingChanges)
{
    NormalizationBuffer buffer;
    const std::string cell = "plain text";
    const std::string_view form = canonicalComparable(cell, ColumnRules{}, false, buffer);
    EXPECT_EQ(form.data(), cell.data());
    EXPECT_EQ(form.size(), cell.size());
    const std::string padded = "  padded ";
    EXPECT_EQ(canonicalComparable(padded, ColumnRules{}, false, buffer).data(), padded.data() + 2);
}

// The spelling test stops at the first letter, mark or number outside ASCII. That is only sound if
// lower-casing such a scalar always leaves something no spelling entry contains, and if no other
// scalar outside ASCII lower-cases into a letter, mark or number.
TEST(CanonicalComparable, scalarsOutsideASCIINeverLowercaseIntoASpelling)
{
    const std::string entryAlphabet = "nulaitryesfodmc01";
    for (char32_t scalar = 0x80; scalar < 0x30000; ++scalar) {
        if (scalar >= 0xD800 && scalar < 0xE000)
            continue;
        std::string encoded;
        text::appendScalar(encoded, scalar);
        const std::string lower = text::lowercased(encoded);
        bool keptAny = false;
        bool rulesOutEveryEntry = false;
        for (std::size_t position = 0; position < lower.size();) {
            const char32_t part = text::nextScalar(lower, position);
            if (!text::isLetterMarkOrNumber(part))
                continue;
            keptAny = true;
            rulesOutEveryEntry |= part >= 0x80 || entryAlphabet.find(static_cast<char>(part)) == std::string::npos;
        }
        const auto code = static_cast<std::uint32_t>(scalar);
        if (text::isLetterMarkOrNumber(scalar))
            ASSERT_TRUE(rulesOutEveryEntry) << std::hex << code;
        else
            ASSERT_FALSE(keptAny) << std::hex << code;
    }
}

TEST(NormalizedKey, readsMissingCellsAndHeadersAsEmpty)
{
    const std::vector<std::string> headers{"ID", "Phone"};
    EXPECT_EQ(normalizedKey({"7", " 555-0100 "}, headers, {2, 0}, false), (std::vector<std::string>{"", "7"}));
    EXPECT_EQ(normalizedKey({"7", "555-0100"}, headers, {1, -1}, false),
              (std::vector<std::string>{"5550100", ""}));
    EXPECT_TRUE(normalizedKey({"7"}, headers, {}, false).empty());
}

TEST(NormalizedKey, appliesEachColumnsOwnRulesAndCase)
{
    const std::vector<std::string> headers{"Is Active", "Name", "Country"};
    EXPECT_EQ(normalizedKey({"Yes", "ABC", "U.S."}, headers, {0, 1, 2}, true),
              (std::vector<std::string>{"true", "abc", "unitedstates"}));
    EXPECT_EQ(normalizedKey({"Yes", "ABC", "U.S."}, headers, {1}, false), (std::vector<std::string>{"ABC"}));
}

}  // namespace
}  // namespace rowlark::CSVComparator
