#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include <QDir>
#include <QTimer>

#include "tests/model/ModelTesting.h"
#include "tests/support/CaseText.h"

namespace rowlark::testing {
namespace {

// Each file of the folder is a scenario: one model operation, or `expect field: value`, a line, run
// in order. Operations do not wait for the background work they start; `wait` does.
std::vector<std::string> scenarioNames()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(ROWLARK_MODEL_SCENARIOS))
        names.push_back(entry.path().stem().string());
    std::ranges::sort(names);
    return names;
}

// The filters as scenario files name them.
const std::map<std::string, records::ResultFilter> filtersByName = {
    {"all", records::ResultFilter::all},
    {"changed", records::ResultFilter::changed},
    {"onlyLeft", records::ResultFilter::onlyLeft},
    {"onlyRight", records::ResultFilter::onlyRight},
    {"emptyValues", records::ResultFilter::emptyValues},
};

std::string nameOf(records::ResultFilter filter)
{
    for (const auto& [name, candidate] : filtersByName)
        if (candidate == filter)
            return name;
    return "?";
}

std::string yesNo(bool value)
{
    return value ? "yes" : "no";
}

std::string joined(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "; ") + part;
    return text;
}

std::string nameOf(const std::optional<model::InputFile>& file)
{
    return file ? file->name : "none";
}

// "semicolon, 2 columns", or "none" for a workbook, a sample or an empty side.
std::string separatorOf(const std::optional<model::InputFile>& file)
{
    if (!file || !file->separator)
        return "none";
    return std::string(csv::name(*file->separator)) + ", " + std::to_string(file->table.columnCount()) + " columns";
}

class ScenarioTest : public ModelTest, public ::testing::WithParamInterface<std::string> {
protected:
    QString path(const std::string& name) const { return folder.filePath(QString::fromStdString(name)); }

    // The first word of `argument` names the file; the rest is its text, with the escapes of the test
    // data files (`\n`, `\t`, `\0`…).
    void writeText(const std::string& argument)
    {
        const std::size_t space = argument.find(' ');
        writeFile(QString::fromStdString(argument.substr(0, space)), unescaped(argument.substr(space + 1)));
    }

    // "name count": a numbered file whose values differ from those of every other name.
    void writeNumbered(const std::string& argument)
    {
        const std::size_t space = argument.find(' ');
        const std::string name = argument.substr(0, space);
        writeNumberedFile(QString::fromStdString(name), std::stoi(argument.substr(space + 1)), name);
    }

    // The record selected, as its position among the differences.
    std::string selectedPosition() const
    {
        if (!model.selectedRowID())
            return "none";
        const auto& differences = model.summary()->differences;
        const auto found = std::ranges::find(differences, *model.selectedRowID(), &records::RowDifference::id);
        return std::to_string(found - differences.begin());
    }

    // "first second": both names, for the two files opened together.
    void loadBoth(const std::string& argument)
    {
        const std::size_t space = argument.find(' ');
        model.loadFiles(path(argument.substr(0, space)), path(argument.substr(space + 1)));
    }

    // "left tab": the side's file read again with that separator.
    void reloadSeparated(const std::string& argument)
    {
        const bool isLeft = argument.starts_with("left ");
        const std::optional<model::InputFile>& file = isLeft ? model.left() : model.right();
        ASSERT_TRUE(file && file->path);
        model.load(QString::fromStdString(file->path->string()), isLeft, std::nullopt,
                   csv::separatorNamed(argument.substr(argument.find(' ') + 1)));
    }

    void perform(const std::string& verb, const std::string& argument)
    {
        const std::map<std::string, std::function<void()>> operations = {
            {"folder", [&] { ASSERT_TRUE(QDir(folder.path()).mkdir(QString::fromStdString(argument))); }},
            {"load both", [&] { loadBoth(argument); }},
            {"separator", [&] { reloadSeparated(argument); }},
            {"write", [&] { writeText(argument); }},
            {"numbered", [&] { writeNumbered(argument); }},
            {"load left", [&] { model.load(path(argument), true); }},
            {"load right", [&] { model.load(path(argument), false); }},
            {"samples", [&] { model.loadSample(); }},
            {"compare-samples", [&] { compareSamples(); }},
            {"key", [&] { keyOnly(std::stoll(argument)); }},
            {"unmap", [&] { model.map(model.mappings().at(std::stoul(argument)).id, std::nullopt); }},
            {"compare", [&] { model.compare(); }},
            {"cancel", [&] { model.cancel(); }},
            {"forget", [&] { forgetAnnouncements(); }},
            {"mapping-search", [&] { model.setMappingSearch(QString::fromStdString(argument)); }},
            {"show results", [&] { model.setTab(model::WorkspaceTab::results); }},
            {"wait", [&] { waitUntilIdle(), drainBackgroundWork(); }},
            {"filter", [&] { model.setFilter(filtersByName.at(argument)); }},
            {"query", [&] { model.setQuery(QString::fromStdString(argument)); }},
            {"ignore-case", [&] { model.setIgnoreCase(argument == "yes"); }},
            {"page", [&] { model.changePage(std::stoll(argument)); }},
            {"export",
             [&] {
                 dialogs->saveAnswer = argument.empty() ? std::nullopt : std::optional(path(argument));
                 model.exportReport();
             }},
        };
        const auto operation = operations.find(verb);
        ASSERT_TRUE(operation != operations.end()) << "unknown operation " << verb;
        operation->second();
    }

    std::string observe(const std::string& field) const
    {
        const std::map<std::string, std::function<std::string()>> fields = {
            {"left", [&] { return nameOf(model.left()); }},
            {"right", [&] { return nameOf(model.right()); }},
            {"names", [&] { return (model.leftName() + " / " + model.rightName()).toStdString(); }},
            {"tab", [&] { return title(model.tab()).toStdString(); }},
            {"busy", [&] { return model.isBusy() ? model.busyLabel().toStdString() : "no"; }},
            {"notice", [&] { return model.notice().toStdString(); }},
            {"error", [&] { return model.errorMessage() ? "some" : "none"; }},
            {"error text",
             [&] { return model.errorMessage().value_or("none").replace('\n', QStringLiteral("\\n")).toStdString(); }},
            {"separator left", [&] { return separatorOf(model.left()); }},
            {"separator right", [&] { return separatorOf(model.right()); }},
            {"differences", [&] { return model.summary() ? joined(describeDifferences(model)) : "none"; }},
            {"filter", [&] { return nameOf(model.filter()); }},
            {"query", [&] { return model.query().toStdString(); }},
            {"key-warning", [&] { return model.keyWarning().toStdString(); }},
            {"mappings", [&] { return std::to_string(model.mappings().size()); }},
            {"page", [&] { return std::to_string(model.pageNumber()); }},
            {"selected", [&] { return selectedPosition(); }},
            {"filtering", [&] { return yesNo(model.isFiltering()); }},
            {"search delay", [&] { return yesNo(model.findChild<QTimer*>("searchDelayTimer")->isActive()); }},
            {"mapping-search", [&] { return model.mappingSearch().toStdString(); }},
            {"can", [&] { return "compare " + yesNo(model.canCompare()) + ", export " + yesNo(model.canExport()); }},
        };
        const std::string_view announcedPrefix = "announced ";
        if (field.starts_with(announcedPrefix)) {
            const int count = announced(std::string_view(field).substr(announcedPrefix.size()));
            return count >= 0 ? std::to_string(count) : "unknown signal " + field;
        }
        const auto found = fields.find(field);
        return found == fields.end() ? "unknown field " + field : found->second();
    }
};

TEST_P(ScenarioTest, Runs)
{
    std::ifstream file(std::filesystem::path(ROWLARK_MODEL_SCENARIOS) / (GetParam() + ".txt"));
    ASSERT_TRUE(file);
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        SCOPED_TRACE(GetParam() + ".txt:" + std::to_string(number) + ": " + line);
        if (line.starts_with("expect ")) {
            const std::size_t colon = line.find(':');
            EXPECT_EQ(observe(line.substr(7, colon - 7)), line.substr(std::min(colon + 2, line.size())));
        } else if (!line.empty() && !line.starts_with('#')) {
            const bool isTwoWords = line.starts_with("load ") || line.starts_with("show ");
            const std::size_t space = line.find(' ', isTwoWords ? 5 : 0);
            perform(line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Model, ScenarioTest, ::testing::ValuesIn(scenarioNames()), [](const auto& info) {
    std::string name = info.param;
    std::ranges::replace(name, '-', '_');
    return name;
});

}  // namespace
}  // namespace rowlark::testing
