#pragma once

// What the helper holds itself to, so that a workbook that asks for too much ends the helper
// rather than the machine: processor time and memory.

#include <cstdint>

namespace rowlark::reader {

// Processor time: the bound for reading the file, and more for the cells of the sheet once its
// used range has passed the size limits (a sheet of a few kilobytes may span five million
// cells). Past the bound the system ends the process with SIGXCPU.
namespace processorTime {

void limit(std::uint64_t seconds, double maxCells);

// More time for `cells` cells the script is about to convert.
void allowCellWork(double cells);

}  // namespace processorTime

// The memory ceiling, `bytes` beyond what the process holds when it is applied (once the script
// engine runs). The engine meets the limit as a failed allocation, and then either throws its
// out-of-memory error or stops the process with a trap or an abort; a process stopped that way
// near its ceiling ends with the protocol's out-of-memory status.
namespace memoryCeiling {

void apply(std::uint64_t bytes);

// Whether the process is at its ceiling, so that an error the script reports is out of memory.
bool isReached();

}  // namespace memoryCeiling

}  // namespace rowlark::reader
