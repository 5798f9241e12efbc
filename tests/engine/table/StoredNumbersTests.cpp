#include "engine/table/StoredNumbers.h"

#include <gtest/gtest.h>

#include "engine/table/Table.h"

namespace rowlark::table {
namespace {

TEST(StoredNumbers, keepsAValueOnlyWhereTheTextIsNotItsShortestForm)
{
    StoredNumbersBuilder builder(3, true);
    builder.add(0, 0, 63490, "63490");
    builder.add(2, 0, 0.25, "0.25");
    builder.add(0, 1, 0.3333333334, "0.333333333");
    builder.add(1, 1, 45356.5, "2024-03-05 12:00");
    builder.add(200, 1, 1e21, "1e+21");
    const StoredNumbers numbers = std::move(builder).build();

    const auto at = [&](std::size_t row, std::size_t column, std::string_view text) {
        const auto number = numbers.at(row, column, text);
        EXPECT_TRUE(!number || number->isDate1904);
        return number ? std::optional(number->value) : std::nullopt;
    };
    EXPECT_EQ(at(0, 0, "63490"), 63490.0);
    EXPECT_EQ(at(2, 0, "0.25"), 0.25);
    EXPECT_EQ(at(1, 0, "text"), std::nullopt);
    EXPECT_EQ(at(0, 1, "0.333333333"), 0.3333333334);
    EXPECT_EQ(at(1, 1, "2024-03-05 12:00"), 45356.5);
    EXPECT_EQ(at(200, 1, "1e+21"), 1e21);
    EXPECT_EQ(at(199, 1, ""), std::nullopt);
    EXPECT_EQ(at(5000, 1, ""), std::nullopt);
    EXPECT_EQ(at(0, 2, "1"), std::nullopt);
    EXPECT_TRUE(numbers.hasNumberCells(0));
    EXPECT_FALSE(numbers.hasNumberCells(2));
    EXPECT_FALSE(numbers.hasNumberCells(9));
}

TEST(StoredNumbers, aTableHandsThemOutByItsOwnColumns)
{
    CellStoreBuilder cells(2, 2);
    for (const std::string_view cell : {"a", "1.50", "b", "7"})
        cells.appendCell(cell);
    CellStore store = std::move(cells).build();
    StoredNumbersBuilder numbers(2, false);
    numbers.add(0, 1, 1.5, "1.50");
    numbers.add(1, 1, 7, "7");
    store.attachStoredNumbers(std::move(numbers).build());
    const Table table = Table::fromStore({"name", "amount"}, std::move(store));
    EXPECT_TRUE(table.hasNumberCells(1));
    EXPECT_FALSE(table.hasNumberCells(0));
    EXPECT_EQ(table.storedNumber(0, 1)->value, 1.5);
    EXPECT_EQ(table.storedNumber(1, 1)->value, 7.0);
    EXPECT_FALSE(table.storedNumber(0, 0));
    EXPECT_FALSE(table.storedNumber(2, 1));
    EXPECT_FALSE(table.hasNumberCells(5));
}

}  // namespace
}  // namespace rowlark::table
