#include "engine/table/CellCodes.h"

#include <utility>

namespace rowlark::table {

void CellCodes::widen(std::uint32_t code)
{
    CellCodes wider;
    wider.codeBytes_ = code >> 16 != 0 ? 4 : 2;
    wider.bytes_.reserve(bytes_.capacity() / codeBytes_ * wider.codeBytes_);
    for (std::size_t index = 0; index < size(); ++index)
        wider.push_back((*this)[index]);
    *this = std::move(wider);
}

}  // namespace rowlark::table
