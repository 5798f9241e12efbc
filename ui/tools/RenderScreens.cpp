// Renders the window's main screens to PNG files on the offscreen platform, for the README and for
// looking at the layout without a display: rowlark-screens OUTPUT_FOLDER

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include "model/ComparisonModel.h"
#include "model/Translations.h"
#include "tests/support/WorkbookWriting.h"
#include "ui/shell/MainWindow.h"

namespace {

class NoDialogs : public rowlark::model::FileDialogs {
public:
    std::optional<QString> openFile(const QString&, const QStringList&) override { return std::nullopt; }
    std::optional<QString> saveFile(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> openSetupFile() override { return std::nullopt; }
    std::optional<QString> saveSetupFile(const QString&) override { return std::nullopt; }
};

void settle()
{
    QTest::qWait(300);
}

bool waitUntilIdle(const rowlark::model::ComparisonModel& model, const char* what)
{
    const bool isIdle = QTest::qWaitFor([&model] { return !model.isBusy() && !model.isFiltering(); }, 20000);
    if (!isIdle)
        std::fprintf(stderr, "%s did not finish\n", what);
    return isIdle;
}

// Selects the first changed record, so that the inspector shows its fields side by side.
void selectFirstChanged(rowlark::model::ComparisonModel& model)
{
    for (const rowlark::records::RowDifference& difference : model.summary()->differences)
        if (difference.status == rowlark::records::DiffStatus::changed) {
            model.setSelectedRowID(difference.id);
            return;
        }
}

bool writeText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// Writes two files of these names and texts into `folder` and loads them as File A and File B.
bool loadFiles(rowlark::model::ComparisonModel& model, const QTemporaryDir& folder,
               const std::pair<QString, QByteArray>& first, const std::pair<QString, QByteArray>& second)
{
    const QString before = folder.filePath(first.first);
    const QString after = folder.filePath(second.first);
    if (!writeText(before, first.second) || !writeText(after, second.second))
        return false;
    model.load(before, true);
    if (!waitUntilIdle(model, "reading the first file"))
        return false;
    model.load(after, false);
    return waitUntilIdle(model, "reading the second file");
}

// A semicolon-separated export, as spreadsheets in much of Europe write them, beside a tab-separated
// one, for the file cards that name their separators.
bool loadSeparatedFiles(rowlark::model::ComparisonModel& model, const QTemporaryDir& folder)
{
    const QString semicolons = folder.filePath(QStringLiteral("Lagerbestand_Juni_2024.csv"));
    const QString tabs = folder.filePath(QStringLiteral("inventory_june.tsv"));
    if (!writeText(semicolons, "Artikel;Bezeichnung;Preis\nSK-001;Schreibtischlampe;\"49,00\"\n") ||
        !writeText(tabs, "sku\tname\tprice\nSK-001\tDesk lamp\t49.00\n"))
        return false;
    model.loadFiles(semicolons, tabs);
    return waitUntilIdle(model, "reading the separated files");
}

// Two files that agree in every compared column, for the screen that says so.
bool loadAgreeingFiles(rowlark::model::ComparisonModel& model, const QTemporaryDir& folder)
{
    const QByteArray text = "sku,name,price\nSK-001,Desk lamp,24.90\nSK-002,Notebook,3.50\n";
    return loadFiles(model, folder, {QStringLiteral("stock-monday.csv"), text},
                     {QStringLiteral("stock-tuesday.csv"), text});
}

// A workbook's export and the CSV file pandas writes from it: the same values written differently.
bool loadRewrittenFiles(rowlark::model::ComparisonModel& model, const QTemporaryDir& folder)
{
    const QByteArray exported = "id,Sensor,Rate,Timestamp,Count,Amount\n"
                                "1,North gate,1.65%,2024-03-05T12:00:00,63490,9100.30\n"
                                "2,South gate,2.10%,2024-03-05T12:15:00,,120.00\n"
                                "3,Loading bay,0.95%,2024-03-05T12:30:00,18576,7053.98\n"
                                "4,Cold store,1.20%,2024-03-05T12:45:00,4312,8590.95\n";
    const QByteArray pandas = "id,Sensor,Rate,Timestamp,Count,Amount\n"
                              "1,North gate,0.0165,2024-03-05 12:00:00,63490.0,9100.3\n"
                              "2,South gate,0.021,2024-03-05 12:15:00,,120.0\n"
                              "3,Loading bay,0.0095,2024-03-05 12:30:00,18576.0,7053.98\n"
                              "4,Cold store,0.012,2024-03-05 12:45:00,4312.0,8590.96\n";
    return loadFiles(model, folder, {QStringLiteral("readings.csv"), exported},
                     {QStringLiteral("readings-pandas.csv"), pandas});
}

// Two monthly workbooks of several sheets, for "All sheets": renamed, hidden, missing and empty
// sheets among them.
bool loadWorkbooks(rowlark::model::ComparisonModel& model, const QTemporaryDir& folder)
{
    using Rows = std::vector<std::vector<std::string>>;
    const Rows regions = {{"region", "revenue", "orders"},
                          {"North", "48,200", "310"},
                          {"South", "39,950", "288"},
                          {"East", "51,030", "342"},
                          {"West", "44,870", "301"}};
    const Rows regionsLater = {{"region", "revenue", "orders"}, {"North", "48,200", "310"},
                               {"South", "41,120", "296"},      {"East", "51,030", "342"},
                               {"West", "44,870", "301"},       {"Central", "12,400", "85"}};
    Rows sales = {{"invoice", "customer", "amount", "status"}};
    Rows salesLater = sales;
    for (int invoice = 1; invoice <= 40; ++invoice) {
        const std::string number = "INV-" + std::to_string(10400 + invoice);
        const std::string amount = std::to_string(120 + invoice * 7) + ".00";
        sales.push_back({number, "Customer " + std::to_string(invoice), amount, "paid"});
        if (invoice % 9 != 0)
            salesLater.push_back({number, "Customer " + std::to_string(invoice),
                                  invoice % 6 == 0 ? std::to_string(125 + invoice * 7) + ".00" : amount,
                                  invoice % 11 == 0 ? "refunded" : "paid"});
    }
    const Rows stock = {{"sku", "on hand"}, {"SK-001", "14"}, {"SK-002", "3"}, {"SK-003", "27"}};
    const Rows stockLater = {{"sku", "on hand"}, {"SK-001", "12"}, {"SK-002", "3"}, {"SK-003", "27"}};
    const Rows rates = {{"code", "rate"}, {"EUR", "1.08"}, {"GBP", "1.27"}};
    const std::string before = rowlark::testing::xlsxWorkbook(
        {{"Summary", regions}, {"Sales", sales}, {"Returns", {}}, {"Stock", stock}, {"Rates", rates, true}});
    const std::string after = rowlark::testing::xlsxWorkbook({{"Summary", regionsLater},
                                                              {"sales", salesLater},
                                                              {"Returns", {}},
                                                              {"Stock", stockLater},
                                                              {"Forecast", regions},
                                                              {"Targets", regions}});
    const QString first = folder.filePath(QStringLiteral("report-november.xlsx"));
    const QString second = folder.filePath(QStringLiteral("report-december.xlsx"));
    if (!writeText(first, QByteArray::fromStdString(before)) || !writeText(second, QByteArray::fromStdString(after)))
        return false;
    model.loadFiles(first, second);
    if (!waitUntilIdle(model, "reading the workbooks"))
        return false;
    model.compareAllSheets();
    return waitUntilIdle(model, "comparing all sheets");
}

bool save(const QPixmap& picture, const QDir& folder, const QString& name)
{
    const QString path = folder.filePath(name);
    const bool isSaved = picture.save(path);
    std::printf("%s %s\n", isSaved ? "wrote" : "could not write", qPrintable(path));
    return isSaved;
}

// The window with its alert drawn over the middle, as a window manager would place it.
QPixmap withAlert(QWidget& window)
{
    QPixmap picture = window.grab();
    const auto* alert = window.findChild<QMessageBox*>(QStringLiteral("errorAlert"));
    if (!alert)
        return picture;
    const QPixmap sheet = const_cast<QMessageBox*>(alert)->grab();
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QColor(0, 0, 0, 60));
    const QPoint topLeft((picture.width() / picture.devicePixelRatio() - sheet.width()) / 2,
                         (picture.height() / picture.devicePixelRatio() - sheet.height()) / 3);
    painter.drawPixmap(topLeft, sheet);
    return picture;
}

}  // namespace

// Qt's offscreen platform has a screen of 800 × 600 unless told otherwise, smaller than the window's
// usual size: the screen is described in a file of its own for the platform to read.
QString largeScreenConfiguration(const QTemporaryDir& folder)
{
    const QString path = folder.filePath(QStringLiteral("screen.json"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(R"({"screens": [{"name": "large", "x": 0, "y": 0, "width": 1920, "height": 1200}]})");
    return path;
}

int main(int argc, char** argv)
{
    const QTemporaryDir platformFolder;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM",
                "offscreen:configfile=" + QFile::encodeName(largeScreenConfiguration(platformFolder)));
    QApplication application(argc, argv);
    rowlark::model::installTranslations(application);
    if (argc != 2) {
        std::fprintf(stderr, "usage: rowlark-screens OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    rowlark::model::ComparisonModel model(std::make_shared<NoDialogs>());
    rowlark::ui::shell::MainWindow window(model);
    window.show();
    settle();
    bool isComplete = save(window.grab(), folder, QStringLiteral("empty-state.png"));

    model.loadSample();
    if (!waitUntilIdle(model, "loading the samples"))
        return 1;
    settle();
    isComplete &= save(window.grab(), folder, QStringLiteral("mapping-samples.png"));

    model.setErrorMessage(QStringLiteral("The CSV contains an unclosed quoted field."));
    settle();
    isComplete &= save(withAlert(window), folder, QStringLiteral("error-alert.png"));
    model.setErrorMessage(std::nullopt);

    model.compare();
    if (!waitUntilIdle(model, "comparing the samples"))
        return 1;
    selectFirstChanged(model);
    settle();
    isComplete &= save(window.grab(), folder, QStringLiteral("results-samples.png"));

    model.setChangedColumn(rowlark::records::columnsByChanges(*model.summary()).front());
    if (!waitUntilIdle(model, "narrowing to one column"))
        return 1;
    settle();
    isComplete &= save(window.grab(), folder, QStringLiteral("results-by-column.png"));

    // The least window, as on a small laptop screen or a large one at twice the scale.
    const QSize usual = window.size();
    window.resize(window.minimumSize());
    model.setChangedColumn(std::nullopt);
    if (!waitUntilIdle(model, "showing every column"))
        return 1;
    selectFirstChanged(model);
    settle();
    isComplete &= save(window.grab(), folder, QStringLiteral("results-narrow.png"));
    model.setTab(rowlark::model::WorkspaceTab::mapping);
    settle();
    isComplete &= save(window.grab(), folder, QStringLiteral("mapping-narrow.png"));
    window.resize(usual);

    const QTemporaryDir files;
    if (!files.isValid() || !loadSeparatedFiles(model, files))
        return 1;
    settle();
    isComplete &= save(window.findChild<QWidget*>(QStringLiteral("fileSlotA"))->grab(), folder,
                       QStringLiteral("file-card-semicolons.png"));

    if (!loadRewrittenFiles(model, files))
        return 1;
    model.compare();
    if (!waitUntilIdle(model, "comparing rewritten files"))
        return 1;
    selectFirstChanged(model);
    settle();
    isComplete &= save(window.grab(), folder, QStringLiteral("results-format-only.png"));

    // The rates and timestamps taken as proposed; the counts and amounts still offer theirs.
    std::vector<std::size_t> taken;
    for (std::size_t column = 0; column < model.summary()->columns.size(); ++column)
        if (model.summary()->columns[column].leftHeader == "Rate" ||
            model.summary()->columns[column].leftHeader == "Timestamp")
            taken.push_back(column);
    model.compareTakingProposedRules(taken);
    if (!waitUntilIdle(model, "comparing with rules"))
        return 1;
    model.setTab(rowlark::model::WorkspaceTab::mapping);
    settle();
    isComplete &= save(window.grab(), folder, QStringLiteral("mapping-rules.png"));

    if (!loadWorkbooks(model, files))
        return 1;
    model.choosePair(1);
    selectFirstChanged(model);
    settle();
    isComplete &= save(window.grab(), folder, QStringLiteral("results-all-sheets.png"));

    if (!loadAgreeingFiles(model, files))
        return 1;
    model.compare();
    if (!waitUntilIdle(model, "comparing agreeing files"))
        return 1;
    settle();
    isComplete &= save(window.grab(), folder, QStringLiteral("results-no-differences.png"));
    return isComplete ? 0 : 1;
}
