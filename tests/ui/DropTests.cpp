#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "tests/ui/WindowTesting.h"
#include "ui/shell/DroppedFiles.h"

namespace rowlark::ui::testing {
namespace {

class DropTest : public WindowTest {
protected:
    // Drags `urls` over `target` and drops them; returns whether the target took the drop.
    bool drop(QWidget* target, const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        const QPoint middle = target->rect().center();
        QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(middle), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
        return dropped.isAccepted();
    }
    QUrl csvFile(const QString& name) { return QUrl::fromLocalFile(writeFile(name, "id,name\n1,a\n2,b\n")); }
};

TEST_F(DropTest, FileDroppedOnASlotLoadsIntoThatSide)
{
    EXPECT_TRUE(drop(find<QWidget>("fileSlotB"), {csvFile("b.csv")}));
    waitUntilIdle();
    EXPECT_FALSE(model.left().has_value());
    ASSERT_TRUE(model.right().has_value());
    EXPECT_EQ(model.right()->name, "b.csv");
}

TEST_F(DropTest, TwoFilesDroppedOnTheEmptyStateLoadFirstAsAAndSecondAsB)
{
    EXPECT_TRUE(drop(find<QWidget>("emptyState"), {csvFile("first.csv"), csvFile("second.csv")}));
    ASSERT_TRUE(QTest::qWaitFor([this] { return model.right().has_value() && !model.isBusy(); }, 20000));
    EXPECT_EQ(model.left()->name, "first.csv");
    EXPECT_EQ(model.right()->name, "second.csv");
}

// Two files dropped together are read together: the one that reads is loaded whether or not the
// other does, and the alert names the one that failed.
TEST_F(DropTest, TheFileThatReadsIsLoadedWhenTheOtherFails)
{
    const QUrl broken = QUrl::fromLocalFile(writeFile("broken.csv", "a\n\"x\n"));
    EXPECT_TRUE(drop(find<QWidget>("emptyState"), {broken, csvFile("b.csv")}));
    waitUntilIdle();
    EXPECT_EQ(model.errorMessage().value_or(""), "File A (broken.csv): The CSV contains an unclosed quoted field.");
    EXPECT_FALSE(model.left().has_value());
    ASSERT_TRUE(model.right().has_value());
    EXPECT_EQ(model.right()->name, "b.csv");
    model.setErrorMessage(std::nullopt);
}

// One file dropped on the empty state goes to the side still missing.
TEST_F(DropTest, OneFileDroppedOnTheEmptyStateFillsTheMissingSide)
{
    EXPECT_TRUE(drop(find<QWidget>("emptyState"), {csvFile("first.csv")}));
    waitUntilIdle();
    EXPECT_TRUE(drop(find<QWidget>("emptyState"), {csvFile("second.csv")}));
    waitUntilIdle();
    ASSERT_TRUE(model.left() && model.right());
    EXPECT_EQ(model.left()->name, "first.csv");
    EXPECT_EQ(model.right()->name, "second.csv");
}

TEST_F(DropTest, DragsWithoutLocalFilesAreRefused)
{
    EXPECT_FALSE(drop(find<QWidget>("fileSlotA"), {QUrl("https://example.com/a.csv")}));
    EXPECT_FALSE(drop(find<QWidget>("emptyState"), {}));
    EXPECT_FALSE(model.isBusy());
}

TEST(LocalFilePaths, KeepsOnlyLocalFilesInOrder)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/b.csv"), QUrl("https://x/y.csv"), QUrl::fromLocalFile("/tmp/a b.xlsx")});
    EXPECT_EQ(shell::localFilePaths(&data), QStringList({"/tmp/b.csv", "/tmp/a b.xlsx"}));
    EXPECT_TRUE(shell::localFilePaths(nullptr).isEmpty());
}

}  // namespace
}  // namespace rowlark::ui::testing
