#pragma once

// Giving memory back to the system from inside a buffer that stays.

#include <cstddef>

namespace rowlark::table {

// Hands the whole pages of [data, data + bytes) back to the system, which reads them as zeros if
// they are touched again: for the unused end of a buffer that was filled and then shrank in place.
void releasePages(void* data, std::size_t bytes);

}  // namespace rowlark::table
