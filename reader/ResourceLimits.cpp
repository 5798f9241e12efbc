#include "reader/ResourceLimits.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "engine/workbook/library/ReaderProtocol.h"

namespace rowlark::reader {

namespace processorTime {
namespace {

// About three times what the densest sheet takes in the sanitizer build.
constexpr double secondsPerCell = 6e-6;

}  // namespace

void limit(std::uint64_t seconds, double maxCells)
{
    const auto cellSeconds = static_cast<rlim_t>(maxCells * secondsPerCell);
    const rlimit limit{seconds, seconds + cellSeconds + 2};
    ::setrlimit(RLIMIT_CPU, &limit);
}

void allowCellWork(double cells)
{
    rlimit limit{};
    if (cells > 0 && ::getrlimit(RLIMIT_CPU, &limit) == 0) {
        limit.rlim_cur = std::min(limit.rlim_max, limit.rlim_cur + static_cast<rlim_t>(cells * secondsPerCell) + 1);
        ::setrlimit(RLIMIT_CPU, &limit);
    }
}

}  // namespace processorTime

// The engine reserves tens of gigabytes of address space when it starts, writable but untouched
// (and the address sanitizer its shadow memory), so the ceiling is set as a limit on the data
// segment above what the process already has once the engine runs: every mapping made after that
// counts against it.
namespace memoryCeiling {
namespace {

constexpr int fatalSignals[] = {SIGABRT, SIGBUS, SIGILL, SIGSEGV, SIGTRAP};
struct sigaction previousActions[NSIG];
std::uint64_t exhaustedBytes = 0;
long pageBytes = 0;

// The data segment as /proc/self/statm counts it (its sixth field, in pages); 0 when unknown.
// Only async-signal-safe calls.
std::uint64_t dataBytes()
{
    const int file = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return 0;
    char text[256];
    const ssize_t length = ::read(file, text, sizeof text - 1);
    ::close(file);
    if (length <= 0)
        return 0;
    std::uint64_t field[6] = {};
    int index = 0;
    for (ssize_t i = 0; i < length && index < 6; ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            field[index] = field[index] * 10 + static_cast<std::uint64_t>(text[i] - '0');
        else
            ++index;
    }
    return field[5] * static_cast<std::uint64_t>(pageBytes);
}

void onFatalSignal(int signal)
{
    if (dataBytes() >= exhaustedBytes)
        ::_exit(rowlark::workbook::readerProtocol::outOfMemoryStatus);
    ::sigaction(signal, &previousActions[signal], nullptr);
    // A fault happens again on return and reaches the previous handler; a raised signal is
    // raised again.
    if (signal == SIGABRT || signal == SIGTRAP)
        ::raise(signal);
}

}  // namespace

void apply(std::uint64_t bytes)
{
    pageBytes = ::sysconf(_SC_PAGESIZE);
    const std::uint64_t base = dataBytes();
    if (base == 0)
        return;
    const rlimit limit{base + bytes, base + bytes};
    if (::setrlimit(RLIMIT_DATA, &limit) != 0)
        return;
    // The request that failed may have been large; one eighth of the ceiling short of it counts.
    exhaustedBytes = base + bytes - bytes / 8;
    struct sigaction action {};
    action.sa_handler = onFatalSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : fatalSignals)
        ::sigaction(signal, &action, &previousActions[signal]);
}

bool isReached()
{
    return exhaustedBytes != 0 && dataBytes() >= exhaustedBytes;
}

}  // namespace memoryCeiling

}  // namespace rowlark::reader
