#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>

#include "ResultsTesting.h"
#include "results/ResultCounter.h"
#include "results/ResultPageModel.h"
#include "results/ResultTexts.h"

namespace rowlark::ui::testing {
namespace {

class ResultsScreenTest : public ResultsTest {
protected:
    QString counterText(const QString& name) const
    {
        auto* counter = find<ResultCounter>(name);
        return counter->findChild<QLabel*>(QStringLiteral("counterNumber"))->text() + QLatin1Char(' ') +
               counter->findChild<QLabel*>(QStringLiteral("counterLabel"))->text();
    }
    QStringList filterTitles() const
    {
        QStringList titles;
        auto* picker = find<QComboBox>(QStringLiteral("resultFilterPicker"));
        for (int i = 0; i < picker->count(); ++i)
            titles << picker->itemText(i);
        return titles;
    }
    QWidget* shownContent() const { return find<QStackedWidget>(QStringLiteral("resultsContent"))->currentWidget(); }
    QString pageText() const { return find<QLabel>(QStringLiteral("pageLabel"))->text(); }
    QListView* list() const { return find<QListView>(QStringLiteral("resultList")); }
    QStringList listedKeys() const
    {
        QStringList keys;
        for (int row = 0; row < list()->model()->rowCount(); ++row)
            keys << list()->model()->index(row, 0).data(ResultPageModel::keyRole).toString();
        return keys;
    }
    QString rowText(int row, int role) const { return list()->model()->index(row, 0).data(role).toString(); }
    bool enabled(const QString& button) const { return find<QPushButton>(button)->isEnabled(); }
    void typeSearch(const QString& text)
    {
        QTest::keyClicks(find<QLineEdit>(QStringLiteral("resultSearchField")), text);
    }
    void clearSearch()
    {
        auto* search = find<QLineEdit>(QStringLiteral("resultSearchField"));
        search->selectAll();
        QTest::keyClick(search, Qt::Key_Delete);
    }
    std::string manyChanged(int count, const char* value) const
    {
        std::string text = "id,value\n";
        for (int id = 1; id <= count; ++id)
            text += std::to_string(id) + "," + value + "\n";
        return text;
    }
};

TEST_F(ResultsScreenTest, CountersDescribeTheWholeSampleResult)
{
    compareSamples();
    EXPECT_EQ(counterText(QStringLiteral("matchingCounter")), QStringLiteral("1 Matching"));
    EXPECT_EQ(counterText(QStringLiteral("changedCounter")), QStringLiteral("2 Changed"));
    EXPECT_EQ(counterText(QStringLiteral("onlyLeftCounter")), QStringLiteral("1 Only in catalog-before.csv"));
    EXPECT_EQ(counterText(QStringLiteral("onlyRightCounter")), QStringLiteral("1 Only in catalog-after.csv"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("resultCount"))->text(), QStringLiteral("4 results"));
    EXPECT_EQ(pageText(), QStringLiteral("Page 1 of 1"));
}

TEST_F(ResultsScreenTest, CountersStayWhenTheFilterNarrowsTheList)
{
    compareSamples();
    model.setFilter(ResultFilter::onlyRight);
    waitForFilter();
    EXPECT_EQ(listedKeys(), QStringList({QStringLiteral("SK-005")}));
    EXPECT_EQ(counterText(QStringLiteral("changedCounter")), QStringLiteral("2 Changed"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("resultCount"))->text(), QStringLiteral("1 results"));
}

TEST_F(ResultsScreenTest, LongFileNamesGiveWayInsideTheWindow)
{
    const QString longName = QStringLiteral("quarterly-customer-export-from-the-old-billing-system-2026-11-30.csv");
    model.load(writeFile(longName, "id,v\n1,a\n2,b\n"), true);
    waitUntilIdle();
    model.load(writeFile(QStringLiteral("x") + longName, "id,v\n1,b\n3,b\n"), false);
    waitUntilIdle();
    compareLoaded();
    EXPECT_EQ(counterText(QStringLiteral("onlyLeftCounter")), QStringLiteral("1 Only in ") + longName);
    auto* search = find<QLineEdit>(QStringLiteral("resultSearchField"));
    EXPECT_LE(search->mapTo(&window, QPoint(search->width(), 0)).x(), window.width());
    EXPECT_LE(find<QComboBox>(QStringLiteral("resultFilterPicker"))->width(), 480);
    const QLabel* matching =
        find<ResultCounter>(QStringLiteral("matchingCounter"))->findChild<QLabel*>(QStringLiteral("counterLabel"));
    EXPECT_GE(matching->width(), matching->sizeHint().width());
}

TEST_F(ResultsScreenTest, FilterPickerNamesTheFilesAndSetsTheFilter)
{
    compareSamples();
    EXPECT_EQ(filterTitles(),
              QStringList({QStringLiteral("All differences"), QStringLiteral("Changed rows"),
                           QStringLiteral("Only in catalog-before.csv"), QStringLiteral("Only in catalog-after.csv"),
                           QStringLiteral("Empty values")}));
    auto* picker = find<QComboBox>(QStringLiteral("resultFilterPicker"));
    picker->setFocus();
    QTest::keyClick(picker, Qt::Key_Down);
    EXPECT_EQ(model.filter(), ResultFilter::changed);
    waitForFilter();
    EXPECT_EQ(listedKeys(), QStringList({QStringLiteral("SK-001"), QStringLiteral("SK-003")}));
}

TEST_F(ResultsScreenTest, ListShowsTheSampleRecordsWithTheirStatusAndChangedFields)
{
    compareSamples();
    EXPECT_EQ(listedKeys(), QStringList({QStringLiteral("SK-001"), QStringLiteral("SK-002"), QStringLiteral("SK-003"),
                                         QStringLiteral("SK-005")}));
    const QStringList statuses = {QStringLiteral("Changed"), QStringLiteral("Only in catalog-before.csv"),
                                  QStringLiteral("Changed"), QStringLiteral("Only in catalog-after.csv")};
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(rowText(row, ResultPageModel::statusTextRole), statuses[row]);
    EXPECT_EQ(rowText(0, ResultPageModel::captionRole), QStringLiteral("2 changed fields · price, notes"));
    EXPECT_EQ(rowText(1, ResultPageModel::captionRole), QString());
    EXPECT_EQ(rowText(0, Qt::ToolTipRole), QStringLiteral("Select to inspect the complete record"));
}

TEST_F(ResultsScreenTest, ChangedFieldsCaptionNamesOnlyTheFirstThree)
{
    compareFiles("id,a,b,c,d,e\n1,1,1,1,1,1\n", "id,a,b,c,d,e\n1,2,2,2,2,2\n");
    EXPECT_EQ(rowText(0, ResultPageModel::captionRole), QStringLiteral("5 changed fields · a, b, c"));
}

TEST_F(ResultsScreenTest, ListTextsHoldOnlyTheStartOfAVeryLongKeyOrHeader)
{
    auto summary = std::make_shared<ComparisonSummary>();
    RowDifference row;
    row.id = Uuid::random();
    row.key = std::string(1'000'000, 'k');
    row.status = DiffStatus::changed;
    row.cells.push_back({Uuid::random(), std::string(1'000'000, 'h'), "b", "x", "y"});
    summary->differences.push_back(row);
    ResultPageModel page;
    page.setPage(summary, {0}, QStringLiteral("a.csv"), QStringLiteral("b.csv"));
    const QModelIndex index = page.index(0);
    for (const int role : {int(ResultPageModel::keyRole), int(ResultPageModel::captionRole), int(Qt::DisplayRole),
                           int(Qt::AccessibleTextRole)}) {
        const QString text = index.data(role).toString();
        EXPECT_LT(text.size(), 2 * captionTextLength) << "role " << role;
        EXPECT_TRUE(text.contains(QChar(0x2026))) << "role " << role;
    }
}

TEST_F(ResultsScreenTest, RecordWithoutKeyIsListedAsEmptyKey)
{
    compareFiles("id,name\n,a\n1,b\n", "id,name\n,c\n1,b\n");
    EXPECT_EQ(listedKeys(), QStringList({QStringLiteral("Empty key")}));
}

TEST_F(ResultsScreenTest, FirstRecordIsSelectedAndInspected)
{
    compareSamples();
    EXPECT_EQ(list()->currentIndex().row(), 0);
    EXPECT_TRUE(list()->selectionModel()->isSelected(list()->currentIndex()));
    ASSERT_NE(inspector(), nullptr);
    EXPECT_EQ(find<QLabel>(QStringLiteral("inspectorKey"))->text(), QStringLiteral("SK-001"));
}

TEST_F(ResultsScreenTest, ClickingARecordSelectsIt)
{
    compareSamples();
    const QRect second = list()->visualRect(list()->model()->index(2, 0));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(model.selectedRowID(), model.summary()->differences[2].id);
    EXPECT_EQ(find<QLabel>(QStringLiteral("inspectorKey"))->text(), QStringLiteral("SK-003"));
}

TEST_F(ResultsScreenTest, DownArrowMovesTheSelectionAndTheInspectorFollows)
{
    compareSamples();
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(model.selectedRowID(), model.summary()->differences[1].id);
    EXPECT_EQ(find<QLabel>(QStringLiteral("inspectorKey"))->text(), QStringLiteral("SK-002"));
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(find<QLabel>(QStringLiteral("inspectorKey"))->text(), QStringLiteral("SK-003"));
}

TEST_F(ResultsScreenTest, SearchWithoutMatchesShowsThePlaceholderAndClearingBringsTheListBack)
{
    compareSamples();
    typeSearch(QStringLiteral("zzz"));
    EXPECT_EQ(model.query(), QStringLiteral("zzz"));
    EXPECT_TRUE(QTest::qWaitFor([this] { return !model.isFiltering() && model.filteredIndices().empty(); }, 5000));
    ASSERT_EQ(shownContent(), find<QWidget>(QStringLiteral("noResultsPlaceholder")));
    EXPECT_TRUE(shownContent()
                    ->findChild<QLabel*>(QStringLiteral("placeholderTitle"))
                    ->text()
                    .contains(QStringLiteral("“zzz”")));
    EXPECT_EQ(find<QLabel>(QStringLiteral("resultCount"))->text(), QStringLiteral("0 results"));

    clearSearch();
    EXPECT_TRUE(QTest::qWaitFor([this] { return model.filteredIndices().size() == 4; }, 5000));
    EXPECT_EQ(shownContent(), find<QSplitter>(QStringLiteral("resultsSplit")));
    EXPECT_EQ(listedKeys().size(), 4);
}

TEST_F(ResultsScreenTest, SearchFieldFollowsTheQuery)
{
    compareSamples();
    auto* search = find<QLineEdit>(QStringLiteral("resultSearchField"));
    EXPECT_EQ(search->placeholderText(), QStringLiteral("Search keys and values…"));
    EXPECT_EQ(search->width(), 240);
    model.setQuery(QStringLiteral("lamp"));
    EXPECT_EQ(search->text(), QStringLiteral("lamp"));
}

TEST_F(ResultsScreenTest, ClearButtonOfTheSearchFieldClearsTheQuery)
{
    compareSamples();
    typeSearch(QStringLiteral("lamp"));
    auto* clear = find<QLineEdit>(QStringLiteral("resultSearchField"))
                      ->findChild<QAction*>(QStringLiteral("_q_qlineeditclearaction"));
    ASSERT_NE(clear, nullptr);
    QToolButton* button = nullptr;
    for (QToolButton* candidate : find<QLineEdit>(QStringLiteral("resultSearchField"))->findChildren<QToolButton*>())
        if (candidate->defaultAction() == clear)
            button = candidate;
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(model.query(), QString());
}

TEST_F(ResultsScreenTest, WhileFilteringTheListStaysWithItsIndicator)
{
    compareSamples();
    typeSearch(QStringLiteral("zzz"));
    ASSERT_TRUE(model.isFiltering());
    EXPECT_TRUE(find<QProgressBar>(QStringLiteral("filteringIndicator"))->isVisible());
    EXPECT_EQ(shownContent(), find<QSplitter>(QStringLiteral("resultsSplit")));
    waitForFilter();
    EXPECT_FALSE(find<QProgressBar>(QStringLiteral("filteringIndicator"))->isVisible());
}

TEST_F(ResultsScreenTest, PagesOfAHundredWithTheSelectionFollowingThePage)
{
    compareFiles(manyChanged(250, "x"), manyChanged(250, "y"));
    EXPECT_EQ(find<QLabel>(QStringLiteral("resultCount"))->text(), QStringLiteral("250 results"));
    EXPECT_EQ(pageText(), QStringLiteral("Page 1 of 3"));
    EXPECT_EQ(list()->model()->rowCount(), 100);
    EXPECT_FALSE(enabled(QStringLiteral("previousPageButton")));
    EXPECT_TRUE(enabled(QStringLiteral("nextPageButton")));

    QTest::mouseClick(find<QPushButton>(QStringLiteral("nextPageButton")), Qt::LeftButton);
    EXPECT_EQ(pageText(), QStringLiteral("Page 2 of 3"));
    EXPECT_TRUE(enabled(QStringLiteral("previousPageButton")));
    EXPECT_EQ(model.selectedRowID(), model.summary()->differences[100].id);
    EXPECT_EQ(list()->currentIndex().row(), 0);
    EXPECT_EQ(inspector()->row().id, model.summary()->differences[100].id);

    QTest::mouseClick(find<QPushButton>(QStringLiteral("nextPageButton")), Qt::LeftButton);
    EXPECT_EQ(pageText(), QStringLiteral("Page 3 of 3"));
    EXPECT_EQ(list()->model()->rowCount(), 50);
    EXPECT_FALSE(enabled(QStringLiteral("nextPageButton")));

    QTest::mouseClick(find<QPushButton>(QStringLiteral("previousPageButton")), Qt::LeftButton);
    EXPECT_EQ(pageText(), QStringLiteral("Page 2 of 3"));
}

TEST_F(ResultsScreenTest, PagingButtonsAreReachedWithTab)
{
    compareFiles(manyChanged(250, "x"), manyChanged(250, "y"));
    auto* next = find<QPushButton>(QStringLiteral("nextPageButton"));
    list()->setFocus();
    for (int press = 0; press < 10 && !next->hasFocus(); ++press)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_TRUE(next->hasFocus());
    QTest::keyClick(next, Qt::Key_Space);
    EXPECT_EQ(model.pageNumber(), 1);
}

TEST_F(ResultsScreenTest, TabVisitsTheScreenTopToBottomThenTheInspector)
{
    compareFiles(manyChanged(250, "x"), manyChanged(250, "y"));
    auto* mainButton = find<QWidget>(QStringLiteral("mainActionButton"));
    auto* screen = find<QWidget>(QStringLiteral("resultsScreen"));
    QList<QWidget*> visited;
    for (QWidget* control : tabWalk(mainButton, 30)) {
        if (control == mainButton)
            break;
        if (screen->isAncestorOf(control))
            visited << control;
    }
    ASSERT_GT(visited.size(), 4);
    EXPECT_EQ(visited.mid(0, 4), QList<QWidget*>({find<QWidget>(QStringLiteral("resultSearchField")),
                                                  find<QWidget>(QStringLiteral("resultFilterPicker")), list(),
                                                  find<QWidget>(QStringLiteral("nextPageButton"))}));
    for (QWidget* control : visited.mid(4))
        EXPECT_TRUE(inspector()->isAncestorOf(control)) << control->objectName().toStdString();
}

TEST_F(ResultsScreenTest, PagingShortcutsTurnThePages)
{
    compareFiles(manyChanged(250, "x"), manyChanged(250, "y"));
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(model.pageNumber(), 1);
    QTest::keyClick(list(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(model.pageNumber(), 0);
    EXPECT_TRUE(find<QPushButton>(QStringLiteral("nextPageButton"))->toolTip().contains(QStringLiteral("Next page")));
}

TEST_F(ResultsScreenTest, ListModelPassesTheModelTester)
{
    compareFiles(manyChanged(250, "x"), manyChanged(250, "y"));
    QAbstractItemModelTester tester(list()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.changePage(+1);
    model.setFilter(ResultFilter::onlyLeft);
    waitForFilter();
    EXPECT_EQ(list()->model()->rowCount(), 0);
}

TEST_F(ResultsScreenTest, NoDifferencesShowsItsPlaceholderAndOnlyMatchingCounts)
{
    compareFiles("id,name\n1,a\n2,b\n", "id,name\n2,b\n1,a\n");
    auto* placeholder = find<QWidget>(QStringLiteral("noDifferencesPlaceholder"));
    EXPECT_EQ(shownContent(), placeholder);
    EXPECT_EQ(placeholder->findChild<QLabel*>(QStringLiteral("placeholderTitle"))->text(),
              QStringLiteral("No differences in the compared columns"));
    EXPECT_EQ(placeholder->findChild<QLabel*>(QStringLiteral("placeholderDescription"))->text(),
              QStringLiteral("All matched records agree under your selected normalization rules. Unchecked and "
                             "unmapped columns were not compared."));
    EXPECT_EQ(counterText(QStringLiteral("matchingCounter")), QStringLiteral("2 Matching"));
    EXPECT_EQ(counterText(QStringLiteral("changedCounter")), QStringLiteral("0 Changed"));
    EXPECT_EQ(counterText(QStringLiteral("onlyLeftCounter")), QStringLiteral("0 Only in a.csv"));
}

TEST_F(ResultsScreenTest, AmbiguousDuplicateKeyGroupsAreWarnedAbout)
{
    compareFiles("id,value\n1,x\n1,y\n2,x\n2,y\n3,x\n3,y\n", "id,value\n1,z\n2,z\n3,z\n");
    ASSERT_EQ(model.summary()->ambiguousDuplicateKeyGroups, 3);
    EXPECT_TRUE(find<QWidget>(QStringLiteral("ambiguityWarning"))->isVisible());
    EXPECT_EQ(find<QLabel>(QStringLiteral("ambiguityWarningText"))->text(),
              QStringLiteral("3 duplicate-key groups have ambiguous pairings. Review them or add another key column."));
}

TEST_F(ResultsScreenTest, NoWarningsForAClearKey)
{
    compareSamples();
    EXPECT_FALSE(find<QWidget>(QStringLiteral("ambiguityWarning"))->isVisible());
    EXPECT_FALSE(find<QWidget>(QStringLiteral("keyWarning"))->isVisible());
}

TEST_F(ResultsScreenTest, KeyWarningIsShownWhenTheKeyRepeats)
{
    compareFiles("id,value\n1,x\n1,y\n2,x\n", "id,value\n1,x\n2,z\n");
    ASSERT_FALSE(model.keyWarning().isEmpty());
    EXPECT_TRUE(find<QWidget>(QStringLiteral("keyWarning"))->isVisible());
    EXPECT_EQ(find<QLabel>(QStringLiteral("keyWarningText"))->text(), model.keyWarning());
}

TEST_F(ResultsScreenTest, SelectionOutsideTheListStaysInTheInspector)
{
    compareSamples();
    model.setFilter(ResultFilter::onlyRight);
    waitForFilter();
    selectDifference(0);
    ASSERT_NE(inspector(), nullptr);
    EXPECT_EQ(find<QLabel>(QStringLiteral("inspectorKey"))->text(), QStringLiteral("SK-001"));
    EXPECT_FALSE(list()->currentIndex().isValid());
}

TEST_F(ResultsScreenTest, WithoutSelectionThePaneInvitesOne)
{
    compareSamples();
    model.setSelectedRowID(std::nullopt);
    auto* pane = find<QStackedWidget>(QStringLiteral("inspectorPane"));
    EXPECT_EQ(pane->currentWidget(), find<QWidget>(QStringLiteral("selectRecordPlaceholder")));
    EXPECT_EQ(inspector(), nullptr);
    EXPECT_EQ(pane->currentWidget()->findChild<QLabel*>(QStringLiteral("placeholderTitle"))->text(),
              QStringLiteral("Select a record"));
}

TEST_F(ResultsScreenTest, InspectorPaneKeepsToItsWidths)
{
    compareSamples();
    auto* pane = find<QWidget>(QStringLiteral("inspectorPane"));
    EXPECT_EQ(pane->minimumWidth(), 290);
    EXPECT_EQ(pane->maximumWidth(), 440);
    auto* split = find<QSplitter>(QStringLiteral("resultsSplit"));
    EXPECT_GE(split->widget(0)->minimumWidth(), 510);
    EXPECT_EQ(split->widget(1), pane);
    EXPECT_EQ(pane->width(), 350);
}

}  // namespace
}  // namespace rowlark::ui::testing
