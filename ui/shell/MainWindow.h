#pragma once

// The one main window: the workspace as its content, the File menu's commands on the same model, and
// the Help menu with the About box.

#include <QAction>
#include <QMainWindow>

#include "model/ComparisonModel.h"

namespace rowlark::ui::shell {

class ComparisonWorkspace;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(model::ComparisonModel& model, QWidget* parent = nullptr);

    // The files named when the program started: the first as File A, the second as File B.
    void openFiles(const QStringList& paths);

    // The least size of the window, on a screen with room for it.
    static constexpr QSize leastSize{800, 600};
    // Below this height the window lays its bands out tighter (widgets::setCompact).
    static constexpr int compactBelowHeight = 680;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildFileMenu();
    void buildHelpMenu();
    void showAbout();
    QAction* addCommand(QMenu* menu, const QString& name, const QString& title, const QKeySequence& shortcut);
    void refreshCommands();
    void refreshTitle();
    QSize availableSize() const;
    void fitScreen();

    model::ComparisonModel& model_;
    ComparisonWorkspace* workspace_;
    QAction* compare_ = nullptr;
    QAction* export_ = nullptr;
    QAction* exportAllSheets_ = nullptr;
    QAction* saveSetup_ = nullptr;
};

}  // namespace rowlark::ui::shell
