#include <functional>
#include <utility>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include "RowlarkVersion.h"
#include "tests/ui/WindowTesting.h"
#include "ui/shell/ComparisonWorkspace.h"
#include "ui/shell/QtFileDialogs.h"
#include "ui/shell/RowlarkApp.h"
#include "ui/shell/StatusBar.h"

namespace rowlark::ui::testing {
namespace {

QList<QMessageBox*> shownAlerts(const QWidget& window)
{
    QList<QMessageBox*> shown;
    for (QMessageBox* box : window.findChildren<QMessageBox*>("errorAlert"))
        if (box->isVisible())
            shown << box;
    return shown;
}

TEST(Application, OpensOneWindowTitledRowlarkWithTheWorkspaceAsContent)
{
    shell::RowlarkApp app;
    EXPECT_EQ(app.window().windowTitle(), "Rowlark");
    EXPECT_NE(qobject_cast<shell::ComparisonWorkspace*>(app.window().centralWidget()), nullptr);
}

TEST_F(WindowTest, FileMenuListsTheCommandsWithThePlatformShortcuts)
{
    QStringList titles;
    for (const QAction* action : find<QMenu>("fileMenu")->actions())
        titles << (action->isSeparator() ? "—" : action->text());
    EXPECT_EQ(titles,
              QStringList({"Open first file…", "Open second file…", "—", "Compare files", "Export filtered report…",
                           "Export all sheets…", "—", "Open Setup…", "Save Setup…", "—", "&Quit"}));
    const std::pair<const char*, QKeySequence> shortcuts[] = {
        {"openFirstFileAction", QKeySequence::Open},  {"openSecondFileAction", Qt::CTRL | Qt::SHIFT | Qt::Key_O},
        {"compareAction", Qt::CTRL | Qt::Key_Return}, {"exportAction", Qt::CTRL | Qt::SHIFT | Qt::Key_E},
        {"quitAction", QKeySequence::Quit},
    };
    for (const auto& [name, shortcut] : shortcuts)
        EXPECT_EQ(find<QAction>(name)->shortcut(), shortcut) << name;
}

TEST_F(WindowTest, HelpMenuShowsAboutRowlarkWithTheVersion)
{
    const QList<QAction*> actions = find<QMenu>("helpMenu")->actions();
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions.front()->text(), "About Rowlark");
    actions.front()->trigger();
    auto* about = find<QDialog>("aboutDialog");
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->windowTitle(), "About Rowlark");
    EXPECT_EQ(labelText("aboutVersion"), QStringLiteral("Version ") + version);
    about->accept();
}

// "Open with" on the desktop starts the program with the chosen files.
TEST_F(WindowTest, FilesNamedAtStartLoadFirstAsAAndSecondAsB)
{
    window.openFiles({writeFile("first.csv", "id,name\n1,a\n"), writeFile("second.csv", "id,name\n1,b\n")});
    ASSERT_TRUE(QTest::qWaitFor([this] { return model.right().has_value() && !model.isBusy(); }, 20000));
    EXPECT_EQ(model.left()->name, "first.csv");
    EXPECT_EQ(model.right()->name, "second.csv");
}

// `rowlark BAD GOOD` keeps GOOD loaded, and the alert names the side and the file that failed.
TEST_F(WindowTest, AFileNamedAtStartThatFailsLeavesTheOtherLoaded)
{
    window.openFiles({folder.path(), writeFile("good.csv", "id,name\n1,a\n")});
    waitUntilIdle();
    EXPECT_FALSE(model.left().has_value());
    ASSERT_TRUE(model.right().has_value());
    EXPECT_EQ(model.right()->name, "good.csv");
    const QString folderName = QFileInfo(folder.path()).fileName();
    EXPECT_EQ(model.errorMessage().value_or(""), "File A: " + folderName + " is a folder, not a file.");
    model.setErrorMessage(std::nullopt);
}

// With only File A loaded the empty state invites the second file, and its button chooses File B.
TEST_F(WindowTest, EmptyStateAsksForTheSideStillMissing)
{
    auto* choose = find<QPushButton>("chooseFirstFileButton");
    EXPECT_EQ(choose->text(), "Choose first file…");
    model.load(writeFile("first.csv", "id,name\n1,a\n"), true);
    waitUntilIdle();
    EXPECT_EQ(screenName(), "emptyState");
    EXPECT_EQ(choose->text(), "Choose second file…");
    dialogs->openAnswer = writeFile("second.csv", "id,name\n1,b\n");
    QTest::mouseClick(choose, Qt::LeftButton);
    waitUntilIdle();
    ASSERT_TRUE(model.right().has_value());
    EXPECT_EQ(model.right()->name, "second.csv");
    EXPECT_EQ(model.left()->name, "first.csv");
}

// The button and the command of the empty state and the card of a file slot each ask for their side.
TEST_F(WindowTest, OpenControlsAskForTheirSide)
{
    const struct {
        const char* file;
        std::function<void()> open;
        bool isLeft;
    } controls[] = {
        {"first.csv", [&] { QTest::mouseClick(find<QPushButton>("chooseFirstFileButton"), Qt::LeftButton); }, true},
        {"second.csv", [&] { find<QAction>("openSecondFileAction")->trigger(); }, false},
        {"third.csv",
         [&] {
             QTest::mouseClick(find<QWidget>("fileSlotB")->findChild<QPushButton*>("fileSlotButton"), Qt::LeftButton);
         },
         false},
    };
    for (const auto& control : controls) {
        dialogs->openAnswer = writeFile(control.file, "id,name\n1,a\n");
        control.open();
        waitUntilIdle();
        const auto& side = control.isLeft ? model.left() : model.right();
        ASSERT_TRUE(side.has_value()) << control.file;
        EXPECT_EQ(side->name, control.file);
        EXPECT_EQ(model.right().has_value(), !control.isLeft) << control.file;
        EXPECT_EQ(screenName(), control.isLeft ? "emptyState" : "mappingScreen");
    }
    EXPECT_EQ(dialogs->openCalls, 3);
}

TEST_F(WindowTest, HeaderSaysWhereTheFilesStay)
{
#ifdef Q_OS_MACOS
    EXPECT_EQ(labelText("privacyNote"), "Files stay on this Mac");
#else
    EXPECT_EQ(labelText("privacyNote"), "Files stay on this computer");
#endif
}

TEST_F(WindowTest, ControlReturnComparesAndTheArrowKeysBrowseTheResults)
{
    loadSamples();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Return, Qt::ControlModifier);
    waitUntilIdle();
    ASSERT_NE(model.summary(), nullptr);
    EXPECT_EQ(model.tab(), model::WorkspaceTab::results);
    EXPECT_THAT(labelText("elapsedLabel").toStdString(),
                ::testing::MatchesRegex(R"(Compared in [0-9]+\.[0-9][0-9] s)"));

    ASSERT_GE(model.filteredIndices().size(), 2U);
    EXPECT_EQ(QApplication::focusWidget(), find<QListView>("resultList"));
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
            drawn << label->objectName() + ": " + label->text();
    for (const QWidget* widget : window.findChildren<QWidget*>())
        if (!isShownAsWritten(widget->toolTip(), Qt::AutoText))
            drawn << widget->objectName() + " tooltip: " + widget->toolTip();
    return drawn;
}

TEST_F(WindowTest, NamesAndValuesWithMarkupAreShownAsWritten)
{
    const std::string table = "<b>id</b>,<i>note</i>\n1,<b>one</b>\n2,<i>two</i>\n";
    const QString left = writeFile("<b>bold.csv", table);
    const QString right = writeFile("<i>italic.csv", table + "3,<u>three</u>\n");
    const auto expectShownAsWritten = [this](const char* screen) {
        EXPECT_THAT(markupDrawn(window), ::testing::IsEmpty()) << screen;
    };
    model.load(left, true);
    expectShownAsWritten("reading a file");
    waitUntilIdle();
    expectShownAsWritten("one file loaded");
    model.load(right, false);
    waitUntilIdle();
    expectShownAsWritten("mapping");
    model.compare();
    waitUntilIdle();
    expectShownAsWritten("results");
    model.setQuery("<b>nothing");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !model.isFiltering(); }, 5000));
    expectShownAsWritten("search without results");
    model.setErrorMessage("The sheet “<i>Q1</i>” is empty.");
    expectShownAsWritten("alert");
    EXPECT_EQ(shownAlerts(window).size(), 1);
}

TEST(ComparisonTime, HasExactlyTwoFractionDigits)
{
    EXPECT_EQ(shell::comparisonTime(0.42), "Compared in 0.42 s");
    EXPECT_EQ(shell::comparisonTime(3), "Compared in 3.00 s");
    EXPECT_EQ(shell::comparisonTime(1234.5), "Compared in 1,234.50 s");
}

TEST_F(WindowTest, ErrorShowsTheAlertOnceUntilOkOrTheMessageGoes)
{
    model.load(writeFile("broken.csv", "a,b\n\"1,2\n"), true);
    waitUntilIdle();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !shownAlerts(window).isEmpty(); }, 5000));
    ASSERT_EQ(shownAlerts(window).size(), 1);
    QMessageBox* alert = shownAlerts(window).front();
    EXPECT_EQ(alert->text(), "Couldn’t complete that action");
    EXPECT_EQ(alert->informativeText(), "File A (broken.csv): The CSV contains an unclosed quoted field.");
    EXPECT_FALSE(model.left().has_value());

    alert->button(QMessageBox::Ok)->click();
    EXPECT_FALSE(model.errorMessage().has_value());
    EXPECT_TRUE(QTest::qWaitFor([this] { return shownAlerts(window).isEmpty(); }, 5000));

    model.setErrorMessage("Disk full");
    ASSERT_EQ(shownAlerts(window).size(), 1);
    model.setErrorMessage(std::nullopt);
    EXPECT_TRUE(QTest::qWaitFor([this] { return shownAlerts(window).isEmpty(); }, 5000));
}

TEST_F(WindowTest, WhileReadingTheStatusBarShowsProgressAndEscapeCancels)
{
    std::string rows = "id,value\n";
    for (int row = 0; row < 200000; ++row)
        rows += std::to_string(row) + ",value " + std::to_string(row) + "\n";
    const QString path = writeFile("big.csv", rows);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    model.load(path, true);
    ASSERT_TRUE(model.isBusy());
    EXPECT_EQ(labelText("busyLabel"), "Reading big.csv…");
    EXPECT_TRUE(find<QPushButton>("cancelButton")->isVisible());
    EXPECT_FALSE(find<QPushButton>("trySampleFilesButton")->isEnabled());
    EXPECT_FALSE(find<QPushButton>("chooseFirstFileButton")->isEnabled());

    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(model.isBusy());
    waitUntilIdle();
    EXPECT_FALSE(model.left().has_value());
    EXPECT_EQ(labelText("noticeLabel"), model.notice());
    EXPECT_TRUE(find<QPushButton>("trySampleFilesButton")->isEnabled());
}

// The title as the window system shows it, where "[*]" would otherwise mark unsaved changes.
TEST_F(WindowTest, TitleNamesTheFilesAndTheArrowsBetweenTheSlotsSwapThem)
{
    auto* swap = find<QToolButton>("swapFilesButton");
    EXPECT_EQ(window.windowHandle()->title(), "Rowlark");
    EXPECT_FALSE(swap->isEnabled());
    model.load(writeFile("draft [*].csv", "id,name\n1,a\n"), true);
    waitUntilIdle();
    EXPECT_EQ(window.windowHandle()->title(), "draft [*].csv — Rowlark");
    model.load(writeFile("after.csv", "id,name\n1,b\n"), false);
    waitUntilIdle();
    EXPECT_EQ(window.windowHandle()->title(), "draft [*].csv ⇄ after.csv — Rowlark");

    ASSERT_TRUE(swap->isEnabled());
    swap->click();
    EXPECT_EQ(window.windowHandle()->title(), "after.csv ⇄ draft [*].csv — Rowlark");
    waitUntilIdle();
    EXPECT_EQ(model.mappings().size(), 2U);
}

TEST_F(WindowTest, FindKeyGoesToTheSearchOfTheScreenShownAndAltNumbersSwitchScreens)
{
    loadSamples();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_2, Qt::AltModifier);
    EXPECT_EQ(model.tab(), model::WorkspaceTab::mapping) << "no result to show yet";
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), find<QLineEdit>("mappingSearchField"));

    model.compare();
    waitUntilIdle();
    ASSERT_EQ(model.tab(), model::WorkspaceTab::results);
    auto* search = find<QLineEdit>("resultSearchField");
    search->setText("lamp");
    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), search);
    EXPECT_EQ(search->selectedText(), "lamp");

    QTest::keyClick(&window, Qt::Key_1, Qt::AltModifier);
    EXPECT_EQ(model.tab(), model::WorkspaceTab::mapping);
    QTest::keyClick(&window, Qt::Key_2, Qt::AltModifier);
    EXPECT_EQ(model.tab(), model::WorkspaceTab::results);
}

// Answers the next file dialog with `path`, of the file type `filter` when one is given, or cancels it
// when `path` is empty; returns the folder it showed when it opened.
QString answerNextFileDialog(const QString& path, const std::function<void()>& showDialog, const QString& filter = {})
{
    QString shownFolder;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        shownFolder = dialog->directory().absolutePath();
        if (path.isEmpty())
            return dialog->reject();
        if (!filter.isEmpty()) {
            dialog->selectNameFilter(filter);
            emit dialog->filterSelected(filter);
        }
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
    });
    poll.start(10);
    showDialog();
    return shownFolder;
}

TEST(QtFileDialogs, OpenAndSaveStartInTheFolderLastChosenInEither)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir opened;
    QTemporaryDir saved;
    const QString table = opened.filePath("before.csv");
    ASSERT_TRUE(QFile(table).open(QIODevice::WriteOnly));
    shell::QtFileDialogs dialogs;

    std::optional<QString> answer;
    answerNextFileDialog(table, [&] { answer = dialogs.openFile("Open", {"csv"}); });
    EXPECT_EQ(answer, table);
    EXPECT_EQ(answerNextFileDialog(saved.filePath("report.csv"), [&] { answer = dialogs.saveFile("report.csv", ""); }),
              opened.path());
    EXPECT_EQ(answer, saved.filePath("report.csv"));
    EXPECT_EQ(answerNextFileDialog("", [&] { answer = dialogs.openFile("Open", {"csv"}); }), saved.path());
    EXPECT_EQ(answer, std::nullopt);
}

// The save dialog explains the export inside it, under a title of its own, and refuses the name of a
// file type that reports are not written as.
TEST(QtFileDialogs, SaveDialogExplainsItselfAndRefusesOtherFileTypes)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir saved;
    shell::QtFileDialogs dialogs;
    QString title;
    QString explanation;
    QStringList refusals;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* refusal = qobject_cast<QMessageBox*>(modal)) {
            refusals << refusal->text();
            refusal->accept();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            title = dialog->windowTitle();
            if (auto* label = dialog->findChild<QLabel*>("reportSaveExplanation"))
                explanation = label->text();
            dialog->selectFile(saved.filePath(refusals.isEmpty() ? "report.ods" : "report.XLSX"));
            static_cast<QDialog*>(dialog)->accept();
            if (!refusals.isEmpty())
                poll.stop();
        }
    });
    poll.start(10);
    const std::optional<QString> answer = dialogs.saveFile("comparison-report.csv", "Exports the current filter.");
    EXPECT_EQ(title, "Export filtered report");
    EXPECT_EQ(explanation, "Exports the current filter.");
    EXPECT_EQ(refusals, QStringList({"Reports are saved as CSV files (.csv), Excel workbooks (.xlsx) or web pages "
                                     "(.html). Choose a name that ends in .csv, .xlsx or .html."}));
    EXPECT_EQ(answer, saved.filePath("report.XLSX"));
}

// A name typed without an extension gets the one of the file type chosen: CSV unless another is.
TEST(QtFileDialogs, SaveDialogGivesANameTheChosenTypesExtension)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir saved;
    shell::QtFileDialogs dialogs;
    const std::vector<std::pair<QString, QString>> choices{
        {"", "report.csv"}, {"Excel workbook (*.xlsx)", "report.xlsx"}, {"HTML page (*.html)", "report.html"}};
    for (const auto& [filter, expected] : choices) {
        std::optional<QString> answer;
        answerNextFileDialog(
            saved.filePath("report"), [&] { answer = dialogs.saveFile("comparison-report.csv", ""); }, filter);
        EXPECT_EQ(answer, saved.filePath(expected)) << filter.toStdString();
    }
}

}  // namespace
}  // namespace rowlark::ui::testing
