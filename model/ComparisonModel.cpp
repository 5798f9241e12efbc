#include "ComparisonModel.h"

#include <algorithm>
#include <concepts>
#include <exception>
#include <type_traits>
#include <utility>
#include <variant>

#include <QFile>
#include <QLocale>
#include <QPointer>

#include "BackgroundRunner.h"
#include "ModelWork.h"
#include "SampleFiles.h"
#include "Utf8Text.h"
#include "analysis/MappingAnalysis.h"
#include "edits/MappingEdits.h"
#include "results/ComparisonRun.h"
#include "workbook/ImportError.h"

namespace rowlark {

namespace {

const QStringList openableExtensions = {"csv", "xlsx", "xls", "ods", "numbers"};

QString cancellationNotice()
{
    return QStringLiteral("The operation was cancelled.");
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

std::string_view title(WorkspaceTab tab)
{
    switch (tab) {
    case WorkspaceTab::mapping:
        return "Map columns";
    case WorkspaceTab::results:
        return "Results";
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
    Uuid token;
    std::shared_ptr<const ResultIndex> index;
    ResultFilter filter;
    std::string query;
    Matching matching;
};

struct ComparisonModel::FilterOutcome {
    std::variant<std::vector<std::size_t>, QString> ending;
};

struct ComparisonModel::ComparisonResult {
    std::shared_ptr<const ComparisonSummary> summary;
    std::shared_ptr<const ResultIndex> index;
    std::vector<std::size_t> filteredIndices;  // every difference, as the filter `all` lists them
    double elapsed = 0;
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

template<typename T> void ComparisonModel::publish(Field field, T& member, T value)
{
    if constexpr (std::equality_comparable<T>) {
        if (member == value)
            return;
    }
    member = std::move(value);
    emit changed(field);
}

// Published fields written by the views

void ComparisonModel::setTab(WorkspaceTab tab)
{
    publish(Field::tab, tab_, tab);
}

void ComparisonModel::setMappingSearch(const QString& text)
{
    publish(Field::mappingSearch, mappingSearch_, text);
}

void ComparisonModel::setQuery(const QString& query)
{
    publish(Field::query, query_, query);
    scheduleFilter();
}

void ComparisonModel::setFilter(ResultFilter filter)
{
    publish(Field::filter, filter_, filter);
    scheduleFilter();
}

void ComparisonModel::setIgnoreCase(bool ignoreCase)
{
    publish(Field::ignoreCase, ignoreCase_, ignoreCase);
    invalidateResults();
}

void ComparisonModel::setSelectedRowID(std::optional<Uuid> id)
{
    publish(Field::selectedRowID, selectedRowID_, id);
}

void ComparisonModel::setErrorMessage(std::optional<QString> message)
{
    publish(Field::errorMessage, errorMessage_, std::move(message));
}

void ComparisonModel::setMatching(Matching matching)
{
    matching_ = std::move(matching);
}

// Derived values

QString ComparisonModel::leftName() const
{
    return left_ ? utf8Text(left_->name) : QStringLiteral("First file");
}

QString ComparisonModel::rightName() const
{
    return right_ ? utf8Text(right_->name) : QStringLiteral("Second file");
}

bool ComparisonModel::canCompare() const
{
    if (isBusy_ || !left_ || !right_)
        return false;
    const bool hasKey = std::ranges::any_of(
        mappings_, [](const ColumnMapping& mapping) { return mapping.isKey && mapping.rightIndex.has_value(); });
    if (!hasKey)
        return false;
    const auto leftCount = static_cast<std::int64_t>(left_->table.columnCount());
    const auto rightCount = static_cast<std::int64_t>(right_->table.columnCount());
    return std::ranges::all_of(mappings_, [&](const ColumnMapping& mapping) {
        if (mapping.leftIndex < 0 || mapping.leftIndex >= leftCount)
            return false;
        if (!mapping.rightIndex)
            return true;
        const std::int64_t rightIndex = *mapping.rightIndex;
        if (rightIndex < 0 || rightIndex >= rightCount)
            return false;
        return MappingEdits::canPair(left_->table, right_->table, mapping.leftIndex, rightIndex);
    });
}

bool ComparisonModel::canExport() const
{
    return summary_ && !isBusy_ && !isFiltering_ && !filteredIndices_.empty();
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
    cancel();
    const Uuid token = Uuid::random();
    generation_ = token;
    publish(Field::isBusy, isBusy_, true);
    publish(Field::busyLabel, busyLabel_, label);
    publish(Field::notice, notice_, QString());

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
        } catch (const ImportCancelled&) {
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

void ComparisonModel::applyOutcome(const Uuid& token, bool wasCancelled, Outcome outcome)
{
    if (generation_ != token || wasCancelled)
        return;
    cancelWorker_.reset();
    publish(Field::isBusy, isBusy_, false);
    if (auto* finish = std::get_if<FinishStep>(&outcome.ending))
        (*finish)();
    else if (auto* message = std::get_if<QString>(&outcome.ending))
        setErrorMessage(*message);
}

void ComparisonModel::cancel()
{
    generation_ = Uuid::random();
    if (cancelWorker_)
        cancelWorker_->request_stop();
    cancelWorker_.reset();
    publish(Field::isBusy, isBusy_, false);
    publish(Field::notice, notice_, cancellationNotice());
}

void ComparisonModel::analyze()
{
    setMappings({});
    publish(Field::suggestions, suggestions_, {});
    if (!left_ || !right_)
        return;
    invalidateResults();
    perform(
        QStringLiteral("Finding matching columns…"),
        [left = left_->table, right = right_->table](std::stop_token) {
            return CSVComparator::analyzeMappings(left, right);
        },
        [this](MappingAnalysisResult result) {
            setMappings(std::move(result.mappings));
            publish(Field::suggestions, suggestions_, std::move(result.suggestions));
            publish(Field::notice, notice_,
                    QStringLiteral("Suggestions use header patterns and a local sample. Review the row key "
                                   "before comparing."));
        });
}

void ComparisonModel::compare()
{
    if (!canCompare())
        return;
    perform(
        QStringLiteral("Comparing records…"),
        [left = *left_, right = *right_, mappings = mappings_, ignoreCase = ignoreCase_](std::stop_token stop) {
            ComparisonOutcome outcome = runComparison(left.table, right.table, left.name, right.name, mappings,
                                                      ignoreCase, [stop] { throwIfCancelled(stop); });
            std::vector<std::size_t> everyDifference = outcome.index.matching(ResultFilter::all, "");
            return ComparisonResult{std::make_shared<const ComparisonSummary>(std::move(outcome.summary)),
                                    std::make_shared<const ResultIndex>(std::move(outcome.index)),
                                    std::move(everyDifference), outcome.elapsed, utf8Text(outcome.keyWarning)};
        },
        [this](ComparisonResult result) { handOver(std::move(result)); });
}

// Publishes a comparison and shows it unfiltered from its first difference. The worker already
// listed what the reset filter and search select, so no filter run is scheduled: one finishing
// later would take back a record the user chose meanwhile.
void ComparisonModel::handOver(ComparisonResult result)
{
    dropFilterRun();
    publish(Field::summary, summary_, std::move(result.summary));
    publish(Field::index, index_, std::move(result.index));
    publish(Field::elapsed, elapsed_, std::optional<double>(result.elapsed));
    publish(Field::keyWarning, keyWarning_, std::move(result.keyWarning));
    publish(Field::filter, filter_, ResultFilter::all);
    publish(Field::query, query_, QString());
    showFromFirstPage(std::move(result.filteredIndices));
    publish(Field::tab, tab_, WorkspaceTab::results);
}

void ComparisonModel::invalidateResults()
{
    dropFilterRun();
    publish(Field::summary, summary_, {});
    publish(Field::index, index_, {});
    publish(Field::filteredIndices, filteredIndices_, {});
    publish(Field::selectedRowID, selectedRowID_, {});
    publish(Field::elapsed, elapsed_, {});
    publish(Field::pageNumber, pageNumber_, std::int64_t{0});
    publish(Field::isFiltering, isFiltering_, false);
    publish(Field::keyWarning, keyWarning_, QString());
    publish(Field::tab, tab_, WorkspaceTab::mapping);
}

// Filtering and paging

void ComparisonModel::scheduleFilter()
{
    dropFilterRun();
    if (!index_)
        return;
    publish(Field::isFiltering, isFiltering_, true);
    FilterRun run{filterGeneration_, index_, filter_, query_.toStdString(), matching_};
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
    filterGeneration_ = Uuid::random();
}

void ComparisonModel::startMatching(FilterRun run)
{
    auto task = [run = std::move(run)]() -> FilterOutcome {
        try {
            return {run.matching(*run.index, run.filter, run.query)};
        } catch (...) {
            return {describeFailure(std::current_exception())};
        }
    };
    runInBackground(this, std::move(task), [token = run.token](ComparisonModel& model, FilterOutcome outcome) {
        model.applyFilterOutcome(token, std::move(outcome));
    });
}

void ComparisonModel::applyFilterOutcome(const Uuid& token, FilterOutcome outcome)
{
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
    const std::optional<Uuid> first = idOfFirst(positions);
    publish(Field::filteredIndices, filteredIndices_, std::move(positions));
    publish(Field::pageNumber, pageNumber_, std::int64_t{0});
    publish(Field::selectedRowID, selectedRowID_, first);
    publish(Field::isFiltering, isFiltering_, false);
}

void ComparisonModel::changePage(std::int64_t step)
{
    const auto count = static_cast<std::int64_t>(filteredIndices_.size());
    const std::int64_t lastPage = (count + pageSize - 1) / pageSize - 1;
    const std::int64_t target = count == 0 ? 0 : std::clamp(pageNumber_ + step, std::int64_t{0}, lastPage);
    publish(Field::pageNumber, pageNumber_, target);
    publish(Field::selectedRowID, selectedRowID_, idOfFirst(ResultIndex::page(filteredIndices_, target, pageSize)));
}

std::optional<Uuid> ComparisonModel::idOfFirst(const std::vector<std::size_t>& positions) const
{
    if (!summary_ || positions.empty() || positions.front() >= summary_->differences.size())
        return std::nullopt;
    return summary_->differences[positions.front()].id;
}

// Files

void ComparisonModel::selectFile(bool leftSide)
{
    const std::optional<QString> path =
        dialogs_->openFile(QStringLiteral("Choose a CSV, Excel, Numbers or LibreOffice file"), openableExtensions);
    if (path && !path->isEmpty())
        load(*path, leftSide);
}

void ComparisonModel::load(const QString& path, bool leftSide, const std::optional<QString>& sheet)
{
    const std::filesystem::path location(QFile::encodeName(path).toStdString());
    std::optional<std::string> sheetName;
    if (sheet)
        sheetName = sheet->toStdString();
    perform(
        QStringLiteral("Reading %1…").arg(utf8Text(location.filename().string())),
        [location, sheetName](std::stop_token stop) { return importInputFile(location, sheetName, stop); },
        [this, leftSide](InputFile file) {
            invalidateResults();
            setFile(leftSide, std::move(file));
            analyze();
        });
}

void ComparisonModel::setFile(bool leftSide, InputFile file)
{
    if (leftSide)
        publish(Field::left, left_, std::optional<InputFile>(std::move(file)));
    else
        publish(Field::right, right_, std::optional<InputFile>(std::move(file)));
}

void ComparisonModel::loadSample()
{
    cancel();
    setFile(true, sampleBefore());
    setFile(false, sampleAfter());
    analyze();
}

void ComparisonModel::exportReport()
{
    if (!canExport() || !summary_ || !left_ || !right_)
        return;
    const std::optional<QString> path = dialogs_->saveFile(
        QStringLiteral("comparison-report.csv"),
        QStringLiteral("Exports the current filter and search across all result pages. Formula-like cells are "
                       "prefixed with an apostrophe for spreadsheet safety."));
    if (!path || path->isEmpty())
        return;
    perform(
        QStringLiteral("Saving comparison report…"),
        [path = *path, summary = summary_, left = *left_, right = *right_, indices = filteredIndices_](
            std::stop_token stop) { return saveReport(path, *summary, left, right, indices, stop); },
        [this](std::size_t rows) {
            publish(Field::notice, notice_,
                    QStringLiteral("Exported %1 rows. Formula-like values were escaped for spreadsheet safety.")
                        .arg(QLocale().toString(static_cast<qulonglong>(rows))));
        });
}

// Mapping edits: the rules are the engine's, shared with the command line.

void ComparisonModel::setMappings(std::vector<ColumnMapping> mappings)
{
    publish(Field::mappings, mappings_, std::move(mappings));
}

void ComparisonModel::map(Uuid id, std::optional<std::int64_t> rightIndex)
{
    if (!left_ || !right_)
        return;
    auto chosen = MappingEdits::chooseRightColumn(left_->table, right_->table, mappings_, id, rightIndex);
    if (!chosen)
        return;
    setMappings(std::move(chosen->mappings));
    invalidateResults();
    publish(Field::notice, notice_, utf8Text(MappingEdits::choiceNotice(chosen->filled)));
}

void ComparisonModel::setKey(Uuid id, bool value)
{
    std::vector<ColumnMapping> mappings = mappings_;
    if (!MappingEdits::setKey(mappings, id, value))
        return;
    setMappings(std::move(mappings));
    invalidateResults();
}

void ComparisonModel::setIncluded(Uuid id, bool value)
{
    std::vector<ColumnMapping> mappings = mappings_;
    if (!MappingEdits::setIncluded(mappings, id, value))
        return;
    setMappings(std::move(mappings));
    invalidateResults();
}

}  // namespace rowlark
