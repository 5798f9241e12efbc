#include <QApplication>
#include <QLocale>

#include <gmock/gmock.h>

#include "model/Translations.h"

// Widgets need a QApplication, here on the offscreen platform unless one is named, as test runs
// (listing the tests included) have no display. Counts are checked as a United States user sees them.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication application(argc, argv);
    rowlark::model::installTranslations(application);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
