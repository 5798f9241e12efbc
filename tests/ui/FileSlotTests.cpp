#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include "tests/ui/WindowTesting.h"
#include "ui/shell/FileSlot.h"

namespace rowlark::ui::testing {
namespace {

// The importer tests' workbooks, written at build time by the reader's own library.
QString workbookFixture(const char* name)
{
    return QString(ROWLARK_WORKBOOK_FIXTURES "/") + name;
}

class FileSlotTest : public WindowTest {
protected:
    template<typename T> T* part(bool leftSide, const char* name) const
    {
        T* widget = find<QWidget>(leftSide ? "fileSlotA" : "fileSlotB")->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QComboBox* picker(bool leftSide) const { return part<QComboBox>(leftSide, "fileSlotSheetPicker"); }

    // Title, details and button tooltip of a slot, then its workbook line and its sheets when shown.
    QString shown(bool leftSide) const
    {
        QStringList parts{part<QLabel>(leftSide, "fileSlotTitle")->text(),
                          part<QLabel>(leftSide, "fileSlotDetails")->text(),
                          part<QPushButton>(leftSide, "fileSlotButton")->toolTip()};
        if (auto* line = part<QLabel>(leftSide, "fileSlotWorkbookLine"); line->isVisible())
            parts << line->text();
        if (picker(leftSide)->isVisible())
            parts << entriesOf(*picker(leftSide));
        return parts.join(" | ");
    }

    void load(const QString& path, bool leftSide)
    {
        model.load(path, leftSide);
        waitUntilIdle();
    }
};

TEST_F(FileSlotTest, SlotsShowTheirFileOrInviteAChoice)
{
    EXPECT_EQ(shown(true), "Choose first file… | CSV, XLSX, XLS, ODS or Numbers | Choose a local file");
    EXPECT_EQ(shown(false), "Choose second file… | CSV, XLSX, XLS, ODS or Numbers | Choose a local file");
    loadSamples();
    EXPECT_EQ(shown(true), "catalog-before.csv | 4 rows · 5 columns | Choose a local file");
    EXPECT_EQ(shown(false), "catalog-after.csv | 4 rows · 5 columns | Choose a local file");

    std::string rows = "id,value\n";
    for (int row = 1; row <= 1250; ++row)
        rows += std::to_string(row) + ",v\n";
    const QString orders = writeFile("orders.csv", rows);
    load(orders, false);
    EXPECT_EQ(shown(false), "orders.csv | 1,250 rows · 2 columns | " + orders);
    const QString people =
        writeFile("people.csv", "id,address\n1,\"{\"\"city\"\":\"\"Oslo\"\",\"\"zip\"\":\"\"0150\"\"}\"\n");
    load(people, true);
    EXPECT_EQ(shown(true), "people.csv | 1 row · 4 columns · 2 from JSON | " + people);

    // A failed load leaves the card as it was.
    load(writeFile("broken.csv", "a\n\"x\n"), true);
    EXPECT_EQ(shown(true), "people.csv | 1 row · 4 columns · 2 from JSON | " + people);
    model.setErrorMessage(std::nullopt);
}

TEST_F(FileSlotTest, WorkbooksShowTheirLineAndAPickerForMoreThanOneSheet)
{
    load(workbookFixture("people.xlsx"), true);
    EXPECT_EQ(shown(true), "people.xlsx | 3 rows · 4 columns | " + workbookFixture("people.xlsx") +
                               " | Workbook: saved values · no formula recalculation | People | Other");
    EXPECT_EQ(part<QLabel>(true, "fileSlotWorkbookLine")->toolTip(),
              "Imports cell data, not charts or layout. Numbers tables appear separately in the selector. Formulas "
              "are not recalculated; display formatting availability depends on the file format. Workbook limit: "
              "64 MB, 250,000 rows, 10,000 columns and 5 million cells per selected sheet/table.");
    EXPECT_EQ(picker(true)->currentText(), "People");
    EXPECT_EQ(picker(true)->toolTip(), "People") << "a name cut by the picker is whole in its tooltip";
    EXPECT_EQ(picker(true)->itemData(1, Qt::ToolTipRole).toString(), "Other");
    EXPECT_EQ(picker(true)->accessibleName(), "Sheet");
    EXPECT_LE(picker(true)->maximumWidth(), 150);

    load(workbookFixture("people.numbers"), false);
    EXPECT_EQ(part<QLabel>(false, "fileSlotWorkbookLine")->text(), "Numbers: select a table · saved values");
    EXPECT_FALSE(picker(false)->isVisible());
    EXPECT_EQ(picker(false)->accessibleName(), "Table");

    // Every line of a card is drawn whole: its height holds the font's descenders and underscores,
    // and the card holds every line.
    load(writeFile("Lagerbestand_Juni_2024.csv", "Artikel;Preis\nSK-1;9\n"), false);
    QTest::qWait(50);  // the cards are laid out again a moment after they change
    for (const bool leftSide : {true, false}) {
        auto* card = find<QWidget>(leftSide ? "fileSlotA" : "fileSlotB");
        for (const char* name : {"fileSlotTitle", "fileSlotDetails", "fileSlotWorkbookLine"}) {
            auto* line = part<QLabel>(leftSide, name);
            if (!line->isVisible())
                continue;
            EXPECT_GE(line->height(), line->fontMetrics().height()) << name;
            const QRect area(line->mapTo(card, QPoint(0, 0)), line->size());
            EXPECT_TRUE(card->rect().contains(area)) << name;
        }
    }
    EXPECT_EQ(part<QLabel>(false, "fileSlotTitle")->text(), "Lagerbestand_Juni_2024.csv");
}

// A CSV text names a separator other than the comma among its details, and can be read again with
// another; samples and workbooks have no separator to choose.
TEST_F(FileSlotTest, ACSVTextNamesItsSeparatorAndCanBeReadWithAnother)
{
    load(writeFile("semicolons.csv", "id;name;city\n1;Ann;Oslo\n"), true);
    auto* separator = part<QComboBox>(true, "fileSlotSeparatorPicker");
    EXPECT_EQ(part<QLabel>(true, "fileSlotDetails")->text(), "1 row · 3 columns · Semicolon-separated");
    EXPECT_TRUE(separator->isVisible());
    EXPECT_EQ(separator->accessibleName(), "Separator");
    EXPECT_EQ(entriesOf(*separator), QStringList({"Comma (,)", "Semicolon (;)", "Tab", "Pipe (|)"}));
    EXPECT_EQ(separator->currentText(), "Semicolon (;)");

    separator->setFocus();
    QTest::keyClick(separator, Qt::Key_Up);
    EXPECT_EQ(separator->currentText(), "Comma (,)") << "shown while the file is read again";
    waitUntilIdle();
    ASSERT_TRUE(model.left()->separator);
    EXPECT_EQ(*model.left()->separator, csv::Separator::comma);
    EXPECT_EQ(part<QLabel>(true, "fileSlotDetails")->text(), "1 row · 1 column");
    EXPECT_EQ(separator->currentText(), "Comma (,)");

    load(writeFile("tabs.tsv", "id\tname\n1\tAnn\n"), false);
    EXPECT_EQ(part<QLabel>(false, "fileSlotDetails")->text(), "1 row · 2 columns · Tab-separated");
    EXPECT_EQ(part<QComboBox>(false, "fileSlotSeparatorPicker")->currentText(), "Tab");

    loadSamples();
    EXPECT_FALSE(separator->isVisible());
    load(workbookFixture("people.xlsx"), true);
    EXPECT_FALSE(separator->isVisible());
}

TEST_F(FileSlotTest, PickingAnotherSheetReloadsTheFileAndDropsTheResult)
{
    load(workbookFixture("people.xlsx"), true);
    load(workbookFixture("people.csv"), false);
    model.compare();
    waitUntilIdle();
    ASSERT_NE(model.summary(), nullptr);

    picker(true)->setFocus();
    QTest::keyClick(picker(true), Qt::Key_Down);
    waitUntilIdle();
    ASSERT_TRUE(model.left().has_value());
    EXPECT_EQ(model.left()->sheet, std::optional<std::string>("Other"));
    EXPECT_EQ(picker(true)->currentText(), "Other");
    EXPECT_EQ(part<QLabel>(true, "fileSlotDetails")->text(), "1 row · 1 column");
    EXPECT_EQ(model.summary(), nullptr);
}

// A picked sheet whose reload is cancelled (Escape) or fails (the file was moved meanwhile) is not
// the sheet compared, so the picker goes back to the one that is.
TEST_F(FileSlotTest, PickerReturnsToTheLoadedSheetWhenItsReloadDoesNotHappen)
{
    const QString path = folder.filePath("people.xlsx");
    ASSERT_TRUE(QFile::copy(workbookFixture("people.xlsx"), path));
    load(path, true);
    ASSERT_EQ(picker(true)->currentText(), "People");

    for (const bool isFileMoved : {false, true}) {
        if (isFileMoved) {
            ASSERT_TRUE(QFile::rename(path, path + ".moved"));
        }
        picker(true)->setFocus();
        QTest::keyClick(picker(true), Qt::Key_Down);
        ASSERT_TRUE(model.isBusy());
        EXPECT_EQ(picker(true)->currentText(), "Other");
        if (!isFileMoved)
            model.cancel();
        waitUntilIdle();
        EXPECT_EQ(model.left()->sheet, std::optional<std::string>("People"));
        EXPECT_EQ(picker(true)->currentText(), "People") << (isFileMoved ? "moved" : "cancelled");
    }
    EXPECT_TRUE(model.errorMessage());
    model.setErrorMessage(std::nullopt);
}

TEST(LowerExtension, ComesFromTheLocationOrElseTheName)
{
    const std::tuple<std::string, std::optional<std::filesystem::path>, QString> cases[] = {
        {"Budget.NUMBERS", std::nullopt, "numbers"},
        {"Sheet 1", std::filesystem::path("/tmp/Book.XLSX"), "xlsx"},
        {"notes", std::nullopt, QString()},
        {"archive.tar.ods", std::nullopt, "ods"},
    };
    for (const auto& [name, path, extension] : cases)
        EXPECT_EQ(shell::lowerExtension(model::InputFile{name, path, table::Table(), {}, std::nullopt, std::nullopt}),
                  extension)
            << name;
}

}  // namespace
}  // namespace rowlark::ui::testing
