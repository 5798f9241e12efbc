#pragma once

// Buffers of an entry or more per row, written once before they are read. Leaving them
// uninitialised saves a pass over the memory, and huge pages save most of the page faults of the
// first writes, which on some machines cost more than the comparison's own work.

#include <cstddef>
#include <memory>

#include "table/HugePages.h"

namespace rowlark::compare::CSVComparator {

template<typename T> std::unique_ptr<T[]> largeBuffer(std::size_t count)
{
    auto buffer = std::make_unique_for_overwrite<T[]>(count);
    table::adviseHugePages(buffer.get(), count * sizeof(T));
    return buffer;
}

}  // namespace rowlark::compare::CSVComparator
