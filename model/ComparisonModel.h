#pragma once

// The one model object of the application. It owns both input files, the mapping, the last
// comparison result and every piece of state the window shows, and it is confined to the thread
// it lives on (the interface thread): long operations run on a thread pool with copies of what
// they need, and their outcomes come back to that thread, where a token decides whether they are
// still wanted. Changes are announced synchronously, by group, once per step that made them: a
// step that changes several fields of one group announces that group once, after its last change.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>

#include "engine/records/Differences.h"
#include "engine/records/Mapping.h"
#include "engine/records/ResultFilter.h"
#include "engine/records/UUID.h"
#include "engine/results/ResultIndex.h"
#include "model/AllSheets.h"
#include "model/FileDialogs.h"
#include "model/InputFile.h"
#include "model/ModelWork.h"

namespace rowlark::model {

class ComparisonModel : public QObject {
    Q_OBJECT

public:
    static constexpr std::int64_t pageSize = 100;
    static constexpr std::chrono::milliseconds searchDelay{180};

    explicit ComparisonModel(std::shared_ptr<FileDialogs> dialogs, QObject* parent = nullptr);
    ~ComparisonModel() override;

    const std::optional<InputFile>& left() const { return left_; }
    const std::optional<InputFile>& right() const { return right_; }
    const std::vector<records::ColumnMapping>& mappings() const { return mappings_; }
    const std::vector<std::vector<records::HeaderSuggestion>>& suggestions() const { return suggestions_; }
    WorkspaceTab tab() const { return tab_; }
    const QString& mappingSearch() const { return mappingSearch_; }
    const QString& query() const { return query_; }
    records::ResultFilter filter() const { return filter_; }
    // Narrows the list to the changed records that differ in this compared column (a position in
    // the summary's `columns`); none shows every record the filter and the search select.
    const std::optional<std::size_t>& changedColumn() const { return changedColumn_; }
    bool ignoreCase() const { return ignoreCase_; }
    // Shared and immutable, so views may keep them while the model moves on.
    const std::shared_ptr<const records::ComparisonSummary>& summary() const { return summary_; }
    const std::shared_ptr<const results::ResultIndex>& index() const { return index_; }
    const std::vector<std::size_t>& filteredIndices() const { return filteredIndices_; }
    std::int64_t pageNumber() const { return pageNumber_; }
    const std::optional<records::UUID>& selectedRowID() const { return selectedRowID_; }
    bool isBusy() const { return isBusy_; }
    // Tells the running operation from any other, for views that wait for the end of one.
    const records::UUID& operation() const { return generation_; }
    bool isFiltering() const { return isFiltering_; }
    const QString& busyLabel() const { return busyLabel_; }
    const std::optional<QString>& errorMessage() const { return errorMessage_; }
    const QString& notice() const { return notice_; }
    std::optional<double> elapsed() const { return elapsed_; }
    const QString& keyWarning() const { return keyWarning_; }
    // What of the setup last opened no longer fits the files ("Setup: …"), until other files are
    // analysed or the notices are dismissed.
    const std::vector<QString>& setupNotices() const { return setupNotices_; }
    // "All sheets": every pair of sheets of the two workbooks compared, the chosen one shown through
    // the fields above. Its list holds the pairs in File A's order, then the sheets without a
    // counterpart.
    bool isAllSheets() const { return allSheets_.has_value(); }
    std::vector<SheetListEntry> sheetList() const;
    const std::optional<std::size_t>& chosenPair() const { return chosenPair_; }

    // The fields the views write directly.
    void setTab(WorkspaceTab tab);
    void setMappingSearch(const QString& text);
    void setQuery(const QString& query);                       // reschedules filtering
    void setFilter(records::ResultFilter filter);              // reschedules filtering
    void setChangedColumn(std::optional<std::size_t> column);  // reschedules filtering
    void setIgnoreCase(bool ignoreCase);                       // drops the comparison result
    void setSelectedRowID(std::optional<records::UUID> id);
    void setErrorMessage(std::optional<QString> message);  // cleared when the alert is dismissed

    // Derived on every read.
    QString leftName() const;
    QString rightName() const;
    bool canCompare() const;
    bool canExport() const;
    bool canExportAllSheets() const;
    bool canSwapFiles() const;
    // Both files were read from files (not the samples), their mapping is there, nothing runs.
    bool canSaveSetup() const;
    // Both files are workbooks of two sheets or more, read from files, and nothing runs.
    bool canCompareAllSheets() const;
    // A comparison's results are there to show: one pair's, or those of every sheet.
    bool hasResults() const;

    void selectFile(bool leftSide);
    // `separator` replaces the one detected in a CSV text.
    void load(const QString& path, bool leftSide, const std::optional<QString>& sheet = std::nullopt,
              std::optional<csv::Separator> separator = std::nullopt);
    // Loads two files at once, the first as File A and the second as File B, as a pair opened or
    // dropped together: each that reads is placed, whether or not the other does, and every failure
    // is shown.
    void loadFiles(const QString& firstPath, const QString& secondPath);
    void loadSample();
    // File A becomes File B and File B File A, their tables kept as read; the columns are matched again.
    void swapFiles();
    void analyze();
    void compare();
    // Reads, maps and compares every pair of sheets, one after the other, and shows the first.
    void compareAllSheets();
    // Shows the pair at this position among the pairs: its results, mapping and column changes.
    void choosePair(std::size_t position);
    // Back to one sheet of each file: the pair shown stays, as an ordinary comparison.
    void showOneSheet();
    void cancel();
    void changePage(std::int64_t step);
    void exportReport();
    // Save-file dialog, then one workbook of every pair of sheets: a Summary and a worksheet a pair.
    void exportAllSheets();
    // Open-file dialog for a setup, then openSetup.
    void selectSetup();
    // Reads the setup and both of its files, analyses them and applies the setup on top; its results
    // view (filter, search, column) waits for the next comparison.
    void openSetup(const QString& path);
    // Save-file dialog, then the setup of the files, mapping, letter case and results view.
    void saveSetup();
    void dismissSetupNotices();
    void map(records::UUID id, std::optional<std::int64_t> rightIndex);
    void setKey(records::UUID id, bool value);
    void setIncluded(records::UUID id, bool value);
    // Compares the mapping's values by `rule`; "Ignore" is refused for a key column.
    void setRule(records::UUID id, const values::ComparisonRule& rule);
    // Gives the compared columns at these positions of the summary's `columns` the rules proposed for
    // them, and compares again.
    void compareTakingProposedRules(const std::vector<std::size_t>& columns);

    // What a filter run computes off this thread: `ResultIndex::matching` unless replaced, which
    // lets tests make a run fail.
    using Matching =
        std::function<std::vector<std::size_t>(const results::ResultIndex& index, records::ResultFilter filter,
                                               std::string_view query, std::optional<std::size_t> changedColumn)>;
    void setMatching(Matching matching);

signals:
    void fileChanged(bool leftSide);  // left or right
    void mappingChanged();            // mappings, suggestions, ignoreCase, setupNotices
    void mappingSearchChanged();
    void resultChanged();  // summary, index, elapsed, keyWarning
    void filterChanged();  // filter, query, changedColumn, isFiltering
    void pageChanged();    // filteredIndices, pageNumber
    void selectedRowChanged();
    void tabChanged();
    void activityChanged();  // isBusy, busyLabel, notice, errorMessage
    void sheetsChanged();    // the pairs of "All sheets", and the one chosen
    void commandsChanged();  // what canCompare, canExport and canSwapFiles read changed

private:
    // The step a finished worker hands back, bound to the worker's value; run on this thread.
    using FinishStep = std::function<void()>;
    using ErasedWork = std::function<FinishStep(std::stop_token stop)>;
    struct Outcome;
    struct FilterRun;
    struct FilterOutcome;
    struct ComparisonResult;
    class Step;

    // The groups of fields a signal announces, as bits of the set a step has left to announce.
    enum Group : unsigned {
        leftFileGroup = 1U << 0,
        rightFileGroup = 1U << 1,
        mappingGroup = 1U << 2,
        mappingSearchGroup = 1U << 3,
        resultGroup = 1U << 4,
        filterGroup = 1U << 5,
        pageGroup = 1U << 6,
        selectedRowGroup = 1U << 7,
        tabGroup = 1U << 8,
        activityGroup = 1U << 9,
        sheetsGroup = 1U << 10,
    };
    // What `canCompare`, `canExport` and `canSwapFiles` read.
    static constexpr unsigned commandGroups = leftFileGroup | rightFileGroup | mappingGroup | resultGroup |
                                              filterGroup | pageGroup | activityGroup | sheetsGroup;

    template<typename Work, typename Finish> void perform(const QString& label, Work work, Finish finish);
    void startOperation(const QString& label, ErasedWork work);
    void applyOutcome(const records::UUID& token, bool wasCancelled, Outcome outcome);

    void scheduleFilter();
    void startMatching(FilterRun run);
    void applyFilterOutcome(const records::UUID& token, FilterOutcome outcome);
    void dropFilterRun();
    void showFromFirstPage(std::vector<std::size_t> positions);

    void exportPage(const QString& path);
    struct OpenedSetup;
    void applyOpenedSetup(OpenedSetup opened);
    void applyResultsView();

    void invalidateResults();
    void handOver(ComparisonResult result);
    ReportContext reportContext() const;
    std::optional<records::UUID> idOfFirst(const std::vector<std::size_t>& positions) const;
    void setMappings(std::vector<records::ColumnMapping> mappings);
    void setFile(bool leftSide, InputFile file);
    void leaveAllSheets();
    void showAllSheets(WorkbookPairing pairing);
    void showPair(std::size_t position);
    void keepChosenPair();
    void compareSheetPairs();
    void showProgress(const QString& label);
    SheetListEntry pairEntry(std::size_t position) const;

    template<typename T> void publish(Group group, T& member, T value);
    void announce();

    std::shared_ptr<FileDialogs> dialogs_;

    std::optional<InputFile> left_;
    std::optional<InputFile> right_;
    std::vector<records::ColumnMapping> mappings_;
    std::vector<std::vector<records::HeaderSuggestion>> suggestions_;
    WorkspaceTab tab_ = WorkspaceTab::mapping;
    QString mappingSearch_;
    QString query_;
    records::ResultFilter filter_ = records::ResultFilter::all;
    std::optional<std::size_t> changedColumn_;
    bool ignoreCase_ = false;
    std::shared_ptr<const records::ComparisonSummary> summary_;
    std::shared_ptr<const results::ResultIndex> index_;
    std::vector<std::size_t> filteredIndices_;
    std::int64_t pageNumber_ = 0;
    std::optional<records::UUID> selectedRowID_;
    bool isBusy_ = false;
    bool isFiltering_ = false;
    QString busyLabel_;
    std::optional<QString> errorMessage_;
    QString notice_;
    std::optional<double> elapsed_;
    std::chrono::system_clock::time_point comparedAt_;  // of the results shown
    QString keyWarning_;
    std::vector<QString> setupNotices_;
    // How the setup last opened narrows the results of the next comparison.
    struct ResultsView {
        records::ResultFilter filter = records::ResultFilter::all;
        QString query;
        std::optional<std::int64_t> changedColumn;  // a File A column
    };
    std::optional<ResultsView> pendingView_;
    // The pairs of "All sheets"; the chosen one's entry is brought up to date when another is chosen.
    std::optional<WorkbookPairing> allSheets_;
    std::optional<std::size_t> chosenPair_;

    // The running operation: its token and the stop request its worker checks.
    records::UUID generation_ = records::UUID::random();
    std::optional<std::stop_source> cancelWorker_;

    // The pending filter run: its token, and the delay before a non-empty query is matched.
    records::UUID filterGeneration_ = records::UUID::random();
    QTimer* searchDelayTimer_;
    std::unique_ptr<FilterRun> delayedFilterRun_;
    Matching matching_ = &results::ResultIndex::matching;

    // The steps under way (one calls another) and the groups they changed so far.
    int stepDepth_ = 0;
    unsigned unannounced_ = 0;
};

}  // namespace rowlark::model
