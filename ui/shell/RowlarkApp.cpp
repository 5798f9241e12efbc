#include "shell/RowlarkApp.h"

#include <QApplication>

namespace rowlark::ui::shell {

RowlarkApp::RowlarkApp()
{
    dialogs_->setParentWindow(&window_);
}

void RowlarkApp::configure()
{
    QApplication::setApplicationName(QStringLiteral("Rowlark"));
    QApplication::setOrganizationName(QStringLiteral("Rowlark"));
}

}  // namespace rowlark::ui::shell
