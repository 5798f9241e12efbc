#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/csv/CSVError.h"
#include "engine/csv/CSVLoad.h"
#include "engine/table/Table.h"

namespace rowlark::testing {

using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

inline Rows rowsOf(const table::Table& table)
{
    Rows rows;
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        rows.push_back(table.rowStrings(row));
    return rows;
}

// The CSVError `work` fails with; fails the test when it returns or throws anything else.
template<typename Work> csv::CSVError csvErrorOf(Work&& work)
{
    try {
        work();
    } catch (const csv::CSVError& error) {
        return error;
    }
    ADD_FAILURE() << "expected a CSVError";
    return csv::CSVError::unreadable();
}

inline std::filesystem::path dataFolder()
{
    return ROWLARK_TEST_DATA_FOLDER;
}

inline std::string fileText(const std::filesystem::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    EXPECT_TRUE(stream.is_open()) << path;
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

// A cell on one line: line breaks, control bytes, '|' and '\' escaped.
inline std::string escapedCell(std::string_view cell)
{
    std::string text;
    for (const char character : cell) {
        const auto byte = static_cast<unsigned char>(character);
        if (character == '\\' || character == '|') {
            text += '\\';
            text += character;
        } else if (character == '\n') {
            text += "\\n";
        } else if (character == '\r') {
            text += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            char code[5];
            std::snprintf(code, sizeof code, "\\x%02X", byte);
            text += code;
        } else {
            text += character;
        }
    }
    return text;
}

inline std::string lineOf(const Row& cells)
{
    std::string line;
    for (std::size_t column = 0; column < cells.size(); ++column)
        line += (column == 0 ? "" : "|") + escapedCell(cells[column]);
    return line + '\n';
}

inline std::string indexList(const std::set<std::size_t>& indices)
{
    std::string list;
    for (const std::size_t index : indices)
        list += ' ' + std::to_string(index);
    return list;
}

// A table as the .expected files show it: the header and then each row on a line of their own,
// cells split by '|'; then, if it has JSON columns, which columns are JSON and which derived.
inline std::string tableText(const table::Table& table)
{
    std::string text = lineOf(table.headers());
    for (const Row& row : rowsOf(table))
        text += lineOf(row);
    if (!table.structuredColumnIndices().empty())
        text += "JSON columns:" + indexList(table.structuredColumnIndices()) +
                "; derived:" + indexList(table.derivedColumnIndices()) +
                "; derived count: " + std::to_string(table.derivedColumnCount()) + '\n';
    return text;
}

// The table in a CSV file as its .expected file shows it, followed by the separator when it is not
// a comma; or "error: " and the message the user sees.
inline std::string loadedText(const std::filesystem::path& file)
{
    try {
        const csv::LoadedCSV loaded = csv::loadCSV(file);
        const std::string separator = loaded.separator == csv::Separator::comma
                                          ? std::string()
                                          : "separator: " + std::string(csv::name(loaded.separator)) + '\n';
        return tableText(loaded.table) + separator;
    } catch (const csv::CSVError& error) {
        return "error: " + error.errorDescription() + '\n';
    }
}

// The names of the files with `extension` in a folder of tests/data, sorted. A CSV case is NAME.csv,
// named after what it reproduces, beside NAME.expected.
inline std::vector<std::string> dataFileNames(const std::string& area, const std::string& extension)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dataFolder() / area, error))
        if (entry.path().extension() == extension)
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string testNameOf(const ::testing::TestParamInfo<std::string>& info)
{
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

// A case's name from the file it reads, its folder's name first: letters and digits kept, any
// other byte "_", as test names allow no more.
inline std::string testNameOfFile(const std::filesystem::path& path)
{
    std::string name = path.parent_path().filename().string() + "_" + path.filename().string();
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

inline void expectLoadsAsExpected(const std::string& area, const std::string& name)
{
    const std::string stem = (dataFolder() / area / name).string();
    EXPECT_EQ(loadedText(stem + ".csv"), fileText(stem + ".expected"));
}

}  // namespace rowlark::testing

namespace rowlark::testing {

// The cases of a tab-separated table in tests/data, a case a line; lines starting with '#' explain.
inline std::vector<Row> tabSeparatedCases(const std::string& relativePath)
{
    std::vector<Row> cases;
    std::ifstream stream(dataFolder() / relativePath, std::ios::binary);
    for (std::string line; std::getline(stream, line);) {
        if (line.empty() || line.front() == '#')
            continue;
        Row fields(1);
        for (const char character : line) {
            if (character == '\t')
                fields.emplace_back();
            else
                fields.back() += character;
        }
        cases.push_back(std::move(fields));
    }
    return cases;
}

}  // namespace rowlark::testing
