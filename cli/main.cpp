#include <iostream>
#include <string_view>
#include <vector>

#include "cli/Command.h"

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    rowlark::cli::removeUnfinishedReportOnTermination();
    const std::vector<std::string_view> arguments(argv + std::min(argc, 1), argv + argc);
    return rowlark::cli::runCommand(arguments, std::cout, std::cerr);
}
