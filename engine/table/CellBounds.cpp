#include "table/CellBounds.h"

#include "table/HugePages.h"

namespace rowlark::table {

void CellBounds::reserve(std::size_t count)
{
    low_.reserve(count);
    adviseHugePages(low_.data(), low_.capacity() * sizeof(std::uint32_t));
}

}  // namespace rowlark::table
