// "All sheets": every pair of sheets of two workbooks compared in the background, one shown at a time.

#include "engine/workbook/FileImport.h"
#include "tests/model/ModelTesting.h"
#include "tests/support/WorkbookWriting.h"

namespace rowlark::testing {
namespace {

using Rows = std::vector<std::vector<std::string>>;

const Rows orders = {{"order", "amount"}, {"A-1", "10"}, {"A-2", "20"}, {"A-3", "30"}};
const Rows ordersLater = {{"order", "amount"}, {"A-1", "10"}, {"A-2", "25"}, {"A-4", "40"}};
const Rows stock = {{"sku", "count"}, {"S-1", "5"}, {"S-2", "6"}};
const Rows stockLater = {{"sku", "count"}, {"S-1", "5"}, {"S-2", "6"}, {"S-3", "7"}};

// "Orders 1/1/1" for a compared pair (changed/only in A/only in B), "Orders !problem" for one
// that was not, "Notes (B)" for a sheet of File B only.
std::string describe(const model::SheetListEntry& entry)
{
    if (!entry.right)
        return entry.left->name + (entry.left->isHidden ? " (A, hidden)" : " (A)");
    if (!entry.left)
        return entry.right->name + " (B)";
    std::string text = entry.left->name + (entry.right->name != entry.left->name ? "|" + entry.right->name : "");
    if (entry.isCompared)
        return text + " " + std::to_string(entry.changed) + "/" + std::to_string(entry.onlyLeft) + "/" +
               std::to_string(entry.onlyRight);
    return text + " !" + entry.problem.toStdString();
}

std::vector<std::string> listed(const model::ComparisonModel& model)
{
    std::vector<std::string> entries;
    for (const model::SheetListEntry& entry : model.sheetList())
        entries.push_back(describe(entry));
    return entries;
}

class AllSheetsTest : public ModelTest {
protected:
    void loadWorkbooks(const std::vector<WorkbookSheet>& left, const std::vector<WorkbookSheet>& right)
    {
        model.load(writeFile("before.xlsx", xlsxWorkbook(left)), true);
        waitUntilIdle();
        model.load(writeFile("after.xlsx", xlsxWorkbook(right)), false);
        waitUntilIdle();
        ASSERT_TRUE(model.right()) << model.errorMessage().value_or("").toStdString();
    }

    void compareAll()
    {
        ASSERT_TRUE(model.canCompareAllSheets());
        model.compareAllSheets();
        waitUntilIdle();
        ASSERT_TRUE(model.isAllSheets()) << model.errorMessage().value_or("").toStdString();
    }
};

TEST_F(AllSheetsTest, EveryPairIsComparedAndTheFirstShown)
{
    // Two sheets of File A are left over against one of File B: too many to pair by position.
    loadWorkbooks({{"Orders", orders}, {"Archive", stock}, {"Stock", stock}, {"Old", stock, true}},
                  {{"Notes", stock}, {" orders", ordersLater}, {"Stock", stockLater}});
    compareAll();
    EXPECT_EQ(listed(model), (std::vector<std::string>{"Orders| orders 1/1/1", "Archive (A)", "Stock 0/0/1",
                                                       "Old (A, hidden)", "Notes (B)"}));
    EXPECT_EQ(model.chosenPair(), std::optional<std::size_t>(0));
    EXPECT_EQ(model.left()->sheet, std::optional<std::string>("Orders"));
    EXPECT_EQ(model.right()->sheet, std::optional<std::string>(" orders"));
    ASSERT_TRUE(model.summary());
    EXPECT_EQ(describeDifferences(model),
              (std::vector<std::string>{"A-2 Changed", "A-3 Only in File A", "A-4 Only in File B"}));
    EXPECT_EQ(model.tab(), model::WorkspaceTab::results);
    EXPECT_TRUE(model.hasResults());
    EXPECT_EQ(model.busyLabel(), "Comparing sheet 2 of 2: Stock…") << "the last pair's progress";
}

TEST_F(AllSheetsTest, OfferedOnlyForTwoWorkbooksOfSeveralSheets)
{
    loadWorkbooks({{"Orders", orders}}, {{"Orders", ordersLater}, {"Stock", stock}});
    EXPECT_FALSE(model.canCompareAllSheets());
    model.compareAllSheets();
    EXPECT_FALSE(model.isBusy());
    model.loadSample();
    waitUntilIdle();
    EXPECT_FALSE(model.canCompareAllSheets()) << "the samples are no workbooks";
}

TEST_F(AllSheetsTest, FailingPairShowsItsProblemBesideTheOthers)
{
    loadWorkbooks({{"Orders", orders}, {"Empty", {}}, {"Stock", stock}},
                  {{"Orders", ordersLater}, {"Empty", {}}, {"Stock", stockLater}});
    compareAll();
    const std::vector<std::string> entries = listed(model);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], "Orders 1/1/1");
    EXPECT_THAT(entries[1], ::testing::StartsWith("Empty !File A (before.xlsx): "));
    EXPECT_EQ(entries[2], "Stock 0/0/1");
    EXPECT_FALSE(model.errorMessage()) << "a pair's problem is no alert";

    model.choosePair(1);
    EXPECT_EQ(model.chosenPair(), std::optional<std::size_t>(1));
    EXPECT_FALSE(model.summary());
    EXPECT_TRUE(model.mappings().empty());
    EXPECT_FALSE(model.canCompare()) << "no tables to compare";
    EXPECT_EQ(model.tab(), model::WorkspaceTab::results);
    model.analyze();
    EXPECT_FALSE(model.isBusy()) << "nothing to match";
    model.choosePair(2);
    EXPECT_EQ(model.left()->sheet, std::optional<std::string>("Stock"));
    EXPECT_EQ(describeDifferences(model), std::vector<std::string>{"S-3 Only in File B"});
}

TEST_F(AllSheetsTest, PairWithoutKeyWaitsForOne)
{
    const Rows unmatched = {{"left"}, {"same"}, {"same"}};
    const Rows other = {{"right"}, {"x"}, {"y"}};
    loadWorkbooks({{"Orders", orders}, {"Loose", unmatched}}, {{"Orders", ordersLater}, {"Loose", other}});
    compareAll();
    EXPECT_EQ(listed(model),
              (std::vector<std::string>{"Orders 1/1/1", "Loose !No row key was found for these sheets."}));
    model.choosePair(1);
    EXPECT_FALSE(model.summary());
    EXPECT_EQ(model.left()->sheet, std::optional<std::string>("Loose")) << "its tables are there to map";
    EXPECT_FALSE(model.canCompare());
}

TEST_F(AllSheetsTest, CancelledRunLeavesNothingBehind)
{
    loadWorkbooks({{"Orders", orders}, {"Stock", stock}}, {{"Orders", ordersLater}, {"Stock", stockLater}});
    model.compareAllSheets();
    EXPECT_TRUE(model.isBusy());
    EXPECT_EQ(model.busyLabel(), "Comparing all sheets…");
    model.cancel();
    drainBackgroundWork();
    waitUntilIdle();
    EXPECT_FALSE(model.isAllSheets());
    EXPECT_FALSE(model.summary());
    EXPECT_TRUE(model.sheetList().empty());
    EXPECT_EQ(model.notice(), "The operation was cancelled.");
    EXPECT_EQ(model.left()->sheet, std::optional<std::string>("Orders"));
    EXPECT_EQ(model.busyLabel(), "Comparing all sheets…") << "no progress after the cancel";
}

TEST_F(AllSheetsTest, ChosenPairIsEditedAndComparedAgainAlone)
{
    loadWorkbooks({{"Orders", orders}, {"Stock", stock}}, {{"Orders", ordersLater}, {"Stock", stockLater}});
    compareAll();
    const auto firstSummary = model.summary();
    model.choosePair(1);
    EXPECT_EQ(model.left()->sheet, std::optional<std::string>("Stock"));
    EXPECT_EQ(model.right()->sheet, std::optional<std::string>("Stock"));
    EXPECT_EQ(model.filter(), records::ResultFilter::all);
    EXPECT_EQ(describeDifferences(model), std::vector<std::string>{"S-3 Only in File B"});

    // Comparing the count too would make nothing changed here; dropping it from the comparison
    // drops the pair's result only.
    const records::ColumnMapping count = model.mappings().at(1);
    model.setIncluded(count.id, false);
    EXPECT_FALSE(model.summary());
    EXPECT_EQ(model.tab(), model::WorkspaceTab::mapping);
    EXPECT_EQ(listed(model)[0], "Orders 1/1/1");
    EXPECT_FALSE(model.sheetList()[1].isCompared);
    model.compare();
    waitUntilIdle();
    EXPECT_EQ(model.chosenPair(), std::optional<std::size_t>(1));
    EXPECT_EQ(model.tab(), model::WorkspaceTab::results);
    EXPECT_EQ(listed(model), (std::vector<std::string>{"Orders 1/1/1", "Stock 0/0/1"}));
    EXPECT_FALSE(model.mappings().at(1).isIncluded) << "the edit stays with the pair";

    model.choosePair(0);
    EXPECT_EQ(model.summary(), firstSummary) << "the other pair was not compared again";
    model.choosePair(1);
    EXPECT_FALSE(model.mappings().at(1).isIncluded);
}

TEST_F(AllSheetsTest, LetterCaseChangeComparesEveryPairAgainAndAnotherFileEndsAllSheets)
{
    loadWorkbooks({{"Orders", orders}, {"Stock", stock}}, {{"Orders", ordersLater}, {"Stock", stockLater}});
    compareAll();
    const auto firstSummary = model.summary();
    model.setIgnoreCase(true);
    EXPECT_EQ(listed(model)[1], "Stock !");
    model.compare();
    waitUntilIdle();
    EXPECT_EQ(listed(model), (std::vector<std::string>{"Orders 1/1/1", "Stock 0/0/1"}));
    EXPECT_NE(model.summary(), firstSummary);

    model.load(writeNumberedFile("plain.csv", 3, "x"), false);
    waitUntilIdle();
    EXPECT_FALSE(model.isAllSheets());
    EXPECT_TRUE(model.sheetList().empty());
    EXPECT_FALSE(model.chosenPair());
    EXPECT_EQ(model.left()->sheet, std::optional<std::string>("Orders"));
}

TEST_F(AllSheetsTest, ExportWritesEveryPairToOneWorkbook)
{
    loadWorkbooks({{"Orders", orders}, {"Empty", {}}, {"Stock", stock}},
                  {{"Orders", ordersLater}, {"Empty", {}}, {"Stock", stockLater}});
    compareAll();
    model.choosePair(2);
    dialogs->saveAnswer = folder.filePath("every-sheet");
    model.exportAllSheets();
    EXPECT_EQ(dialogs->saveName, "comparison-report.xlsx");
    waitUntilIdle();
    ASSERT_FALSE(model.errorMessage()) << model.errorMessage()->toStdString();
    EXPECT_EQ(model.notice(), "Exported 4 rows of every pair of sheets.");
    const workbook::ImportedTable summary =
        workbook::FileImport::readTable(folder.filePath("every-sheet.xlsx").toStdString(), std::string("Summary"));
    std::vector<std::string> sheets;
    for (const workbook::SheetEntry& sheet : summary.sheets)
        sheets.push_back(sheet.name);
    EXPECT_EQ(sheets, (std::vector<std::string>{"Summary", "Orders", "Stock"})) << "no worksheet for a failed pair";
    const workbook::ImportedTable stockSheet =
        workbook::FileImport::readTable(folder.filePath("every-sheet.xlsx").toStdString(), std::string("Stock"));
    EXPECT_GE(stockSheet.table.rowCount(), 1u);
}

}  // namespace
}  // namespace rowlark::testing
