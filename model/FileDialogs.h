#pragma once

// The modal open and save dialogs, kept out of the model so that every operation runs headless.
// The window supplies dialogs of its toolkit; tests supply answers of their own.

#include <optional>

#include <QString>
#include <QStringList>

namespace rowlark::model {

class FileDialogs {
public:
    virtual ~FileDialogs() = default;

    // A single existing file (no folders) with one of `extensions` (lower-case, without dot), or
    // nothing when the user cancels.
    virtual std::optional<QString> openFile(const QString& title, const QStringList& extensions) = 0;

    // Where to write a report, pre-filled with `suggestedName` and explained by `message`, or nothing
    // when the user cancels. The user chooses between a CSV file, an Excel workbook and a web page;
    // the extension of the path tells which.
    virtual std::optional<QString> saveFile(const QString& suggestedName, const QString& message) = 0;

    // A setup file (.rowlark) to open, or nothing when the user cancels.
    virtual std::optional<QString> openSetupFile() = 0;

    // Where to save a setup file, pre-filled with `suggestedName`, or nothing when the user cancels.
    virtual std::optional<QString> saveSetupFile(const QString& suggestedName) = 0;
};

}  // namespace rowlark::model
