#include <QDir>
#include <QFile>
#include <QLocale>

#include "ModelTesting.h"
#include "ModelWork.h"
#include "SampleFiles.h"

namespace rowlark::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

std::string readWholeFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll().toStdString();
}

TEST(SampleFilesTest, CatalogsAreBuiltIn)
{
    const InputFile before = sampleBefore();
    const InputFile after = sampleAfter();
    EXPECT_EQ(before.name, "catalog-before.csv");
    EXPECT_EQ(after.name, "catalog-after.csv");
    for (const InputFile& sample : {before, after}) {
        EXPECT_FALSE(sample.url);
        EXPECT_TRUE(sample.sheets.empty());
        EXPECT_FALSE(sample.sheet);
        EXPECT_THAT(sample.table.headers(), ElementsAre("sku", "name", "price", "city", "notes"));
        EXPECT_EQ(sample.table.rowCount(), 4u);
        EXPECT_EQ(sample.table.derivedColumnCount(), 0);
        EXPECT_TRUE(sample.table.structuredColumnIndices().empty());
    }
    EXPECT_THAT(before.table.rowStrings(2),
                ElementsAre("SK-003", "Canvas tote", "18.00", "", "Natural cotton"));
    EXPECT_THAT(after.table.rowStrings(1),
                ElementsAre("SK-001", "Desk lamp", "49.00", "Austin",
                            "Matte finish. Includes a three-metre cable and an adjustable arm."));
}

using FileIntakeTest = ModelTest;

TEST_F(FileIntakeTest, OpenDialogOffersEveryTableFormat)
{
    dialogs->openAnswer = writeNumberedFile("chosen.csv", 2, "x");
    model.selectFile(false);
    EXPECT_EQ(dialogs->openTitle, "Choose a CSV, Excel, Numbers or LibreOffice file");
    EXPECT_EQ(dialogs->openExtensions, QStringList({"csv", "xlsx", "xls", "ods", "numbers"}));
    EXPECT_EQ(model.busyLabel(), "Reading chosen.csv…");
    waitUntilIdle();
    ASSERT_TRUE(model.right());
    EXPECT_EQ(model.right()->name, "chosen.csv");
    EXPECT_FALSE(model.left());
    EXPECT_EQ(model.rightName(), "chosen.csv");
}

TEST_F(FileIntakeTest, CancelledOpenDialogChangesNothing)
{
    model.selectFile(true);
    EXPECT_EQ(dialogs->openCalls, 1);
    EXPECT_FALSE(model.isBusy());
    EXPECT_TRUE(spy.isEmpty());
}

TEST_F(FileIntakeTest, NewFileKeepsTheOtherSideAndDropsTheResult)
{
    compareSamples();
    model.load(writeFile("replacement.csv", "sku,name,price,city,notes\nSK-001,Desk lamp,45.00,Austin,x\n"),
               false);
    waitUntilIdle();
    EXPECT_EQ(model.left()->name, "catalog-before.csv");
    EXPECT_EQ(model.right()->name, "replacement.csv");
    EXPECT_FALSE(model.summary());
    EXPECT_EQ(model.tab(), WorkspaceTab::mapping);
    EXPECT_EQ(model.mappings().size(), 5u);
    EXPECT_EQ(model.notice(),
              "Suggestions use header patterns and a local sample. Review the row key before comparing.");
}

class ExportTest : public ModelTest {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        compareSamples();
    }

    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(ExportTest, ReportHoldsTheFilteredRecordsOfEveryPage)
{
    dialogs->saveAnswer = folder.filePath("report.csv");
    model.setFilter(ResultFilter::changed);
    model.setQuery("lamp");
    waitUntilIdle();
    model.exportReport();
    EXPECT_EQ(dialogs->saveName, "comparison-report.csv");
    EXPECT_EQ(dialogs->saveMessage,
              "Exports the current filter and search across all result pages. Formula-like "
              "cells are prefixed with an apostrophe for spreadsheet safety.");
    EXPECT_EQ(model.busyLabel(), "Saving comparison report…");
    waitUntilIdle();
    EXPECT_EQ(model.notice(), "Exported 1 rows. Formula-like values were escaped for spreadsheet safety.");
    const std::string report = readWholeFile(*dialogs->saveAnswer);
    EXPECT_THAT(report, StartsWith("\"Status\",\"Row key\",\"catalog-before.csv · sku\""));
    EXPECT_NE(report.find("\r\n\"Changed\",\"SK-001\""), std::string::npos);
    EXPECT_EQ(report.find("SK-003"), std::string::npos);
}

TEST_F(ExportTest, ExportNeedsAConfirmedDialog)
{
    model.exportReport();
    EXPECT_EQ(dialogs->saveCalls, 1);
    EXPECT_FALSE(model.isBusy());
    EXPECT_EQ(model.notice(), "");
}

TEST_F(ExportTest, ExportIsRefusedWhileAFilterRunIsPending)
{
    dialogs->saveAnswer = folder.filePath("report.csv");
    model.setQuery("lamp");
    model.exportReport();
    EXPECT_EQ(dialogs->saveCalls, 0);
    waitUntilIdle();
    model.setQuery("nothing like this");
    waitUntilIdle();
    model.exportReport();
    EXPECT_EQ(dialogs->saveCalls, 0);
    EXPECT_FALSE(QFile::exists(*dialogs->saveAnswer));
}

TEST_F(ExportTest, FailedWriteReportsTheErrorAndKeepsTheResult)
{
    dialogs->saveAnswer = folder.filePath("no-such-folder/report.csv");
    model.exportReport();
    waitUntilIdle();
    ASSERT_TRUE(model.errorMessage());
    EXPECT_FALSE(model.errorMessage()->isEmpty());
    EXPECT_EQ(model.notice(), "");
    EXPECT_TRUE(model.summary());
    EXPECT_EQ(model.filteredIndices().size(), 4u);
}

TEST_F(ExportTest, ReplacingAReportSwapsTheWholeFile)
{
    dialogs->saveAnswer = writeFile("report.csv", std::string(100000, 'x'));
    model.exportReport();
    waitUntilIdle();
    const std::string report = readWholeFile(*dialogs->saveAnswer);
    EXPECT_THAT(report, StartsWith("\"Status\""));
    EXPECT_EQ(report.find('x' + std::string(10, 'x')), std::string::npos);
}

TEST_F(ExportTest, CancelledExportLeavesTheExistingFileUntouched)
{
    const QString path = writeFile("report.csv", "earlier report");
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(saveReport(path, *model.summary(), *model.left(), *model.right(), model.filteredIndices(),
                            stop.get_token()),
                 OperationCancelled);
    EXPECT_EQ(readWholeFile(path), "earlier report");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"report.csv"}));
}

TEST_F(FileIntakeTest, ExportNoticeGroupsTheRowCountByLocale)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    loadBoth(writeNumberedFile("a.csv", 1234, "old"), writeNumberedFile("b.csv", 1234, "new"));
    compareLoaded();
    dialogs->saveAnswer = folder.filePath("report.csv");
    model.exportReport();
    waitUntilIdle();
    QLocale::setDefault(QLocale::system());
    EXPECT_EQ(model.notice(),
              "Exported 1,234 rows. Formula-like values were escaped for spreadsheet safety.");
}

}  // namespace
}  // namespace rowlark::testing
