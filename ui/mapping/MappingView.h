#pragma once

// The first screen once both files are loaded: one row per column of File A, where the user picks the
// matching column of File B, the row key and the compared columns.

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QWidget>

#include "model/ComparisonModel.h"
#include "ui/mapping/ColumnOptionsModel.h"
#include "ui/mapping/MappingList.h"
#include "ui/mapping/MappingListModel.h"

namespace rowlark::ui::mapping {

class MappingView : public QWidget {
    Q_OBJECT

public:
    explicit MappingView(model::ComparisonModel& model, QWidget* parent = nullptr);

    static QString normalizationHelp();

    // The search over column names, for the window's find key.
    QLineEdit* searchField() const { return search_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildHeaderBand();
    QWidget* buildColumnHeadings();
    QWidget* buildList();
    QWidget* buildBottomBar();
    QWidget* buildKeyWarning();
    void followMappings();
    void followSearch();
    void followActivity();
    void refreshFiles();
    void refreshMappings();
    void refreshListState();
    void alignHeadings();
    void paintKeyWarning();
    void showKeyRow();

    model::ComparisonModel& model_;
    ColumnOptionsModel* ordinaryOptions_;
    ColumnOptionsModel* structuredOptions_;
    MappingListModel* rows_;
    QLineEdit* search_;
    QLabel* leftHeading_;
    QLabel* rightHeading_;
    QHBoxLayout* headings_;
    QStackedWidget* listArea_;
    MappingList* list_;
    QLabel* emptyText_;
    QCheckBox* ignoreCase_;
    QLabel* includedCount_;
    QWidget* keyWarning_;
    QLabel* keyWarningIcon_;
    QLabel* keyWarningText_;
    // Tells a new analysis's mappings, whose identities are all new, from edits of the same ones.
    std::optional<records::UUID> firstMappingShown_;
};

}  // namespace rowlark::ui::mapping
