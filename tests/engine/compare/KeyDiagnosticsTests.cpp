#include "engine/compare/KeyDiagnostics.h"

#include <gtest/gtest.h>

namespace rowlark::compare {
namespace {

KeyDiagnostics diagnostics(std::int64_t emptyKeyRows, std::int64_t repeatedKeyGroups)
{
    KeyDiagnostics result;
    result.emptyKeyRows = emptyKeyRows;
    result.repeatedKeyGroups = repeatedKeyGroups;
    return result;
}

TEST(KeyWarning, namesBothFilesInEachSentence)
{
    EXPECT_EQ(keyWarning({}, "a.csv", {}, "b.csv"), "");
    EXPECT_EQ(keyWarning(diagnostics(2, 0), "a.csv", {}, "b.csv"), "Empty key components: 2 in a.csv, 0 in b.csv.");
    EXPECT_EQ(
        keyWarning({}, "a.csv", diagnostics(0, 1234567), "b.csv"),
        "Repeated keys: 0 groups in a.csv, 1234567 in b.csv. Add another key column if these are distinct records.");
    EXPECT_EQ(keyWarning(diagnostics(0, 2), "a.csv", {}, "b.csv"),
              "Repeated keys: 2 groups in a.csv, 0 in b.csv. Add another key column if these are distinct records.");
    EXPECT_EQ(keyWarning(diagnostics(3, 1), "old data.csv", {}, "new.csv"),
              "Empty key components: 3 in old data.csv, 0 in new.csv. Repeated keys: 1 group in old data.csv, 0 in "
              "new.csv. Add another key column if these are distinct records.");
}

}  // namespace
}  // namespace rowlark::compare
