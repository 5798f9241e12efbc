#pragma once

// Spreading independent pieces of work over the machine's cores. Each piece writes only its own
// output, so a result never depends on how many workers ran.

#include <cstddef>
#include <functional>

namespace rowlark::table {

// One worker per core, at least one.
unsigned defaultWorkerCount();

// Runs `task(i)` for every i below `taskCount` on up to `workers` threads, the calling thread
// included (0 workers: one per core). Rethrows the first failure once every thread has stopped.
void runInParallel(std::size_t taskCount, unsigned workers, const std::function<void(std::size_t)>& task);

}  // namespace rowlark::table
