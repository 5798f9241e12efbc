#pragma once

// The content of the main window: header, the two file slots, the screen switcher with the time of
// the last comparison, the current screen, the status bar, and the alert for failed operations.
// It holds no state of its own; everything follows the model.

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QWidget>

#include "model/ComparisonModel.h"
#include "ui/mapping/MappingView.h"
#include "ui/results/ResultsView.h"

namespace rowlark::ui::shell {

class EmptyState;

class ComparisonWorkspace : public QWidget {
    Q_OBJECT

public:
    explicit ComparisonWorkspace(model::ComparisonModel& model, QWidget* parent = nullptr);

    static QString errorTitle();

    // Loads the first path as File A and the second, if any, as File B, as two dropped files are:
    // each that reads is loaded, whether or not the other does.
    void openFiles(const QStringList& paths);

private:
    QWidget* buildHeader();
    QWidget* buildFileRow();
    QToolButton* buildSwapButton(QWidget* fileRow);
    QWidget* buildScreenRow();
    QWidget* buildContent();
    void addKeys();
    void focusSearch();
    void refreshScreen();
    void refreshElapsed();
    void refreshAlert();

    model::ComparisonModel& model_;
    QTabBar* tabPicker_;
    QLabel* elapsed_;
    QStackedWidget* content_;
    EmptyState* emptyState_;
    mapping::MappingView* mappingScreen_;
    results::ResultsView* resultsScreen_;
    QPointer<QMessageBox> alert_;
};

// "Compare records, wherever their rows land."
QString tagline();

// "Files stay on this Mac" on macOS, "Files stay on this computer" everywhere else.
QString privacyNote();

// "Compared in 0.42 s": the seconds with two fraction digits in the user's locale.
QString comparisonTime(double seconds);

}  // namespace rowlark::ui::shell
