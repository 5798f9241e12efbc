#pragma once

// Building tables and mappings for comparison tests, describing results without their ids, and
// reading the case files under tests/data.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/records/Differences.h"
#include "engine/records/Mapping.h"
#include "engine/table/Table.h"
#include "engine/text/Unicode.h"
#include "tests/support/CaseText.h"

namespace rowlark::testing_support {

using Rows = std::vector<std::vector<std::string>>;

inline records::ColumnMapping mapping(std::int64_t leftIndex, std::optional<std::int64_t> rightIndex,
                                      bool isKey = false, bool isIncluded = true)
{
    return {records::UUID::random(), leftIndex, rightIndex, isKey, false, isIncluded};
}

// One line per difference with everything but the ids.
inline std::vector<std::string> describe(const records::ComparisonSummary& summary)
{
    std::vector<std::string> lines;
    for (const records::RowDifference& difference : summary.differences) {
        constexpr std::string_view statuses[] = {"Changed", "Only in File A", "Only in File B"};
        std::string line = std::string(statuses[static_cast<int>(difference.status)]) + " [" + difference.key + "]";
        for (const auto& [side, row] : {std::pair{" L:", &difference.leftRow}, {" R:", &difference.rightRow}}) {
            line += *row ? side : "";
            for (const std::string& cell : row->value_or(std::vector<std::string>()))
                line += cell + "|";
        }
        for (const records::CellDifference& cell : difference.cells)
            line += " {" + cell.leftHeader + "/" + cell.rightHeader + ": " + cell.leftValue + " -> " + cell.rightValue +
                    "}";
        lines.push_back(line);
    }
    return lines;
}

inline std::filesystem::path dataFolder(const std::string& name)
{
    const char* root = std::getenv("ROWLARK_TEST_DATA");
    if (root == nullptr)
        ADD_FAILURE() << "ROWLARK_TEST_DATA is not set";
    return std::filesystem::path(root ? root : ".") / name;
}

// The files of tests/data/<folder>, sorted by name.
inline std::vector<std::filesystem::path> dataFiles(const std::string& folder)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dataFolder(folder)))
        files.push_back(entry.path());
    std::ranges::sort(files);
    return files;
}

inline std::string contents(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

using testing::unescaped;

// The pieces of `text` between separators that no backslash escapes, still escaped.
inline std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == separator) {
            pieces.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

// The fields of a table line, separated by |, without the spaces around them, still escaped.
inline std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> result = split(line, '|');
    for (std::string_view& field : result) {
        field.remove_prefix(std::min(field.find_first_not_of(' '), field.size()));
        field.remove_suffix(field.size() - std::min(field.find_last_not_of(' ') + 1, field.size()));
    }
    return result;
}

// The lines of a case file by section: "== <name>" starts one, the lines before the first are the
// options (section ""), and lines starting with # are comments.
inline std::map<std::string, std::vector<std::string>> sections(const std::filesystem::path& path)
{
    std::map<std::string, std::vector<std::string>> result;
    std::string section;
    std::istringstream text(contents(path));
    for (std::string line; std::getline(text, line);) {
        if (line.starts_with("== "))
            result[section = line.substr(3)];
        else if (!line.starts_with("#") && !(line.empty() && section.empty()))
            result[section].push_back(line);
    }
    return result;
}

}  // namespace rowlark::testing_support
