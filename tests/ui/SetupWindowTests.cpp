// A saved setup in the window: File › Open Setup…, a setup file dropped or named at start, what of
// it no longer fits listed above the mapping, and File › Save Setup… once two files are there.

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "engine/setups/Setup.h"
#include "tests/ui/WindowTesting.h"

namespace rowlark::ui::testing {
namespace {

class SetupWindowTest : public WindowTest {
protected:
    // Files with a column "rate" that File B no longer has, and a setup that maps it.
    QString writeDriftedSetup()
    {
        writeFile("a.csv", "id,name,rate\n1,Ann,3\n2,Bob,4\n");
        writeFile("b.csv", "id,name\n1,Ann\n2,Bobby\n");
        return writeFile("weekly.rowlark", R"({"format":"rowlark-setup","version":1,
            "files":{"fileA":{"path":"a.csv"},"fileB":{"path":"b.csv"}},
            "mappings":[{"fileA":{"header":"id"},"fileB":{"header":"id"},"key":true},
                        {"fileA":{"header":"name"},"fileB":{"header":"name"}},
                        {"fileA":{"header":"rate"},"fileB":{"header":"rate"}}]})");
    }

    // The setup is open: both files, the mapping screen, and the one notice above the mapping.
    void expectOpened()
    {
        waitUntilIdle();
        ASSERT_TRUE(model.left().has_value());
        ASSERT_TRUE(model.right().has_value());
        EXPECT_EQ(model.left()->name, "a.csv");
        EXPECT_EQ(model.right()->name, "b.csv");
        EXPECT_EQ(screenName(), "mappingScreen");
        EXPECT_TRUE(find<QWidget>("setupNotices")->isVisible());
        EXPECT_EQ(find<QPlainTextEdit>("setupNoticesText")->toPlainText(),
                  "Setup: column “rate” is not in File B; left unmapped");
    }

    // Qt delivers a drop only to the widget that took the drag's entry.
    static void drop(QWidget* target, const QString& path)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        const QPoint middle = target->rect().center();
        QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(middle), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
    }
};

TEST_F(SetupWindowTest, OpenSetupShowsTheMappingWithWhatNoLongerFitsAboveIt)
{
    dialogs->setupOpenAnswer = writeDriftedSetup();
    EXPECT_FALSE(find<QWidget>("setupNotices")->isVisible());
    find<QAction>("openSetupAction")->trigger();
    expectOpened();
    EXPECT_LT(find<QWidget>("setupNotices")->geometry().bottom(), find<QWidget>("mappingListArea")->geometry().top());
    QTest::mouseClick(find<QPushButton>("dismissSetupNotices"), Qt::LeftButton);
    EXPECT_FALSE(find<QWidget>("setupNotices")->isVisible());
    EXPECT_TRUE(model.setupNotices().empty());
}

TEST_F(SetupWindowTest, SetupFileOpensWhereverItIsDroppedOrWhenNamedAtStart)
{
    const QString setup = writeDriftedSetup();
    const std::function<void()> ways[] = {
        [&] { drop(find<QWidget>("emptyState"), setup); },
        [&] { drop(find<QWidget>("fileSlotB"), setup); },
        [&] { window.openFiles({setup}); },
    };
    for (const auto& open : ways) {
        model.dismissSetupNotices();
        open();
        expectOpened();
    }
}

TEST_F(SetupWindowTest, SaveSetupWaitsForBothFilesAndWritesTheSetup)
{
    EXPECT_FALSE(find<QAction>("saveSetupAction")->isEnabled());
    loadFiles("id,name\n1,a\n", "id,name\n1,b\n");
    ASSERT_TRUE(find<QAction>("saveSetupAction")->isEnabled());
    dialogs->setupSaveAnswer = folder.filePath("saved");
    find<QAction>("saveSetupAction")->trigger();
    waitUntilIdle();
    EXPECT_EQ(dialogs->setupSaveName, "comparison.rowlark");
    const setups::Setup saved = setups::read(QFile::encodeName(folder.filePath("saved.rowlark")).toStdString());
    EXPECT_EQ(saved.left.path, "before.csv");
    EXPECT_EQ(saved.right.path, "after.csv");
    ASSERT_EQ(saved.mappings.size(), 2U);
    EXPECT_TRUE(saved.mappings[0].isKey);
}

}  // namespace
}  // namespace rowlark::ui::testing
