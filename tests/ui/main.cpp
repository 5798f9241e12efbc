#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>

#include <unistd.h>

#include <gmock/gmock.h>

#include "model/Translations.h"

namespace {

// Qt's offscreen platform has a screen of 800 × 600 unless told otherwise; the window is tested at its
// usual size on a screen that has room for it, and at the small sizes the tests choose. Each test
// runs in a program of its own, so each writes the screen's description to a file of its own.
QString largeScreenConfiguration()
{
    const QString path = QDir::temp().filePath(QStringLiteral("rowlark-ui-tests-screen-%1.json").arg(getpid()));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(R"({"screens": [{"name": "large", "x": 0, "y": 0, "width": 1920, "height": 1200}]})");
    return path;
}

}  // namespace

// Widgets need a QApplication, here on the offscreen platform unless one is named, as test runs
// (listing the tests included) have no display. Counts are checked as a United States user sees them.
int main(int argc, char** argv)
{
    QString screen;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qEnvironmentVariable("QT_QPA_PLATFORM") == "offscreen") {
        screen = largeScreenConfiguration();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screen));
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication application(argc, argv);
    if (!screen.isEmpty())
        QFile::remove(screen);
    rowlark::model::installTranslations(application);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
