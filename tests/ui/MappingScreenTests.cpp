#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QClipboard>
#include <QLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "tests/ui/MappingTesting.h"
#include "ui/mapping/MappingText.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::testing {
namespace {

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

// The chips are fitted again whenever their strip is resized: all of them at exactly the width they
// need side by side, only the best one a pixel short of it.
TEST_F(MappingScreenTest, ChipsAreRefittedWhenTheirStripIsResized)
{
    loadFiles(csvText({"customer_name", "id"}), csvText({"customer_name", "customer_name_2", "customer_names", "id"}));
    auto* strip = part<QWidget>("customer_name", "chipStrip");
    ASSERT_NE(strip, nullptr);
    const auto shownCount = [&] { return static_cast<int>(shownChips("customer_name").size()); };
    strip->resize(10000, strip->height());
    const int count = shownCount();
    ASSERT_GE(count, 2);
    int needed = -strip->layout()->spacing();
    for (int chip = 0; chip < count; ++chip)
        needed += shownChips("customer_name")[chip]->sizeHint().width() + strip->layout()->spacing();
    strip->resize(needed - 1, strip->height());
    EXPECT_EQ(shownCount(), 1);
    strip->resize(needed, strip->height());
    EXPECT_EQ(shownCount(), count);
}

TEST_F(MappingScreenTest, ChipsExplainTheirSuggestionAndRowsReachAssistiveTechnology)
{
    loadSamples();
    for (int row = 0; row < rowCount(); ++row) {
        const QList<widgets::SuggestionChip*> chips = shownChips(listedNames()[row]);
        ASSERT_FALSE(chips.isEmpty()) << row;
        const records::HeaderSuggestion& best = model.suggestions()[static_cast<std::size_t>(row)][0];
        EXPECT_EQ(chips.front()->strength(), mapping::strengthText(best.score));
        EXPECT_EQ(chips.front()->toolTip(), widgets::plainToolTip(mapping::suggestionHelp(best.reason)));
    }
    EXPECT_EQ(search()->placeholderText(), "Find a column…");

    // Rows reach assistive technology as items with their named controls.
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
    const QString chip = "price, " + mapping::strengthText(model.suggestions()[2][0].score);
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
    for (mapping::MappingRow* row : list()->openRows())
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
    const auto isShort = [](const QString& text) { return text.size() <= 2 * widgets::shownTextLength; };

    loadFiles(twoColumns(enormous), twoColumns("memo"));
    mapping::MappingRow* row = list()->rowWidget(1);
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
    const QList<widgets::SuggestionChip*> chips = row->findChildren<widgets::SuggestionChip*>();
    ASSERT_FALSE(chips.isEmpty());
    EXPECT_TRUE(isShort(chips.front()->header()));
    const auto* entries = row->findChild<QComboBox*>("matchPicker");
    ASSERT_EQ(entries->count(), 3);
    EXPECT_TRUE(isShort(entries->itemText(2)));
}

TEST(MappingText, StrengthIsTheScoreInHundredthsTruncated)
{
    const std::vector<std::pair<double, QString>> cases{
        {0.987, "98%"}, {1.0, "100%"}, {0.0, "0%"}, {0.5, "50%"}, {0.999, "99%"},
    };
    for (const auto& [score, expected] : cases)
        EXPECT_EQ(mapping::strengthText(score), expected) << score;
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
    mapping::MappingRow* before = rowNamed("notes");
    QTest::mouseClick(compareBox("notes"), Qt::LeftButton);
    EXPECT_EQ(resets.count(), 0);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.front().at(0).value<QModelIndex>().row(), 4);
    EXPECT_EQ(rowNamed("notes"), before);
}

// A new analysis (new files, swapped files) lists its mappings from the key row, wherever the list was
// scrolled before.
TEST_F(MappingScreenTest, ANewAnalysisShowsTheListFromTheKeyRow)
{
    // Sixty columns, the key "id" the 41st; the others hold the same "x" in each of the six rows.
    std::string left;
    for (int row = 0; row <= 6; ++row) {
        for (int column = 0; column < 60; ++column) {
            const std::string header = column == 40 ? "id" : "field_" + std::to_string(column);
            const std::string value = column == 40 ? std::to_string(row) : "x";
            left += (column ? "," : "") + (row == 0 ? header : value);
        }
        left += '\n';
    }
    loadFiles(left, left);
    ASSERT_TRUE(model.mappings()[40].isKey);
    const auto keyRowTop = [this] { return list()->visualRect(rows()->index(40, 0)).top(); };
    EXPECT_EQ(keyRowTop(), 0);
    list()->scrollToBottom();
    EXPECT_NE(keyRowTop(), 0);
    model.swapFiles();
    waitUntilIdle();
    EXPECT_EQ(keyRowTop(), 0);
    list()->scrollToTop();
    model.setIncluded(model.mappings()[3].id, false);
    EXPECT_NE(keyRowTop(), 0) << "an edit leaves the list where it is";
}

TEST_F(MappingScreenTest, WideFileOpensOnlyTheRowsInView)
{
    std::vector<std::string> headers;
    for (int column = 0; column < 1000; ++column)
        headers.push_back("field_" + std::to_string(column));
    // A narrow File B keeps the analysis short; there is still one mapping per column of File A.
    loadFiles(csvText(headers, 3), csvText({"field_0", "field_1"}, 3));
    ASSERT_EQ(rowCount(), 1000);
    const int open = static_cast<int>(list()->findChildren<mapping::MappingRow*>().size());
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
    EXPECT_LT(list()->findChildren<mapping::MappingRow*>().size(), 40);
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
