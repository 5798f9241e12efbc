#pragma once

// The user's edits of a column mapping, as pure functions over the mapping list: a manual
// choice of a right column (which lets the learned header pattern re-map related columns), and
// the key and inclusion switches, and the comparison rule of a column. The desktop model and the command line both
// apply them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/records/Mapping.h"
#include "engine/records/UUID.h"
#include "engine/table/Table.h"

namespace rowlark::edits::MappingEdits {

struct ManualChoice {
    std::vector<records::ColumnMapping> mappings;
    std::int64_t filled = 0;  // other mappings whose right column the learned pattern changed
};

// Whether `leftIndex` and `rightIndex` may form a pair: a JSON-object column pairs only with a
// JSON-object column.
bool canPair(const table::Table& left, const table::Table& right, std::int64_t leftIndex, std::int64_t rightIndex);

// The mapping `id` pointed at `rightIndex` (or at no column) by hand, with the learned pattern
// applied to the other mappings. None, changing nothing, when there is no such mapping or the
// choice would pair a JSON-object column with an ordinary one.
std::optional<ManualChoice> chooseRightColumn(const table::Table& left, const table::Table& right,
                                              const std::vector<records::ColumnMapping>& mappings,
                                              const records::UUID& id, std::optional<std::int64_t> rightIndex);

// "Mapping updated." or the note that the pattern filled `filled` related columns.
std::string choiceNotice(std::int64_t filled);

// Makes the mapping part of the row key or not; a key column is always compared. Returns false,
// changing nothing, when there is no such mapping or it has no right column.
bool setKey(std::vector<records::ColumnMapping>& mappings, const records::UUID& id, bool value);

// Includes the mapping in the comparison or not. Returns false, changing nothing, when there is
// no such mapping or it is a key mapping, which is always compared.
bool setIncluded(std::vector<records::ColumnMapping>& mappings, const records::UUID& id, bool value);

// Compares the mapping's values by `rule`. Returns false, changing nothing, when there is no such
// mapping or the rule would leave a key mapping uncompared ("Ignore").
bool setRule(std::vector<records::ColumnMapping>& mappings, const records::UUID& id,
             const values::ComparisonRule& rule);

// Gives the mappings of the File A columns `leftIndices` (all mappings when empty) the rule
// proposed for them, where there is one. Returns how many rules changed.
std::size_t takeProposedRules(std::vector<records::ColumnMapping>& mappings,
                              const std::vector<std::int64_t>& leftIndices);

}  // namespace rowlark::edits::MappingEdits
