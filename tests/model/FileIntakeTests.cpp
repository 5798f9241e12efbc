#include <QFile>

#include "engine/workbook/FileImport.h"
#include "model/ModelWork.h"
#include "tests/model/ModelTesting.h"

namespace rowlark::testing {
namespace {

std::string readWholeFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll().toStdString();
}

using FileIntakeTest = ModelTest;

// A cancelled open dialog changes nothing; a confirmed one reads the file chosen.
TEST_F(FileIntakeTest, OpenDialogOffersEveryTableFormat)
{
    model.selectFile(true);
    EXPECT_EQ(dialogs->openCalls, 1);
    EXPECT_FALSE(model.isBusy());
    EXPECT_EQ(announcedInAll(), 0);

    dialogs->openAnswer = writeNumberedFile("chosen.csv", 2, "x");
    model.selectFile(false);
    EXPECT_EQ(dialogs->openTitle, "Choose a CSV, Excel, Numbers or LibreOffice file");
    EXPECT_EQ(dialogs->openExtensions, QStringList({"csv", "tsv", "tab", "txt", "xlsx", "xls", "ods", "numbers"}));
    EXPECT_EQ(model.busyLabel(), "Reading chosen.csv…");
    waitUntilIdle();
    EXPECT_EQ(model.rightName(), "chosen.csv");
    EXPECT_FALSE(model.left());
}

class ExportTest : public ModelTest {
protected:
    void SetUp() override { compareSamples(); }
};

// The CSV report holds the records the filter, the search and the chosen column select, of every page.
TEST_F(ExportTest, ReportHoldsTheSelectedRecordsOfEveryPage)
{
    const struct {
        records::ResultFilter filter;
        QString query;
        std::optional<std::size_t> changedColumn;
        const char* held;
        const char* left;
    } selections[] = {
        {records::ResultFilter::changed, "lamp", std::nullopt, "SK-001", "SK-003"},
        {records::ResultFilter::all, "", 3, "SK-003", "SK-001"},  // city
    };
    for (const auto& selection : selections) {
        dialogs->saveAnswer = folder.filePath("report.csv");
        model.setFilter(selection.filter);
        model.setQuery(selection.query);
        model.setChangedColumn(selection.changedColumn);
        waitUntilIdle();
        model.exportReport();
        EXPECT_EQ(dialogs->saveName, "comparison-report.csv");
        EXPECT_EQ(dialogs->saveMessage, "Exports the current filter and search across all result pages. Formula-like "
                                        "cells are prefixed with an apostrophe for spreadsheet safety.");
        EXPECT_EQ(model.busyLabel(), "Saving comparison report…");
        waitUntilIdle();
        EXPECT_EQ(model.notice(), "Exported 1 row.") << "the samples hold nothing formula-like";
        const std::string report = readWholeFile(*dialogs->saveAnswer);
        EXPECT_THAT(report, ::testing::StartsWith("\"Status\",\"Row key\",\"catalog-before.csv · sku\""));
        EXPECT_NE(report.find(std::string("\r\n\"Changed\",\"") + selection.held + "\""), std::string::npos);
        EXPECT_EQ(report.find(selection.left), std::string::npos);
    }
}

// A path ending in .xlsx gets the workbook, whose Summary sheet names the key of the comparison and
// what selected its rows.
TEST_F(ExportTest, AnXLSXPathGetsTheWorkbookReport)
{
    dialogs->saveAnswer = folder.filePath("report.XLSX");
    model.setFilter(records::ResultFilter::changed);
    model.setQuery("  Portland ");
    model.setChangedColumn(3);  // city
    waitUntilIdle();
    model.exportReport();
    waitUntilIdle();
    EXPECT_EQ(model.notice(), "Exported 1 row.");
    const auto read = [this](const std::string& sheet) {
        return workbook::FileImport::readTable(QFile::encodeName(*dialogs->saveAnswer).toStdString(), sheet, {}, {},
                                               workbook::FileImport::WorkbookReader::native)
            .table;
    };
    const table::Table report = read("Report");
    ASSERT_EQ(report.rowCount(), 1u);
    EXPECT_EQ(report.cell(0, 1), "SK-003");
    const table::Table summary = read("Summary");
    EXPECT_EQ(summary.rowStrings(2), (std::vector<std::string>{"Key", "sku"}));
    EXPECT_EQ(summary.rowStrings(11), (std::vector<std::string>{"Filter", "Changed rows"}));
    EXPECT_EQ(summary.rowStrings(12), (std::vector<std::string>{"Search", "Portland"}));
    EXPECT_EQ(summary.rowStrings(13), (std::vector<std::string>{"Changed column", "city"}));
}

// Only a name ending in .csv or .xlsx is written as it is: any other gets ".csv" added, so that no
// spreadsheet's name holds CSV text, and the notice says where the report went.
TEST_F(ExportTest, ANameOfAnotherFileTypeGetsCSVAdded)
{
    const std::vector<std::pair<QString, QString>> names = {{"report.ods", "report.ods.csv"},
                                                            {"report.txt", "report.txt.csv"},
                                                            {"report", "report.csv"},
                                                            {"report.Csv", "report.Csv"}};
    for (const auto& [chosen, written] : names) {
        dialogs->saveAnswer = folder.filePath(chosen);
        model.exportReport();
        waitUntilIdle();
        EXPECT_TRUE(QFile::exists(folder.filePath(written))) << written.toStdString();
        if (chosen != written) {
            EXPECT_FALSE(QFile::exists(folder.filePath(chosen))) << chosen.toStdString();
            EXPECT_EQ(model.notice(), "Exported 4 rows. Saved as " + written + ", as reports are CSV or Excel files.");
        }
    }
}

// A path ending in .html gets the web page, which names what selected its records and holds them.
TEST_F(ExportTest, AnHTMLPathGetsTheWebPage)
{
    dialogs->saveAnswer = folder.filePath("report.Html");
    model.setFilter(records::ResultFilter::changed);
    model.setQuery(" LAMP ");
    waitUntilIdle();
    model.exportReport();
    EXPECT_EQ(model.busyLabel(), "Saving comparison report…");
    waitUntilIdle();
    EXPECT_EQ(model.notice(), "Exported 1 record as a web page.");
    const std::string page = readWholeFile(*dialogs->saveAnswer);
    EXPECT_THAT(page, ::testing::StartsWith("<!DOCTYPE html>"));
    EXPECT_NE(page.find("<dt>Key</dt><dd>sku</dd>"), std::string::npos);
    EXPECT_NE(page.find("<dd>Changed rows \u00B7 containing \u201CLAMP\u201D</dd>"), std::string::npos);
    EXPECT_NE(page.find("[0,\"SK-001\""), std::string::npos);
    EXPECT_EQ(page.find("SK-003"), std::string::npos);
}

TEST_F(ExportTest, CancelledExportLeavesTheExistingFileUntouched)
{
    for (const QString name : {"report.csv", "report.xlsx", "report.html"}) {
        const QString path = writeFile(name, "earlier report");
        std::stop_source stop;
        stop.request_stop();
        const auto save = [&] {
            if (name.endsWith(".html"))
                model::savePage(path, *model.summary(), *model.left(), *model.right(), model.filteredIndices(), {},
                                stop.get_token());
            else
                model::saveReport(path, *model.summary(), *model.left(), *model.right(), model.filteredIndices(),
                                  {"sku", {}, "All differences", {}, {}}, stop.get_token());
        };
        EXPECT_THROW(save(), model::OperationCancelled);
        EXPECT_EQ(readWholeFile(path), "earlier report") << name.toStdString();
    }
}

}  // namespace
}  // namespace rowlark::testing
