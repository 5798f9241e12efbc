#pragma once

// The application: the one comparison model, the real file dialogs, and the main window over them.
// Nothing is read at start-up and nothing is saved at exit.

#include <memory>

#include "model/ComparisonModel.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/QtFileDialogs.h"

namespace rowlark::ui::shell {

class RowlarkApp {
public:
    RowlarkApp();

    model::ComparisonModel& model() { return model_; }
    MainWindow& window() { return window_; }

    // Applies the application's name, version, desktop entry, icon and translation; call once after
    // the QApplication exists.
    static void configure();

private:
    std::shared_ptr<QtFileDialogs> dialogs_ = std::make_shared<QtFileDialogs>();
    model::ComparisonModel model_{dialogs_};
    MainWindow window_{model_};
};

}  // namespace rowlark::ui::shell
