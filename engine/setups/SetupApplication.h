#pragma once

// A setup taken from a comparison, and put back on top of a fresh analysis of the files it names,
// which may have changed since: every setup entry that no longer fits (a header gone, a key column
// missing, a sheet renamed) is named in a notice ("Setup: column “Rate” is not in File B; left
// unmapped"), so that nothing is dropped without a word.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/records/Mapping.h"
#include "engine/setups/Setup.h"
#include "engine/table/Table.h"
#include "engine/workbook/FileImport.h"

namespace rowlark::setups {

// What a comparison is made of, for capture().
struct SetupSources {
    std::filesystem::path leftPath;
    std::filesystem::path rightPath;
    std::optional<std::string> leftSheet;
    std::optional<std::string> rightSheet;
    const std::vector<std::string>& leftHeaders;
    const std::vector<std::string>& rightHeaders;
    const std::vector<records::ColumnMapping>& mappings;
    bool ignoreCase = false;
    records::ResultFilter filter = records::ResultFilter::all;
    std::string search;
    std::optional<std::int64_t> changedColumn;  // a File A column
};

// The setup of a comparison, to be saved at `setupPath`.
Setup capture(const SetupSources& sources, const std::filesystem::path& setupPath);

struct AppliedSetup {
    std::vector<records::ColumnMapping> mappings;
    bool ignoreCase = false;
    records::ResultFilter filter = records::ResultFilter::all;
    std::string search;
    std::optional<std::int64_t> changedColumn;  // a File A column
    std::vector<std::string> notices;           // "Setup: …", in the order of the setup
    // False when the setup's key could not be applied whole; the proposed key then stands.
    bool isKeyApplied = true;
};

// The setup applied on top of `proposed`, the analysis of `left` and `right`: each File A column
// of the setup gets its File B column, inclusion and key; File A columns the setup does not name
// keep their proposed mapping, unless a setup column took their File B column.
AppliedSetup apply(const Setup& setup, const table::Table& left, const table::Table& right,
                   std::vector<records::ColumnMapping> proposed);

// A side read with the setup's sheet. A workbook that no longer has that sheet is read at its first
// sheet, with a notice; any other failure of `read` passes through.
struct SideRead {
    workbook::ImportedTable imported;
    std::optional<std::string> notice;
};
SideRead readSide(const std::optional<std::string>& sheet, std::string_view sideName,
                  const std::function<workbook::ImportedTable(const std::optional<std::string>& sheet)>& read);

}  // namespace rowlark::setups
