#pragma once

// The model's open and save dialogs, shown as the toolkit's modal file dialogs over the main window.
// Both start in the folder of the file last chosen in either, remembered across sessions.

#include <QPointer>
#include <QWidget>

#include "model/FileDialogs.h"

namespace rowlark::ui::shell {

class QtFileDialogs : public model::FileDialogs {
public:
    // The window the dialogs are modal to; may be set after construction, and may go away.
    void setParentWindow(QWidget* window) { parentWindow_ = window; }

    std::optional<QString> openFile(const QString& title, const QStringList& extensions) override;
    std::optional<QString> saveFile(const QString& suggestedName, const QString& message) override;
    std::optional<QString> openSetupFile() override;
    std::optional<QString> saveSetupFile(const QString& suggestedName) override;

private:
    static QString lastFolder();
    static std::optional<QString> remembered(const QString& chosenPath);

    QPointer<QWidget> parentWindow_;
};

// "Spreadsheets and CSV files (*.csv *.xlsx …)": the dialog's filter for `extensions`, each also in
// upper case, since file systems on Linux tell the cases apart.
QString nameFilter(const QStringList& extensions);

}  // namespace rowlark::ui::shell
