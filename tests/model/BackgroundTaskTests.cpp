#include <thread>

#include <QCoreApplication>
#include <QTest>

#include "model/BackgroundRunner.h"

#include "tests/model/ModelTesting.h"

namespace rowlark::testing {
namespace {

using BackgroundTaskTest = ModelTest;

TEST_F(BackgroundTaskTest, LoadDuringAnAnalysisDropsTheStaleAnalysis)
{
    model.load(writeFile("a.csv", "id,value\n1,x\n"), true);
    waitUntilIdle();
    model.load(writeFile("b.csv", "id,value\n1,y\n"), false);
    ASSERT_TRUE(QTest::qWaitFor([this] { return model.right().has_value(); }));
    ASSERT_EQ(model.busyLabel(), "Finding matching columns…");

    std::vector<std::size_t> published;
    QObject::connect(&model, &model::ComparisonModel::mappingChanged,
                     [&] { published.push_back(model.mappings().size()); });
    model.load(writeFile("c.csv", "id,value,extra\n1,x,z\n"), true);
    waitUntilIdle();
    drainBackgroundWork();
    EXPECT_EQ(model.left()->name, "c.csv");
    EXPECT_EQ(model.mappings().size(), 3u);
    EXPECT_THAT(published, ::testing::Not(::testing::Contains(2u)));
}

TEST(BackgroundLifetimeTest, ModelDestroyedWhileWorkRunsIsLeftAlone)
{
    auto dialogs = std::make_shared<FakeDialogs>();
    for (int attempt = 0; attempt < 20; ++attempt) {
        auto model = std::make_unique<model::ComparisonModel>(dialogs);
        model->loadSample();
        model.reset();
    }
    drainBackgroundWork();
}

TEST(BackgroundRunnerTest, StepsOfADestroyedRunnerAreDropped)
{
    bool stepRan = false;
    {
        model::BackgroundRunner runner;
        runner.start([&stepRan] { return model::BackgroundRunner::Step([&stepRan] { stepRan = true; }); });
        runner.waitForDone();
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(stepRan);
}

TEST(BackgroundRunnerTest, StepsRunOnTheRunnersThread)
{
    model::BackgroundRunner runner;
    std::thread::id taskThread;
    std::thread::id stepThread;
    runner.start([&taskThread, &stepThread] {
        taskThread = std::this_thread::get_id();
        return model::BackgroundRunner::Step([&stepThread] { stepThread = std::this_thread::get_id(); });
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return stepThread != std::thread::id(); }));
    EXPECT_NE(taskThread, std::this_thread::get_id());
    EXPECT_EQ(stepThread, std::this_thread::get_id());
}

}  // namespace
}  // namespace rowlark::testing
