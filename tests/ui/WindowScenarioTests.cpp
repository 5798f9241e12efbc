// The window's scenarios: each file of tests/data/ui/window is one user action after another, and
// what the window then shows, run by one driver.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include <QAbstractButton>
#include <QLabel>
#include <QListView>
#include <QTabBar>
#include <QTreeWidget>

#include "tests/support/WorkbookWriting.h"
#include "tests/ui/MappingTesting.h"
#include "ui/results/InspectorFieldList.h"
#include "ui/results/ResultPageModel.h"
#include "ui/widgets/SuggestionChip.h"

namespace rowlark::ui::testing {
namespace {

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

// "Orders: order,amount; A-1,10 + ~Old: id" is a workbook of two sheets, the second hidden (~); a
// sheet without rows is written "Empty:".
std::string workbookText(const QString& description)
{
    std::vector<rowlark::testing::WorkbookSheet> sheets;
    for (const QString& sheetText : description.split(" + ")) {
        const qsizetype colon = sheetText.indexOf(':');
        rowlark::testing::WorkbookSheet sheet{sheetText.left(colon).toStdString(), {}, sheetText.startsWith('~')};
        if (sheet.isHidden)
            sheet.name.erase(0, 1);
        for (const QString& row : sheetText.mid(colon + 1).split(';', Qt::SkipEmptyParts)) {
            std::vector<std::string> cells;
            for (const QString& cell : row.trimmed().split(','))
                cells.push_back(cell.toStdString());
            sheet.rows.push_back(std::move(cells));
        }
        sheets.push_back(std::move(sheet));
    }
    return rowlark::testing::xlsxWorkbook(sheets);
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

    // The lines of the sheet list, each its texts, ⚠ before a pair that was not compared.
    QString sheetLines() const
    {
        const auto* list = find<QTreeWidget>("sheetList");
        QStringList lines;
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            const QTreeWidgetItem* item = list->topLevelItem(row);
            QStringList texts;
            for (int column = 0; column < item->columnCount(); ++column)
                if (!item->text(column).isEmpty())
                    texts << item->text(column);
            lines << (item->icon(0).isNull() ? "" : "⚠ ") + texts.join(" | ");
        }
        return lines.join("; ");
    }

    void chooseSheet(const QString& name)
    {
        auto* list = find<QTreeWidget>("sheetList");
        const QList<QTreeWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << name.toStdString();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
    }

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
            {"workbooks",
             [&] {
                 model.load(writeFile("before.xlsx", workbookText(sides.at(0))), true);
                 waitUntilIdle();
                 model.load(writeFile("after.xlsx", workbookText(sides.at(1))), false);
                 waitUntilIdle();
             }},
            {"choose sheet", [&] { chooseSheet(argument); }},
            {"tab",
             [&] {
                 auto* tabs = find<QTabBar>("workspacePicker");
                 QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(argument == "results" ? 1 : 0).center());
             }},
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
            {"analyze", [&] { model.analyze(); }},
            {"cancel", [&] { model.cancel(); }},
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
            {"sheets", [&] { return sheetLines(); }},
            {"chosen sheet",
             [&] {
                 const QTreeWidgetItem* item = find<QTreeWidget>("sheetList")->currentItem();
                 return item ? item->text(0) : QString("none");
             }},
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
        static const std::vector<std::string> twoWords = {"click key",       "click compare",     "click chip",
                                                          "model search",    "model ignore-case", "model query",
                                                          "records changed", "choose sheet",      "chosen sheet"};
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
