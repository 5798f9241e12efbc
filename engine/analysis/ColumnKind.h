#pragma once

// The kind of data a column holds, as detected from a sample of its values.

namespace rowlark::analysis {

enum class ColumnKind { empty, boolean, date, email, phone, uuid, url, json, integer, decimal, text };

}  // namespace rowlark::analysis
