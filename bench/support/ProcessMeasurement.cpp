#include "support/ProcessMeasurement.h"

#include <algorithm>
#include <fstream>
#include <string>

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

}  // namespace rowlark::bench
