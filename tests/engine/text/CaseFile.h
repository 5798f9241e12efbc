#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/CaseText.h"

// Table-driven cases kept in data files: one case a line, fields separated by tabs, the last field
// the expected result. Blank lines and lines starting with # are skipped. Fields take the escapes
// of support/CaseText.h.
namespace rowlark::testing {

// Runs every case of the file `name` through `function`: the fields but the last are its inputs,
// the last the text it must give.
inline void expectCases(const std::string& name,
                        const std::function<std::string(const std::vector<std::string>&)>& function)
{
    const std::string path = std::string(ROWLARK_CASE_FOLDER) + "/" + name;
    std::ifstream file(path, std::ios::binary);
    std::size_t count = 0;
    std::string line;
    for (std::size_t number = 1; std::getline(file, line); ++number) {
        if (line.empty() || line.front() == '#')
            continue;
        std::vector<std::string> fields;
        for (std::size_t start = 0, tab = 0; tab != std::string::npos; start = tab + 1) {
            tab = line.find('\t', start);
            fields.push_back(unescaped(line.substr(start, tab - start)));
        }
        const std::string expected = fields.back();
        fields.pop_back();
        EXPECT_EQ(function(fields), expected) << path << ":" << number << ": " << ::testing::PrintToString(fields);
        ++count;
    }
    EXPECT_GT(count, 0u) << "no cases in " << path;
}

inline std::string yesOrNo(bool value)
{
    return value ? "yes" : "no";
}

}  // namespace rowlark::testing
