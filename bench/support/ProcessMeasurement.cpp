#include "bench/support/ProcessMeasurement.h"

#include <algorithm>
#include <fstream>
#include <string>

#include <sys/resource.h>

namespace rowlark::bench {

double statusBytes(std::string_view field)
{
    std::ifstream status("/proc/self/status");
    const std::string prefix = std::string(field) + ":";
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(prefix))
            return std::stod(line.substr(prefix.size())) * 1024.0;  // "VmRSS:    1234 kB"
    return 0;
}

bool resetPeakResidentSize()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

double medianOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double processorSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace rowlark::bench
