#pragma once

// The setup dialogs of the model's FileDialogs, answered as the test sets them; the test's own
// dialogs derive from it and answer the file dialogs.

#include <optional>

#include <QString>

#include "model/FileDialogs.h"

namespace rowlark::testing {

class SetupDialogs : public model::FileDialogs {
public:
    std::optional<QString> setupOpenAnswer;
    std::optional<QString> setupSaveAnswer;
    QString setupSaveName;  // suggested by the last save dialog

    std::optional<QString> openSetupFile() override { return setupOpenAnswer; }
    std::optional<QString> saveSetupFile(const QString& suggestedName) override
    {
        setupSaveName = suggestedName;
        return setupSaveAnswer;
    }
};

}  // namespace rowlark::testing
