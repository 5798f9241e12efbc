#pragma once

// One loaded side of the comparison, and the two main screens of the window.

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "engine/csv/CSVSeparator.h"
#include "engine/table/Table.h"
#include "engine/workbook/WorkbookPayload.h"

namespace rowlark::model {

struct InputFile {
    std::string name;                           // last path component, or the sample's fixed name
    std::optional<std::filesystem::path> path;  // absent for the built-in samples
    table::Table table;
    std::vector<workbook::SheetEntry> sheets;  // selectable sheets or tables of a workbook, in workbook order
    std::optional<std::string> sheet;          // the one imported; absent for CSV files and samples
    std::optional<csv::Separator> separator;   // what split the fields of a CSV text; absent for the others
};

enum class WorkspaceTab { mapping, results };

inline constexpr std::array<WorkspaceTab, 2> allWorkspaceTabs = {WorkspaceTab::mapping, WorkspaceTab::results};

// "Map columns", "Results".
QString title(WorkspaceTab tab);

}  // namespace rowlark::model
