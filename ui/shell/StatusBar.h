#pragma once

// The bottom band of the workspace: progress and Cancel while the model works, the notice line
// otherwise, and the main action of the current screen.

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QWidget>

#include "model/ComparisonModel.h"

namespace rowlark::ui::shell {

class StatusBar : public QWidget {
    Q_OBJECT

public:
    explicit StatusBar(model::ComparisonModel& model, QWidget* parent = nullptr);

    static QString defaultNotice();

private:
    QWidget* buildBusyPart();
    QWidget* buildIdlePart();
    void refresh();
    void refreshMainButton();
    void runMainAction();

    model::ComparisonModel& model_;
    QStackedWidget* leftPart_;
    QWidget* busyPart_;
    QWidget* idlePart_;
    QLabel* busyLabel_;
    QPushButton* cancel_;
    QShortcut* cancelShortcut_;
    QLabel* notice_;
    QPushButton* mainButton_;
};

}  // namespace rowlark::ui::shell
