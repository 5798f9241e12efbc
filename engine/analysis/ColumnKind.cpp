#include "analysis/ColumnKind.h"

#include <array>
#include <utility>

namespace rowlark::CSVComparator {
namespace {

constexpr std::array<std::pair<ColumnKind, std::string_view>, 11> rawValues{{
    {ColumnKind::empty, "empty"},
    {ColumnKind::boolean, "boolean"},
    {ColumnKind::date, "date"},
    {ColumnKind::email, "email"},
    {ColumnKind::phone, "phone"},
    {ColumnKind::uuid, "uuid"},
    {ColumnKind::url, "url"},
    {ColumnKind::json, "json"},
    {ColumnKind::integer, "integer"},
    {ColumnKind::decimal, "decimal"},
    {ColumnKind::text, "text"},
}};

} // namespace

std::string_view rawValue(ColumnKind kind) {
    for (const auto& [candidate, raw] : rawValues)
        if (candidate == kind)
            return raw;
    return {};
}

std::optional<ColumnKind> columnKindFromRawValue(std::string_view rawValue) {
    for (const auto& [kind, raw] : rawValues)
        if (raw == rawValue)
            return kind;
    return std::nullopt;
}

} // namespace rowlark::CSVComparator
