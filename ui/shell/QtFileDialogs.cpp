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
        if (!chosen.isEmpty() && suffix != QStringLiteral("csv") && suffix != QStringLiteral("xlsx")) {
            auto* refusal = new QMessageBox(
                QMessageBox::Warning, windowTitle(),
                QCoreApplication::translate("QtFileDialogs",
                                            "Reports are saved as CSV files (.csv) or Excel workbooks (.xlsx). "
                                            "Choose a name that ends in .csv or .xlsx."),
                QMessageBox::Ok, this);
            refusal->setObjectName(QStringLiteral("reportNameRefusal"));
            refusal->setAttribute(Qt::WA_DeleteOnClose);
            refusal->open();
            return;
        }
        QFileDialog::accept();
    }
};

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

void QtFileDialogs::rememberFolderOf(const QString& chosenPath)
{
    QSettings().setValue(lastFolderKey, QFileInfo(chosenPath).absolutePath());
}

std::optional<QString> QtFileDialogs::openFile(const QString& title, const QStringList& extensions)
{
    const QString path = QFileDialog::getOpenFileName(parentWindow_, title, lastFolder(), nameFilter(extensions));
    if (path.isEmpty())
        return std::nullopt;
    rememberFolderOf(path);
    return path;
}

std::optional<QString> QtFileDialogs::saveFile(const QString& suggestedName, const QString& message)
{
    // The filters in the order of their suffixes: a name typed without an extension gets the one
    // of the filter chosen.
    const QStringList filters{QCoreApplication::translate("QtFileDialogs", "CSV files (*.csv)"),
                              QCoreApplication::translate("QtFileDialogs", "Excel workbook (*.xlsx)")};
    const QStringList suffixes{QStringLiteral("csv"), QStringLiteral("xlsx")};
    ReportSaveDialog dialog(parentWindow_, message, lastFolder());
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffixes.constFirst());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &filters, &suffixes](const QString& filter) {
                         dialog.setDefaultSuffix(suffixes.value(filters.indexOf(filter), suffixes.constFirst()));
                     });
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().constFirst();
    rememberFolderOf(path);
    return path;
}

}  // namespace rowlark::ui::shell
