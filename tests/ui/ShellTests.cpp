#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include "shell/ComparisonWorkspace.h"
#include "shell/RowlarkApp.h"
#include "shell/StatusBar.h"
#include "WindowTesting.h"

namespace rowlark::ui::testing {
namespace {

QStringList commandTitles(const QMenu& menu)
{
    QStringList titles;
    for (const QAction* action : menu.actions())
        titles << (action->isSeparator() ? QStringLiteral("—") : action->text());
    return titles;
}

QMessageBox* shownAlert(const QWidget& window)
{
    for (QMessageBox* box : window.findChildren<QMessageBox*>(QStringLiteral("errorAlert")))
        if (box->isVisible())
            return box;
    return nullptr;
}

int shownAlertCount(const QWidget& window)
{
    int count = 0;
    for (const QMessageBox* box : window.findChildren<QMessageBox*>(QStringLiteral("errorAlert")))
        count += box->isVisible() ? 1 : 0;
    return count;
}

TEST(Application, OpensOneWindowTitledRowlarkWithTheWorkspaceAsContent)
{
    RowlarkApp app;
    EXPECT_EQ(app.window().windowTitle(), QStringLiteral("Rowlark"));
    auto* workspace = qobject_cast<ComparisonWorkspace*>(app.window().centralWidget());
    ASSERT_NE(workspace, nullptr);
    EXPECT_EQ(workspace->minimumSize(), QSize(1100, 700));
    EXPECT_EQ(app.window().width(), 1320);
    EXPECT_FALSE(app.model().left().has_value());
}

TEST_F(WindowTest, FileMenuListsTheFourCommandsThenQuit)
{
    auto* menu = find<QMenu>(QStringLiteral("fileMenu"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(commandTitles(*menu),
              QStringList({QStringLiteral("Open first file…"), QStringLiteral("Open second file…"),
                           QStringLiteral("—"), QStringLiteral("Compare files"),
                           QStringLiteral("Export filtered report…"), QStringLiteral("—"),
                           QStringLiteral("&Quit")}));
}

TEST_F(WindowTest, CommandsCarryThePlatformShortcuts)
{
    EXPECT_EQ(find<QAction>(QStringLiteral("openFirstFileAction"))->shortcut(),
              QKeySequence(QKeySequence::Open));
    EXPECT_EQ(find<QAction>(QStringLiteral("openSecondFileAction"))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    EXPECT_EQ(find<QAction>(QStringLiteral("compareAction"))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_Return));
    EXPECT_EQ(find<QAction>(QStringLiteral("exportAction"))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    EXPECT_EQ(find<QAction>(QStringLiteral("quitAction"))->shortcut(), QKeySequence(QKeySequence::Quit));
}

TEST_F(WindowTest, OpenCommandsAskForTheirSide)
{
    dialogs->openAnswer = writeFile(QStringLiteral("second.csv"), "id,name\n1,a\n");
    find<QAction>(QStringLiteral("openSecondFileAction"))->trigger();
    waitUntilIdle();
    EXPECT_EQ(dialogs->openCalls, 1);
    EXPECT_FALSE(model.left().has_value());
    ASSERT_TRUE(model.right().has_value());
    EXPECT_EQ(model.right()->name, "second.csv");
}

TEST_F(WindowTest, FirstLaunchShowsTheEmptyStateWithEverythingThatNeedsFilesDisabled)
{
    auto* content = find<QStackedWidget>(QStringLiteral("workspaceContent"));
    EXPECT_EQ(content->currentWidget()->objectName(), QStringLiteral("emptyState"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("noticeLabel"))->text(),
              QStringLiteral("CSV · Excel · Numbers · LibreOffice · No file uploads"));
    EXPECT_FALSE(find<QWidget>(QStringLiteral("workspacePicker"))->isEnabled());
    auto* mainButton = find<QPushButton>(QStringLiteral("mainActionButton"));
    EXPECT_EQ(mainButton->text(), QStringLiteral("Compare files"));
    EXPECT_FALSE(mainButton->isEnabled());
    EXPECT_FALSE(find<QAction>(QStringLiteral("compareAction"))->isEnabled());
    EXPECT_FALSE(find<QAction>(QStringLiteral("exportAction"))->isEnabled());
    EXPECT_TRUE(find<QAction>(QStringLiteral("openFirstFileAction"))->isEnabled());
    EXPECT_FALSE(find<QLabel>(QStringLiteral("elapsedLabel"))->isVisible());
}

TEST_F(WindowTest, HeaderSaysWhereTheFilesStay)
{
#ifdef Q_OS_MACOS
    EXPECT_EQ(find<QLabel>(QStringLiteral("privacyNote"))->text(), QStringLiteral("Files stay on this Mac"));
#else
    EXPECT_EQ(find<QLabel>(QStringLiteral("privacyNote"))->text(),
              QStringLiteral("Files stay on this computer"));
#endif
}

TEST_F(WindowTest, SampleFilesOpenTheMappingScreenAndEnableCompare)
{
    QTest::mouseClick(find<QPushButton>(QStringLiteral("trySampleFilesButton")), Qt::LeftButton);
    waitUntilIdle();
    EXPECT_EQ(find<QStackedWidget>(QStringLiteral("workspaceContent"))->currentWidget()->objectName(),
              QStringLiteral("mappingScreen"));
    EXPECT_TRUE(find<QPushButton>(QStringLiteral("mainActionButton"))->isEnabled());
    EXPECT_TRUE(find<QAction>(QStringLiteral("compareAction"))->isEnabled());
    EXPECT_FALSE(find<QWidget>(QStringLiteral("workspacePicker"))->isEnabled());
}

TEST_F(WindowTest, CompareShowsResultsTimeAndExport)
{
    loadSamples();
    find<QAction>(QStringLiteral("compareAction"))->trigger();
    waitUntilIdle();
    ASSERT_NE(model.summary(), nullptr);
    EXPECT_EQ(find<QStackedWidget>(QStringLiteral("workspaceContent"))->currentWidget()->objectName(),
              QStringLiteral("resultsScreen"));
    EXPECT_TRUE(find<QWidget>(QStringLiteral("workspacePicker"))->isEnabled());
    auto* mainButton = find<QPushButton>(QStringLiteral("mainActionButton"));
    EXPECT_EQ(mainButton->text(), QStringLiteral("Export filtered report…"));
    EXPECT_EQ(mainButton->isEnabled(), model.canExport());
    auto* elapsed = find<QLabel>(QStringLiteral("elapsedLabel"));
    EXPECT_TRUE(elapsed->isVisible());
    EXPECT_THAT(elapsed->text().toStdString(),
                ::testing::MatchesRegex(R"(Compared in [0-9]+\.[0-9][0-9] s)"));

    model.setIgnoreCase(true);
    EXPECT_FALSE(elapsed->isVisible());
    EXPECT_EQ(find<QStackedWidget>(QStringLiteral("workspaceContent"))->currentWidget()->objectName(),
              QStringLiteral("mappingScreen"));
}

TEST_F(WindowTest, ControlReturnComparesAndTheArrowKeysBrowseTheResults)
{
    loadSamples();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Return, Qt::ControlModifier);
    waitUntilIdle();
    ASSERT_NE(model.summary(), nullptr);
    EXPECT_EQ(model.tab(), WorkspaceTab::results);

    ASSERT_GE(model.filteredIndices().size(), 2U);
    EXPECT_EQ(QApplication::focusWidget(), find<QListView>(QStringLiteral("resultList")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(model.selectedRowID(), model.summary()->differences[model.filteredIndices()[1]].id);
}

// Whether `text` shows as written: taken as plain text, or a plain text escaped whole.
bool isShownAsWritten(const QString& text, Qt::TextFormat format)
{
    const bool isRich = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text));
    return !isRich || text == Qt::convertFromPlainText(QTextDocumentFragment::fromHtml(text).toPlainText());
}

// The labels and tooltips of the window that would draw markup in their text instead of showing it.
QStringList markupDrawn(const QWidget& window)
{
    QStringList drawn;
    for (const QLabel* label : window.findChildren<QLabel*>())
        if (!isShownAsWritten(label->text(), label->textFormat()))
            drawn << label->objectName() + QStringLiteral(": ") + label->text();
    for (const QWidget* widget : window.findChildren<QWidget*>())
        if (!isShownAsWritten(widget->toolTip(), Qt::AutoText))
            drawn << widget->objectName() + QStringLiteral(" tooltip: ") + widget->toolTip();
    return drawn;
}

TEST_F(WindowTest, NamesAndValuesWithMarkupAreShownAsWritten)
{
    const std::string table = "<b>id</b>,<i>note</i>\n1,<b>one</b>\n2,<i>two</i>\n";
    const QString left = writeFile(QStringLiteral("<b>bold.csv"), table);
    const QString right = writeFile(QStringLiteral("<i>italic.csv"), table + "3,<u>three</u>\n");
    const struct {
        const char* screen;
        std::function<void()> show;
    } screens[] = {
        {"reading a file", [&] { model.load(left, true); }},
        {"one file loaded", [&] { waitUntilIdle(); }},
        {"mapping",
         [&] {
             model.load(right, false);
             waitUntilIdle();
         }},
        {"results",
         [&] {
             model.compare();
             waitUntilIdle();
         }},
        {"search without results",
         [&] {
             model.setQuery(QStringLiteral("<b>nothing"));
             ASSERT_TRUE(QTest::qWaitFor([this] { return !model.isFiltering(); }, 5000));
         }},
        {"alert", [&] { model.setErrorMessage(QStringLiteral("The sheet “<i>Q1</i>” is empty.")); }},
    };
    for (const auto& screen : screens) {
        SCOPED_TRACE(screen.screen);
        screen.show();
        EXPECT_THAT(markupDrawn(window), ::testing::IsEmpty());
    }
    EXPECT_NE(shownAlert(window), nullptr);
}

TEST(ComparisonTime, HasExactlyTwoFractionDigits)
{
    EXPECT_EQ(comparisonTime(0.42), QStringLiteral("Compared in 0.42 s"));
    EXPECT_EQ(comparisonTime(3), QStringLiteral("Compared in 3.00 s"));
    EXPECT_EQ(comparisonTime(1234.5), QStringLiteral("Compared in 1,234.50 s"));
}

TEST_F(WindowTest, ImportErrorShowsTheAlertOnceAndOkDismissesIt)
{
    model.load(writeFile(QStringLiteral("broken.csv"), "a,b\n\"1,2\n"), true);
    waitUntilIdle();
    ASSERT_TRUE(model.errorMessage().has_value());
    ASSERT_TRUE(QTest::qWaitFor([this] { return shownAlert(window) != nullptr; }, 5000));
    QMessageBox* alert = shownAlert(window);
    EXPECT_EQ(shownAlertCount(window), 1);
    EXPECT_EQ(alert->text(), QStringLiteral("Couldn’t complete that action"));
    EXPECT_EQ(alert->informativeText(), QStringLiteral("The CSV contains an unclosed quoted field."));
    EXPECT_FALSE(model.left().has_value());

    alert->button(QMessageBox::Ok)->click();
    EXPECT_FALSE(model.errorMessage().has_value());
    EXPECT_TRUE(QTest::qWaitFor([this] { return shownAlert(window) == nullptr; }, 5000));
}

TEST_F(WindowTest, AlertClosesWhenTheMessageGoesAway)
{
    model.setErrorMessage(QStringLiteral("Disk full"));
    ASSERT_NE(shownAlert(window), nullptr);
    model.setErrorMessage(std::nullopt);
    EXPECT_TRUE(QTest::qWaitFor([this] { return shownAlert(window) == nullptr; }, 5000));
}

TEST_F(WindowTest, WhileReadingTheStatusBarShowsProgressAndEscapeCancels)
{
    std::string rows = "id,value\n";
    for (int row = 0; row < 200000; ++row)
        rows += std::to_string(row) + ",value " + std::to_string(row) + "\n";
    const QString path = writeFile(QStringLiteral("big.csv"), rows);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    model.load(path, true);
    ASSERT_TRUE(model.isBusy());
    EXPECT_EQ(find<QLabel>(QStringLiteral("busyLabel"))->text(), QStringLiteral("Reading big.csv…"));
    EXPECT_TRUE(find<QPushButton>(QStringLiteral("cancelButton"))->isVisible());
    EXPECT_FALSE(find<QPushButton>(QStringLiteral("trySampleFilesButton"))->isEnabled());
    EXPECT_FALSE(find<QPushButton>(QStringLiteral("chooseFirstFileButton"))->isEnabled());

    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(model.isBusy());
    waitUntilIdle();
    EXPECT_FALSE(model.left().has_value());
    EXPECT_EQ(find<QLabel>(QStringLiteral("noticeLabel"))->text(),
              QStringLiteral("The operation was cancelled."));
    EXPECT_TRUE(find<QPushButton>(QStringLiteral("trySampleFilesButton"))->isEnabled());
}

TEST_F(WindowTest, ChooseFirstFileButtonChoosesTheLeftSide)
{
    dialogs->openAnswer = writeFile(QStringLiteral("first.csv"), "id,name\n1,a\n");
    QTest::mouseClick(find<QPushButton>(QStringLiteral("chooseFirstFileButton")), Qt::LeftButton);
    waitUntilIdle();
    ASSERT_TRUE(model.left().has_value());
    EXPECT_EQ(model.left()->name, "first.csv");
    EXPECT_EQ(find<QStackedWidget>(QStringLiteral("workspaceContent"))->currentWidget()->objectName(),
              QStringLiteral("emptyState"));
}

}  // namespace
}  // namespace rowlark::ui::testing
