#include "ui/shell/RowlarkApp.h"

#include <QApplication>
#include <QIcon>

#include "RowlarkVersion.h"
#include "model/Translations.h"

namespace rowlark::ui::shell {

RowlarkApp::RowlarkApp()
{
    dialogs_->setParentWindow(&window_);
}

void RowlarkApp::configure()
{
    QApplication::setApplicationName(QStringLiteral("Rowlark"));
    QApplication::setOrganizationName(QStringLiteral("Rowlark"));
    QApplication::setApplicationVersion(QString::fromLatin1(version));
    // Desktops find the window's desktop entry, and with it the icon, by this name.
    QApplication::setDesktopFileName(QString::fromLatin1(applicationID));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/rowlark.svg")));
    model::installTranslations(*QCoreApplication::instance());
}

}  // namespace rowlark::ui::shell
