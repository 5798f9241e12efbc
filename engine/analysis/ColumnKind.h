#pragma once

// The kind of data a column holds, as detected from a sample of its values.

#include <optional>
#include <string_view>

namespace rowlark::CSVComparator {

enum class ColumnKind { empty, boolean, date, email, phone, uuid, url, json, integer, decimal, text };

// The case name: "empty", "boolean", ….
std::string_view rawValue(ColumnKind kind);
std::optional<ColumnKind> columnKindFromRawValue(std::string_view rawValue);

} // namespace rowlark::CSVComparator
