#include "WindowTesting.h"

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

}  // namespace rowlark::ui::testing
