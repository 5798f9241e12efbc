#pragma once

// The main window over a real model whose open and save dialogs answer from the test.

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include <QComboBox>
#include <QLabel>
#include <QList>
#include <QSize>
#include <QStackedWidget>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <gmock/gmock.h>

#include "model/ComparisonModel.h"
#include "tests/support/SetupDialogs.h"
#include "ui/shell/MainWindow.h"

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* stream)
{
    *stream << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QSize& size, std::ostream* stream)
{
    *stream << size.width() << " × " << size.height();
}

// Widgets in test failures by their object names.
inline void PrintTo(QWidget* widget, std::ostream* stream)
{
    *stream << (widget ? widget->objectName().toStdString() : std::string("null"));
}

namespace rowlark::ui::testing {

// A CSV text of `count` records keyed 1001, 1002, … (alike in text and number order) that all hold `value`.
inline std::string recordsHolding(int count, const char* value)
{
    std::string text = "id,value\n";
    for (int id = 1; id <= count; ++id)
        text += std::to_string(1000 + id) + "," + value + "\n";
    return text;
}

class ScriptedDialogs : public rowlark::testing::SetupDialogs {
public:
    std::optional<QString> openAnswer;
    int openCalls = 0;

    std::optional<QString> openFile(const QString&, const QStringList&) override
    {
        ++openCalls;
        return openAnswer;
    }
    std::optional<QString> saveFile(const QString&, const QString&) override { return std::nullopt; }
};

class WindowTest : public ::testing::Test {
protected:
    WindowTest();
    ~WindowTest() override;

    // The one descendant of the window named `name`; fails the test when there is none.
    template<typename T> T* find(const QString& name) const
    {
        T* widget = window.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    // The entries of a drop-down list, in order.
    static QStringList entriesOf(const QComboBox& box)
    {
        QStringList entries;
        for (int position = 0; position < box.count(); ++position)
            entries << box.itemText(position);
        return entries;
    }
    QString labelText(const QString& name) const { return find<QLabel>(name)->text(); }
    // The object name of the screen the workspace shows.
    QString screenName() const { return find<QStackedWidget>("workspaceContent")->currentWidget()->objectName(); }

    // Writes `text` to a file of that name in the test's folder; returns its path.
    QString writeFile(const QString& name, const std::string& text);
    // Runs the event loop until the model has no operation running.
    void waitUntilIdle();
    // Loads the built-in samples and waits for their analysis.
    void loadSamples();
    // Writes before.csv and after.csv, loads them and waits for their analysis.
    void loadFiles(const std::string& left, const std::string& right);
    // The widgets that take the focus, one per press of Tab, from `start` on; the window is made active first.
    QList<QWidget*> tabWalk(QWidget* start, int presses);

    std::shared_ptr<ScriptedDialogs> dialogs = std::make_shared<ScriptedDialogs>();
    model::ComparisonModel model{dialogs};
    shell::MainWindow window{model};
    QTemporaryDir folder;
};

}  // namespace rowlark::ui::testing
