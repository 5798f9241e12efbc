#include <new>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include "ModelTesting.h"

namespace rowlark::testing {
namespace {

using ::testing::ElementsAre;

class FilteringTest : public ModelTest {
protected:
    QTimer* searchDelayTimer() { return model.findChild<QTimer*>("searchDelayTimer"); }

    void waitForFilteredChanges(int count)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return changes(Field::filteredIndices) >= count; }));
    }
};

TEST_F(FilteringTest, ComparisonHandsOverItsFirstDifference)
{
    compareSamples();
    EXPECT_THAT(describeDifferences(model), ElementsAre("SK-001 Changed", "SK-002 Only in File A",
                                                        "SK-003 Changed", "SK-005 Only in File B"));
    EXPECT_EQ(model.summary()->matchingRows, 1);
    EXPECT_EQ(model.selectedRowID(), model.summary()->differences[0].id);
    EXPECT_EQ(model.tab(), WorkspaceTab::results);
    EXPECT_EQ(model.pageNumber(), 0);
    EXPECT_TRUE(model.elapsed());
    EXPECT_TRUE(model.keyWarning().isEmpty());
    EXPECT_TRUE(model.canExport());
}

TEST_F(FilteringTest, SampleChangesAreThePriceNoteAndCity)
{
    compareSamples();
    const auto& differences = model.summary()->differences;
    ASSERT_EQ(differences.size(), 4u);
    ASSERT_EQ(differences[0].cells.size(), 2u);
    EXPECT_EQ(differences[0].cells[0].leftValue, "45.00");
    EXPECT_EQ(differences[0].cells[0].rightValue, "49.00");
    ASSERT_EQ(differences[2].cells.size(), 1u);
    EXPECT_EQ(differences[2].cells[0].leftValue, "");
    EXPECT_EQ(differences[2].cells[0].rightValue, "Portland");
}

TEST_F(FilteringTest, HandOverResetsFilterAndSearch)
{
    compareSamples();
    model.setFilter(ResultFilter::changed);
    model.setQuery("lamp");
    waitUntilIdle();
    ASSERT_EQ(model.filteredIndices().size(), 1u);
    compareLoaded();
    EXPECT_EQ(model.filter(), ResultFilter::all);
    EXPECT_TRUE(model.query().isEmpty());
    EXPECT_EQ(model.filteredIndices().size(), 4u);
}

TEST_F(FilteringTest, RecordChosenAsTheResultsAppearStaysChosen)
{
    loadSamples();
    keyOnly(0);
    std::optional<Uuid> chosen;
    QObject::connect(&model, &ComparisonModel::changed, [&](Field field) {
        if (field == Field::tab && model.tab() == WorkspaceTab::results) {
            chosen = model.summary()->differences[2].id;
            model.setSelectedRowID(chosen);
        }
    });
    model.compare();
    waitUntilIdle();
    drainBackgroundWork();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(model.selectedRowID(), chosen);
}

TEST_F(FilteringTest, ComparisonWithoutDifferencesSelectsNothing)
{
    const QString path = writeNumberedFile("same.csv", 5, "v");
    loadBoth(path, path);
    compareLoaded();
    EXPECT_TRUE(model.summary()->differences.empty());
    EXPECT_EQ(model.summary()->matchingRows, 5);
    EXPECT_TRUE(model.filteredIndices().empty());
    EXPECT_FALSE(model.selectedRowID());
    EXPECT_EQ(model.tab(), WorkspaceTab::results);
    EXPECT_FALSE(model.canExport());
}

TEST_F(FilteringTest, ComparisonWarnsAboutEmptyKeys)
{
    loadBoth(writeFile("a.csv", "id,value\n1,x\n,y\n,z\n"), writeFile("b.csv", "id,value\n1,x\n"));
    keyOnly(0);
    compareLoaded();
    EXPECT_THAT(model.keyWarning().toStdString(),
                ::testing::StartsWith("Empty key components: 2 in a.csv, 0 in b.csv."));
    model.setIgnoreCase(true);
    EXPECT_TRUE(model.keyWarning().isEmpty());
}

TEST_F(FilteringTest, FilterWithoutResultSchedulesNothing)
{
    model.setFilter(ResultFilter::changed);
    model.setQuery("abc");
    EXPECT_FALSE(model.isFiltering());
    EXPECT_FALSE(searchDelayTimer()->isActive());
    drainBackgroundWork();
    EXPECT_TRUE(model.filteredIndices().empty());
    EXPECT_EQ(changes(Field::filteredIndices), 0);
}

TEST_F(FilteringTest, FilterChangeWithEmptySearchAppliesWithoutDelay)
{
    compareSamples();
    spy.clear();
    model.setFilter(ResultFilter::onlyRight);
    EXPECT_TRUE(model.isFiltering());
    EXPECT_FALSE(model.canExport());
    EXPECT_FALSE(searchDelayTimer()->isActive());
    waitForFilteredChanges(1);
    EXPECT_THAT(describeDifferences(model), ElementsAre("SK-005 Only in File B"));
    EXPECT_EQ(model.selectedRowID(), model.summary()->differences[3].id);
    EXPECT_FALSE(model.isFiltering());
}

TEST_F(FilteringTest, ThreeQuickKeystrokesGiveOneUpdateAfterTheLast)
{
    compareSamples();
    spy.clear();
    QElapsedTimer sinceLastKeystroke;
    model.setQuery("p");
    model.setQuery("po");
    sinceLastKeystroke.start();
    model.setQuery("por");
    EXPECT_TRUE(model.isFiltering());
    EXPECT_TRUE(searchDelayTimer()->isActive());
    waitForFilteredChanges(1);
    EXPECT_GE(sinceLastKeystroke.elapsed(), 180);
    waitUntilIdle();
    drainBackgroundWork();
    EXPECT_EQ(changes(Field::filteredIndices), 1);
    EXPECT_THAT(describeDifferences(model), ElementsAre("SK-003 Changed"));
    EXPECT_EQ(model.selectedRowID(), model.summary()->differences[2].id);
}

TEST_F(FilteringTest, ClearingTheSearchAppliesWithoutDelay)
{
    compareSamples();
    model.setQuery("portland");
    waitUntilIdle();
    ASSERT_EQ(model.filteredIndices().size(), 1u);
    spy.clear();
    model.setQuery("");
    EXPECT_TRUE(model.isFiltering());
    EXPECT_FALSE(searchDelayTimer()->isActive());
    waitForFilteredChanges(1);
    EXPECT_EQ(model.filteredIndices().size(), 4u);
}

TEST_F(FilteringTest, PendingSearchIsDroppedWhenTheResultIsDropped)
{
    compareSamples();
    spy.clear();
    model.setQuery("portland");
    model.setIgnoreCase(true);
    EXPECT_FALSE(model.isFiltering());
    EXPECT_FALSE(searchDelayTimer()->isActive());
    drainBackgroundWork();
    EXPECT_TRUE(model.filteredIndices().empty());
}

TEST_F(FilteringTest, SearchWithoutMatchesCannotBeExported)
{
    compareSamples();
    model.setQuery("no such text");
    EXPECT_FALSE(model.canExport());
    waitUntilIdle();
    EXPECT_TRUE(model.filteredIndices().empty());
    EXPECT_FALSE(model.selectedRowID());
    EXPECT_FALSE(model.canExport());
}

TEST_F(FilteringTest, FailedFilterRunLeavesNothingToExport)
{
    compareSamples();
    model.setMatching(
        [](const ResultIndex&, ResultFilter, std::string_view) -> std::vector<std::size_t> { throw std::bad_alloc(); });
    model.setFilter(ResultFilter::changed);
    waitUntilIdle();
    EXPECT_EQ(model.errorMessage(), "The file is too large for the available memory.");
    EXPECT_TRUE(model.filteredIndices().empty());
    EXPECT_FALSE(model.selectedRowID());
    EXPECT_FALSE(model.canExport());
}

class PagingTest : public ModelTest {
protected:
    void SetUp() override
    {
        loadBoth(writeNumberedFile("a.csv", 250, "old"), writeNumberedFile("b.csv", 250, "new"));
        compareLoaded();
        ASSERT_EQ(model.filteredIndices().size(), 250u);
    }

    std::optional<Uuid> idAt(std::size_t position) const { return model.summary()->differences[position].id; }
};

TEST_F(PagingTest, PagesStopAtTheEdges)
{
    model.changePage(-1);
    EXPECT_EQ(model.pageNumber(), 0);
    EXPECT_EQ(model.selectedRowID(), idAt(0));
    model.changePage(1);
    EXPECT_EQ(model.pageNumber(), 1);
    EXPECT_EQ(model.selectedRowID(), idAt(100));
    model.changePage(1);
    EXPECT_EQ(model.pageNumber(), 2);
    EXPECT_EQ(model.selectedRowID(), idAt(200));
    EXPECT_EQ(
        ResultIndex::page(model.filteredIndices(), model.pageNumber(), ComparisonModel::pageSize).size(),
        50u);
    model.changePage(1);
    EXPECT_EQ(model.pageNumber(), 2);
    model.changePage(-7);
    EXPECT_EQ(model.pageNumber(), 0);
    model.changePage(9);
    EXPECT_EQ(model.pageNumber(), 2);
}

TEST_F(PagingTest, FilterRunReturnsToTheFirstPage)
{
    model.changePage(2);
    model.setFilter(ResultFilter::changed);
    waitUntilIdle();
    EXPECT_EQ(model.pageNumber(), 0);
    EXPECT_EQ(model.selectedRowID(), idAt(0));
}

TEST_F(PagingTest, EmptyListStaysOnPageZeroWithoutSelection)
{
    model.setFilter(ResultFilter::onlyLeft);
    waitUntilIdle();
    ASSERT_TRUE(model.filteredIndices().empty());
    model.changePage(1);
    EXPECT_EQ(model.pageNumber(), 0);
    EXPECT_FALSE(model.selectedRowID());
    model.changePage(-1);
    EXPECT_EQ(model.pageNumber(), 0);
}

}  // namespace
}  // namespace rowlark::testing
