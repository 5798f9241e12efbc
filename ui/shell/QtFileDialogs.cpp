#include "ui/shell/QtFileDialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>

namespace rowlark::ui::shell {

namespace {

const QString lastFolderKey = QStringLiteral("dialogs/lastFolder");

// The save dialog of the report: its explanation under the file list, and a name it cannot write
// (another spreadsheet's, a text file's) refused with a word, so that no file holds what its name
// does not say. Qt's own dialog is used, as only it takes a line of explanation.
class ReportSaveDialog : public QFileDialog {
public:
    ReportSaveDialog(QWidget* parent, const QString& message, const QString& folder)
        : QFileDialog(parent, QCoreApplication::translate("QtFileDialogs", "Export filtered report"), folder)
    {
        setObjectName(QStringLiteral("reportSaveDialog"));
        setOption(QFileDialog::DontUseNativeDialog);
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        auto* explanation = new QLabel(message, this);
        explanation->setObjectName(QStringLiteral("reportSaveExplanation"));
        explanation->setTextFormat(Qt::PlainText);
        explanation->setWordWrap(true);
        if (auto* grid = qobject_cast<QGridLayout*>(layout()))
            grid->addWidget(explanation, grid->rowCount(), 0, 1, grid->columnCount());
    }

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        const QString suffix = chosen.isEmpty() ? QString() : QFileInfo(chosen.constFirst()).suffix().toLower();
        const QStringList reportSuffixes{QStringLiteral("csv"), QStringLiteral("xlsx"), QStringLiteral("html"),
                                         QStringLiteral("htm")};
        if (!chosen.isEmpty() && !reportSuffixes.contains(suffix)) {
            auto* refusal = new QMessageBox(
                QMessageBox::Warning, windowTitle(),
                QCoreApplication::translate("QtFileDialogs",
                                            "Reports are saved as CSV files (.csv), Excel workbooks (.xlsx) or web "
                                            "pages (.html). Choose a name that ends in .csv, .xlsx or .html."),
                QMessageBox::Ok, this);
            refusal->setObjectName(QStringLiteral("reportNameRefusal"));
            refusal->setAttribute(Qt::WA_DeleteOnClose);
            refusal->open();
            return;
        }
        QFileDialog::accept();
    }
};

QString setupFilter()
{
    return QCoreApplication::translate("QtFileDialogs", "Rowlark setups (*.rowlark *.ROWLARK)");
}

// Runs a save dialog set up with its filters, pre-filled with `suggestedName`; empty when cancelled.
QString chosenSavePath(QFileDialog& dialog, const QString& suggestedName)
{
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace

QString nameFilter(const QStringList& extensions)
{
    QStringList patterns;
    for (const QString& extension : extensions) {
        patterns << QStringLiteral("*.") + extension.toLower();
        patterns << QStringLiteral("*.") + extension.toUpper();
    }
    return QCoreApplication::translate("QtFileDialogs", "Spreadsheets and CSV files (%1)")
        .arg(patterns.join(QLatin1Char(' ')));
}

// Empty before the first choice, which lets the dialog start where the toolkit chooses.
QString QtFileDialogs::lastFolder()
{
    return QSettings().value(lastFolderKey).toString();
}

// The path chosen, whose folder the next dialog starts in; nothing when the dialog was cancelled.
std::optional<QString> QtFileDialogs::remembered(const QString& chosenPath)
{
    if (chosenPath.isEmpty())
        return std::nullopt;
    QSettings().setValue(lastFolderKey, QFileInfo(chosenPath).absolutePath());
    return chosenPath;
}

std::optional<QString> QtFileDialogs::openFile(const QString& title, const QStringList& extensions)
{
    return remembered(QFileDialog::getOpenFileName(parentWindow_, title, lastFolder(), nameFilter(extensions)));
}

std::optional<QString> QtFileDialogs::saveFile(const QString& suggestedName, const QString& message)
{
    // The filters in the order of their suffixes: a name typed without an extension gets the one
    // of the filter chosen.
    const QStringList filters{QCoreApplication::translate("QtFileDialogs", "CSV files (*.csv)"),
                              QCoreApplication::translate("QtFileDialogs", "Excel workbook (*.xlsx)"),
                              QCoreApplication::translate("QtFileDialogs", "HTML page (*.html)")};
    const QStringList suffixes{QStringLiteral("csv"), QStringLiteral("xlsx"), QStringLiteral("html")};
    ReportSaveDialog dialog(parentWindow_, message, lastFolder());
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffixes.constFirst());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &filters, &suffixes](const QString& filter) {
                         dialog.setDefaultSuffix(suffixes.value(filters.indexOf(filter), suffixes.constFirst()));
                     });
    return remembered(chosenSavePath(dialog, suggestedName));
}

std::optional<QString> QtFileDialogs::openSetupFile()
{
    return remembered(QFileDialog::getOpenFileName(
        parentWindow_, QCoreApplication::translate("QtFileDialogs", "Open a saved comparison setup"), lastFolder(),
        setupFilter()));
}

std::optional<QString> QtFileDialogs::saveSetupFile(const QString& suggestedName)
{
    QFileDialog dialog(parentWindow_, QCoreApplication::translate("QtFileDialogs", "Save the comparison setup"),
                       lastFolder());
    dialog.setNameFilter(setupFilter());
    dialog.setDefaultSuffix(QStringLiteral("rowlark"));
    return remembered(chosenSavePath(dialog, suggestedName));
}

}  // namespace rowlark::ui::shell
