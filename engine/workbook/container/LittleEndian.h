#pragma once

// Unsigned integers stored least significant byte first, as ZIP archives and compound files
// store them.

#include <cstddef>
#include <cstdint>
#include <span>

namespace rowlark::workbook {

// The `width` bytes (at most 4) at `offset`; the caller checks that they lie inside `bytes`.
inline std::uint32_t littleEndian(std::span<const unsigned char> bytes, std::size_t offset, std::size_t width)
{
    std::uint32_t value = 0;
    for (std::size_t i = width; i > 0; --i)
        value = (value << 8) | bytes[offset + i - 1];
    return value;
}

}  // namespace rowlark::workbook
