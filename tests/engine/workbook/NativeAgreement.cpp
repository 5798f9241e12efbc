#include "NativeAgreement.h"

#include <fstream>
#include <iterator>
#include <span>

#include "../csv/CSVTestSupport.h"
#include "workbook/ImportError.h"
#include "workbook/SpreadsheetImporter.h"

namespace rowlark::testing {
namespace {

using workbook::NativeRequest;
using workbook::ZipArchive;

std::string errorText(const ImportError& error)
{
    return "error: " + error.errorDescription() + '\n';
}

std::string importedText(const ImportedTable& imported)
{
    return "sheets: " + lineOf(imported.sheets) + "read: " + imported.sheet.value_or("") + '\n' +
           tableText(imported.table);
}

// The native payload as the importer turns the library's into a table, and its archive errors as
// the reader helper reports them.
std::string nativeText(const std::filesystem::path& file, const NativeRequest& request, const NativeRead& read)
{
    std::ifstream stream(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    try {
        std::optional<ZipArchive> archive =
            ZipArchive::open(std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
        if (!archive)
            return "declined";
        WorkbookPayload payload = read(*archive, request);
        if (request.isNamesOnly)
            return "sheets: " + lineOf(payload.sheetNames) + "rows: " + std::to_string(payload.rowCount) + '\n';
        bool isHeaderBlank = true;
        for (const std::string& name : payload.firstRow)
            isHeaderBlank = isHeaderBlank && name.empty();
        if (payload.rowCount == 0 || isHeaderBlank)
            return errorText(ImportError::emptyWorksheet());
        const ImportedTable imported{
            CSVTable::fromStore(std::move(payload.firstRow), std::move(*payload.laterRows)).expandingStructuredColumns(),
            payload.sheetNames, request.sheet.value_or(payload.sheetNames.front())};
        return importedText(imported);
    } catch (const workbook::ReadDeclined&) {
        return "declined";
    } catch (const workbook::ZipError& error) {
        return errorText(error.problem() == workbook::ZipProblem::damaged ? ImportError::workbookUnreadable()
                                                                          : ImportError::worksheetTooLarge());
    } catch (const ImportError& error) {
        return errorText(error);
    }
}

}  // namespace

std::string nativeSheetNames(const std::filesystem::path& file, const NativeRead& read)
{
    return nativeText(file, {std::nullopt, true}, read);
}

AgreementTexts nativeAndLibraryReads(const std::filesystem::path& file, const std::optional<std::string>& sheet,
                                     const NativeRead& read)
{
    AgreementTexts texts{nativeText(file, {sheet, false}, read), {}};
    try {
        texts.library = importedText(SpreadsheetImporter::loadWithMetadata(file, sheet));
    } catch (const ImportError& error) {
        texts.library = errorText(error);
    }
    return texts;
}

}  // namespace rowlark::testing
