#include "compare/KeyDiagnostics.h"

#include <gtest/gtest.h>

#include "ComparisonTestSupport.h"

namespace rowlark {
namespace {

using testing_support::Rows;

KeyDiagnostics diagnose(const Rows& rows, const std::vector<std::int64_t>& keyIndices, bool ignoreCase = false)
{
    return KeyDiagnostics(CSVTable::fromRows({"ID", "Name"}, rows), keyIndices, ignoreCase);
}

struct DiagnosticsCase {
    std::string name;
    Rows rows;
    std::vector<std::int64_t> keyIndices;
    bool ignoreCase;
    std::int64_t emptyKeyRows;
    std::int64_t repeatedKeyGroups;
};

class KeyDiagnosticsCounts : public testing::TestWithParam<DiagnosticsCase> {};

TEST_P(KeyDiagnosticsCounts, countEmptyRowsAndRepeatedKeys)
{
    const auto& c = GetParam();
    const auto diagnostics = diagnose(c.rows, c.keyIndices, c.ignoreCase);
    EXPECT_EQ(diagnostics.emptyKeyRows, c.emptyKeyRows);
    EXPECT_EQ(diagnostics.repeatedKeyGroups, c.repeatedKeyGroups);
}

INSTANTIATE_TEST_SUITE_P(
    KeyDiagnostics, KeyDiagnosticsCounts,
    testing::Values(DiagnosticsCase{"uniqueKeys", {{"1", "a"}, {"2", "a"}}, {0}, false, 0, 0},
                    DiagnosticsCase{"blankKeysRepeatToo", {{" ", "a"}, {"", "b"}, {"\t", "c"}, {"4", "d"}}, {0}, false, 3, 1},
                    DiagnosticsCase{"emptySpellingsAreEmpty", {{"NULL", "a"}, {"n/a", "b"}}, {0}, false, 2, 1},
                    DiagnosticsCase{"caseMattersUnlessIgnored", {{"ABC", "a"}, {"abc", "b"}}, {0}, false, 0, 0},
                    DiagnosticsCase{"ignoringCaseJoinsKeys", {{"ABC", "a"}, {"abc", "b"}}, {0}, true, 0, 1},
                    DiagnosticsCase{"compositeRepeatsOnlyTogether", {{"1", "a"}, {"1", "b"}, {"2", "a"}}, {0, 1}, false, 0, 0},
                    DiagnosticsCase{"compositeRepeats", {{"1", "a"}, {"1", "a "}, {"2", "a"}}, {0, 1}, false, 0, 1},
                    DiagnosticsCase{"anyEmptyPartMakesTheRowEmpty", {{"1", ""}, {"", "a"}, {"2", "b"}}, {0, 1}, false, 2, 0},
                    DiagnosticsCase{"indexOutsideTheTableIsEmpty", {{"1", "a"}, {"2", "b"}}, {0, 5}, false, 2, 0},
                    DiagnosticsCase{"negativeIndexIsEmpty", {{"1", "a"}}, {-1}, false, 1, 0},
                    DiagnosticsCase{"noKeyColumnsMakeEveryRowEmpty", {{"1", "a"}, {"2", "b"}}, {}, false, 2, 1},
                    DiagnosticsCase{"noRows", {}, {0}, false, 0, 0}),
    [](const auto& info) { return info.param.name; });

TEST(KeyDiagnostics, shortRowsGetEmptyParts)
{
    const auto table = CSVTable::fromRows({"ID", "Name", "Phone"}, {{"1"}, {"2", "b", "555"}});
    EXPECT_EQ(KeyDiagnostics(table, {0, 2}, false).emptyKeyRows, 1);
}

TEST(KeyDiagnostics, keysAreNormalizedWithTheirColumnsRules)
{
    const auto table = CSVTable::fromRows({"Phone", "Country"}, {{"(555) 010", "USA"}, {"555-010", "United States"}});
    EXPECT_EQ(KeyDiagnostics(table, {0, 1}, false).repeatedKeyGroups, 1);
}

TEST(KeyWarning, emptyWhenKeysAreFine) { EXPECT_EQ(keyWarning({}, "a.csv", {}, "b.csv"), ""); }

TEST(KeyWarning, emptyKeySentenceNamesBothFiles)
{
    KeyDiagnostics left;
    left.emptyKeyRows = 2;
    EXPECT_EQ(keyWarning(left, "a.csv", {}, "b.csv"), "Empty key components: 2 in a.csv, 0 in b.csv.");
}

TEST(KeyWarning, repeatedKeySentenceNamesBothFiles)
{
    KeyDiagnostics right;
    right.repeatedKeyGroups = 1234567;
    EXPECT_EQ(keyWarning({}, "a.csv", right, "b.csv"),
              "Repeated keys: 0 groups in a.csv, 1234567 in b.csv. Add another key column if these are distinct records.");
}

TEST(KeyWarning, bothSentencesAreJoinedBySpace)
{
    const auto left = diagnose({{"", "a"}, {"", "b"}, {"", "c"}}, {0});
    const auto right = diagnose({{"1", "a"}}, {0});
    EXPECT_EQ(keyWarning(left, "old data.csv", right, "new.csv"),
              "Empty key components: 3 in old data.csv, 0 in new.csv. Repeated keys: 1 groups in old data.csv, 0 in "
              "new.csv. Add another key column if these are distinct records.");
}

}  // namespace
}  // namespace rowlark
