// Reads the input as an XLS workbook with the native reader. An input starting with 'S' is a
// workbook stream, put into a compound file here so that the fuzzer mutates the BIFF records
// themselves; any other input is taken as the compound file. The reader must end every input with
// a payload or a typed error, and every payload row must be as wide as the first.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/workbook/ImportError.h"
#include "engine/workbook/NativeReader.h"
#include "tests/support/XLSWriting.h"

namespace {

using namespace rowlark::workbook;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string bytes =
        !input.empty() && input.front() == 'S' ? rowlark::testing::compoundFile(input.substr(1)) : std::string(input);
    // Declined number formats get a fixed text, as if the library had formatted them.
    const LibraryFormatter formatter = [](const std::vector<LibraryFormatRequest>& requests) {
        return std::vector<std::string>(requests.size(), "formatted");
    };
    try {
        const std::optional<CompoundFile> file =
            CompoundFile::open(std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
        if (!file)
            return 0;
        for (const bool isNamesOnly : {false, true}) {
            const WorkbookPayload payload = readXLS(*file, {std::nullopt, isNamesOnly}, formatter, {});
            check(payload.laterRows.has_value() == (payload.rowCount > 0));
            if (payload.laterRows)
                check(payload.laterRows->width() == payload.firstRow.size());
        }
    } catch (const ReadDeclined&) {
    } catch (const ImportError&) {
    } catch (const CompoundFileError&) {
    }
    return 0;
}
