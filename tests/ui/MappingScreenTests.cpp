#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include "tests/ui/WindowTesting.h"
#include "ui/mapping/MappingList.h"
#include "ui/mapping/MappingRow.h"
#include "ui/mapping/MappingText.h"
#include "ui/results/InspectorFieldList.h"
#include "ui/results/ResultPageModel.h"
#include "ui/results/RowInspector.h"
#include "ui/widgets/Styling.h"
#include "ui/widgets/SuggestionChip.h"

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

    mapping::MappingList* list() const { return find<mapping::MappingList>("mappingList"); }
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
    mapping::MappingRow* rowNamed(const QString& name) const
    {
        const int row = static_cast<int>(listedNames().indexOf(name));
        EXPECT_GE(row, 0) << name.toStdString();
        mapping::MappingRow* widget = row >= 0 ? list()->rowWidget(row) : nullptr;
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    template<typename T> T* part(const QString& rowName, const QString& partName) const
    {
        mapping::MappingRow* row = rowNamed(rowName);
        T* widget = row ? row->findChild<T*>(partName) : nullptr;
        EXPECT_NE(widget, nullptr) << partName.toStdString();
        return widget;
    }

    QCheckBox* keyBox(const QString& rowName) const { return part<QCheckBox>(rowName, "keyBox"); }
    QCheckBox* compareBox(const QString& rowName) const { return part<QCheckBox>(rowName, "compareBox"); }
    QComboBox* picker(const QString& rowName) const { return part<QComboBox>(rowName, "matchPicker"); }

    QList<widgets::SuggestionChip*> shownChips(const QString& rowName) const
    {
        QList<widgets::SuggestionChip*> shown;
        for (widgets::SuggestionChip* chip : rowNamed(rowName)->findChildren<widgets::SuggestionChip*>())
            if (chip->isVisibleTo(rowNamed(rowName)))
                shown << chip;
        return shown;
    }

    const records::ColumnMapping& mappingOf(const QString& leftHeaderText) const
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

TEST_F(MappingScreenTest, ChipsExplainTheirSuggestion)
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

// A cancelled analysis leaves no rows: the list says so and how to run it again, not that the search
// found nothing.
TEST_F(MappingScreenTest, CancelledMatchingSaysHowToRunItAgain)
{
    loadSamples();
    model.analyze();
    model.cancel();
    ASSERT_TRUE(model.mappings().empty());
    EXPECT_EQ(labelText("mappingEmptyText"), "Column matching was cancelled. Reset suggestions to run it again.");
    find<QPushButton>("resetSuggestionsButton")->click();
    waitUntilIdle();
    EXPECT_EQ(rowCount(), 5);
    search()->setText("nothing like it");
    EXPECT_EQ(labelText("mappingEmptyText"), "No columns match your search.");
}

// A new analysis (new files, swapped files) lists its mappings from the key row, wherever the list was
// scrolled before.
TEST_F(MappingScreenTest, ANewAnalysisShowsTheListFromTheKeyRow)
{
    std::string left = "";
    for (int column = 0; column < 60; ++column) {
        const std::string header = column == 40 ? "id" : "field_" + std::to_string(column);
        left += (column ? "," : "") + header;
    }
    left += '\n';
    for (int row = 1; row <= 6; ++row) {
        for (int column = 0; column < 60; ++column)
            left += (column ? "," : "") + (column == 40 ? std::to_string(row) : std::string("x"));
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

// Each file of the folder is a scenario of the window: one user action, or
// `expect what: value`, a line, run in order.
std::vector<std::string> windowScenarios()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(ROWLARK_WINDOW_SCENARIOS))
        names.push_back(entry.path().stem().string());
    std::ranges::sort(names);
    return names;
}

// Text that starts or ends with spaces is written between double quotes.
QString unquoted(const std::string& text)
{
    const bool isQuoted = text.size() >= 2 && text.starts_with('"') && text.ends_with('"');
    return QString::fromStdString(isQuoted ? text.substr(1, text.size() - 2) : text);
}

QString yesNo(bool value)
{
    return value ? "yes" : "no";
}

class WindowScenarioTest : public MappingScreenTest, public ::testing::WithParamInterface<std::string> {
protected:
    // Key and compare boxes, chosen column and shown chips (✓ marks the chosen one) of a row.
    QString shownRow(const QString& name) const
    {
        const QLabel* leftName = part<QLabel>(name, "leftName");
        QStringList parts{leftName->text() + (leftName->font().weight() == QFont::DemiBold ? " (bold)" : "")};
        for (QCheckBox* box : {keyBox(name), compareBox(name)})
            parts << box->objectName().chopped(3) + (box->isChecked() ? " on" : " off") +
                         (box->isEnabled() ? "" : " disabled");
        parts << picker(name)->currentText();
        for (const char* caption : {"jsonCaption", "derivedCaption"})
            if (mapping::MappingRow* row = rowNamed(name); row->findChild<QWidget*>(caption)->isVisibleTo(row))
                parts << caption;
        QStringList chips;
        for (widgets::SuggestionChip* chip : shownChips(name))
            chips << chip->header() + " " + chip->strength() + (chip->isSelected() ? " ✓" : "");
        if (!chips.isEmpty())
            parts << "chips " + chips.join(", ");
        return parts.join(" | ");
    }

    QString mappingText(const QString& name) const
    {
        const records::ColumnMapping& mapping = mappingOf(name);
        return (mapping.rightIndex ? "right " + QString::number(*mapping.rightIndex) : QString("unmapped")) +
               (mapping.isKey ? ", key" : "") + (mapping.isIncluded ? ", included" : "") +
               (mapping.isManual ? ", manual" : "");
    }

    // A descendant named by a path of object names: "noDifferencesPlaceholder/placeholderTitle".
    template<typename T> T* nested(const QString& path) const
    {
        const QObject* found = &window;
        for (const QString& name : path.split('/'))
            found = found ? found->findChild<QObject*>(name) : nullptr;
        T* typed = qobject_cast<T*>(const_cast<QObject*>(found));
        EXPECT_NE(typed, nullptr) << path.toStdString();
        return typed;
    }

    QAbstractItemModel* results() const { return find<QListView>("resultList")->model(); }

    // The texts of a listed result, empty ones left out.
    QString resultText(int row) const
    {
        QStringList texts;
        for (const int role : {int(results::ResultPageModel::keyRole), int(results::ResultPageModel::statusTextRole),
                               int(results::ResultPageModel::captionRole), int(Qt::ToolTipRole)})
            if (const QString text = results()->index(row, 0).data(role).toString(); !text.isEmpty())
                texts << text;
        return texts.join(" | ");
    }

    const std::vector<results::FieldEntry>& fieldEntries() const
    {
        return nested<results::InspectorFieldList>("rowInspector/inspectorFields")->entries();
    }

    // A line of the inspector: both sides as "caption: value" with their marks, and whether it is tinted.
    QString fieldText(int line) const
    {
        const results::FieldEntry& entry = fieldEntries().at(static_cast<std::size_t>(line));
        const auto side = [](const results::FieldSide& field) {
            return field.caption + ": " + field.value + (field.isValueMissing ? " (stand-in)" : "") +
                   (field.isChanged ? " (changed)" : "") + (field.isNotCompared ? " (not compared)" : "");
        };
        return side(entry.left) + " | " + side(entry.right) + (entry.isChanged ? " | tinted" : "");
    }

    void perform(const std::string& verb, const QString& argument)
    {
        const QStringList sides = argument.split(" | ");
        const auto unescaped = [](QString text) { return text.replace("\\n", "\n").toStdString(); };
        const auto columns = [](const QString& list) {
            std::vector<std::string> headers;
            for (const QString& header : list.split(','))
                headers.push_back(header.toStdString());
            return csvText(headers);
        };
        const std::map<std::string, std::function<void()>> actions = {
            {"samples", [&] { loadSamples(); }},
            {"files", [&] { loadFiles(unescaped(sides.at(0)), unescaped(sides.at(1))); }},
            {"records changed",
             [&] { loadFiles(recordsHolding(argument.toInt(), "x"), recordsHolding(argument.toInt(), "y")); }},
            {"columns", [&] { loadFiles(columns(sides.at(0)), columns(sides.at(1))); }},
            {"click key", [&] { QTest::mouseClick(keyBox(argument), Qt::LeftButton); }},
            {"click compare", [&] { QTest::mouseClick(compareBox(argument), Qt::LeftButton); }},
            {"click chip",
             [&] {
                 const QStringList words = argument.split(" #");
                 QTest::mouseClick(shownChips(words[0]).value(words[1].toInt() - 1), Qt::LeftButton);
             }},
            {"choose",
             [&] {
                 const QStringList words = argument.split(" -> ");
                 choose(picker(words[0]), words[1]);
             }},
            {"type", [&] { QTest::keyClicks(search(), argument); }},
            {"search", [&] { search()->setText(argument); }},
            {"model search", [&] { model.setMappingSearch(argument); }},
            {"model ignore-case", [&] { model.setIgnoreCase(argument == "yes"); }},
            {"click", [&] { QTest::mouseClick(find<QAbstractButton>(argument), Qt::LeftButton); }},
            {"trigger", [&] { find<QAction>(argument)->trigger(); }},
            {"pick",
             [&] {
                 const QStringList words = argument.split(" -> ");
                 choose(find<QComboBox>(words[0]), words[1]);
             }},
            {"find", [&] { QTest::keyClicks(find<QLineEdit>("resultSearchField"), argument); }},
            {"press",
             [&] {
                 const QStringList words = argument.split(' ');
                 auto* target = find<QWidget>(words[0]);
                 target->setFocus();
                 QTest::keySequence(target, QKeySequence(words[1]));
             }},
            {"model query", [&] { model.setQuery(argument); }},
            {"select",
             [&] {
                 model.setSelectedRowID(
                     argument == "none"
                         ? std::nullopt
                         : std::optional(
                               model.summary()->differences.at(static_cast<std::size_t>(argument.toInt())).id));
             }},
            {"wait",
             [&] {
                 waitUntilIdle();
                 EXPECT_TRUE(QTest::qWaitFor([this] { return !model.isFiltering(); }, 5000));
             }},
        };
        const auto action = actions.find(verb);
        ASSERT_TRUE(action != actions.end()) << "unknown action " << verb;
        action->second();
    }

    QString observe(const std::string& what, const QString& name) const
    {
        const std::map<std::string, std::function<QString()>> fields = {
            {"rows", [&] { return listedNames().join(", "); }},
            {"row", [&] { return shownRow(name); }},
            {"mapping", [&] { return mappingText(name); }},
            {"label", [&] { return nested<QLabel>(name)->text(); }},
            {"tooltip", [&] { return find<QWidget>(name)->toolTip(); }},
            {"shown", [&] { return yesNo(find<QWidget>(name)->isVisibleTo(&window)); }},
            {"enabled", [&] { return yesNo(find<QObject>(name)->property("enabled").toBool()); }},
            {"screen", [&] { return screenName(); }},
            {"checked", [&] { return yesNo(find<QAbstractButton>(name)->isChecked()); }},
            {"text", [&] { return find<QAbstractButton>(name)->text(); }},
            {"entries",
             [&] {
                 auto* box = window.findChild<QComboBox*>(name);
                 return entriesOf(box ? *box : *picker(name)).join(", ");
             }},
            {"results",
             [&] {
                 QStringList keys;
                 for (int row = 0; row < results()->rowCount(); ++row)
                     keys << results()->index(row, 0).data(results::ResultPageModel::keyRole).toString();
                 return keys.join(", ");
             }},
            {"listed", [&] { return QString::number(results()->rowCount()); }},
            {"column-changes",
             [&] {
                 const QAbstractItemModel* changes = find<QListView>("columnChangesList")->model();
                 QStringList headers;
                 for (int row = 0; row < changes->rowCount(); ++row)
                     headers << changes->index(row, 0).data().toString();
                 return headers.join(", ");
             }},
            {"result", [&] { return resultText(name.toInt()); }},
            {"selected",
             [&] {
                 const QListView* list = find<QListView>("resultList");
                 return list->currentIndex().isValid() && list->selectionModel()->isSelected(list->currentIndex())
                            ? QString::number(list->currentIndex().row())
                            : QString("none");
             }},
            {"field", [&] { return fieldText(name.toInt()); }},
            {"fields",
             [&] {
                 QStringList captions;
                 for (const results::FieldEntry& entry : fieldEntries())
                     captions << entry.left.caption;
                 return captions.join(", ");
             }},
            {"headings",
             [&] {
                 const auto* list = nested<results::InspectorFieldList>("rowInspector/inspectorFields");
                 return list->leftHeading() + " | " + list->rightHeading();
             }},
            {"placeholder", [&] { return find<QLineEdit>(name)->placeholderText(); }},
            {"typed", [&] { return find<QLineEdit>(name)->text(); }},
            {"showing", [&] { return find<QStackedWidget>(name)->currentWidget()->objectName(); }},
            {"search", [&] { return search()->text() + " / " + model.mappingSearch(); }},
            {"notice", [&] { return model.notice(); }},
            {"busy", [&] { return yesNo(model.isBusy()); }},
            {"ignore-case", [&] { return yesNo(model.ignoreCase()); }},
        };
        const auto field = fields.find(what);
        return field == fields.end() ? QString::fromStdString("unknown field " + what) : field->second();
    }
};

TEST_P(WindowScenarioTest, Runs)
{
    std::ifstream file(std::filesystem::path(ROWLARK_WINDOW_SCENARIOS) / (GetParam() + ".txt"));
    ASSERT_TRUE(file);
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        SCOPED_TRACE(GetParam() + ".txt:" + std::to_string(number) + ": " + line);
        if (line.empty() || line.starts_with('#'))
            continue;
        // An action or field of two words names its object after them: "click key price".
        const bool isExpectation = line.starts_with("expect ");
        const std::string statement = isExpectation ? line.substr(0, line.find(':')).substr(7) : line;
        static const std::vector<std::string> twoWords = {"click key",      "click compare",     "click chip",
                                                          "model search",   "model ignore-case", "model query",
                                                          "records changed"};
        const auto words = std::ranges::find_if(
            twoWords, [&](const std::string& each) { return statement.starts_with(each + " ") || statement == each; });
        const std::size_t verbEnd =
            words != twoWords.end() ? words->size() : std::min(statement.find(' '), statement.size());
        const QString object = unquoted(statement.substr(std::min(verbEnd + 1, statement.size())));
        if (isExpectation)
            EXPECT_EQ(observe(statement.substr(0, verbEnd), object),
                      unquoted(line.substr(std::min(line.find(':') + 2, line.size()))));
        else
            perform(statement.substr(0, verbEnd), object);
    }
}

INSTANTIATE_TEST_SUITE_P(Window, WindowScenarioTest, ::testing::ValuesIn(windowScenarios()), [](const auto& info) {
    std::string name = info.param;
    std::ranges::replace(name, '-', '_');
    return name;
});

}  // namespace
}  // namespace rowlark::ui::testing
