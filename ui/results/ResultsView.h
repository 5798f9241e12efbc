#pragma once

// The outcome of the last comparison: the counters, the filter and search, the warnings, the changes
// by column, one page of differing records and the inspector of the selected one.

#include <cstdint>
#include <vector>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QWidget>

#include "model/ComparisonModel.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::widgets {
class ContentPlaceholder;
}  // namespace rowlark::ui::widgets

namespace rowlark::ui::results {

class ResultCounter;
class SheetList;
class ResultPageModel;
class RowInspector;

class ResultsView : public QWidget {
    Q_OBJECT

public:
    explicit ResultsView(model::ComparisonModel& model, QWidget* parent = nullptr);

    // Gives the keyboard focus to the result list, so the arrow keys browse the records at once.
    void focusList();
    // The search over keys and values, for the window's find key.
    QLineEdit* searchField() const { return search_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct WarningLine {
        QLabel* icon;
        QLabel* text;
        widgets::Symbol symbol;
        bool isWarning;
    };

    void placeInspector();
    void paintWarning(const WarningLine& line);
    QWidget* buildSummaryBar();
    QWidget* buildFilterBar();
    QWidget* buildWarning(const QString& name, widgets::Symbol symbol, bool isWarning, QLabel*& text);
    QWidget* buildBody();
    QWidget* buildContent();
    QWidget* buildResultList();
    QWidget* buildPagingBar();
    QWidget* buildInspectorPane();

    void followResult();
    void followFilter();
    void followPage();
    void followSelectedRow();
    void refreshCounters();
    void refreshFilterPicker();
    void refreshSearch();
    void refreshFilterStatus();
    void refreshChangedColumn();
    void refreshWarnings();
    void refreshPage();
    void refreshListSelection();
    void refreshInspector();
    void refreshContent();
    void refreshSheets();
    void showPairNotCompared();
    void placeAfterPagingBar(QWidget* pane);

    void selectRow(const QModelIndex& current);
    const records::RowDifference* selectedDifference() const;
    std::int64_t pageCount() const;

    model::ComparisonModel& model_;
    ResultCounter* matching_;
    ResultCounter* changed_;
    ResultCounter* onlyLeft_;
    ResultCounter* onlyRight_;
    QLineEdit* search_;
    QComboBox* filterPicker_;
    QProgressBar* filtering_;
    QLabel* resultCount_;
    QPushButton* changedColumn_;
    QWidget* keyWarning_;
    QLabel* keyWarningText_;
    QWidget* ambiguityWarning_;
    QLabel* ambiguityWarningText_;
    QWidget* columnsInOneFile_;
    QLabel* columnsInOneFileText_;
    QStackedWidget* content_;
    widgets::ContentPlaceholder* noDifferences_;
    widgets::ContentPlaceholder* noResults_;
    widgets::ContentPlaceholder* pairNotCompared_;
    SheetList* sheetList_;
    QWidget* sheets_;
    QSplitter* split_;
    ResultPageModel* page_;
    QListView* list_;
    QPushButton* previous_;
    QLabel* pageLabel_;
    QPushButton* next_;
    QStackedWidget* inspectorPane_;
    widgets::ContentPlaceholder* selectRecord_;
    RowInspector* inspector_ = nullptr;
    std::vector<WarningLine> warningLines_;
};

}  // namespace rowlark::ui::results
