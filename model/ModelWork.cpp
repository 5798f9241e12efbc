#include "model/ModelWork.h"

#include <future>
#include <new>
#include <stdexcept>
#include <string_view>
#include <utility>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "engine/results/ComparisonReport.h"
#include "engine/results/ReportFile.h"
#include "engine/results/XLSXReport.h"
#include "engine/workbook/FileImport.h"
#include "engine/workbook/ImportError.h"
#include "engine/workbook/ReadFailure.h"

namespace rowlark::model {

namespace {

QString tooLargeForMemory()
{
    return QCoreApplication::translate("ModelWork", "The file is too large for the available memory.");
}

std::string fileName(const std::filesystem::path& path)
{
    return path.filename().string();
}

}  // namespace

void throwIfCancelled(std::stop_token stop)
{
    if (stop.stop_requested())
        throw OperationCancelled{};
}

QString describeFailure(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(std::move(failure));
    } catch (const std::bad_alloc&) {
        return tooLargeForMemory();
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QCoreApplication::translate("ModelWork", "The operation failed for an unknown reason.");
    }
}

InputFile importInputFile(const FileRequest& request, std::stop_token stop)
{
    const std::string name = fileName(request.path);
    const std::string_view side = workbook::sideName(request.isLeftSide);
    try {
        workbook::ImportedTable imported =
            workbook::FileImport::readTable(request.path, request.sheet, std::move(stop), request.separator);
        InputFile file;
        file.name = name;
        file.path = request.path;
        file.table = std::move(imported.table);
        file.sheets = std::move(imported.sheets);
        file.sheet = std::move(imported.sheet);
        file.separator = imported.separator;
        return file;
    } catch (const workbook::ImportCancelled&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ImportFailure(std::string(side) + " (" + name + "): " + tooLargeForMemory().toStdString());
    } catch (const std::exception& error) {
        throw ImportFailure(workbook::readFailureMessage(side, name, error));
    }
}

namespace {

// The side's file, or its failure's message; a cancellation passes through.
void importInto(std::optional<InputFile>& file, std::vector<QString>& failures, const FileRequest& request,
                std::stop_token stop)
{
    try {
        file = importInputFile(request, std::move(stop));
    } catch (const ImportFailure& failure) {
        failures.push_back(QString::fromUtf8(failure.what()));
    }
}

}  // namespace

ImportedPair importPair(const FileRequest& first, const FileRequest& second, std::stop_token stop)
{
    ImportedPair pair;
    std::vector<QString> firstFailures;
    auto pendingFirst = std::async(std::launch::async, [&] { importInto(pair.left, firstFailures, first, stop); });
    std::exception_ptr cancelled;
    try {
        importInto(pair.right, pair.failures, second, stop);
    } catch (...) {
        cancelled = std::current_exception();
    }
    pendingFirst.get();
    if (cancelled)
        std::rethrow_exception(cancelled);
    pair.failures.insert(pair.failures.begin(), firstFailures.begin(), firstFailures.end());
    return pair;
}

QString reportPath(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QStringLiteral("csv") || suffix == QStringLiteral("xlsx"))
        return path;
    return path + QStringLiteral(".csv");
}

SavedReport saveReport(const QString& path, const records::ComparisonSummary& summary, const InputFile& left,
                       const InputFile& right, const std::vector<std::size_t>& indices, const ReportContext& context,
                       std::stop_token stop)
{
    SavedReport saved{reportPath(path), indices.size(), 0, 0};
    const std::filesystem::path target(QFile::encodeName(saved.path).toStdString());
    bool isWritten = false;
    if (results::XLSXReport::isWorkbookPath(target)) {
        const std::string time = results::XLSXReport::localTime(context.comparedAt);
        results::XLSXReport::Alterations alterations;
        isWritten =
            results::XLSXReport::write(target, summary,
                                       {left.name, right.name, left.table.headers(), right.table.headers(), context.key,
                                        time, context.filter, context.search, context.changedColumn},
                                       indices, stop, &alterations);
        saved.escapedFields = alterations.escapedFields;
        saved.cutCells = alterations.cutCells;
    } else {
        isWritten = results::ReportFile::write(
            target,
            results::ComparisonReport::csv(summary, left.name, right.name, left.table.headers(), right.table.headers(),
                                           indices, &saved.escapedFields),
            stop);
    }
    if (!isWritten)
        throw OperationCancelled{};
    return saved;
}

}  // namespace rowlark::model
