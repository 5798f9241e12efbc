// Formats numbers, Booleans and texts with a number format taken from the input: the format text
// up to the first \0, then eight bytes of a double. Formatting must end with a text or a decline.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/workbook/format/NumberFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace rowlark::workbook;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t end = input.find('\0');
    const std::string_view formatText = input.substr(0, end);
    double value = 0;
    if (end != std::string_view::npos && size - end - 1 >= sizeof value)
        std::memcpy(&value, data + end + 1, sizeof value);
    isDateFormat(formatText);
    dateCellText(value, false);
    dateCellText(value, true);
    generalNumberText(value);
    if (const auto format = NumberFormat::parse(formatText)) {
        format->format(value);
        format->format(CellValue(true));
        format->format(CellValue(std::string(formatText)));
    }
    return 0;
}
