#include "ui/shell/QtFileDialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace rowlark::ui::shell {

namespace {

const QString lastFolderKey = QStringLiteral("dialogs/lastFolder");

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
                              QCoreApplication::translate("QtFileDialogs", "Excel workbook (*.xlsx)"),
                              QCoreApplication::translate("QtFileDialogs", "HTML page (*.html)")};
    const QStringList suffixes{QStringLiteral("csv"), QStringLiteral("xlsx"), QStringLiteral("html")};
    QFileDialog dialog(parentWindow_, message, lastFolder());
    dialog.setNameFilters(filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
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

namespace {

QString setupFilter()
{
    return QCoreApplication::translate("QtFileDialogs", "Rowlark setups (*.rowlark *.ROWLARK)");
}

}  // namespace

std::optional<QString> QtFileDialogs::openSetupFile()
{
    const QString path = QFileDialog::getOpenFileName(
        parentWindow_, QCoreApplication::translate("QtFileDialogs", "Open a saved comparison setup"), lastFolder(),
        setupFilter());
    if (path.isEmpty())
        return std::nullopt;
    rememberFolderOf(path);
    return path;
}

std::optional<QString> QtFileDialogs::saveSetupFile(const QString& suggestedName)
{
    QFileDialog dialog(parentWindow_, QCoreApplication::translate("QtFileDialogs", "Save the comparison setup"),
                       lastFolder());
    dialog.setNameFilter(setupFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("rowlark"));
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().constFirst();
    rememberFolderOf(path);
    return path;
}

}  // namespace rowlark::ui::shell
