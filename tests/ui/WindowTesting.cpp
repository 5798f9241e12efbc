#include "tests/ui/WindowTesting.h"

#include <QApplication>
#include <QFile>
#include <QTest>

namespace rowlark::ui::testing {

WindowTest::WindowTest()
{
    window.show();
}

WindowTest::~WindowTest()
{
    model.cancel();
}

QString WindowTest::writeFile(const QString& name, const std::string& text)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
    return path;
}

void WindowTest::waitUntilIdle()
{
    EXPECT_TRUE(QTest::qWaitFor([this] { return !model.isBusy(); }, 20000));
}

void WindowTest::loadSamples()
{
    model.loadSample();
    waitUntilIdle();
}

void WindowTest::loadFiles(const std::string& left, const std::string& right)
{
    model.load(writeFile("before.csv", left), true);
    waitUntilIdle();
    model.load(writeFile("after.csv", right), false);
    waitUntilIdle();
}

QList<QWidget*> WindowTest::tabWalk(QWidget* start, int presses)
{
    QApplication::setActiveWindow(&window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    start->setFocus(Qt::TabFocusReason);
    QList<QWidget*> walk;
    for (int press = 0; press < presses; ++press) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walk << QApplication::focusWidget();
    }
    return walk;
}

}  // namespace rowlark::ui::testing
