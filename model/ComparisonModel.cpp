#include "model/ComparisonModel.h"

#include <algorithm>
#include <concepts>
#include <exception>
#include <type_traits>
#include <utility>
#include <variant>

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QPointer>

#include "engine/analysis/MappingAnalysis.h"
#include "engine/edits/MappingEdits.h"
#include "engine/results/ComparisonRun.h"
#include "engine/results/HTMLReport.h"
#include "engine/results/SheetComparison.h"
#include "engine/results/XLSXReport.h"
#include "engine/setups/SetupApplication.h"
#include "engine/text/Unicode.h"
#include "engine/workbook/ImportError.h"
#include "model/BackgroundRunner.h"
#include "model/ModelWork.h"
#include "model/SampleFiles.h"
#include "model/UTF8Text.h"

namespace rowlark::model {

namespace {

const QStringList openableExtensions = {"csv", "tsv", "tab", "txt", "xlsx", "xls", "ods", "numbers"};

QString cancellationNotice()
{
    return ComparisonModel::tr("The operation was cancelled.");
}

std::filesystem::path location(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString fileNameOf(const std::filesystem::path& path)
{
    return utf8Text(path.filename().string());
}

// "Exported 1,234 rows.", and what became of the values on the way.
QString exportNotice(const SavedReport& saved, const QString& chosenPath)
{
    QString notice = ComparisonModel::tr("Exported %Ln row(s).", nullptr, static_cast<int>(saved.rows));
    if (saved.path != chosenPath)
        notice += ComparisonModel::tr(" Saved as %1, as reports are CSV or Excel files.")
                      .arg(fileNameOf(location(saved.path)));
    if (saved.escapedFields > 0)
        notice += ComparisonModel::tr(" Formula-like values were escaped for spreadsheet safety.");
    if (saved.cutCells > 0)
        notice += QLatin1Char(' ') + ComparisonModel::tr("%Ln cell(s) longer than Excel holds end in “…”.", nullptr,
                                                         static_cast<int>(saved.cutCells));
    return notice;
}

// Runs `task` in the background and hands its outcome to `deliver` on the interface thread.
// `model` is only ever read on that thread, so a model destroyed meanwhile is noticed there and
// left alone.
template<typename Task, typename Deliver>
void runInBackground(QPointer<ComparisonModel> model, Task task, Deliver deliver)
{
    BackgroundRunner::shared().start([model, task = std::move(task), deliver = std::move(deliver)] {
        return BackgroundRunner::Step([model, deliver, outcome = task()]() mutable {
            if (model)
                deliver(*model, std::move(outcome));
        });
    });
}

}  // namespace

QString title(WorkspaceTab tab)
{
    switch (tab) {
    case WorkspaceTab::mapping:
        return ComparisonModel::tr("Map columns");
    case WorkspaceTab::results:
        return ComparisonModel::tr("Results");
    }
    return {};
}

// A worker's ending: the finish step bound to its value, a cancellation, or a failure's text.
struct ComparisonModel::Outcome {
    struct Cancelled {};
    std::variant<FinishStep, Cancelled, QString> ending;
};

// Everything one filter run needs, taken when it was scheduled.
struct ComparisonModel::FilterRun {
    records::UUID token;
    std::shared_ptr<const results::ResultIndex> index;
    records::ResultFilter filter;
    std::string query;
    std::optional<std::size_t> changedColumn;
    Matching matching;
};

struct ComparisonModel::FilterOutcome {
    std::variant<std::vector<std::size_t>, QString> ending;
};

struct ComparisonModel::OpenedSetup {
    QString name;  // of the setup file
    InputFile left;
    InputFile right;
    std::vector<std::vector<records::HeaderSuggestion>> suggestions;
    setups::AppliedSetup applied;
    std::vector<QString> notices;  // of the sheets, then of the mapping
};

struct ComparisonModel::ComparisonResult {
    std::shared_ptr<const records::ComparisonSummary> summary;
    std::shared_ptr<const results::ResultIndex> index;
    std::vector<std::size_t> filteredIndices;  // every difference, as the filter `all` lists them
    double elapsed = 0;
    std::chrono::system_clock::time_point comparedAt;
    QString keyWarning;
};

ComparisonModel::ComparisonModel(std::shared_ptr<FileDialogs> dialogs, QObject* parent)
    : QObject(parent)
    , dialogs_(std::move(dialogs))
    , searchDelayTimer_(new QTimer(this))
{
    BackgroundRunner::shared();  // created on this thread, where the finished steps must run
    searchDelayTimer_->setObjectName(QStringLiteral("searchDelayTimer"));
    searchDelayTimer_->setSingleShot(true);
    searchDelayTimer_->setTimerType(Qt::PreciseTimer);
    searchDelayTimer_->setInterval(searchDelay);
    connect(searchDelayTimer_, &QTimer::timeout, this, [this] {
        if (delayedFilterRun_)
            startMatching(std::move(*std::exchange(delayedFilterRun_, nullptr)));
    });
}

// Workers still running hold no reference to the model; their cancel flag tells them to stop.
ComparisonModel::~ComparisonModel()
{
    if (cancelWorker_)
        cancelWorker_->request_stop();
}

// One synchronous step: a public operation, or the delivery of a background outcome. The groups it
// changed are announced when the outermost step ends, so views see the state the step left.
class ComparisonModel::Step {
public:
    explicit Step(ComparisonModel& model)
        : model_(model)
    {
        ++model_.stepDepth_;
    }
    ~Step()
    {
        if (--model_.stepDepth_ == 0)
            model_.announce();
    }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

private:
    ComparisonModel& model_;
};

template<typename T> void ComparisonModel::publish(Group group, T& member, T value)
{
    if constexpr (std::equality_comparable<T>) {
        if (member == value)
            return;
    }
    const Step thisStep(*this);
    member = std::move(value);
    unannounced_ |= group;
}

// Announces in the order a view may rely on: what is compared, then what is shown of the result,
// then the screen, then the operation's state and its messages.
void ComparisonModel::announce()
{
    const unsigned groups = std::exchange(unannounced_, 0U);
    const std::pair<Group, void (ComparisonModel::*)()> announcements[] = {
        {mappingGroup, &ComparisonModel::mappingChanged}, {mappingSearchGroup, &ComparisonModel::mappingSearchChanged},
        {resultGroup, &ComparisonModel::resultChanged},   {filterGroup, &ComparisonModel::filterChanged},
        {pageGroup, &ComparisonModel::pageChanged},       {selectedRowGroup, &ComparisonModel::selectedRowChanged},
        {tabGroup, &ComparisonModel::tabChanged},         {activityGroup, &ComparisonModel::activityChanged},
        {sheetsGroup, &ComparisonModel::sheetsChanged},
    };
    if (groups & leftFileGroup)
        emit fileChanged(true);
    if (groups & rightFileGroup)
        emit fileChanged(false);
    for (const auto& [group, signal] : announcements)
        if (groups & group)
            emit(this->*signal)();
    if (groups & commandGroups)
        emit commandsChanged();
}

// Published fields written by the views

void ComparisonModel::setTab(WorkspaceTab tab)
{
    publish(tabGroup, tab_, tab);
}

void ComparisonModel::setMappingSearch(const QString& text)
{
    publish(mappingSearchGroup, mappingSearch_, text);
}

void ComparisonModel::setQuery(const QString& query)
{
    const Step thisStep(*this);
    publish(filterGroup, query_, query);
    scheduleFilter();
}

void ComparisonModel::setFilter(records::ResultFilter filter)
{
    const Step thisStep(*this);
    publish(filterGroup, filter_, filter);
    scheduleFilter();
}

void ComparisonModel::setChangedColumn(std::optional<std::size_t> column)
{
    const Step thisStep(*this);
    publish(filterGroup, changedColumn_, column);
    scheduleFilter();
}

void ComparisonModel::setIgnoreCase(bool ignoreCase)
{
    const Step thisStep(*this);
    const bool isChanged = ignoreCase != ignoreCase_;
    publish(mappingGroup, ignoreCase_, ignoreCase);
    invalidateResults();
    // Every pair was compared with the letter case as it was.
    if (allSheets_ && isChanged) {
        for (SheetPair& pair : allSheets_->pairs) {
            pair.summary.reset();
            pair.index.reset();
        }
        unannounced_ |= sheetsGroup;
    }
}

void ComparisonModel::setSelectedRowID(std::optional<records::UUID> id)
{
    publish(selectedRowGroup, selectedRowID_, id);
}

void ComparisonModel::setErrorMessage(std::optional<QString> message)
{
    publish(activityGroup, errorMessage_, std::move(message));
}

void ComparisonModel::setMatching(Matching matching)
{
    matching_ = std::move(matching);
}

// Derived values

QString ComparisonModel::leftName() const
{
    return left_ ? utf8Text(left_->name) : tr("First file");
}

QString ComparisonModel::rightName() const
{
    return right_ ? utf8Text(right_->name) : tr("Second file");
}

bool ComparisonModel::canCompare() const
{
    return !isBusy_ && left_ && right_ && canCompareTables(left_->table, right_->table, mappings_);
}

bool ComparisonModel::canExport() const
{
    return summary_ && !isBusy_ && !isFiltering_ && !filteredIndices_.empty();
}

bool ComparisonModel::canExportAllSheets() const
{
    return allSheets_ && !allSheets_->pairs.empty() && !isBusy_;
}

bool ComparisonModel::canSwapFiles() const
{
    return !isBusy_ && (left_ || right_);
}

bool ComparisonModel::canSaveSetup() const
{
    return !isBusy_ && left_ && right_ && left_->path && right_->path && !mappings_.empty();
}

bool ComparisonModel::canCompareAllSheets() const
{
    return !isBusy_ && left_ && right_ && left_->path && right_->path && left_->sheets.size() >= 2 &&
           right_->sheets.size() >= 2;
}

bool ComparisonModel::hasResults() const
{
    return summary_ || allSheets_;
}

// Background operations

template<typename Work, typename Finish> void ComparisonModel::perform(const QString& label, Work work, Finish finish)
{
    startOperation(label, [work = std::move(work), finish = std::move(finish)](std::stop_token stop) {
        auto value = std::make_shared<std::invoke_result_t<Work&, std::stop_token>>(work(stop));
        return FinishStep([finish, value] { finish(std::move(*value)); });
    });
}

void ComparisonModel::startOperation(const QString& label, ErasedWork work)
{
    const Step thisStep(*this);
    cancel();
    const records::UUID token = records::UUID::random();
    generation_ = token;
    publish(activityGroup, isBusy_, true);
    publish(activityGroup, busyLabel_, label);
    publish(activityGroup, notice_, QString());

    std::stop_source stopSource;
    cancelWorker_ = stopSource;
    auto task = [work = std::move(work), stop = stopSource.get_token()]() -> Outcome {
        try {
            throwIfCancelled(stop);
            FinishStep finish = work(stop);
            throwIfCancelled(stop);
            return {std::move(finish)};
        } catch (const OperationCancelled&) {
            return {Outcome::Cancelled{}};
        } catch (const workbook::ImportCancelled&) {
            return {Outcome::Cancelled{}};
        } catch (...) {
            return {describeFailure(std::current_exception())};
        }
    };
    runInBackground(this, std::move(task),
                    [token, stop = stopSource.get_token()](ComparisonModel& model, Outcome outcome) {
                        model.applyOutcome(token, stop.stop_requested(), std::move(outcome));
                    });
}

void ComparisonModel::applyOutcome(const records::UUID& token, bool wasCancelled, Outcome outcome)
{
    const Step thisStep(*this);
    if (generation_ != token || wasCancelled)
        return;
    cancelWorker_.reset();
    publish(activityGroup, isBusy_, false);
    if (auto* finish = std::get_if<FinishStep>(&outcome.ending))
        (*finish)();
    else if (auto* message = std::get_if<QString>(&outcome.ending))
        setErrorMessage(*message);
}

void ComparisonModel::cancel()
{
    const Step thisStep(*this);
    generation_ = records::UUID::random();
    if (cancelWorker_)
        cancelWorker_->request_stop();
    cancelWorker_.reset();
    publish(activityGroup, isBusy_, false);
    publish(activityGroup, notice_, cancellationNotice());
}

void ComparisonModel::analyze()
{
    const Step thisStep(*this);
    setMappings({});
    publish(mappingGroup, suggestions_, {});
    publish(mappingGroup, setupNotices_, {});
    pendingView_.reset();
    // A pair whose sheets did not read has no tables to match.
    if (!left_ || !right_ || (chosenPair_ && !allSheets_->pairs[*chosenPair_].leftFile))
        return;
    invalidateResults();
    perform(
        tr("Finding matching columns…"),
        [left = left_->table, right = right_->table](std::stop_token stop) {
            return analysis::analyzeMappings(left, right, [stop] { throwIfCancelled(stop); });
        },
        [this](records::MappingAnalysisResult result) {
            setMappings(std::move(result.mappings));
            publish(mappingGroup, suggestions_, std::move(result.suggestions));
            publish(activityGroup, notice_,
                    tr("Suggestions use header patterns and a local sample. Review the row key "
                       "before comparing."));
        });
}

void ComparisonModel::compare()
{
    if (!canCompare())
        return;
    if (allSheets_) {
        compareSheetPairs();
        return;
    }
    perform(
        tr("Comparing records…"),
        [left = *left_, right = *right_, mappings = mappings_, ignoreCase = ignoreCase_](std::stop_token stop) {
            results::ComparisonOutcome outcome =
                results::runComparison(left.table, right.table, left.name, right.name, mappings, ignoreCase,
                                       [stop] { throwIfCancelled(stop); });
            std::vector<std::size_t> everyDifference = outcome.index.matching(records::ResultFilter::all, "");
            return ComparisonResult{std::make_shared<const records::ComparisonSummary>(std::move(outcome.summary)),
                                    std::make_shared<const results::ResultIndex>(std::move(outcome.index)),
                                    std::move(everyDifference),
                                    outcome.elapsed,
                                    outcome.comparedAt,
                                    utf8Text(outcome.keyWarning)};
        },
        [this](ComparisonResult result) { handOver(std::move(result)); });
}

// Publishes a comparison and shows it unfiltered from its first difference. The worker already
// listed what the reset filter and search select, so no filter run is scheduled: one finishing
// later would take back a record the user chose meanwhile.
void ComparisonModel::handOver(ComparisonResult result)
{
    dropFilterRun();
    publish(resultGroup, summary_, std::move(result.summary));
    publish(resultGroup, index_, std::move(result.index));
    publish(resultGroup, elapsed_, std::optional<double>(result.elapsed));
    comparedAt_ = result.comparedAt;
    publish(resultGroup, keyWarning_, std::move(result.keyWarning));
    publish(filterGroup, filter_, records::ResultFilter::all);
    publish(filterGroup, query_, QString());
    publish(filterGroup, changedColumn_, std::optional<std::size_t>());
    showFromFirstPage(std::move(result.filteredIndices));
    applyResultsView();
    publish(tabGroup, tab_, WorkspaceTab::results);
}

// The first comparison after a setup was opened is narrowed as the setup's results were.
void ComparisonModel::applyResultsView()
{
    const std::optional<ResultsView> view = std::exchange(pendingView_, std::nullopt);
    if (!view || !summary_)
        return;
    std::optional<std::size_t> column;
    if (view->changedColumn) {
        const auto found =
            std::ranges::find(summary_->columns, *view->changedColumn, &records::ColumnChanges::leftIndex);
        if (found != summary_->columns.end())
            column = static_cast<std::size_t>(found - summary_->columns.begin());
    }
    if (view->filter == records::ResultFilter::all && view->query.isEmpty() && !column)
        return;
    publish(filterGroup, filter_, view->filter);
    publish(filterGroup, query_, view->query);
    publish(filterGroup, changedColumn_, column);
    scheduleFilter();
}

void ComparisonModel::invalidateResults()
{
    dropFilterRun();
    publish(resultGroup, summary_, {});
    publish(resultGroup, index_, {});
    publish(pageGroup, filteredIndices_, {});
    publish(selectedRowGroup, selectedRowID_, {});
    publish(resultGroup, elapsed_, {});
    publish(pageGroup, pageNumber_, std::int64_t{0});
    publish(filterGroup, isFiltering_, false);
    publish(filterGroup, changedColumn_, std::optional<std::size_t>());
    publish(resultGroup, keyWarning_, QString());
    publish(tabGroup, tab_, WorkspaceTab::mapping);
}

// Filtering and paging

void ComparisonModel::scheduleFilter()
{
    dropFilterRun();
    if (!index_)
        return;
    publish(filterGroup, isFiltering_, true);
    FilterRun run{filterGeneration_, index_, filter_, query_.toStdString(), changedColumn_, matching_};
    if (query_.isEmpty()) {
        startMatching(std::move(run));
        return;
    }
    delayedFilterRun_ = std::make_unique<FilterRun>(std::move(run));
    searchDelayTimer_->start();
}

// Ends the pending filter run; a matching already under way finds its token outdated.
void ComparisonModel::dropFilterRun()
{
    searchDelayTimer_->stop();
    delayedFilterRun_.reset();
    filterGeneration_ = records::UUID::random();
}

void ComparisonModel::startMatching(FilterRun run)
{
    auto task = [run = std::move(run)]() -> FilterOutcome {
        try {
            return {run.matching(*run.index, run.filter, run.query, run.changedColumn)};
        } catch (...) {
            return {describeFailure(std::current_exception())};
        }
    };
    runInBackground(this, std::move(task), [token = run.token](ComparisonModel& model, FilterOutcome outcome) {
        model.applyFilterOutcome(token, std::move(outcome));
    });
}

void ComparisonModel::applyFilterOutcome(const records::UUID& token, FilterOutcome outcome)
{
    const Step thisStep(*this);
    if (filterGeneration_ != token)
        return;
    // A failed run shows no list rather than the previous one, which the filter and search shown
    // no longer describe and which would otherwise be exported.
    auto* positions = std::get_if<std::vector<std::size_t>>(&outcome.ending);
    showFromFirstPage(positions ? std::move(*positions) : std::vector<std::size_t>());
    if (auto* message = std::get_if<QString>(&outcome.ending))
        setErrorMessage(*message);
}

void ComparisonModel::showFromFirstPage(std::vector<std::size_t> positions)
{
    const std::optional<records::UUID> first = idOfFirst(positions);
    publish(pageGroup, filteredIndices_, std::move(positions));
    publish(pageGroup, pageNumber_, std::int64_t{0});
    publish(selectedRowGroup, selectedRowID_, first);
    publish(filterGroup, isFiltering_, false);
}

void ComparisonModel::changePage(std::int64_t step)
{
    const Step thisStep(*this);
    const auto count = static_cast<std::int64_t>(filteredIndices_.size());
    const std::int64_t lastPage = (count + pageSize - 1) / pageSize - 1;
    const std::int64_t target = count == 0 ? 0 : std::clamp(pageNumber_ + step, std::int64_t{0}, lastPage);
    publish(pageGroup, pageNumber_, target);
    publish(selectedRowGroup, selectedRowID_,
            idOfFirst(results::ResultIndex::page(filteredIndices_, target, pageSize)));
}

std::optional<records::UUID> ComparisonModel::idOfFirst(const std::vector<std::size_t>& positions) const
{
    if (!summary_ || positions.empty() || positions.front() >= summary_->differences.size())
        return std::nullopt;
    return summary_->differences[positions.front()].id;
}

// Files

void ComparisonModel::selectFile(bool leftSide)
{
    const std::optional<QString> path =
        dialogs_->openFile(tr("Choose a CSV, Excel, Numbers or LibreOffice file"), openableExtensions);
    if (path && !path->isEmpty())
        load(*path, leftSide);
}

void ComparisonModel::load(const QString& path, bool leftSide, const std::optional<QString>& sheet,
                           std::optional<csv::Separator> separator)
{
    FileRequest request{location(path), leftSide, std::nullopt, separator};
    if (sheet)
        request.sheet = sheet->toStdString();
    perform(
        tr("Reading %1…").arg(fileNameOf(request.path)),
        [request](std::stop_token stop) { return importInputFile(request, stop); },
        [this, leftSide](InputFile file) {
            invalidateResults();
            setFile(leftSide, std::move(file));
            analyze();
        });
}

void ComparisonModel::loadFiles(const QString& firstPath, const QString& secondPath)
{
    const FileRequest first{location(firstPath), true, std::nullopt, std::nullopt};
    const FileRequest second{location(secondPath), false, std::nullopt, std::nullopt};
    perform(
        tr("Reading %1 and %2…").arg(fileNameOf(first.path), fileNameOf(second.path)),
        [first, second](std::stop_token stop) { return importPair(first, second, stop); },
        [this](ImportedPair pair) {
            invalidateResults();
            for (auto [leftSide, file] : {std::pair{true, &pair.left}, std::pair{false, &pair.right}})
                if (*file)
                    setFile(leftSide, std::move(**file));
            if (!pair.failures.empty())
                setErrorMessage(QStringList(pair.failures.begin(), pair.failures.end()).join(QLatin1Char('\n')));
            analyze();
        });
}

void ComparisonModel::setFile(bool leftSide, InputFile file)
{
    leaveAllSheets();
    if (leftSide)
        publish(leftFileGroup, left_, std::optional<InputFile>(std::move(file)));
    else
        publish(rightFileGroup, right_, std::optional<InputFile>(std::move(file)));
}

void ComparisonModel::loadSample()
{
    const Step thisStep(*this);
    cancel();
    setFile(true, sampleBefore());
    setFile(false, sampleAfter());
    analyze();
}

void ComparisonModel::swapFiles()
{
    if (!canSwapFiles())
        return;
    const Step thisStep(*this);
    leaveAllSheets();
    std::swap(left_, right_);
    unannounced_ |= leftFileGroup | rightFileGroup;
    analyze();
}

void ComparisonModel::exportReport()
{
    if (!canExport() || !summary_ || !left_ || !right_)
        return;
    const std::optional<QString> path =
        dialogs_->saveFile(QStringLiteral("comparison-report.csv"),
                           tr("Exports the current filter and search across all result pages. Formula-like cells are "
                              "prefixed with an apostrophe for spreadsheet safety."));
    if (!path || path->isEmpty())
        return;
    if (results::HTMLReport::isPagePath(QFile::encodeName(*path).toStdString())) {
        exportPage(*path);
        return;
    }
    perform(
        tr("Saving comparison report…"),
        [path = *path, summary = summary_, left = *left_, right = *right_, indices = filteredIndices_,
         context = reportContext()](std::stop_token stop) {
            return saveReport(path, *summary, left, right, indices, context, stop);
        },
        [this, path = *path](SavedReport saved) { publish(activityGroup, notice_, exportNotice(saved, path)); });
}

// What selected the rows of a report, as the workbook's Summary names it.
ReportContext ComparisonModel::reportContext() const
{
    ReportContext context;
    context.key = results::XLSXReport::keyColumns(mappings_, left_->table.headers());
    context.comparedAt = comparedAt_;
    context.filter = records::title(filter_, left_->name, right_->name);
    context.search = text::trimmed(query_.toStdString());
    if (changedColumn_ && *changedColumn_ < summary_->columns.size()) {
        const records::ColumnChanges& column = summary_->columns[*changedColumn_];
        context.changedColumn = records::columnName(column.leftHeader, column.leftIndex);
    }
    return context;
}

// Setups

void ComparisonModel::selectSetup()
{
    const std::optional<QString> path = dialogs_->openSetupFile();
    if (path && !path->isEmpty())
        openSetup(*path);
}

void ComparisonModel::openSetup(const QString& path)
{
    const std::filesystem::path location(QFile::encodeName(path).toStdString());
    perform(
        tr("Opening %1…").arg(utf8Text(location.filename().string())),
        [location](std::stop_token stop) {
            const setups::Setup setup = readSetup(location);
            auto [left, right] = importSetupFiles(setup, location, stop);
            records::MappingAnalysisResult analysis =
                analysis::analyzeMappings(left.file.table, right.file.table, [stop] { throwIfCancelled(stop); });
            OpenedSetup opened{utf8Text(location.filename().string()),
                               std::move(left.file),
                               std::move(right.file),
                               std::move(analysis.suggestions),
                               {},
                               {}};
            opened.applied = setups::apply(setup, opened.left.table, opened.right.table, std::move(analysis.mappings));
            for (const std::optional<std::string>& notice : {left.notice, right.notice})
                if (notice)
                    opened.notices.push_back(utf8Text(*notice));
            for (const std::string& notice : opened.applied.notices)
                opened.notices.push_back(utf8Text(notice));
            return opened;
        },
        [this](OpenedSetup opened) { applyOpenedSetup(std::move(opened)); });
}

void ComparisonModel::applyOpenedSetup(OpenedSetup opened)
{
    invalidateResults();
    setFile(true, std::move(opened.left));
    setFile(false, std::move(opened.right));
    setMappings(std::move(opened.applied.mappings));
    publish(mappingGroup, suggestions_, std::move(opened.suggestions));
    publish(mappingGroup, ignoreCase_, opened.applied.ignoreCase);
    pendingView_ = ResultsView{opened.applied.filter, utf8Text(opened.applied.search), opened.applied.changedColumn};
    publish(activityGroup, notice_,
            opened.notices.empty()
                ? tr("Opened the setup %1.").arg(opened.name)
                : tr("Opened the setup %1. Above the mapping: what of it no longer fits the files.").arg(opened.name));
    publish(mappingGroup, setupNotices_, std::move(opened.notices));
}

void ComparisonModel::saveSetup()
{
    if (!canSaveSetup())
        return;
    const std::optional<QString> chosen = dialogs_->saveSetupFile(QStringLiteral("comparison.rowlark"));
    if (!chosen || chosen->isEmpty())
        return;
    std::filesystem::path location(QFile::encodeName(*chosen).toStdString());
    if (!setups::isSetupPath(location))
        location += setups::fileExtension;
    // Before the setup's first comparison, its results view is still the one to keep.
    ResultsView view{filter_, query_, std::nullopt};
    if (pendingView_)
        view = *pendingView_;
    else if (summary_ && changedColumn_ && *changedColumn_ < summary_->columns.size())
        view.changedColumn = summary_->columns[*changedColumn_].leftIndex;
    const setups::Setup setup = setups::capture(
        {*left_->path, *right_->path, left_->sheet, right_->sheet, left_->table.headers(), right_->table.headers(),
         mappings_, ignoreCase_, view.filter, view.query.toStdString(), view.changedColumn},
        location);
    perform(
        tr("Saving setup…"),
        [location, setup](std::stop_token) {
            setups::write(location, setup);
            return location.filename().string();
        },
        [this](const std::string& name) {
            publish(activityGroup, notice_, tr("Saved the setup to %1.").arg(utf8Text(name)));
        });
}

void ComparisonModel::dismissSetupNotices()
{
    const Step thisStep(*this);
    publish(mappingGroup, setupNotices_, {});
}

// The web page report names what selected its records, and lists each record's fields by the mapping.
void ComparisonModel::exportPage(const QString& path)
{
    PageContext context;
    context.mappings = mappings_;
    context.key = results::XLSXReport::keyColumns(mappings_, left_->table.headers());
    context.comparedAt = comparedAt_;
    context.keyWarning = keyWarning_.toStdString();
    context.ignoreCase = ignoreCase_;
    if (filter_ != records::ResultFilter::all)
        context.filter = records::title(filter_, left_->name, right_->name);
    context.search = text::trimmed(query_.toStdString());
    if (changedColumn_ && *changedColumn_ < summary_->columns.size()) {
        const records::ColumnChanges& column = summary_->columns[*changedColumn_];
        context.changedColumn = records::columnName(column.leftHeader, column.leftIndex);
    }
    perform(
        tr("Saving comparison report…"),
        [path, summary = summary_, left = *left_, right = *right_, indices = filteredIndices_,
         context = std::move(context)](std::stop_token stop) {
            return savePage(path, *summary, left, right, indices, context, stop);
        },
        [this](std::size_t records) {
            publish(activityGroup, notice_,
                    tr("Exported %Ln record(s) as a web page.", nullptr, static_cast<int>(records)));
        });
}

// Mapping edits: the rules are the engine's, shared with the command line.

void ComparisonModel::setMappings(std::vector<records::ColumnMapping> mappings)
{
    publish(mappingGroup, mappings_, std::move(mappings));
}

void ComparisonModel::map(records::UUID id, std::optional<std::int64_t> rightIndex)
{
    const Step thisStep(*this);
    if (!left_ || !right_)
        return;
    auto chosen = edits::MappingEdits::chooseRightColumn(left_->table, right_->table, mappings_, id, rightIndex);
    if (!chosen)
        return;
    setMappings(std::move(chosen->mappings));
    invalidateResults();
    publish(activityGroup, notice_, utf8Text(edits::MappingEdits::choiceNotice(chosen->filled)));
}

void ComparisonModel::setKey(records::UUID id, bool value)
{
    const Step thisStep(*this);
    std::vector<records::ColumnMapping> mappings = mappings_;
    if (!edits::MappingEdits::setKey(mappings, id, value))
        return;
    setMappings(std::move(mappings));
    invalidateResults();
}

void ComparisonModel::setIncluded(records::UUID id, bool value)
{
    const Step thisStep(*this);
    std::vector<records::ColumnMapping> mappings = mappings_;
    if (!edits::MappingEdits::setIncluded(mappings, id, value))
        return;
    setMappings(std::move(mappings));
    invalidateResults();
}

void ComparisonModel::setRule(records::UUID id, const values::ComparisonRule& rule)
{
    const Step thisStep(*this);
    std::vector<records::ColumnMapping> mappings = mappings_;
    const auto mapping = std::ranges::find(mappings, id, &records::ColumnMapping::id);
    if (mapping == mappings.end() || mapping->rule == rule || !edits::MappingEdits::setRule(mappings, id, rule))
        return;
    setMappings(std::move(mappings));
    invalidateResults();
}

void ComparisonModel::compareTakingProposedRules(const std::vector<std::size_t>& columns)
{
    const Step thisStep(*this);
    if (!summary_ || isBusy_)
        return;
    std::vector<std::int64_t> leftIndices;
    for (const std::size_t column : columns)
        if (column < summary_->columns.size())
            leftIndices.push_back(summary_->columns[column].leftIndex);
    std::vector<records::ColumnMapping> mappings = mappings_;
    if (leftIndices.empty() || edits::MappingEdits::takeProposedRules(mappings, leftIndices) == 0)
        return;
    setMappings(std::move(mappings));
    invalidateResults();
    compare();
}

// All sheets

void ComparisonModel::compareAllSheets()
{
    if (!canCompareAllSheets())
        return;
    perform(
        tr("Comparing all sheets…"),
        [pairs = pairWorkbookSheets(*left_, *right_), left = *left_, right = *right_, ignoreCase = ignoreCase_,
         model = QPointer<ComparisonModel>(this)](std::stop_token stop) {
            WorkbookPairing pairing = pairs;
            const auto count = static_cast<int>(pairing.pairs.size());
            for (int position = 0; position < count; ++position) {
                SheetPair& pair = pairing.pairs[static_cast<std::size_t>(position)];
                const QString label =
                    tr("Comparing sheet %1 of %2: %3…").arg(position + 1).arg(count).arg(utf8Text(pair.left.name));
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [model, stop, label] {
                        if (model && !stop.stop_requested())
                            model->showProgress(label);
                    },
                    Qt::QueuedConnection);
                comparePairFromFiles(pair, left, right, ignoreCase, stop);
            }
            return pairing;
        },
        [this](WorkbookPairing pairing) { showAllSheets(std::move(pairing)); });
}

// The running operation's label, while it runs.
void ComparisonModel::showProgress(const QString& label)
{
    const Step thisStep(*this);
    if (isBusy_)
        publish(activityGroup, busyLabel_, label);
}

void ComparisonModel::showAllSheets(WorkbookPairing pairing)
{
    const Step thisStep(*this);
    allSheets_ = std::move(pairing);
    chosenPair_.reset();
    unannounced_ |= sheetsGroup;
    if (allSheets_->pairs.empty()) {
        setMappings({});
        publish(mappingGroup, suggestions_, {});
        invalidateResults();
        publish(tabGroup, tab_, WorkspaceTab::results);
        return;
    }
    showPair(0);
}

void ComparisonModel::choosePair(std::size_t position)
{
    const Step thisStep(*this);
    if (!allSheets_ || position >= allSheets_->pairs.size() || chosenPair_ == position || isBusy_)
        return;
    keepChosenPair();
    showPair(position);
}

// The chosen pair's entry takes what was done to it while shown: its mapping edited, compared again.
void ComparisonModel::keepChosenPair()
{
    if (!allSheets_ || !chosenPair_)
        return;
    SheetPair& pair = allSheets_->pairs[*chosenPair_];
    if (!pair.leftFile)
        return;
    pair.mappings = mappings_;
    pair.suggestions = suggestions_;
    pair.summary = summary_;
    pair.index = index_;
    pair.elapsed = elapsed_.value_or(0);
    pair.comparedAt = comparedAt_;
    pair.keyWarning = keyWarning_;
}

// Shows the pair as a comparison of its two sheets: its tables, mapping and results, unfiltered.
void ComparisonModel::showPair(std::size_t position)
{
    const SheetPair& pair = allSheets_->pairs[position];
    chosenPair_ = position;
    unannounced_ |= sheetsGroup;
    if (pair.leftFile && pair.rightFile) {
        publish(leftFileGroup, left_, pair.leftFile);
        publish(rightFileGroup, right_, pair.rightFile);
    }
    setMappings(pair.mappings);
    publish(mappingGroup, suggestions_, pair.suggestions);
    if (!pair.summary) {
        invalidateResults();
        publish(tabGroup, tab_, WorkspaceTab::results);
        return;
    }
    handOver({pair.summary, pair.index, pair.index->matching(records::ResultFilter::all, ""), pair.elapsed,
              pair.comparedAt, pair.keyWarning});
}

// Compares again every pair read whose result was dropped and whose mapping allows it: the chosen
// one after an edit, or all of them after the letter case changed.
void ComparisonModel::compareSheetPairs()
{
    keepChosenPair();
    std::vector<std::size_t> positions;
    std::vector<SheetPair> pairs;
    for (std::size_t position = 0; position < allSheets_->pairs.size(); ++position) {
        const SheetPair& pair = allSheets_->pairs[position];
        if (pair.leftFile && pair.rightFile && !pair.summary &&
            canCompareTables(pair.leftFile->table, pair.rightFile->table, pair.mappings)) {
            positions.push_back(position);
            pairs.push_back(pair);
        }
    }
    perform(
        tr("Comparing records…"),
        [pairs = std::move(pairs), ignoreCase = ignoreCase_](std::stop_token stop) {
            std::vector<SheetPair> compared = pairs;
            for (SheetPair& pair : compared)
                comparePair(pair, ignoreCase, stop);
            return compared;
        },
        [this, positions](std::vector<SheetPair> compared) {
            for (std::size_t i = 0; i < positions.size(); ++i)
                allSheets_->pairs[positions[i]] = std::move(compared[i]);
            unannounced_ |= sheetsGroup;
            const std::size_t chosen = chosenPair_.value_or(0);
            showPair(chosen);
        });
}

void ComparisonModel::showOneSheet()
{
    const Step thisStep(*this);
    leaveAllSheets();
}

void ComparisonModel::exportAllSheets()
{
    if (!canExportAllSheets())
        return;
    const std::optional<QString> chosen = dialogs_->saveFile(
        QStringLiteral("comparison-report.xlsx"),
        tr("Exports every pair of sheets to one Excel workbook: a Summary sheet, then a worksheet for each pair."));
    if (!chosen || chosen->isEmpty())
        return;
    std::filesystem::path path = location(*chosen);
    if (!results::XLSXReport::isWorkbookPath(path))
        path += ".xlsx";
    keepChosenPair();
    perform(
        tr("Saving comparison report…"),
        [path, pairing = *allSheets_, leftName = left_->name, right = right_->name](std::stop_token stop) {
            return saveAllSheets(path, pairing, leftName, right, stop);
        },
        [this](std::size_t rows) {
            publish(activityGroup, notice_,
                    tr("Exported %Ln row(s) of every pair of sheets.", nullptr, static_cast<int>(rows)));
        });
}

void ComparisonModel::leaveAllSheets()
{
    if (!allSheets_)
        return;
    allSheets_.reset();
    chosenPair_.reset();
    unannounced_ |= sheetsGroup;
}

// The pairs and File A's sheets without a counterpart in File A's order, then File B's sheets
// without one.
std::vector<SheetListEntry> ComparisonModel::sheetList() const
{
    std::vector<SheetListEntry> entries;
    if (!allSheets_)
        return entries;
    std::size_t nextPair = 0;
    std::size_t nextOnlyInLeft = 0;
    for (const std::string& sheet : allSheets_->leftSheets) {
        if (nextPair < allSheets_->pairs.size() && allSheets_->pairs[nextPair].left.name == sheet)
            entries.push_back(pairEntry(nextPair++));
        else if (nextOnlyInLeft < allSheets_->onlyInLeft.size() && allSheets_->onlyInLeft[nextOnlyInLeft].name == sheet)
            entries.push_back(SheetListEntry{.left = allSheets_->onlyInLeft[nextOnlyInLeft++]});
    }
    for (const workbook::SheetEntry& sheet : allSheets_->onlyInRight)
        entries.push_back(SheetListEntry{.right = sheet});
    return entries;
}

SheetListEntry ComparisonModel::pairEntry(std::size_t position) const
{
    const SheetPair& pair = allSheets_->pairs[position];
    const std::shared_ptr<const results::ResultIndex>& index = chosenPair_ == position ? index_ : pair.index;
    SheetListEntry entry{pair.left, pair.right, position, index != nullptr, 0, 0, 0, pair.problem};
    if (index) {
        entry.changed = static_cast<std::int64_t>(index->positions(records::ResultFilter::changed).size());
        entry.onlyLeft = static_cast<std::int64_t>(index->positions(records::ResultFilter::onlyLeft).size());
        entry.onlyRight = static_cast<std::int64_t>(index->positions(records::ResultFilter::onlyRight).size());
        entry.problem.clear();
    }
    return entry;
}

}  // namespace rowlark::model
