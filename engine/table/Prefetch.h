#pragma once

// Asking for a cache line ahead of its use, where rows are visited in an order the hardware cannot
// predict.

namespace rowlark::table {

// GCC drops a plain __builtin_prefetch whose address it computes from a table cell; passing the
// address through an empty statement keeps it.
inline void prefetch(const void* address)
{
    __asm__ volatile("" : "+r"(address));
    __builtin_prefetch(address);
}

}  // namespace rowlark::table
