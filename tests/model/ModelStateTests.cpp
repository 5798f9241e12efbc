#include <QSignalSpy>

#include "ModelTesting.h"
#include "ModelWork.h"
#include "SampleFiles.h"
#include "results/ComparisonRun.h"

namespace rowlark::testing {
namespace {

using ModelStateTest = ModelTest;

TEST_F(ModelStateTest, FreshModelIsEmptyOnTheMappingScreen)
{
    EXPECT_FALSE(model.left());
    EXPECT_FALSE(model.right());
    EXPECT_EQ(model.tab(), WorkspaceTab::mapping);
    EXPECT_EQ(model.filter(), ResultFilter::all);
    EXPECT_EQ(model.leftName(), "First file");
    EXPECT_EQ(model.rightName(), "Second file");
    EXPECT_FALSE(model.canCompare());
    EXPECT_FALSE(model.canExport());
    EXPECT_FALSE(model.isBusy());
    EXPECT_TRUE(model.notice().isEmpty());
    EXPECT_FALSE(model.errorMessage());
}

TEST_F(ModelStateTest, WorkspaceTabsAreTitledInDeclarationOrder)
{
    EXPECT_EQ(title(allWorkspaceTabs[0]), "Map columns");
    EXPECT_EQ(title(allWorkspaceTabs[1]), "Results");
}

TEST_F(ModelStateTest, ViewWritesAnnounceOnlyRealChanges)
{
    model.setMappingSearch("sku");
    model.setMappingSearch("sku");
    model.setTab(WorkspaceTab::results);
    EXPECT_EQ(changes(Field::mappingSearch), 1);
    EXPECT_EQ(changes(Field::tab), 1);
    EXPECT_EQ(model.mappingSearch(), "sku");
}

TEST_F(ModelStateTest, SamplesWithAKeyCanBeCompared)
{
    loadSamples();
    EXPECT_EQ(model.leftName(), "catalog-before.csv");
    EXPECT_EQ(model.rightName(), "catalog-after.csv");
    keyOnly(0);
    EXPECT_TRUE(model.canCompare());
    EXPECT_FALSE(model.canExport());
}

TEST_F(ModelStateTest, NoKeyMeansNoComparison)
{
    loadSamples();
    keyOnly(-1);
    EXPECT_FALSE(model.canCompare());
}

TEST_F(ModelStateTest, KeyWithoutRightColumnMeansNoComparison)
{
    loadSamples();
    keyOnly(0);
    model.map(model.mappings()[0].id, std::nullopt);
    EXPECT_FALSE(model.mappings()[0].isKey);
    EXPECT_FALSE(model.canCompare());
}

TEST_F(ModelStateTest, NothingCanBeComparedWhileAnOperationRuns)
{
    loadSamples();
    keyOnly(0);
    model.compare();
    EXPECT_TRUE(model.isBusy());
    EXPECT_FALSE(model.canCompare());
    waitUntilIdle();
    EXPECT_TRUE(model.canCompare());
}

TEST_F(ModelStateTest, EditsOfUnknownMappingsChangeNothing)
{
    loadSamples();
    const std::vector<ColumnMapping> before = model.mappings();
    const QString notice = model.notice();
    model.setKey(Uuid::random(), true);
    model.setIncluded(Uuid::random(), false);
    model.map(Uuid::random(), 1);
    EXPECT_EQ(model.mappings(), before);
    EXPECT_EQ(model.notice(), notice);
}

TEST_F(ModelStateTest, EveryEditDropsTheResult)
{
    compareSamples();
    const Uuid notes = model.mappings()[4].id;
    const std::vector<std::function<void()>> edits = {
        [&] { model.setIncluded(notes, false); },
        [&] { model.setKey(notes, false); },
        [&] { model.map(notes, 4); },
        [&] { model.setIgnoreCase(true); },
    };
    for (const auto& edit : edits) {
        compareLoaded();
        ASSERT_EQ(model.tab(), WorkspaceTab::results);
        edit();
        EXPECT_FALSE(model.summary());
        EXPECT_FALSE(model.index());
        EXPECT_TRUE(model.filteredIndices().empty());
        EXPECT_FALSE(model.selectedRowID());
        EXPECT_FALSE(model.elapsed());
        EXPECT_EQ(model.tab(), WorkspaceTab::mapping);
        EXPECT_FALSE(model.canExport());
    }
}

TEST_F(ModelStateTest, MapNeedsBothFiles)
{
    model.map(Uuid::random(), std::nullopt);
    EXPECT_TRUE(model.notice().isEmpty());
    EXPECT_EQ(changes(Field::mappings), 0);
}

TEST(FailureDescriptionTest, RunningOutOfMemoryBlamesTheFileSize)
{
    EXPECT_EQ(describeFailure(std::make_exception_ptr(std::bad_alloc())),
              "The file is too large for the available memory.");
    EXPECT_EQ(describeFailure(std::make_exception_ptr(std::runtime_error("Disk full"))), "Disk full");
    EXPECT_FALSE(describeFailure(std::make_exception_ptr(42)).isEmpty());
}

TEST(CancellationCheckTest, StopRequestEndsTheWorkAtTheNextCheck)
{
    std::stop_source source;
    EXPECT_NO_THROW(throwIfCancelled(source.get_token()));
    source.request_stop();
    EXPECT_THROW(throwIfCancelled(source.get_token()), OperationCancelled);

    const InputFile before = sampleBefore();
    const InputFile after = sampleAfter();
    ColumnMapping key{Uuid::random(), 0, 0, true, false, true};
    EXPECT_THROW(runComparison(before.table, after.table, before.name, after.name, {key}, false,
                               [&] { throwIfCancelled(source.get_token()); }),
                 OperationCancelled);
}

}  // namespace
}  // namespace rowlark::testing
