#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/CaseText.h"

namespace rowlark::testing {

// The lines of a data file, one value a line, with the escapes of CaseText.h undone; blank lines
// and lines starting with # are skipped.
inline std::vector<std::string> caseLines(const std::filesystem::path& path)
{
    std::vector<std::string> lines;
    std::ifstream file(path, std::ios::binary);
    for (std::string line; std::getline(file, line);)
        if (!line.empty() && line.front() != '#')
            lines.push_back(unescaped(line));
    EXPECT_FALSE(lines.empty()) << "no lines in " << path;
    return lines;
}

}  // namespace rowlark::testing
