#include <QApplication>

#include "shell/RowlarkApp.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    rowlark::ui::RowlarkApp::configure();
    rowlark::ui::RowlarkApp app;
    app.window().show();
    return QApplication::exec();
}
