#include "model/ModelWork.h"

#include <new>
#include <stdexcept>
#include <string_view>
#include <utility>

#include <QCoreApplication>
#include <QFile>

#include "engine/results/ComparisonReport.h"
#include "engine/results/HTMLReport.h"
#include "engine/results/ReportFile.h"
#include "engine/results/XLSXReport.h"
#include "engine/setups/SetupApplication.h"
#include "engine/table/Parallel.h"
#include "engine/workbook/FileImport.h"
#include "engine/workbook/ImportError.h"

namespace rowlark::model {

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
        return QCoreApplication::translate("ModelWork", "The file is too large for the available memory.");
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
    file.name = path.filename().string();
    file.path = path;
    file.table = std::move(imported.table);
    file.sheets = std::move(imported.sheets);
    file.sheet = std::move(imported.sheet);
    return file;
}

SetupSide importSetupSide(const setups::FileEntry& entry, const std::filesystem::path& setupPath, std::string_view side,
                          std::stop_token stop)
{
    const std::filesystem::path path = setups::resolvedPath(entry.path, setupPath);
    try {
        setups::SideRead read = setups::readSide(entry.sheet, side, [&](const std::optional<std::string>& sheet) {
            return workbook::FileImport::readTable(path, sheet, stop);
        });
        return {inputFile(path, std::move(read.imported)), std::move(read.notice)};
    } catch (const workbook::ImportCancelled&) {
        throw;
    } catch (const std::exception& error) {
        throw std::runtime_error(std::string(side) + " (" + path.string() + "): " + error.what());
    }
}

}  // namespace

InputFile importInputFile(const std::filesystem::path& path, const std::optional<std::string>& sheet,
                          std::stop_token stop)
{
    return inputFile(path, workbook::FileImport::readTable(path, sheet, stop));
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
    return table::runSideBySide([&] { return importSetupSide(setup.left, setupPath, "File A", stop); },
                                [&] { return importSetupSide(setup.right, setupPath, "File B", stop); });
}

std::size_t saveReport(const QString& path, const records::ComparisonSummary& summary, const InputFile& left,
                       const InputFile& right, const std::vector<std::size_t>& indices, const std::string& key,
                       std::chrono::system_clock::time_point comparedAt, std::stop_token stop)
{
    const std::filesystem::path target(QFile::encodeName(path).toStdString());
    bool isWritten = false;
    if (results::XLSXReport::isWorkbookPath(target)) {
        const std::string time = results::XLSXReport::localTime(comparedAt);
        isWritten = results::XLSXReport::write(
            target, summary, {left.name, right.name, left.table.headers(), right.table.headers(), key, time}, indices,
            stop);
    } else {
        isWritten = results::ReportFile::write(target,
                                               results::ComparisonReport::csv(summary, left.name, right.name,
                                                                              left.table.headers(),
                                                                              right.table.headers(), indices),
                                               stop);
    }
    if (!isWritten)
        throw OperationCancelled{};
    return indices.size();
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
