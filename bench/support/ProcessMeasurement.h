#pragma once

// Measuring one piece of work in a child process of its own, so that its peak memory is its own
// and not what an earlier run left allocated. Linux only (/proc/self).

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <type_traits>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace rowlark::bench {

// A "VmRSS"-style line of /proc/self/status, in bytes.
double statusBytes(std::string_view field);

// Clears the peak resident size, so that "VmHWM" starts again from the current size (Linux 4.0
// and later). False when the kernel does not allow it.
bool resetPeakResidentSize();

double medianOf(std::vector<double> values);

// User and system time of this process, all threads, in seconds. A shared machine stretches the
// wall clock; this stays meaningful.
double processorSeconds();

// Runs `measure` in a forked child and returns what it returned; exits the program when the child
// fails. The child sees the parent's memory (loaded tables, say) without copying it.
template<typename Measure> auto measureInChild(Measure&& measure)
{
    using Result = decltype(measure());
    static_assert(std::is_trivially_copyable_v<Result>);
    int channel[2];
    if (::pipe(channel) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const Result result = measure();
        ::_exit(::write(channel[1], &result, sizeof result) == sizeof result ? 0 : 1);
    }
    ::close(channel[1]);
    Result result{};
    const bool isReceived = ::read(channel[0], &result, sizeof result) == sizeof result;
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!isReceived || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the measuring process failed\n");
        std::exit(1);
    }
    return result;
}

}  // namespace rowlark::bench
