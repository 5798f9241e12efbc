#include <new>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include "tests/model/ModelTesting.h"

namespace rowlark::testing {
namespace {

using ::testing::ElementsAre;

class FilteringTest : public ModelTest {
protected:
    QTimer* searchDelayTimer() { return model.findChild<QTimer*>("searchDelayTimer"); }

    void waitForFilteredChanges(int count)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return announced("pageChanged") >= count; }));
    }
};

TEST_F(FilteringTest, RecordChosenAsTheResultsAppearStaysChosen)
{
    loadSamples();
    keyOnly(0);
    std::optional<records::UUID> chosen;
    QObject::connect(&model, &model::ComparisonModel::tabChanged, [&] {
        if (model.tab() == model::WorkspaceTab::results) {
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

TEST_F(FilteringTest, ThreeQuickKeystrokesGiveOneUpdateAfterTheLast)
{
    compareSamples();
    forgetAnnouncements();
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
    EXPECT_EQ(announced("pageChanged"), 1);
    EXPECT_THAT(describeDifferences(model), ElementsAre("SK-003 Changed"));
    EXPECT_EQ(model.selectedRowID(), model.summary()->differences[2].id);
    // Clearing the search needs no delay.
    model.setQuery("");
    EXPECT_TRUE(model.isFiltering());
    EXPECT_FALSE(searchDelayTimer()->isActive());
}

// Sample columns: sku (the key), name, price, city, notes; SK-001 changed its price and notes,
// SK-003 its city.
TEST_F(FilteringTest, ChangedColumnNarrowsWithFilterAndSearchUntilTheNextComparison)
{
    constexpr std::size_t price = 2;
    constexpr std::size_t city = 3;
    compareSamples();
    model.setChangedColumn(city);
    EXPECT_TRUE(model.isFiltering());
    waitUntilIdle();
    EXPECT_THAT(describeDifferences(model), ElementsAre("SK-003 Changed"));
    EXPECT_EQ(model.selectedRowID(), model.summary()->differences[2].id);
    model.setQuery("lamp");
    waitUntilIdle();
    EXPECT_THAT(describeDifferences(model), ElementsAre());
    model.setChangedColumn(price);
    waitUntilIdle();
    EXPECT_THAT(describeDifferences(model), ElementsAre("SK-001 Changed"));
    model.setFilter(records::ResultFilter::onlyLeft);
    waitUntilIdle();
    EXPECT_THAT(describeDifferences(model), ElementsAre());
    model.setChangedColumn(std::nullopt);
    waitUntilIdle();
    EXPECT_THAT(describeDifferences(model), ElementsAre());
    model.setQuery("");
    model.setChangedColumn(city);
    compareLoaded();
    EXPECT_EQ(model.changedColumn(), std::nullopt);
    EXPECT_EQ(model.filteredIndices().size(), 4u);
}

TEST_F(FilteringTest, FailedFilterRunLeavesNothingToExport)
{
    compareSamples();
    model.setMatching([](const results::ResultIndex&, records::ResultFilter, std::string_view,
                         std::optional<std::size_t>) -> std::vector<std::size_t> { throw std::bad_alloc(); });
    model.setFilter(records::ResultFilter::changed);
    waitUntilIdle();
    EXPECT_EQ(model.errorMessage(), "The file is too large for the available memory.");
    EXPECT_TRUE(model.filteredIndices().empty());
    EXPECT_FALSE(model.selectedRowID() || model.canExport());
}

}  // namespace
}  // namespace rowlark::testing
