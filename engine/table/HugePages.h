#pragma once

// Large buffers of a table load are touched once from start to end. Backing them with huge pages
// turns one page fault per 4 KB into one per 2 MB, which on some machines is most of the load time.

#include <cstddef>

namespace rowlark::table {

// Advises the kernel to use huge pages for the untouched buffer [data, data + bytes). Only a hint:
// does nothing for small buffers or where the platform has no such advice.
void adviseHugePages(const void* data, std::size_t bytes);

// Hands the whole pages of [data, data + bytes) back to the system, which reads them as zeros if
// they are touched again: for the unused end of a buffer that was filled and then shrank in place.
void releasePages(void* data, std::size_t bytes);

}  // namespace rowlark::table
