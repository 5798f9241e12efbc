#include "model/ModelWork.h"

#include <future>
#include <new>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "engine/results/ComparisonReport.h"
#include "engine/results/HTMLReport.h"
#include "engine/results/ReportFile.h"
#include "engine/results/XLSXReport.h"
#include "engine/setups/SetupApplication.h"
#include "engine/table/Parallel.h"
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

namespace {

InputFile inputFile(const std::filesystem::path& path, workbook::ImportedTable imported)
{
    InputFile file;
    file.name = fileName(path);
    file.path = path;
    file.table = std::move(imported.table);
    file.sheets = std::move(imported.sheets);
    file.sheet = std::move(imported.sheet);
    file.separator = imported.separator;
    return file;
}

// What `read` gives for the side's file; its failures become an ImportFailure that names the side
// and the file, and a cancellation passes through.
template<typename Read> std::invoke_result_t<Read> readSide(std::string_view side, const std::string& name, Read read)
{
    try {
        return read();
    } catch (const workbook::ImportCancelled&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ImportFailure(std::string(side) + " (" + name + "): " + tooLargeForMemory().toStdString());
    } catch (const std::exception& error) {
        throw ImportFailure(workbook::readFailureMessage(side, name, error));
    }
}

SetupSide importSetupSide(const setups::FileEntry& entry, const std::filesystem::path& setupPath, bool isLeftSide,
                          std::stop_token stop)
{
    const std::filesystem::path path = setups::resolvedPath(entry.path, setupPath);
    const std::string_view side = workbook::sideName(isLeftSide);
    return readSide(side, fileName(path), [&] {
        setups::SideRead read = setups::readSide(entry.sheet, side, [&](const std::optional<std::string>& sheet) {
            return workbook::FileImport::readTable(path, sheet, stop);
        });
        return SetupSide{inputFile(path, std::move(read.imported)), std::move(read.notice)};
    });
}

}  // namespace

InputFile importInputFile(const FileRequest& request, std::stop_token stop)
{
    return readSide(workbook::sideName(request.isLeftSide), fileName(request.path), [&] {
        return inputFile(request.path, workbook::FileImport::readTable(request.path, request.sheet, std::move(stop),
                                                                       request.separator));
    });
}

setups::Setup readSetup(const std::filesystem::path& path)
{
    try {
        return setups::read(path);
    } catch (const std::system_error& error) {
        throw std::runtime_error(path.filename().string() + ": " + error.code().message());
    } catch (const setups::SetupError& error) {
        throw std::runtime_error(path.filename().string() + ": " + error.what());
    }
}

std::pair<SetupSide, SetupSide> importSetupFiles(const setups::Setup& setup, const std::filesystem::path& setupPath,
                                                 std::stop_token stop)
{
    return table::runSideBySide([&] { return importSetupSide(setup.left, setupPath, true, stop); },
                                [&] { return importSetupSide(setup.right, setupPath, false, stop); });
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

std::size_t savePage(const QString& path, const records::ComparisonSummary& summary, const InputFile& left,
                     const InputFile& right, const std::vector<std::size_t>& indices, const PageContext& context,
                     std::stop_token stop)
{
    const std::string comparedAt = results::XLSXReport::localTime(context.comparedAt);
    const results::HTMLReport::Details details{
        left.name,          right.name,     left.table.headers(), right.table.headers(),
        context.mappings,   context.key,    comparedAt,           context.keyWarning,
        context.ignoreCase, context.filter, context.search,       context.changedColumn};
    if (!results::HTMLReport::write(std::filesystem::path(QFile::encodeName(path).toStdString()), summary, details,
                                    indices, std::move(stop)))
        throw OperationCancelled{};
    return indices.size();
}

}  // namespace rowlark::model
