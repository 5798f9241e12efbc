#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "shell/FileSlot.h"
#include "WindowTesting.h"

namespace rowlark::ui::testing {
namespace {

class FileSlotTest : public WindowTest {
protected:
    QWidget* slot(bool leftSide) const
    {
        return find<QWidget>(leftSide ? QStringLiteral("fileSlotA") : QStringLiteral("fileSlotB"));
    }
    template<typename T> T* part(bool leftSide, const QString& name) const
    {
        T* widget = slot(leftSide)->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QString title(bool leftSide) const
    {
        return part<QLabel>(leftSide, QStringLiteral("fileSlotTitle"))->text();
    }
    QString details(bool leftSide) const
    {
        return part<QLabel>(leftSide, QStringLiteral("fileSlotDetails"))->text();
    }
    QString tooltip(bool leftSide) const
    {
        return part<QPushButton>(leftSide, QStringLiteral("fileSlotButton"))->toolTip();
    }
    bool showsWorkbookLine(bool leftSide) const
    {
        return part<QLabel>(leftSide, QStringLiteral("fileSlotWorkbookLine"))->isVisible();
    }
    bool showsPicker(bool leftSide) const
    {
        return part<QComboBox>(leftSide, QStringLiteral("fileSlotSheetPicker"))->isVisible();
    }
};

TEST_F(FileSlotTest, EmptySlotsInviteAChoice)
{
    EXPECT_EQ(title(true), QStringLiteral("Choose first file…"));
    EXPECT_EQ(title(false), QStringLiteral("Choose second file…"));
    for (const bool leftSide : {true, false}) {
        EXPECT_EQ(details(leftSide), QStringLiteral("CSV, XLSX, XLS, ODS or Numbers"));
        EXPECT_EQ(tooltip(leftSide), QStringLiteral("Choose a local file"));
        EXPECT_FALSE(showsWorkbookLine(leftSide));
        EXPECT_FALSE(showsPicker(leftSide));
    }
}

TEST_F(FileSlotTest, SamplesShowTheirNamesSizesAndNoLocation)
{
    loadSamples();
    EXPECT_EQ(title(true), QStringLiteral("catalog-before.csv"));
    EXPECT_EQ(title(false), QStringLiteral("catalog-after.csv"));
    EXPECT_EQ(details(true), QStringLiteral("%1 rows · %2 columns")
                                 .arg(model.left()->table.rowCount())
                                 .arg(model.left()->table.columnCount()));
    for (const bool leftSide : {true, false}) {
        EXPECT_EQ(tooltip(leftSide), QStringLiteral("Choose a local file"));
        EXPECT_FALSE(showsWorkbookLine(leftSide));
        EXPECT_FALSE(showsPicker(leftSide));
    }
}

TEST_F(FileSlotTest, LoadedFileShowsItsPathAndCountsWithGrouping)
{
    std::string rows = "id,value\n";
    for (int row = 1; row <= 1250; ++row)
        rows += std::to_string(row) + ",v\n";
    const QString path = writeFile(QStringLiteral("orders.csv"), rows);
    model.load(path, false);
    waitUntilIdle();
    EXPECT_EQ(title(false), QStringLiteral("orders.csv"));
    EXPECT_EQ(details(false), QStringLiteral("1,250 rows · 2 columns"));
    EXPECT_EQ(tooltip(false), path);
    EXPECT_EQ(title(true), QStringLiteral("Choose first file…"));
}

TEST_F(FileSlotTest, DerivedJsonColumnsAreCounted)
{
    model.load(writeFile(QStringLiteral("people.csv"),
                         "id,address\n1,\"{\"\"city\"\":\"\"Oslo\"\",\"\"zip\"\":\"\"0150\"\"}\"\n"),
               true);
    waitUntilIdle();
    ASSERT_TRUE(model.left().has_value());
    const CSVTable& table = model.left()->table;
    ASSERT_GE(table.derivedColumnCount(), 1);
    EXPECT_EQ(details(true), QStringLiteral("1 rows · %1 columns · %2 from JSON")
                                 .arg(table.columnCount())
                                 .arg(table.derivedColumnCount()));
}

TEST_F(FileSlotTest, ClickingTheCardOpensTheDialogForItsSide)
{
    dialogs->openAnswer = writeFile(QStringLiteral("b.csv"), "id\n1\n");
    QTest::mouseClick(part<QPushButton>(false, QStringLiteral("fileSlotButton")), Qt::LeftButton);
    waitUntilIdle();
    EXPECT_EQ(dialogs->openCalls, 1);
    EXPECT_EQ(title(false), QStringLiteral("b.csv"));
}

TEST_F(FileSlotTest, FailedLoadLeavesTheCardAsItWas)
{
    loadSamples();
    model.load(writeFile(QStringLiteral("broken.csv"), "a\n\"x\n"), true);
    waitUntilIdle();
    EXPECT_EQ(title(true), QStringLiteral("catalog-before.csv"));
    model.setErrorMessage(std::nullopt);
}

// The importer tests' workbooks, written at build time by the reader's own library.
QString workbookFixture(const char* name)
{
    return QStringLiteral(ROWLARK_WORKBOOK_FIXTURES "/") + QString::fromUtf8(name);
}

QStringList pickerEntries(const QComboBox& picker)
{
    QStringList entries;
    for (int position = 0; position < picker.count(); ++position)
        entries << picker.itemText(position);
    return entries;
}

TEST_F(FileSlotTest, WorkbookWithTwoSheetsShowsItsLineAndPicker)
{
    model.load(workbookFixture("people.xlsx"), true);
    waitUntilIdle();
    ASSERT_TRUE(model.left().has_value());
    auto* line = part<QLabel>(true, QStringLiteral("fileSlotWorkbookLine"));
    EXPECT_TRUE(line->isVisible());
    EXPECT_EQ(line->text(), QStringLiteral("Workbook: saved values · no formula recalculation"));
    EXPECT_EQ(line->toolTip(),
              "Imports cell data, not charts or layout. Numbers tables appear separately in the selector. Formulas "
              "are not recalculated; display formatting availability depends on the file format. Workbook limit: "
              "64 MB, 250,000 rows, 10,000 columns and 5 million cells per selected sheet/table.");
    auto* picker = part<QComboBox>(true, QStringLiteral("fileSlotSheetPicker"));
    EXPECT_TRUE(picker->isVisible());
    EXPECT_EQ(pickerEntries(*picker), (QStringList{QStringLiteral("People"), QStringLiteral("Other")}));
    EXPECT_EQ(picker->currentText(), QStringLiteral("People"));
    EXPECT_EQ(picker->accessibleName(), QStringLiteral("Sheet"));
    EXPECT_LE(picker->maximumWidth(), 150);
    EXPECT_EQ(details(true), QStringLiteral("3 rows · 4 columns"));
}

TEST_F(FileSlotTest, PickingAnotherSheetReloadsTheFileAndDropsTheResult)
{
    model.load(workbookFixture("people.xlsx"), true);
    waitUntilIdle();
    model.load(workbookFixture("people.csv"), false);
    waitUntilIdle();
    model.compare();
    waitUntilIdle();
    ASSERT_NE(model.summary(), nullptr);

    auto* picker = part<QComboBox>(true, QStringLiteral("fileSlotSheetPicker"));
    picker->setFocus();
    QTest::keyClick(picker, Qt::Key_Down);
    waitUntilIdle();
    ASSERT_TRUE(model.left().has_value());
    EXPECT_EQ(model.left()->sheet, std::optional<std::string>("Other"));
    EXPECT_EQ(picker->currentText(), QStringLiteral("Other"));
    EXPECT_EQ(details(true), QStringLiteral("1 rows · 1 columns"));
    EXPECT_EQ(model.summary(), nullptr);
}

// A picked sheet whose reload is cancelled (Escape) or fails (the file was moved meanwhile) is not
// the sheet compared, so the picker goes back to the one that is.
TEST_F(FileSlotTest, PickerReturnsToTheLoadedSheetWhenItsReloadDoesNotHappen)
{
    const QString path = folder.filePath(QStringLiteral("people.xlsx"));
    ASSERT_TRUE(QFile::copy(workbookFixture("people.xlsx"), path));
    model.load(path, true);
    waitUntilIdle();
    auto* picker = part<QComboBox>(true, QStringLiteral("fileSlotSheetPicker"));
    ASSERT_EQ(picker->currentText(), QStringLiteral("People"));

    for (const bool isFileMoved : {false, true}) {
        if (isFileMoved) {
            ASSERT_TRUE(QFile::rename(path, path + QStringLiteral(".moved")));
        }
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Down);
        ASSERT_TRUE(model.isBusy());
        EXPECT_EQ(picker->currentText(), QStringLiteral("Other"));
        if (!isFileMoved)
            model.cancel();
        waitUntilIdle();
        EXPECT_EQ(model.left()->sheet, std::optional<std::string>("People"));
        EXPECT_EQ(picker->currentText(), QStringLiteral("People")) << (isFileMoved ? "moved" : "cancelled");
    }
    EXPECT_TRUE(model.errorMessage());
    model.setErrorMessage(std::nullopt);
}

TEST_F(FileSlotTest, NumbersFileNamesItsTablesAndShowsNoPickerForOne)
{
    model.load(workbookFixture("people.numbers"), false);
    waitUntilIdle();
    ASSERT_TRUE(model.right().has_value());
    EXPECT_EQ(part<QLabel>(false, QStringLiteral("fileSlotWorkbookLine"))->text(),
              QStringLiteral("Numbers: select a table · saved values"));
    auto* picker = part<QComboBox>(false, QStringLiteral("fileSlotSheetPicker"));
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(picker->accessibleName(), QStringLiteral("Table"));
}

struct ExtensionCase {
    std::string name;
    std::optional<std::filesystem::path> url;
    QString extension;
};

TEST(LowerExtension, ComesFromTheLocationOrElseTheName)
{
    const std::vector<ExtensionCase> cases = {
        {"Budget.NUMBERS", std::nullopt, QStringLiteral("numbers")},
        {"Sheet 1", std::filesystem::path("/tmp/Book.XLSX"), QStringLiteral("xlsx")},
        {"notes", std::nullopt, QString()},
        {"archive.tar.ods", std::nullopt, QStringLiteral("ods")},
    };
    for (const ExtensionCase& each : cases) {
        InputFile file{each.name, each.url, CSVTable(), {}, std::nullopt};
        EXPECT_EQ(lowerExtension(file), each.extension) << each.name;
    }
}

TEST(TableDetails, LeavesOutJsonWhenNothingWasDerived)
{
    const CSVTable table = CSVTable::fromRows({"id", "name"}, {{"1", "a"}, {"2", "b"}});
    EXPECT_EQ(tableDetails(table), QStringLiteral("2 rows · 2 columns"));
}

}  // namespace
}  // namespace rowlark::ui::testing
