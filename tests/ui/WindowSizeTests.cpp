// The window at the sizes people use: about 800 × 600 at the least, 1280 × 720, and a 1600 × 1000
// screen at scale factor 2 (800 × 500 logical pixels). On each, every control of every screen
// must lie inside the window; controls of a scrolling list may be scrolled away, the list may not.

#include <QAbstractScrollArea>
#include <QApplication>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include "tests/ui/WindowTesting.h"

namespace rowlark::ui::testing {
namespace {

// Whether `widget` lies inside the viewport of a scrolling list or pane, which may scroll it away.
bool isInScrolledArea(const QWidget* widget, const QWidget& window)
{
    for (const QWidget* parent = widget->parentWidget(); parent && parent != &window; parent = parent->parentWidget())
        if (const auto* area = qobject_cast<const QAbstractScrollArea*>(parent->parentWidget()))
            if (area->viewport() == parent)
                return true;
    return false;
}

QString describe(const QWidget* widget)
{
    for (const QString& name : {widget->objectName(), widget->accessibleName()})
        if (!name.isEmpty())
            return name;
    return QString::fromLatin1(widget->metaObject()->className());
}

// The controls shown (visible widgets that take the focus by Tab) that reach outside the window.
QStringList controlsOutside(QWidget& window)
{
    QTest::qWait(100);  // lists lay their rows out a moment after they change
    QStringList outside;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisible() || widget->window() != &window || !(widget->focusPolicy() & Qt::TabFocus) ||
            isInScrolledArea(widget, window))
            continue;
        const QRect area(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        if (!window.rect().contains(area) || area.width() < 8 || area.height() < 8)
            outside << QStringLiteral("%1 at %2,%3 %4×%5")
                           .arg(describe(widget), QString::number(area.x()), QString::number(area.y()),
                                QString::number(area.width()), QString::number(area.height()));
    }
    return outside;
}

// The lists and panes that show a horizontal scroll bar: none need one, as their rows fit their width.
QStringList horizontallyScrolled(QWidget& window)
{
    QTest::qWait(100);
    QStringList scrolled;
    for (QAbstractScrollArea* area : window.findChildren<QAbstractScrollArea*>())
        if (area->isVisible() && area->horizontalScrollBar()->isVisible())
            scrolled << describe(area);
    return scrolled;
}

class WindowSizeTest : public WindowTest {
protected:
    void waitUntilFiltered()
    {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !model.isFiltering(); }, 20000));
    }

    // Sizes the window, then checks each screen: the empty state, the mapping screen and the results
    // screen with a record in the inspector.
    void expectEveryControlInside(const QSize& size)
    {
        window.resize(size);
        ASSERT_EQ(window.size(), size) << "the window's least size is larger";
        EXPECT_THAT(controlsOutside(window), ::testing::IsEmpty()) << "empty state";
        loadSamples();
        EXPECT_THAT(controlsOutside(window), ::testing::IsEmpty()) << "mapping screen";
        model.compare();
        waitUntilIdle();
        ASSERT_TRUE(model.selectedRowID());
        EXPECT_THAT(controlsOutside(window), ::testing::IsEmpty()) << "results screen";
        EXPECT_THAT(horizontallyScrolled(window), ::testing::IsEmpty()) << "results screen";
        // A window made small after showing the results narrowed to a column at a larger size.
        window.resize(size + QSize(500, 300));
        model.setChangedColumn(0);
        waitUntilFiltered();
        window.resize(size);
        model.setChangedColumn(std::nullopt);
        waitUntilFiltered();
        EXPECT_THAT(controlsOutside(window), ::testing::IsEmpty()) << "results screen made small";
        EXPECT_THAT(horizontallyScrolled(window), ::testing::IsEmpty()) << "results screen made small";
        model.setTab(model::WorkspaceTab::mapping);
        EXPECT_THAT(controlsOutside(window), ::testing::IsEmpty()) << "mapping screen with a result";
    }
};

TEST_F(WindowSizeTest, EveryControlFitsAt800By600)
{
    expectEveryControlInside({800, 600});
}

TEST_F(WindowSizeTest, EveryControlFitsAt1280By720)
{
    expectEveryControlInside({1280, 720});
}

// Run by the test below in a program of its own, whose screen is 1600 × 1000 at scale factor 2.
TEST_F(WindowSizeTest, EveryControlFitsTheScreenAtScaleFactorTwo)
{
    if (qEnvironmentVariable("QT_SCALE_FACTOR") != QStringLiteral("2"))
        GTEST_SKIP() << "run with QT_SCALE_FACTOR=2 on a 1600 × 1000 screen";
    const QRect screen = window.screen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(800, 500));
    expectEveryControlInside(screen.size());
}

TEST(WindowAtScaleFactorTwo, FitsEveryControlOnAScreenOf1600By1000)
{
    QTemporaryDir folder;
    const QString configuration = folder.filePath(QStringLiteral("screen.json"));
    QFile file(configuration);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"screens": [{"name": "large", "x": 0, "y": 0, "width": 1600, "height": 1000}]})");
    file.close();
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + configuration);
    run.setProcessEnvironment(environment);
    run.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=WindowSizeTest.EveryControlFitsTheScreenAtScaleFactorTwo")});
    ASSERT_TRUE(run.waitForFinished(120000));
    const QString output = QString::fromUtf8(run.readAllStandardOutput());
    EXPECT_EQ(run.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
}

}  // namespace
}  // namespace rowlark::ui::testing
