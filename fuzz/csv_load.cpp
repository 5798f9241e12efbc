// Loads the input as a CSV file (decoding, separator detection, parsing, structured-column
// expansion) and checks the shape of the table: every row as wide as the header, the bookkeeping
// of derived columns consistent with the columns added. The input's first byte chooses the
// separator: ',', ';', tab or '|' is given to the loader, any other byte leaves it to detection,
// whose choice must then read the file as the same table when given.

#include "engine/csv/CSVError.h"
#include "engine/csv/CSVLoad.h"
#include "engine/table/Table.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <system_error>

namespace {

using namespace rowlark;

// The loader reads a file by name; a memory file keeps each run off the disk.
const std::string& memoryFilePath(const std::uint8_t* data, std::size_t size)
{
    static const int descriptor = memfd_create("fuzz.csv", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(descriptor);
    if (descriptor < 0 || ftruncate(descriptor, 0) != 0 ||
        pwrite(descriptor, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    return path;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkShape(const table::Table& table)
{
    check(table.columnCount() > 0);
    const std::size_t derived = table.derivedColumnIndices().size();
    check(table.derivedColumnCount() == static_cast<std::int64_t>(derived));
    check(derived < table.columnCount() || table.structuredColumnIndices().empty());
    for (const std::size_t index : table.structuredColumnIndices())
        check(index < table.columnCount() && !table.derivedColumnIndices().contains(index));
    for (const std::size_t index : table.derivedColumnIndices())
        check(index < table.columnCount());
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        check(table.rowStrings(row).size() == table.columnCount());
}

std::optional<csv::Separator> separatorChoice(std::uint8_t byte)
{
    for (const csv::Separator separator : csv::allSeparators)
        if (byte == static_cast<std::uint8_t>(separator))
            return separator;
    return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::optional<csv::Separator> separator = separatorChoice(data[0]);
    const std::string& path = memoryFilePath(data + 1, size - 1);
    try {
        const csv::LoadedCSV loaded = csv::loadCSV(path, separator);
        checkShape(loaded.table);
        check(!separator || loaded.separator == *separator);
        if (!separator)
            check(csv::loadCSV(path, loaded.separator).table == loaded.table);
    } catch (const csv::CSVError&) {
    }
    return 0;
}
