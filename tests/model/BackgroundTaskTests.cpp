#include <thread>

#include <QCoreApplication>
#include <QTest>

#include "BackgroundRunner.h"

#include "ModelTesting.h"

namespace rowlark::testing {
namespace {

using BackgroundTaskTest = ModelTest;

const QString cancelledNotice = "The operation was cancelled.";

TEST_F(BackgroundTaskTest, CancelWithNothingRunningOnlySetsTheNotice)
{
    model.cancel();
    EXPECT_FALSE(model.isBusy());
    EXPECT_EQ(model.notice(), cancelledNotice);
}

TEST_F(BackgroundTaskTest, CancelledLoadLeavesTheSideEmpty)
{
    model.load(writeNumberedFile("a.csv", 3, "x"), true);
    EXPECT_TRUE(model.isBusy());
    EXPECT_EQ(model.busyLabel(), "Reading a.csv…");
    model.cancel();
    EXPECT_FALSE(model.isBusy());
    EXPECT_EQ(model.notice(), cancelledNotice);
    drainBackgroundWork();
    EXPECT_FALSE(model.left());
    EXPECT_FALSE(model.isBusy());
}

TEST_F(BackgroundTaskTest, CancelledComparisonKeepsThePreviousResult)
{
    compareSamples();
    const auto summary = model.summary();
    const auto filtered = model.filteredIndices();
    model.compare();
    ASSERT_EQ(model.busyLabel(), "Comparing records…");
    model.cancel();
    EXPECT_FALSE(model.isBusy());
    drainBackgroundWork();
    EXPECT_EQ(model.summary(), summary);
    EXPECT_EQ(model.filteredIndices(), filtered);
    EXPECT_EQ(model.tab(), WorkspaceTab::results);
    EXPECT_EQ(model.notice(), cancelledNotice);
    EXPECT_FALSE(model.isBusy());
}

TEST_F(BackgroundTaskTest, StartingAnOperationClearsTheNotice)
{
    model.cancel();
    model.load(writeNumberedFile("a.csv", 3, "x"), true);
    EXPECT_TRUE(model.notice().isEmpty());
    waitUntilIdle();
}

TEST_F(BackgroundTaskTest, TwoQuickLoadsOfOneSideKeepTheSecond)
{
    model.load(writeNumberedFile("first.csv", 3, "x"), true);
    model.load(writeNumberedFile("second.csv", 4, "y"), true);
    waitUntilIdle();
    drainBackgroundWork();
    ASSERT_TRUE(model.left());
    EXPECT_EQ(model.left()->name, "second.csv");
    EXPECT_EQ(model.left()->table.rowCount(), 4u);
    EXPECT_EQ(changes(Field::left), 1);
}

TEST_F(BackgroundTaskTest, LoadDuringAnAnalysisDropsTheStaleAnalysis)
{
    model.load(writeFile("a.csv", "id,value\n1,x\n"), true);
    waitUntilIdle();
    model.load(writeFile("b.csv", "id,value\n1,y\n"), false);
    ASSERT_TRUE(QTest::qWaitFor([this] { return model.right().has_value(); }));
    ASSERT_EQ(model.busyLabel(), "Finding matching columns…");

    std::vector<std::size_t> published;
    QObject::connect(&model, &ComparisonModel::changed, [&](Field field) {
        if (field == Field::mappings)
            published.push_back(model.mappings().size());
    });
    model.load(writeFile("c.csv", "id,value,extra\n1,x,z\n"), true);
    waitUntilIdle();
    drainBackgroundWork();
    EXPECT_EQ(model.left()->name, "c.csv");
    EXPECT_EQ(model.mappings().size(), 3u);
    EXPECT_THAT(published, ::testing::Not(::testing::Contains(2u)));
}

TEST_F(BackgroundTaskTest, SamplesDuringAComparisonDropTheComparison)
{
    compareSamples();
    model.setIgnoreCase(true);
    model.compare();
    ASSERT_TRUE(model.isBusy());
    const int summaryChanges = changes(Field::summary);
    model.loadSample();
    EXPECT_EQ(model.busyLabel(), "Finding matching columns…");
    EXPECT_EQ(model.left()->name, "catalog-before.csv");
    EXPECT_EQ(model.right()->name, "catalog-after.csv");
    waitUntilIdle();
    drainBackgroundWork();
    EXPECT_FALSE(model.summary());
    EXPECT_EQ(changes(Field::summary), summaryChanges);
    EXPECT_EQ(model.tab(), WorkspaceTab::mapping);
    EXPECT_EQ(model.mappings().size(), 5u);
}

TEST_F(BackgroundTaskTest, FailingLoadKeepsThePreviousSide)
{
    model.load(writeNumberedFile("good.csv", 3, "x"), true);
    waitUntilIdle();
    model.load(folder.filePath("missing.csv"), true);
    waitUntilIdle();
    ASSERT_TRUE(model.errorMessage());
    EXPECT_FALSE(model.errorMessage()->isEmpty());
    EXPECT_EQ(model.left()->name, "good.csv");
    EXPECT_FALSE(model.isBusy());
}

TEST_F(BackgroundTaskTest, ImportErrorsShowTheImportersMessage)
{
    model.load(writeFile("broken.csv", "id,value\n1,\"open\n"), false);
    waitUntilIdle();
    ASSERT_TRUE(model.errorMessage());
    EXPECT_FALSE(model.right());
    model.setErrorMessage(std::nullopt);
    EXPECT_FALSE(model.errorMessage());
}

TEST_F(BackgroundTaskTest, ErrorMessageOutlivesTheNextOperation)
{
    model.load(folder.filePath("missing.csv"), true);
    waitUntilIdle();
    ASSERT_TRUE(model.errorMessage());
    const QString message = *model.errorMessage();
    model.loadSample();
    waitUntilIdle();
    EXPECT_EQ(model.errorMessage(), message);
}

TEST(BackgroundLifetimeTest, ModelDestroyedWhileWorkRunsIsLeftAlone)
{
    auto dialogs = std::make_shared<FakeDialogs>();
    for (int attempt = 0; attempt < 20; ++attempt) {
        auto model = std::make_unique<ComparisonModel>(dialogs);
        model->loadSample();
        model.reset();
    }
    drainBackgroundWork();
}

TEST(BackgroundRunnerTest, StepsOfADestroyedRunnerAreDropped)
{
    bool stepRan = false;
    {
        BackgroundRunner runner;
        runner.start([&stepRan] { return BackgroundRunner::Step([&stepRan] { stepRan = true; }); });
        runner.waitForDone();
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(stepRan);
}

TEST(BackgroundRunnerTest, StepsRunOnTheRunnersThread)
{
    BackgroundRunner runner;
    std::thread::id taskThread;
    std::thread::id stepThread;
    runner.start([&taskThread, &stepThread] {
        taskThread = std::this_thread::get_id();
        return BackgroundRunner::Step([&stepThread] { stepThread = std::this_thread::get_id(); });
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return stepThread != std::thread::id(); }));
    EXPECT_NE(taskThread, std::this_thread::get_id());
    EXPECT_EQ(stepThread, std::this_thread::get_id());
}

}  // namespace
}  // namespace rowlark::testing
