#pragma once

// Which sheet of File B goes with which sheet of File A when whole workbooks are compared.
// Sheets pair by name, then by name ignoring letter case and the spaces around it, and what
// is left pairs by position when both sides have as many sheets left; the rest are in one file
// only.

#include <vector>

#include "engine/workbook/WorkbookPayload.h"

namespace rowlark::workbook {

// How a pair was found.
enum class SheetMatch { name, nameIgnoringCase, position };

struct SheetPair {
    SheetEntry left;
    SheetEntry right;
    SheetMatch match = SheetMatch::name;

    bool operator==(const SheetPair&) const = default;
};

struct SheetPairing {
    std::vector<SheetPair> pairs;         // in the order of File A's sheets
    std::vector<SheetEntry> onlyInLeft;   // in File A's order
    std::vector<SheetEntry> onlyInRight;  // in File B's order
};

// Names are equal when canonically equivalent. Ignoring case compares the names trimmed of white
// space and lower-cased (the full Unicode mapping). Where several sheets of one side match one of
// the other equally, they are taken in workbook order: the first with the first.
SheetPairing pairSheets(const std::vector<SheetEntry>& left, const std::vector<SheetEntry>& right);

}  // namespace rowlark::workbook
