#include <algorithm>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include "tests/ui/ResultsTesting.h"
#include "ui/results/ColumnChangesModel.h"
#include "ui/results/ResultCounter.h"
#include "ui/results/ResultPageModel.h"
#include "ui/results/ResultTexts.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::testing {
namespace {

class ResultsScreenTest : public ResultsTest {
protected:
    QListView* list() const { return find<QListView>(QStringLiteral("resultList")); }
    QListView* columnList() const { return find<QListView>(QStringLiteral("columnChangesList")); }
    QPushButton* columnChip() const { return find<QPushButton>(QStringLiteral("changedColumnChip")); }
    void clickColumn(int row)
    {
        const QRect place = columnList()->visualRect(columnList()->model()->index(row, 0));
        QTest::mouseClick(columnList()->viewport(), Qt::LeftButton, {}, place.center());
    }
};

// The selected record's card is filled with the accent colour; the others are not.
TEST_F(ResultsScreenTest, TheSelectedCardIsFilledWithTheAccentColour)
{
    window.resize(1000, 700);
    window.show();
    compareSamples();
    selectDifference(0);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !list()->selectionModel()->selectedIndexes().isEmpty(); }, 5000));
    const QModelIndex selected = list()->selectionModel()->selectedIndexes().constFirst();
    const QModelIndex other = list()->model()->index(selected.row() == 0 ? 1 : 0, 0);
    const QImage picture = list()->viewport()->grab().toImage();
    const auto accentShare = [&](const QModelIndex& index) {
        const QRect card = list()->visualRect(index).intersected(picture.rect());
        int accent = 0;
        for (int y = card.top(); y <= card.bottom(); ++y)
            for (int x = card.left(); x <= card.right(); ++x)
                accent += picture.pixelColor(x, y) == widgets::accentColor() ? 1 : 0;
        return static_cast<double>(accent) / std::max(1, card.width() * card.height());
    };
    EXPECT_GT(accentShare(selected), 0.5);
    EXPECT_LT(accentShare(other), 0.05);
}

TEST_F(ResultsScreenTest, LongFileNamesGiveWayInsideTheWindow)
{
    const QString longName = QStringLiteral("quarterly-customer-export-from-the-old-billing-system-2026-11-30.csv");
    model.load(writeFile(longName, "id,v\n1,a\n2,b\n"), true);
    waitUntilIdle();
    model.load(writeFile(QStringLiteral("x") + longName, "id,v\n1,b\n3,b\n"), false);
    waitUntilIdle();
    compareLoaded();
    const auto* onlyLeft = find<results::ResultCounter>(QStringLiteral("onlyLeftCounter"));
    EXPECT_EQ(onlyLeft->findChild<QLabel*>(QStringLiteral("counterLabel"))->text(),
              QStringLiteral("Only in ") + longName);
    auto* search = find<QLineEdit>(QStringLiteral("resultSearchField"));
    EXPECT_LE(search->mapTo(&window, QPoint(search->width(), 0)).x(), window.width());
    EXPECT_LE(find<QComboBox>(QStringLiteral("resultFilterPicker"))->width(), 480);
    const QLabel* matching = find<results::ResultCounter>(QStringLiteral("matchingCounter"))
                                 ->findChild<QLabel*>(QStringLiteral("counterLabel"));
    EXPECT_GE(matching->width(), matching->sizeHint().width());
}

TEST_F(ResultsScreenTest, ListTextsHoldOnlyTheStartOfAVeryLongKeyOrHeader)
{
    auto summary = std::make_shared<records::ComparisonSummary>();
    records::RowDifference row;
    row.id = records::UUID::random();
    row.key = std::string(1'000'000, 'k');
    row.status = records::DiffStatus::changed;
    row.cells.push_back({records::UUID::random(), std::string(1'000'000, 'h'), "b", "x", "y"});
    summary->differences.push_back(row);
    results::ResultPageModel page;
    page.setPage(summary, {0}, QStringLiteral("a.csv"), QStringLiteral("b.csv"));
    const QModelIndex index = page.index(0);
    for (const int role : {int(results::ResultPageModel::keyRole), int(results::ResultPageModel::captionRole),
                           int(Qt::DisplayRole), int(Qt::AccessibleTextRole)}) {
        const QString text = index.data(role).toString();
        EXPECT_LT(text.size(), 2 * results::captionTextLength) << "role " << role;
        EXPECT_TRUE(text.contains(QChar(0x2026))) << "role " << role;
    }
}

TEST_F(ResultsScreenTest, ClickOrDownArrowSelectsARecordAndTheInspectorFollows)
{
    compareSamples();
    const QRect third = list()->visualRect(list()->model()->index(2, 0));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(model.selectedRowID(), model.summary()->differences[2].id);
    EXPECT_EQ(find<QLabel>(QStringLiteral("inspectorKey"))->text(), QStringLiteral("SK-003"));
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(model.selectedRowID(), model.summary()->differences[3].id);
    EXPECT_EQ(find<QLabel>(QStringLiteral("inspectorKey"))->text(), QStringLiteral("SK-005"));
}

TEST_F(ResultsScreenTest, ClearButtonOfTheSearchFieldClearsTheQuery)
{
    compareSamples();
    auto* search = find<QLineEdit>(QStringLiteral("resultSearchField"));
    QTest::keyClicks(search, QStringLiteral("lamp"));
    auto* clear = search->findChild<QAction*>(QStringLiteral("_q_qlineeditclearaction"));
    ASSERT_NE(clear, nullptr);
    QToolButton* button = nullptr;
    for (QToolButton* candidate : search->findChildren<QToolButton*>())
        if (candidate->defaultAction() == clear)
            button = candidate;
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(model.query(), QString());
}

TEST_F(ResultsScreenTest, TabVisitsTheScreenTopToBottomThenTheInspector)
{
    compareFiles(recordsHolding(250, "x"), recordsHolding(250, "y"));
    auto* mainButton = find<QWidget>(QStringLiteral("mainActionButton"));
    auto* screen = find<QWidget>(QStringLiteral("resultsScreen"));
    QList<QWidget*> visited;
    for (QWidget* control : tabWalk(mainButton, 30)) {
        if (control == mainButton)
            break;
        if (screen->isAncestorOf(control))
            visited << control;
    }
    ASSERT_GT(visited.size(), 5);
    EXPECT_EQ(visited.mid(0, 5), QList<QWidget*>({find<QWidget>(QStringLiteral("resultSearchField")),
                                                  find<QWidget>(QStringLiteral("resultFilterPicker")), columnList(),
                                                  list(), find<QWidget>(QStringLiteral("nextPageButton"))}));
    for (QWidget* control : visited.mid(5))
        EXPECT_TRUE(inspector()->isAncestorOf(control)) << control->objectName().toStdString();
    QTest::keyClick(visited[4], Qt::Key_Space);
    EXPECT_EQ(model.pageNumber(), 1);
}

// Sample columns: sku (the key), name, price, city, notes; SK-001 changed its price and notes, SK-003
// its city: three columns changed once each, listed in mapping order.
TEST_F(ResultsScreenTest, ChangesByColumnNarrowTheListByClickOrKeyAndOneClickShowsEveryColumn)
{
    compareSamples();
    ASSERT_TRUE(find<QWidget>(QStringLiteral("columnChangesPanel"))->isVisible());
    const QAbstractItemModel* columns = columnList()->model();
    QStringList shown;
    for (int row = 0; row < columns->rowCount(); ++row)
        shown << columns->index(row, 0).data().toString() + QLatin1Char(' ') +
                     columns->index(row, 0).data(results::ColumnChangesModel::shareTextRole).toString();
    EXPECT_EQ(shown, QStringList({"price 50%", "city 50%", "notes 50%"}));
    EXPECT_FALSE(columnChip()->isVisible());

    clickColumn(1);
    waitForFilter();
    EXPECT_EQ(model.changedColumn(), 3u);
    EXPECT_EQ(labelText(QStringLiteral("resultCount")), QStringLiteral("1 result"));
    EXPECT_TRUE(columnChip()->isVisible());
    EXPECT_THAT(columnChip()->text().toStdString(), ::testing::StartsWith("Changed in city"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("inspectorKey"))->text(), QStringLiteral("SK-003"));

    columnList()->setFocus();
    QTest::keyClick(columnList(), Qt::Key_Down);
    QTest::keyClick(columnList(), Qt::Key_Space);
    waitForFilter();
    EXPECT_EQ(model.changedColumn(), 4u);
    model.setFilter(records::ResultFilter::onlyLeft);
    waitForFilter();
    EXPECT_EQ(labelText(QStringLiteral("resultCount")), QStringLiteral("0 results"));
    EXPECT_TRUE(columnList()->isVisible()) << "the panel stays to choose another column";

    QTest::mouseClick(columnChip(), Qt::LeftButton);
    EXPECT_EQ(model.changedColumn(), std::nullopt);
    EXPECT_FALSE(columnChip()->isVisible());
    model.setFilter(records::ResultFilter::all);
    clickColumn(0);
    clickColumn(0);
    EXPECT_EQ(model.changedColumn(), std::nullopt) << "choosing the chosen column again shows every column";
    waitForFilter();
    EXPECT_EQ(labelText(QStringLiteral("resultCount")), QStringLiteral("4 results"));
}

// 300 changed columns scroll inside the panel; the columns of one file only are named, the first
// few with a count of the rest.
TEST_F(ResultsScreenTest, ManyChangedColumnsScrollAndColumnsInOneFileAreNamed)
{
    std::string left = "id";
    std::string right = "id";
    std::string leftValues = "\n1";
    std::string rightValues = "\n1";
    for (int column = 1; column <= 300; ++column) {
        left += ",field" + std::to_string(column);
        right += ",field" + std::to_string(column);
        leftValues += ",a" + std::to_string(column);
        rightValues += ",b" + std::to_string(column);
    }
    for (int column = 1; column <= 10; ++column) {
        left += ",dropped" + std::to_string(column);
        leftValues += ",gone";
    }
    left += leftValues + "\n";
    right += ",added" + rightValues + ",new\n";
    compareFiles(left, right);
    EXPECT_EQ(columnList()->model()->rowCount(), 300);
    EXPECT_TRUE(columnList()->verticalScrollBar()->isVisible());
    EXPECT_LE(find<QWidget>(QStringLiteral("columnChangesPanel"))->height(), window.height());
    EXPECT_EQ(labelText(QStringLiteral("columnsInOneFileText")),
              QStringLiteral("Columns only in before.csv: dropped1, dropped2, dropped3, dropped4, dropped5, dropped6, "
                             "dropped7, dropped8 and 2 more\nColumns only in after.csv: added"));
}

TEST_F(ResultsScreenTest, ListModelPassesTheModelTester)
{
    compareFiles(recordsHolding(250, "x"), recordsHolding(250, "y"));
    QAbstractItemModelTester tester(list()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.changePage(+1);
    model.setFilter(records::ResultFilter::onlyLeft);
    waitForFilter();
    EXPECT_EQ(list()->model()->rowCount(), 0);
}

}  // namespace
}  // namespace rowlark::ui::testing
