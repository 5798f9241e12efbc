#include <algorithm>

#include "engine/results/ComparisonRun.h"
#include "model/ModelWork.h"
#include "model/SampleFiles.h"
#include "tests/model/ModelTesting.h"

namespace rowlark::testing {
namespace {

using ModelStateTest = ModelTest;

TEST_F(ModelStateTest, EditsOfUnknownMappingsOrWithoutFilesChangeNothing)
{
    model.map(records::UUID::random(), std::nullopt);
    EXPECT_EQ(announced("mappingChanged"), 0);
    loadSamples();
    const std::vector<records::ColumnMapping> before = model.mappings();
    const QString notice = model.notice();
    model.setKey(records::UUID::random(), true);
    model.setIncluded(records::UUID::random(), false);
    model.map(records::UUID::random(), 1);
    EXPECT_EQ(model.mappings(), before);
    EXPECT_EQ(model.notice(), notice);
}

TEST_F(ModelStateTest, EveryEditDropsTheResult)
{
    compareSamples();
    const records::UUID notes = model.mappings()[4].id;
    const std::vector<std::function<void()>> edits = {
        [&] { model.setIncluded(notes, false); },
        [&] { model.setKey(notes, false); },
        [&] { model.map(notes, 4); },
        [&] { model.setIgnoreCase(true); },
    };
    for (const auto& edit : edits) {
        compareLoaded();
        ASSERT_EQ(model.tab(), model::WorkspaceTab::results);
        edit();
        EXPECT_FALSE(model.summary() || model.index() || model.selectedRowID() || model.elapsed());
        EXPECT_TRUE(model.filteredIndices().empty());
        EXPECT_EQ(model.tab(), model::WorkspaceTab::mapping);
        EXPECT_FALSE(model.canExport());
    }
}

// The key and the price of the File A side of every difference, sorted.
std::vector<std::string> leftSideOfDifferences(const model::ComparisonModel& model)
{
    std::vector<std::string> cells;
    for (const records::RowDifference& difference : model.summary()->differences)
        if (difference.leftRow)
            cells.push_back(difference.leftRow->front() + " " + difference.leftRow->at(2));
    std::ranges::sort(cells);
    return cells;
}

// Swapping keeps both tables as read, drops the result and matches the columns again from the new File A.
TEST_F(ModelStateTest, SwappingFilesExchangesTheSidesAndMatchesTheColumnsAgain)
{
    compareSamples();
    EXPECT_EQ(leftSideOfDifferences(model), (std::vector<std::string>{"SK-001 45.00", "SK-002 12.00", "SK-003 18.00"}));
    model.swapFiles();
    EXPECT_EQ(model.left()->name, "catalog-after.csv");
    EXPECT_EQ(model.right()->name, "catalog-before.csv");
    EXPECT_FALSE(model.summary());
    EXPECT_EQ(model.tab(), model::WorkspaceTab::mapping);
    waitUntilIdle();
    ASSERT_EQ(model.mappings().size(), 5u);
    keyOnly(0);
    compareLoaded();
    EXPECT_EQ(leftSideOfDifferences(model), (std::vector<std::string>{"SK-001 49.00", "SK-003 18.00", "SK-005 24.00"}));
}

TEST_F(ModelStateTest, SwappingMovesALoneFileToTheOtherSideButWaitsForTheRunningOperation)
{
    EXPECT_FALSE(model.canSwapFiles());
    model.load(writeFile("only.csv", "id\n1\n"), true);
    EXPECT_FALSE(model.canSwapFiles());
    model.swapFiles();
    waitUntilIdle();
    ASSERT_TRUE(model.left());
    model.swapFiles();
    EXPECT_FALSE(model.left());
    ASSERT_TRUE(model.right());
    EXPECT_EQ(model.right()->name, "only.csv");
}

TEST(FailureDescriptionTest, RunningOutOfMemoryBlamesTheFileSize)
{
    EXPECT_EQ(model::describeFailure(std::make_exception_ptr(std::bad_alloc())),
              "The file is too large for the available memory.");
    EXPECT_EQ(model::describeFailure(std::make_exception_ptr(std::runtime_error("Disk full"))), "Disk full");
    EXPECT_FALSE(model::describeFailure(std::make_exception_ptr(42)).isEmpty());
}

TEST(CancellationCheckTest, StopRequestEndsTheWorkAtTheNextCheck)
{
    std::stop_source source;
    EXPECT_NO_THROW(model::throwIfCancelled(source.get_token()));
    source.request_stop();
    const model::InputFile before = model::sampleBefore();
    const model::InputFile after = model::sampleAfter();
    records::ColumnMapping key{records::UUID::random(), 0, 0, true, false, true};
    EXPECT_THROW(results::runComparison(before.table, after.table, before.name, after.name, {key}, false,
                                        [&] { model::throwIfCancelled(source.get_token()); }),
                 model::OperationCancelled);
}

}  // namespace
}  // namespace rowlark::testing
