#include <QCoreApplication>
#include <QLocale>

#include <gmock/gmock.h>

#include "model/Translations.h"

// The model delivers background results through the application's event loop. Counts are checked
// as a United States user sees them.
int main(int argc, char** argv)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCoreApplication application(argc, argv);
    rowlark::model::installTranslations(application);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
