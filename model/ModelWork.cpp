#include "ModelWork.h"

#include <new>
#include <stdexcept>
#include <string_view>
#include <utility>

#include <QFile>
#include <QSaveFile>

#include "results/ComparisonReport.h"
#include "workbook/SpreadsheetImporter.h"

namespace rowlark {

namespace {

[[noreturn]] void failWrite(const QSaveFile& file)
{
    throw std::runtime_error(file.errorString().toStdString());
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
        return QStringLiteral("The file is too large for the available memory.");
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("The operation failed for an unknown reason.");
    }
}

InputFile importInputFile(const std::filesystem::path& path, const std::optional<std::string>& sheet,
                          std::stop_token stop)
{
    ImportedTable imported = SpreadsheetImporter::loadWithMetadata(path, sheet, stop);
    InputFile file;
    file.name = path.filename().string();
    file.url = path;
    file.table = std::move(imported.table);
    file.sheets = std::move(imported.sheets);
    file.sheet = std::move(imported.sheet);
    return file;
}

std::size_t saveReport(const QString& path, const ComparisonSummary& summary, const InputFile& left,
                       const InputFile& right, const std::vector<std::size_t>& indices)
{
    const std::string text = ComparisonReport::csv(summary, left.name, right.name, left.table.headers(),
                                                   right.table.headers(), indices);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        failWrite(file);
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()))
        failWrite(file);
    if (!file.commit())
        failWrite(file);
    return indices.size();
}

}  // namespace rowlark
