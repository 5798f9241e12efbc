#pragma once

// rowlark-compare from its arguments to its exit status.

#include <ostream>
#include <span>
#include <string_view>

namespace rowlark::cli {

// Exit statuses as diff(1) has them.
inline constexpr int noDifferencesStatus = 0;
inline constexpr int differencesStatus = 1;
inline constexpr int errorStatus = 2;

// Makes SIGHUP, SIGINT and SIGTERM remove a report file still being written before they end the
// program as they would have.
void removeUnfinishedReportOnTermination();

// Runs the command with the arguments after the program name; errors go to `err`.
int runCommand(std::span<const std::string_view> arguments, std::ostream& out, std::ostream& err);

}  // namespace rowlark::cli
