#include "shell/QtFileDialogs.h"

#include <QCoreApplication>
#include <QFileDialog>

namespace rowlark::ui::shell {

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

std::optional<QString> QtFileDialogs::openFile(const QString& title, const QStringList& extensions)
{
    const QString path = QFileDialog::getOpenFileName(parentWindow_, title, QString(), nameFilter(extensions));
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtFileDialogs::saveFile(const QString& suggestedName, const QString& message)
{
    // The filters in the order of their suffixes: a name typed without an extension gets the one
    // of the filter chosen.
    const QStringList filters{QCoreApplication::translate("QtFileDialogs", "CSV files (*.csv)"),
                              QCoreApplication::translate("QtFileDialogs", "Excel workbook (*.xlsx)")};
    const QStringList suffixes{QStringLiteral("csv"), QStringLiteral("xlsx")};
    QFileDialog dialog(parentWindow_, message, suggestedName);
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
    return dialog.selectedFiles().constFirst();
}

}  // namespace rowlark::ui::shell
