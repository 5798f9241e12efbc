#include <QApplication>

#include "ui/shell/RowlarkApp.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    rowlark::ui::shell::RowlarkApp::configure();
    rowlark::ui::shell::RowlarkApp app;
    app.window().show();
    app.window().openFiles(QApplication::arguments().mid(1));
    return QApplication::exec();
}
