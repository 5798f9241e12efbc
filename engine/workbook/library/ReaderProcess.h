#pragma once

// Runs a helper program to its end: feeds it input on its standard input, collects its standard
// output and the end of its standard error, and reports how it ended. A stop request kills the
// program at once, and so does output past the limit.

#include <cstddef>
#include <filesystem>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace rowlark::workbook {

struct ProcessOutcome {
    std::string output;
    std::string errorOutput;         // the last few kilobytes the program wrote to its standard error
    bool isOutputOverLimit = false;  // the program was killed for writing more than the limit
    bool isSignaled = false;
    int exitStatus = 0;  // when not signaled
    int signal = 0;      // when signaled
};

// Fails with std::system_error when the program cannot be started, and with ImportCancelled
// when `stop` is requested before the program ends. The input parts are written one after
// another; a program that stops reading early is not an error here.
ProcessOutcome runProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string_view>& inputParts, std::size_t outputLimit,
                          std::stop_token stop);

}  // namespace rowlark::workbook
