#include <algorithm>

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include "WindowTesting.h"
#include "mapping/MappingList.h"
#include "mapping/MappingRow.h"
#include "mapping/MappingText.h"
#include "widgets/Styling.h"
#include "widgets/SuggestionChip.h"

namespace rowlark::ui::testing {
namespace {

// A CSV text of `headers` and `rows` rows whose cells are `header` + row number.
std::string csvText(const std::vector<std::string>& headers, int rows = 6)
{
    std::string text;
    for (std::size_t column = 0; column < headers.size(); ++column)
        text += (column ? "," : "") + headers[column];
    text += '\n';
    for (int row = 1; row <= rows; ++row) {
        for (std::size_t column = 0; column < headers.size(); ++column)
            text += (column ? "," : "") + headers[column] + "-" + std::to_string(row);
        text += '\n';
    }
    return text;
}

// One element as assistive technology finds it: its role and what it is called.
using AccessibleNode = std::pair<QAccessible::Role, QString>;

// The label that names an element, or its own name. Qt names a drop-down list by its entry on some
// platforms and tells what it is for through its label there.
QString accessibleLabel(QAccessibleInterface* element)
{
    const auto labels = element->relations(QAccessible::Label);
    return labels.isEmpty() ? element->text(QAccessible::Name) : labels.front().first->text(QAccessible::Name);
}

void collectAccessibleNodes(QAccessibleInterface* node, std::vector<AccessibleNode>& found)
{
    for (int index = 0; index < node->childCount(); ++index) {
        QAccessibleInterface* child = node->child(index);
        if (!child)
            continue;
        found.emplace_back(child->role(), accessibleLabel(child));
        collectAccessibleNodes(child, found);
    }
}

class MappingScreenTest : public WindowTest {
protected:
    void loadFiles(const std::string& leftText, const std::string& rightText)
    {
        model.load(writeFile("before.csv", leftText), true);
        waitUntilIdle();
        model.load(writeFile("after.csv", rightText), false);
        waitUntilIdle();
    }

    // More rows than the list shows at once, with keyboard focus available to them.
    void loadSixtyColumnsInAnActiveWindow()
    {
        std::vector<std::string> headers;
        for (int column = 0; column < 60; ++column)
            headers.push_back("field_" + std::to_string(column));
        loadFiles(csvText(headers, 3), csvText(headers, 3));
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    MappingList* list() const { return find<MappingList>("mappingList"); }
    QAbstractItemModel* rows() const { return list()->model(); }
    int rowCount() const { return rows()->rowCount(); }

    QStringList listedNames() const
    {
        QStringList names;
        for (int row = 0; row < rowCount(); ++row)
            names << rows()->index(row, 0).data().toString();
        return names;
    }

    // The open row widget listing the column named `name`; fails the test when it is not open.
    MappingRow* rowNamed(const QString& name) const
    {
        const int row = static_cast<int>(listedNames().indexOf(name));
        EXPECT_GE(row, 0) << name.toStdString();
        MappingRow* widget = row >= 0 ? list()->rowWidget(row) : nullptr;
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    template<typename T> T* part(const QString& rowName, const QString& partName) const
    {
        MappingRow* row = rowNamed(rowName);
        T* widget = row ? row->findChild<T*>(partName) : nullptr;
        EXPECT_NE(widget, nullptr) << partName.toStdString();
        return widget;
    }

    QCheckBox* keyBox(const QString& rowName) const { return part<QCheckBox>(rowName, "keyBox"); }
    QCheckBox* compareBox(const QString& rowName) const { return part<QCheckBox>(rowName, "compareBox"); }
    QComboBox* picker(const QString& rowName) const { return part<QComboBox>(rowName, "matchPicker"); }

    QList<SuggestionChip*> shownChips(const QString& rowName) const
    {
        QList<SuggestionChip*> shown;
        for (SuggestionChip* chip : rowNamed(rowName)->findChildren<SuggestionChip*>())
            if (chip->isVisibleTo(rowNamed(rowName)))
                shown << chip;
        return shown;
    }

    const ColumnMapping& mappingOf(const QString& leftHeaderText) const
    {
        const auto& headers = model.left()->table.headers();
        const auto column = std::find(headers.begin(), headers.end(), leftHeaderText.toStdString()) - headers.begin();
        return model.mappings()[static_cast<std::size_t>(column)];
    }

    // Chooses a drop-down entry as the user does: the list's choice announces itself as activated.
    void choose(QComboBox* box, const QString& entry)
    {
        const int position = box->findText(entry);
        ASSERT_GE(position, 0) << entry.toStdString();
        box->setCurrentIndex(position);
        emit box->activated(position);
    }

    bool isWarningShown() const { return find<QWidget>("noKeyWarning")->isVisibleTo(&window); }
    QStackedWidget* listArea() const { return find<QStackedWidget>("mappingListArea"); }
    QLineEdit* search() const { return find<QLineEdit>("mappingSearchField"); }
};

TEST_F(MappingScreenTest, SampleFilesListEveryColumnWithItsChipsAndChosenColumn)
{
    loadSamples();
    EXPECT_TRUE(find<QWidget>("mappingScreen")->isVisible());
    const QStringList headers{"sku", "name", "price", "city", "notes"};
    EXPECT_EQ(listedNames(), headers);
    for (const QString& header : headers) {
        EXPECT_EQ(picker(header)->currentText(), header);
        const QList<SuggestionChip*> chips = shownChips(header);
        ASSERT_FALSE(chips.isEmpty()) << header.toStdString();
        EXPECT_EQ(chips.front()->header(), header);
        EXPECT_TRUE(chips.front()->isSelected());
        const HeaderSuggestion& best = model.suggestions()[static_cast<std::size_t>(headers.indexOf(header))][0];
        EXPECT_EQ(chips.front()->strength(), strengthText(best.score));
        EXPECT_EQ(chips.front()->toolTip(), plainToolTip(suggestionHelp(best.reason)));
    }
    EXPECT_EQ(labelText("leftHeading"), model.leftName());
    EXPECT_EQ(labelText("rightHeading"), model.rightName());
    EXPECT_EQ(labelText("keyHeading"), "KEY");
    EXPECT_EQ(labelText("compareHeading"), "COMPARE");
    EXPECT_EQ(labelText("mappingTitle"), "Match your columns");
    EXPECT_EQ(search()->placeholderText(), "Find a column…");
}

TEST_F(MappingScreenTest, RowsReachAssistiveTechnologyAsItemsWithTheirNamedControls)
{
    loadSamples();
    QAccessibleInterface* columns = QAccessible::queryAccessibleInterface(list());
    ASSERT_NE(columns, nullptr);
    QStringList items;
    QAccessibleInterface* price = nullptr;
    for (int index = 0; index < columns->childCount(); ++index) {
        QAccessibleInterface* item = columns->child(index);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->role(), QAccessible::ListItem);
        EXPECT_EQ(item->parent(), columns);
        EXPECT_EQ(columns->indexOfChild(item), index);
        items << item->text(QAccessible::Name);
        if (item->text(QAccessible::Name) == "price")
            price = item;
    }
    EXPECT_EQ(items, listedNames());
    ASSERT_NE(price, nullptr);

    std::vector<AccessibleNode> found;
    collectAccessibleNodes(price, found);
    const QString chip = "price, " + strengthText(model.suggestions()[2][0].score);
    EXPECT_THAT(found, ::testing::IsSupersetOf<std::vector<AccessibleNode>>({
                           {QAccessible::CheckBox, "Row key for price"},
                           {QAccessible::CheckBox, "Compare price"},
                           {QAccessible::StaticText, "price"},
                           {QAccessible::Button, chip},
                           {QAccessible::ComboBox, "Match for price"},
                       }));
}

TEST_F(MappingScreenTest, TabFollowsTheScreenTopToBottom)
{
    loadSamples();
    QList<QWidget*> expected{find<QWidget>("resetSuggestionsButton")};
    for (MappingRow* row : list()->openRows())
        for (QWidget* control : row->focusOrder())
            if (control->isVisibleTo(row) && control->isEnabled())
                expected << control;
    ASSERT_EQ(list()->openRows().size(), rowCount());
    expected << find<QWidget>("ignoreCaseBox") << find<QWidget>("mainActionButton");
    EXPECT_EQ(tabWalk(search(), static_cast<int>(expected.size())), expected);
}

// Headers of one unbroken 5 MB token: each screen element shows and measures only their start, and
// copying the column name by keyboard still copies all of it.
TEST_F(MappingScreenTest, EnormousHeadersAreShownShortAndCopiedWhole)
{
    const std::string enormous(5'000'000, 'x');
    const auto twoColumns = [](const std::string& header) { return "id," + header + "\n1,alpha\n2,beta\n3,gamma\n"; };
    const auto isShort = [](const QString& text) { return text.size() <= 2 * shownTextLength; };

    loadFiles(twoColumns(enormous), twoColumns("memo"));
    MappingRow* row = list()->rowWidget(1);
    ASSERT_NE(row, nullptr);
    auto* name = row->findChild<QLabel*>("leftName");
    EXPECT_TRUE(isShort(name->text()));
    EXPECT_TRUE(name->text().startsWith("xxx"));
    EXPECT_TRUE(isShort(row->findChild<QCheckBox*>("keyBox")->accessibleName()));
    QApplication::clipboard()->clear();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    name->setFocus(Qt::TabFocusReason);
    QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(name, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().size(), static_cast<qsizetype>(enormous.size()));

    loadFiles(twoColumns("memo"), twoColumns(enormous));
    row = list()->rowWidget(1);
    ASSERT_NE(row, nullptr);
    const QList<SuggestionChip*> chips = row->findChildren<SuggestionChip*>();
    ASSERT_FALSE(chips.isEmpty());
    EXPECT_TRUE(isShort(chips.front()->header()));
    const auto* entries = row->findChild<QComboBox*>("matchPicker");
    ASSERT_EQ(entries->count(), 3);
    EXPECT_TRUE(isShort(entries->itemText(2)));
}

TEST_F(MappingScreenTest, WarningAppearsWithoutAMappedKeyAndGoesWithOne)
{
    loadSamples();
    ASSERT_FALSE(isWarningShown());
    for (const QString& name : listedNames())
        if (keyBox(name)->isChecked())
            QTest::mouseClick(keyBox(name), Qt::LeftButton);
    EXPECT_TRUE(isWarningShown());
    EXPECT_EQ(labelText("noKeyWarningText"), "Select at least one mapped row key before comparing.");
    QTest::mouseClick(keyBox("name"), Qt::LeftButton);
    EXPECT_TRUE(mappingOf("name").isKey);
    EXPECT_FALSE(isWarningShown());
}

TEST_F(MappingScreenTest, EmptyHeaderIsListedByItsPosition)
{
    loadFiles("id,,name\n1,a,b\n2,c,d\n", "id,name\n1,b\n2,d\n");
    EXPECT_EQ(listedNames(), QStringList({"id", "Unnamed column 2", "name"}));
    EXPECT_EQ(part<QLabel>("Unnamed column 2", "leftName")->text(), "Unnamed column 2");
}

TEST_F(MappingScreenTest, JSONObjectColumnOffersOnlyJSONObjectColumns)
{
    const std::string object = "\"{\"\"city\"\":\"\"Oslo\"\",\"\"zip\"\":\"\"0150\"\"}\"";
    loadFiles("id,address\n1," + object + "\n", "id,location,name,origin\n1," + object + ",a," + object + "\n");
    EXPECT_EQ(entriesOf(*picker("address")), QStringList({"Not mapped", "location", "origin"}));
    const auto captions = [this](const QString& rowName) {
        MappingRow* row = rowNamed(rowName);
        return std::pair(row->findChild<QWidget*>("jsonCaption")->isVisibleTo(row),
                         row->findChild<QWidget*>("derivedCaption")->isVisibleTo(row));
    };
    EXPECT_EQ(captions("address"), std::pair(true, false));
    ASSERT_TRUE(model.left()->table.derivedColumnIndices().contains(2));
    EXPECT_EQ(captions(listedNames().at(2)), std::pair(false, true));
}

TEST_F(MappingScreenTest, CountLineFollowsTheCompareBoxes)
{
    const std::vector<std::string> headers{"id", "name", "email", "city", "amount", "phone", "country", "notes"};
    loadFiles(csvText(headers), csvText(headers));
    EXPECT_EQ(labelText("includedCount"), "8 of 8 included");
    for (const char* header : {"phone", "country", "notes"})
        QTest::mouseClick(compareBox(header), Qt::LeftButton);
    EXPECT_EQ(labelText("includedCount"), "5 of 8 included");
    EXPECT_FALSE(mappingOf("notes").isIncluded);
}

TEST(MappingText, StrengthIsTheScoreInHundredthsTruncated)
{
    const std::vector<std::pair<double, QString>> cases{
        {0.987, "98%"}, {1.0, "100%"}, {0.0, "0%"}, {0.5, "50%"}, {0.999, "99%"},
    };
    for (const auto& [score, expected] : cases)
        EXPECT_EQ(strengthText(score), expected) << score;
}

TEST_F(MappingScreenTest, AtMostThreeChipsAndOnlyTheFirstWhenTheyDoNotFit)
{
    loadFiles(csvText({"customer_name", "id"}),
              csvText({"customer_name", "customer_name_2", "customer_names", "customer_name_old", "id"}));
    ASSERT_GE(model.suggestions()[0].size(), 4u);
    EXPECT_EQ(shownChips("customer_name").size(), 3);

    const std::string longName(90, 'x');
    loadFiles(csvText({"customer_name" + longName, "id"}),
              csvText({"customer_name" + longName, "customer_name_2" + longName, "customer_names" + longName, "id"}));
    ASSERT_GE(model.suggestions()[0].size(), 2u);
    EXPECT_EQ(shownChips(QString::fromStdString("customer_name" + longName)).size(), 1);
}

TEST_F(MappingScreenTest, ChipClickMapsItsColumnEvenWhenSelected)
{
    loadFiles(csvText({"customer_name", "id"}), csvText({"customer_name", "customer_names", "id"}));
    QList<SuggestionChip*> chips = shownChips("customer_name");
    ASSERT_GE(chips.size(), 2);
    QTest::mouseClick(chips[1], Qt::LeftButton);
    const std::int64_t second = model.suggestions()[0][1].rightIndex;
    EXPECT_EQ(mappingOf("customer_name").rightIndex, second);
    EXPECT_TRUE(chips[1]->isSelected());
    EXPECT_FALSE(chips[0]->isSelected());
    EXPECT_EQ(model.notice(), "Mapping updated.");

    QTest::mouseClick(chips[1], Qt::LeftButton);
    EXPECT_TRUE(mappingOf("customer_name").isManual);
    EXPECT_EQ(mappingOf("customer_name").rightIndex, second);
}

TEST_F(MappingScreenTest, KeyBoxAlsoChecksAndLocksTheCompareBox)
{
    loadSamples();
    QTest::mouseClick(compareBox("price"), Qt::LeftButton);
    ASSERT_FALSE(compareBox("price")->isChecked());
    QTest::mouseClick(keyBox("price"), Qt::LeftButton);
    EXPECT_TRUE(keyBox("price")->isChecked());
    EXPECT_TRUE(compareBox("price")->isChecked());
    EXPECT_FALSE(compareBox("price")->isEnabled());
    EXPECT_TRUE(mappingOf("price").isIncluded);
    EXPECT_EQ(part<QLabel>("price", "leftName")->font().weight(), QFont::DemiBold);
}

TEST_F(MappingScreenTest, UnmappedRowDisablesItsBoxesButKeepsItsChips)
{
    loadSamples();
    choose(picker("city"), "Not mapped");
    EXPECT_FALSE(mappingOf("city").rightIndex.has_value());
    EXPECT_EQ(picker("city")->currentText(), "Not mapped");
    EXPECT_FALSE(keyBox("city")->isEnabled());
    EXPECT_FALSE(compareBox("city")->isEnabled());
    EXPECT_FALSE(compareBox("city")->isChecked());
    const QList<SuggestionChip*> chips = shownChips("city");
    ASSERT_FALSE(chips.isEmpty());
    EXPECT_FALSE(chips.front()->isSelected());

    QTest::mouseClick(chips.front(), Qt::LeftButton);
    EXPECT_EQ(picker("city")->currentText(), "city");
    EXPECT_TRUE(keyBox("city")->isEnabled());
}

TEST_F(MappingScreenTest, SearchFindsRowsByTheirOwnOrTheirMappedHeader)
{
    loadSamples();
    QTest::keyClicks(search(), "   ");
    EXPECT_EQ(model.mappingSearch(), "   ");
    EXPECT_EQ(rowCount(), 5);
    search()->clear();
    choose(picker("notes"), "city");
    EXPECT_EQ(mappingOf("notes").rightIndex, 3);
    choose(picker("city"), "Not mapped");
    QTest::keyClicks(search(), " CIT ");
    EXPECT_EQ(listedNames(), QStringList({"city", "notes"}));

    search()->setText("Pric");
    EXPECT_EQ(listedNames(), QStringList({"price"}));
    EXPECT_EQ(listArea()->currentWidget(), list());

    search()->setText("zebra");
    EXPECT_EQ(rowCount(), 0);
    EXPECT_TRUE(find<QLabel>("mappingEmptyText")->isVisible());
    EXPECT_EQ(labelText("mappingEmptyText"), "No columns match your search.");
    model.setMappingSearch(QString());
    EXPECT_EQ(search()->text(), QString());
    EXPECT_EQ(rowCount(), 5);
}

TEST_F(MappingScreenTest, IgnoreCaseBoxFollowsAndSetsTheModel)
{
    loadSamples();
    auto* box = find<QCheckBox>("ignoreCaseBox");
    EXPECT_EQ(box->text(), "Ignore letter case");
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(model.ignoreCase());
    model.setIgnoreCase(false);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(find<QLabel>("normalizationNote")->toolTip(),
              "Normalization can hide formatting differences. Original values are kept for inspection and export.");
}

TEST_F(MappingScreenTest, ResetSuggestionsReanalyzesKeepingTheSearch)
{
    loadSamples();
    choose(picker("notes"), "city");
    ASSERT_TRUE(mappingOf("notes").isManual);
    search()->setText("price");
    QTest::mouseClick(find<QPushButton>("resetSuggestionsButton"), Qt::LeftButton);
    ASSERT_TRUE(model.isBusy());
    EXPECT_FALSE(find<QWidget>("mappingScreen")->isEnabled());
    EXPECT_TRUE(find<QLabel>("mappingEmptyText")->isVisible());
    EXPECT_EQ(labelText("mappingEmptyText"), "Analyzing columns…");
    waitUntilIdle();
    EXPECT_TRUE(find<QWidget>("mappingScreen")->isEnabled());
    EXPECT_FALSE(find<QLabel>("mappingEmptyText")->isVisible());
    EXPECT_EQ(search()->text(), "price");
    EXPECT_EQ(listedNames(), QStringList({"price"}));
    search()->clear();
    EXPECT_FALSE(mappingOf("notes").isManual);
    EXPECT_EQ(picker("notes")->currentText(), "notes");
}

TEST_F(MappingScreenTest, ListModelStaysConsistentThroughEdits)
{
    loadSamples();
    QAbstractItemModelTester tester(rows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    search()->setText("i");
    choose(picker("price"), "Not mapped");
    search()->setText(QString());
    QTest::mouseClick(compareBox("notes"), Qt::LeftButton);
    model.analyze();
    waitUntilIdle();
    EXPECT_EQ(rowCount(), 5);
}

TEST_F(MappingScreenTest, BoxClickUpdatesItsRowInPlace)
{
    loadSamples();
    QSignalSpy resets(rows(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(rows(), &QAbstractItemModel::dataChanged);
    MappingRow* before = rowNamed("notes");
    QTest::mouseClick(compareBox("notes"), Qt::LeftButton);
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.front().at(0).value<QModelIndex>().row(), 4);
    EXPECT_EQ(rowNamed("notes"), before);
}

TEST_F(MappingScreenTest, WideFileOpensOnlyTheRowsInView)
{
    std::vector<std::string> headers;
    for (int column = 0; column < 1000; ++column)
        headers.push_back("field_" + std::to_string(column));
    // A narrow File B keeps the analysis short; there is still one mapping per column of File A.
    loadFiles(csvText(headers, 3), csvText({"field_0", "field_1"}, 3));
    ASSERT_EQ(rowCount(), 1000);
    const int open = static_cast<int>(list()->findChildren<MappingRow*>().size());
    EXPECT_GT(open, 0);
    EXPECT_LT(open, 40);
    ASSERT_NE(list()->rowWidget(0), nullptr);
    EXPECT_EQ(list()->rowWidget(999), nullptr);
    const auto pickerOf = [this](int row) { return list()->rowWidget(row)->findChild<QComboBox*>("matchPicker"); };
    EXPECT_EQ(pickerOf(0)->model(), pickerOf(1)->model());

    list()->scrollToBottom();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_NE(list()->rowWidget(999), nullptr);
    EXPECT_EQ(list()->rowWidget(0), nullptr);
    EXPECT_LT(list()->findChildren<MappingRow*>().size(), 40);
}

TEST_F(MappingScreenTest, TabWalksOnPastTheVisibleRowsAndScrolls)
{
    loadSixtyColumnsInAnActiveWindow();

    const QModelIndex bottom = list()->indexAt(QPoint(0, list()->viewport()->height() - 1));
    ASSERT_TRUE(bottom.isValid());
    const int next = bottom.row() + 1;
    list()->rowWidget(bottom.row())->focusOrder().back()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_NE(list()->rowWidget(next), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), list()->rowWidget(next)->focusOrder().front());
    EXPECT_TRUE(list()->viewport()->rect().contains(list()->visualRect(rows()->index(next, 0))));
}

TEST_F(MappingScreenTest, BacktabWalksBackIntoRowsOpenedWhileScrollingUp)
{
    loadSixtyColumnsInAnActiveWindow();
    list()->scrollTo(rows()->index(40, 0), QAbstractItemView::PositionAtTop);
    // Row by row upwards, so each new row is made after the rows below it.
    QScrollBar* bar = list()->verticalScrollBar();
    const int rowHeight = list()->visualRect(rows()->index(0, 0)).height();
    for (int step = 0; step < 10; ++step)
        bar->setValue(bar->value() - rowHeight);

    const int top = list()->indexAt(QPoint(0, 0)).row();
    ASSERT_GT(top, 0);
    list()->rowWidget(top)->focusOrder().front()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    ASSERT_NE(list()->rowWidget(top - 1), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), list()->rowWidget(top - 1)->focusOrder().back());
    EXPECT_TRUE(list()->viewport()->rect().contains(list()->visualRect(rows()->index(top - 1, 0))));
}

TEST_F(MappingScreenTest, ScrollingAwayFromTheFocusedRowStaysWhereTheUserScrolled)
{
    loadSixtyColumnsInAnActiveWindow();
    list()->rowWidget(0)->focusOrder().front()->setFocus();

    QScrollBar* bar = list()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    EXPECT_EQ(bar->value(), bar->maximum() / 2);
    EXPECT_EQ(list()->rowWidget(0), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), list());
}

}  // namespace
}  // namespace rowlark::ui::testing
