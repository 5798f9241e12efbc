#pragma once

// The one main window: the workspace as its content and the File menu's commands on the same model.

#include <QAction>
#include <QMainWindow>

#include "ComparisonModel.h"

namespace rowlark::ui::shell {

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(model::ComparisonModel& model, QWidget* parent = nullptr);

private:
    void buildFileMenu();
    QAction* addCommand(QMenu* menu, const QString& name, const QString& title, const QKeySequence& shortcut);
    void refreshCommands();

    model::ComparisonModel& model_;
    QAction* compare_ = nullptr;
    QAction* export_ = nullptr;
};

}  // namespace rowlark::ui::shell
