// Reads the input as the parts of a workbook with the native readers. The input lists parts as
// NAME \0 CONTENT \0 ...; they are stored uncompressed in a ZIP archive built here, so that the
// fuzzer mutates the XML itself rather than deflate streams. The readers must end every input
// with a payload or a typed error, and every payload row must be as wide as the first, its stored
// numbers in reach.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/workbook/ImportError.h"
#include "engine/workbook/NativeReader.h"
#include "tests/support/ZIPWriting.h"

namespace {

using namespace rowlark::workbook;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::vector<rowlark::testing::StoredPart> partsOf(std::string_view input)
{
    std::vector<rowlark::testing::StoredPart> parts;
    while (!input.empty() && parts.size() < 64) {
        const std::size_t nameEnd = input.find('\0');
        if (nameEnd == std::string_view::npos)
            break;
        const std::string_view name = input.substr(0, nameEnd);
        input.remove_prefix(nameEnd + 1);
        const std::size_t contentEnd = input.find('\0');
        const std::string_view content = input.substr(0, contentEnd);
        input.remove_prefix(contentEnd == std::string_view::npos ? input.size() : contentEnd + 1);
        parts.push_back({name, content});
    }
    return parts;
}

void checkPayload(const rowlark::workbook::WorkbookPayload& payload)
{
    check(payload.laterRows.has_value() == (payload.rowCount > 0));
    if (!payload.laterRows)
        return;
    const rowlark::table::CellStore& rows = *payload.laterRows;
    check(rows.width() == payload.firstRow.size());
    // Every cell's stored number, if any, is found beside its text.
    for (std::size_t row = 0; row < rows.rowCount(); ++row)
        for (std::size_t column = 0; column < rows.width(); ++column)
            rows.storedNumbers().at(row, column, rows.cell(row, column));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string archiveBytes =
        rowlark::testing::storedArchive(partsOf(std::string_view(reinterpret_cast<const char*>(data), size)));
    const auto bytes = std::span(reinterpret_cast<const unsigned char*>(archiveBytes.data()), archiveBytes.size());
    // Declined number formats get a fixed text, as if the library had formatted them.
    const LibraryFormatter formatter = [](const std::vector<LibraryFormatRequest>& requests) {
        return std::vector<std::string>(requests.size(), "formatted");
    };
    for (const bool isODS : {false, true}) {
        try {
            std::optional<ZIPArchive> archive = ZIPArchive::open(bytes);
            check(archive.has_value());
            checkPayload(isODS ? readODS(*archive, {}, {}) : readXLSX(*archive, {}, formatter, {}));
        } catch (const ReadDeclined&) {
        } catch (const ImportError&) {
        } catch (const ZIPError&) {
        }
    }
    return 0;
}
