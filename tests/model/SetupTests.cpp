// Saving the setup of a comparison and opening it again: the same files, mapping, key, letter case
// and results view; what no longer fits is listed; a setup that cannot be read changes nothing.

#include <QFile>
#include <QTest>

#include "engine/setups/Setup.h"
#include "tests/model/ModelTesting.h"

namespace rowlark::testing {
namespace {

const std::string before = "id,name,email,city\n1,Ann,ann@x,Paris\n2,Bob,bob@x,Rome\n3,Cy,cy@x,Oslo\n";
const std::string after = "id,name,email,city\n1,ANN,ann@x,Paris\n2,Bob,bob@y,Rome\n4,Di,di@x,Lima\n";

struct MappingState {
    std::int64_t leftIndex;
    std::optional<std::int64_t> rightIndex;
    bool isKey;
    bool isIncluded;

    bool operator==(const MappingState&) const = default;
};

std::vector<MappingState> mappingStates(const model::ComparisonModel& model)
{
    std::vector<MappingState> states;
    for (const records::ColumnMapping& mapping : model.mappings())
        states.push_back({mapping.leftIndex, mapping.rightIndex, mapping.isKey, mapping.isIncluded});
    return states;
}

class SetupTest : public ModelTest {
protected:
    void loadFiles()
    {
        model.load(writeFile("before.csv", before), true);
        waitUntilIdle();
        model.load(writeFile("after.csv", after), false);
        waitUntilIdle();
    }

    // A comparison set up by hand: the city not compared, letter case ignored, the email column chosen
    // to narrow the changed records, a search.
    void setUpByHand()
    {
        loadFiles();
        model.setIncluded(model.mappings()[3].id, false);
        model.setIgnoreCase(true);
        model.compare();
        waitUntilIdle();
        model.setFilter(records::ResultFilter::changed);
        model.setChangedColumn(2);
        model.setQuery("bob");
        waitUntilIdle();
    }

    QString saveAs(const QString& name)
    {
        dialogs->setupSaveAnswer = folder.filePath(name);
        model.saveSetup();
        waitUntilIdle();
        return folder.filePath(name.endsWith(".rowlark") ? name : name + ".rowlark");
    }
};

TEST_F(SetupTest, SavedAndOpenedGivesTheSameComparison)
{
    setUpByHand();
    const std::vector<MappingState> mapping = mappingStates(model);
    const std::vector<std::size_t> shown = model.filteredIndices();
    const QString path = saveAs("weekly");
    EXPECT_EQ(dialogs->setupSaveName, "comparison.rowlark");
    EXPECT_EQ(model.notice(), "Saved the setup to weekly.rowlark.");
    const setups::Setup saved = setups::read(QFile::encodeName(path).toStdString());
    EXPECT_EQ(saved.left.path, "before.csv");
    EXPECT_EQ(saved.right.path, "after.csv");

    model::ComparisonModel reopened(dialogs);
    dialogs->setupOpenAnswer = path;
    reopened.selectSetup();
    EXPECT_EQ(reopened.busyLabel(), "Opening weekly.rowlark…");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reopened.isBusy(); }, 20000));
    EXPECT_FALSE(reopened.errorMessage());
    EXPECT_EQ(reopened.leftName(), "before.csv");
    EXPECT_EQ(reopened.rightName(), "after.csv");
    EXPECT_EQ(mappingStates(reopened), mapping);
    EXPECT_TRUE(reopened.ignoreCase());
    EXPECT_TRUE(reopened.setupNotices().empty());
    EXPECT_EQ(reopened.notice(), "Opened the setup weekly.rowlark.");
    EXPECT_EQ(reopened.filter(), records::ResultFilter::all);
    reopened.compare();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reopened.isBusy() && !reopened.isFiltering(); }, 20000));
    EXPECT_EQ(reopened.filter(), records::ResultFilter::changed);
    EXPECT_EQ(reopened.query(), "bob");
    EXPECT_EQ(reopened.changedColumn(), std::optional<std::size_t>(2));
    EXPECT_EQ(reopened.filteredIndices(), shown);
    EXPECT_EQ(reopened.filteredIndices().size(), 1U);

    // Saved again before the first comparison, it keeps the results view it was opened with.
    model.openSetup(path);
    waitUntilIdle();
    EXPECT_EQ(setups::read(QFile::encodeName(saveAs("second.rowlark")).toStdString()),
              setups::read(QFile::encodeName(path).toStdString()));
}

// The notices go when dismissed, and with another analysis.
TEST_F(SetupTest, WhatNoLongerFitsIsListedAboveTheMappingUntilDismissedOrAnalyzedAgain)
{
    setUpByHand();
    const QString path = saveAs("weekly.rowlark");
    writeFile("after.csv", "id,name,city,phone\n1,Ann,Paris,1\n");
    model.openSetup(path);
    waitUntilIdle();
    EXPECT_EQ(model.setupNotices(), std::vector<QString>{"Setup: column “email” is not in File B; left unmapped"});
    EXPECT_EQ(model.notice(),
              "Opened the setup weekly.rowlark. Above the mapping: what of it no longer fits the files.");
    EXPECT_FALSE(model.mappings()[2].rightIndex);
    model.dismissSetupNotices();
    EXPECT_TRUE(model.setupNotices().empty());

    model.openSetup(path);
    waitUntilIdle();
    ASSERT_FALSE(model.setupNotices().empty());
    model.swapFiles();
    EXPECT_TRUE(model.setupNotices().empty());
}

TEST_F(SetupTest, ASetupThatCannotBeReadChangesNothing)
{
    loadFiles();
    const std::vector<MappingState> mapping = mappingStates(model);
    const std::vector<std::pair<QString, std::string>> broken = {
        {"damaged.rowlark", R"({"format":"rowlark-setup","version":1,"files":[]})"},
        {"newer.rowlark", R"({"format":"rowlark-setup","version":3})"},
        {"missing-file.rowlark",
         R"({"format":"rowlark-setup","version":1,"files":{"fileA":{"path":"gone.csv"},"fileB":{"path":"after.csv"}},"mappings":[]})"},
    };
    const std::vector<QString> messages = {
        "damaged.rowlark: The setup file is damaged: files must be an object.",
        "newer.rowlark: The setup was saved by a newer version of Rowlark (setup version 3); this version reads "
        "setup version 1.",
        "File A: gone.csv was not found. It may have been moved, renamed or deleted.",
    };
    for (std::size_t i = 0; i < broken.size(); ++i) {
        model.openSetup(writeFile(broken[i].first, broken[i].second));
        waitUntilIdle();
        EXPECT_EQ(model.errorMessage(), messages[i]);
        model.setErrorMessage(std::nullopt);
        EXPECT_EQ(model.leftName(), "before.csv");
        EXPECT_EQ(mappingStates(model), mapping);
    }
}

TEST_F(SetupTest, OnlyFilesReadFromDiskCanBeSaved)
{
    EXPECT_FALSE(model.canSaveSetup());
    loadSamples();
    waitUntilIdle();
    EXPECT_FALSE(model.canSaveSetup());
    model.saveSetup();
    EXPECT_EQ(dialogs->setupSaveName, "");
    loadFiles();
    EXPECT_TRUE(model.canSaveSetup());
}

}  // namespace
}  // namespace rowlark::testing
