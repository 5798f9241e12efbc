#pragma once

// The card through which the user chooses one side's file and, for a workbook of several sheets,
// the sheet to compare. Everything it shows is read from the model; everything it does is a call to it.

#include <optional>

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "model/ComparisonModel.h"
#include "ui/widgets/ElidedLabel.h"

namespace rowlark::ui::shell {

class FileSlot : public QFrame {
    Q_OBJECT

public:
    FileSlot(model::ComparisonModel& model, bool leftSide, QWidget* parent = nullptr);

    static QString workbookHelp();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    const std::optional<model::InputFile>& file() const;
    void refresh();
    void refreshIcon();
    void refreshSheets(const model::InputFile& file);
    void refreshSeparator(const model::InputFile& file);
    void showLoadedChoices();
    void followActivity();
    void pickSheet(int position);
    void pickSeparator(int position);
    void refreshAllSheets();
    void toggleAllSheets(bool isChecked);
    bool startReload(const std::optional<QString>& sheet, std::optional<csv::Separator> separator);

    model::ComparisonModel& model_;
    const bool leftSide_;
    QPushButton* mainArea_;
    QLabel* icon_;
    widgets::ElidedLabel* title_;
    QLabel* details_;
    QLabel* workbookLine_;
    QComboBox* sheetPicker_;
    QPushButton* allSheets_;
    QComboBox* separatorPicker_;
    QLabel* folder_;
    // The reload started by picking a sheet or a separator, while it may still run.
    std::optional<records::UUID> reload_;
    // The comparison of every pair started here, while it may still run.
    std::optional<records::UUID> allSheetsRun_;
};

// "1,250 rows · 8 columns · 3 from JSON": the size of a loaded table, counts in the user's locale.
QString tableDetails(const table::Table& table);

// The details of a loaded side: its table's size, and the separator of a CSV text that is not split
// by commas ("3 rows · 3 columns · Semicolon-separated").
QString fileDetails(const model::InputFile& file);

// "Comma (,)", "Semicolon (;)", "Tab", "Pipe (|)": the separator picker's entries.
QString separatorChoice(csv::Separator separator);

// The lower-cased extension of the side's file: from its location, or from its name without one.
QString lowerExtension(const model::InputFile& file);

}  // namespace rowlark::ui::shell
