#pragma once

// The parts of an XLSX package around its sheets, read as the spreadsheet-reader library reads
// them: the content types that name the workbook, its shared strings and styles; the workbook's
// sheets and their relationships; the comments of a sheet. What the library would read in a way
// these functions do not follow is declined with ReadDeclined.

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/workbook/NativeReader.h"
#include "engine/workbook/container/ZIPArchive.h"

namespace rowlark::workbook {

[[noreturn]] inline void decline()
{
    throw ReadDeclined();
}

template<std::size_t N> bool isOneOf(std::string_view value, const std::string_view (&choices)[N])
{
    return std::find(std::begin(choices), std::end(choices), value) != std::end(choices);
}

constexpr std::string_view worksheetRelationships[] = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet",
    "http://purl.oclc.org/ooxml/officeDocument/relationships/worksheet",
};

// An id parseInt reads as NaN: the library formats its cells as "General" through its format
// table, not as format id 0, and never as dates.
constexpr int notANumberFormatId = -1;

std::string withoutFrontSlash(std::string_view path);
std::string readPart(ZIPArchive& archive, std::string_view path);
std::optional<std::string> readOptionalPart(ZIPArchive& archive, std::string_view path);
// XML text decoded as the library decodes it; declined when it cannot be.
std::string unescaped(std::string_view text);
// parseInt of a whole decimal number; declined for anything the library would read otherwise.
int wholeNumber(std::string_view text);
bool isNotANumber(std::string_view text);
bool isTrueFlag(std::string_view value);

struct ContentParts {
    std::string workbook;
    std::string sharedStrings;
    std::string styles;
};

ContentParts contentParts(ZIPArchive& archive);

struct SheetListing {
    std::string name;
    std::string relationId;
    bool isHidden = false;  // state "hidden" or "veryHidden"
};

struct WorkbookListing {
    std::vector<SheetListing> sheets;
    bool isDate1904 = false;
};

WorkbookListing workbookListing(std::string_view xml);
// The sheet asked for, the first when none; fails with sheetNotFound.
const SheetListing& selectedSheet(const std::vector<SheetListing>& sheets, const std::optional<std::string>& wanted);
// The sheets as the payload lists them; declines a workbook that names two sheets alike.
std::vector<SheetEntry> sheetEntries(const std::vector<SheetListing>& sheets);

struct Relationship {
    std::string type;
    std::string target;
};

std::map<std::string, Relationship> relationships(std::string_view xml);
std::string relationshipsPath(std::string_view part);
// Where the library looks for a sheet whose relationship targets `target`.
std::string sheetPath(ZIPArchive& archive, std::string_view target, std::string_view workbookRelationsPath);

// The position just after "<" + optional "prefix:" + `name`, when such an opening tag starts at
// `at`; npos otherwise.
std::size_t afterOpeningName(std::string_view text, std::size_t at, std::string_view name);
// One shared (or inline) string; none when the library gives the string no text at all.
std::optional<std::string> sharedStringText(std::string_view item);
// The shared strings in order; a string the library reads without text is none.
std::vector<std::optional<std::string>> sharedStrings(std::string_view xml);

// The number format of every cell style, as format ids and the texts the library then knows
// for them.
struct Styles {
    std::vector<int> formatIds;                  // by cell style index
    std::unordered_map<int, std::string> texts;  // every id the library knows a text for
};

Styles styles(std::string_view xml);

// Whether the sheet's drawing holds a chart.
bool hasChart(ZIPArchive& archive, const std::map<std::string, Relationship>& relations, std::string_view sheetPath);

using Position = std::pair<std::uint32_t, std::uint32_t>;

// The cells the sheet's comments are attached to, as (row, column), from every comments part it
// relates to.
std::vector<Position> commentedCells(ZIPArchive& archive, const std::map<std::string, Relationship>& relations,
                                     std::string_view sheetPath);

}  // namespace rowlark::workbook
