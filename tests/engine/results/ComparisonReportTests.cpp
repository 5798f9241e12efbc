#include "results/ComparisonReport.h"

#include <gtest/gtest.h>

#include "../compare/ComparisonTestSupport.h"

namespace rowlark {
namespace {

using testing_support::unescaped;

TEST(SafeCell, MakesFormulaLikeValuesInertAndLeavesOthersAlone)
{
    const auto lines = testing_support::tableLines(testing_support::dataFolder("results") / "safe-cells.txt");
    EXPECT_GE(lines.size(), 24u);
    for (const std::string& line : lines) {
        const auto field = testing_support::fields(line);
        EXPECT_EQ(ComparisonReport::safeCell(unescaped(field.at(0))), unescaped(field.at(1))) << line;
    }
}

}  // namespace
}  // namespace rowlark
