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
    QFileDialog dialog(parentWindow_, message, suggestedName,
                       QCoreApplication::translate("QtFileDialogs", "CSV files (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

}  // namespace rowlark::ui::shell
