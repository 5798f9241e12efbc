#pragma once

// A saved comparison setup (a ".rowlark" file): the two files and their sheets, the mapping by
// header, the key, what is compared, the letter-case switch and how the results were narrowed, so
// that the same comparison can be made again when the files have been exported anew. The file is
// UTF-8 JSON with "format": "rowlark-setup" and a "version"; it is read strictly and in bounded
// memory, since a setup may come from anyone: a file that is not a setup of a version this program
// reads fails with a SetupError that says why, and nothing is taken from it.
//
// Columns are named by their header, with the occurrence of that header (the second "name") only
// where the header repeats, so a setup still fits when columns move. Each mapping may hold the
// text of its comparison rule; none means the values are compared as read.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/ResultFilter.h"

namespace rowlark::setups {

inline constexpr std::string_view formatName = "rowlark-setup";
inline constexpr std::int64_t currentVersion = 1;
// No setup needs more: ten thousand columns with long headers take a few hundred kilobytes.
inline constexpr std::size_t maximumBytes = 16 * 1024 * 1024;
inline constexpr std::string_view fileExtension = ".rowlark";

// A column by its header: the `occurrence`-th column (from 1) with that header.
struct ColumnName {
    std::string header;
    std::int64_t occurrence = 1;

    bool operator==(const ColumnName&) const = default;
};

struct FileEntry {
    std::string path;                  // relative to the setup's folder, or absolute
    std::optional<std::string> sheet;  // of a workbook

    bool operator==(const FileEntry&) const = default;
};

struct MappingEntry {
    ColumnName left;
    std::optional<ColumnName> right;  // none: the File A column is left unmapped
    bool isKey = false;
    bool isIncluded = true;
    std::optional<std::string> rule;  // the comparison rule's text; none: compared as read

    bool operator==(const MappingEntry&) const = default;
};

// How the results were narrowed.
struct ResultsView {
    records::ResultFilter filter = records::ResultFilter::all;
    std::string search;
    std::optional<ColumnName> changedColumn;  // a File A column

    bool operator==(const ResultsView&) const = default;
};

struct Setup {
    FileEntry left;
    FileEntry right;
    std::vector<MappingEntry> mappings;  // in File A column order
    bool ignoreCase = false;
    ResultsView results;

    bool operator==(const Setup&) const = default;
};

// A setup file that cannot be used; `what()` is the message the user sees.
class SetupError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Whether `path` names a setup file: its extension is .rowlark in any case.
bool isSetupPath(const std::filesystem::path& path);

// The setup a file's text holds. Fails with SetupError.
Setup parse(std::string_view text);

// Reads the setup file at `path`, at most maximumBytes of it. Fails with SetupError, or with
// std::system_error when the file cannot be read.
Setup read(const std::filesystem::path& path);

// The setup as the text of a setup file: indented JSON ending in a line feed.
std::string text(const Setup& setup);

// Writes the setup to `path` as one whole, as ReportFile::write does. Fails with SetupError when a
// path or text of the setup is not UTF-8, and with std::system_error.
void write(const std::filesystem::path& path, const Setup& setup);

// How a setup at `setupPath` stores `file`: relative to the setup's folder when the file lies
// below it, absolute otherwise.
std::string storedPath(const std::filesystem::path& file, const std::filesystem::path& setupPath);

// Where a path stored in a setup at `setupPath` points.
std::filesystem::path resolvedPath(std::string_view stored, const std::filesystem::path& setupPath);

// The name of column `index` of `headers`, with the occurrence of its header.
ColumnName columnName(const std::vector<std::string>& headers, std::int64_t index);

// The column of `headers` that `name` names, if any.
std::optional<std::int64_t> findColumn(const std::vector<std::string>& headers, const ColumnName& name);

// The text in typographic quotes, as a notice quotes a text from a setup: its first hundred
// characters, then “…” when it is longer, so that a hostile setup cannot flood the notices.
std::string quotedText(std::string_view text);

// "column “Rate”", "column “name” (number 2 of that name)" or "an unnamed column", as notices
// name a column.
std::string shownName(const ColumnName& name);

}  // namespace rowlark::setups
