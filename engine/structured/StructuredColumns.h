#pragma once

// The pieces of the structured-column expansion (Table::expandingStructuredColumns): how one
// cell is recognised as a JSON object and flattened into leaf values addressed by paths, and
// how paths become the labels of derived columns. Private to the table code and its tests.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace rowlark::structured {

// Containers this many levels below the top-level object are kept whole, as compact JSON.
inline constexpr std::size_t maximumFlatteningDepth = 32;
// Longer cells are not examined when deciding whether a column holds JSON objects.
inline constexpr std::size_t largestDetectedCellBytes = 1'000'000;
inline constexpr std::array<std::string_view, 7> preferredLabelOrder{"street1",  "street2", "city", "state",
                                                                     "postcode", "country", "type"};
inline constexpr std::string_view derivedHeaderSeparator = "_";

// One step of a path: a member name exactly as written, or an array position counted from 1.
class JSONPathComponent {
public:
    static JSONPathComponent key(std::string name) { return JSONPathComponent(std::move(name)); }
    static JSONPathComponent index(std::int64_t position) { return JSONPathComponent(position); }

    bool isKey() const { return std::holds_alternative<std::string>(value_); }
    const std::string& name() const { return std::get<std::string>(value_); }
    std::int64_t position() const { return std::get<std::int64_t>(value_); }

    friend bool operator==(const JSONPathComponent&, const JSONPathComponent&) = default;

private:
    explicit JSONPathComponent(std::variant<std::string, std::int64_t> value)
        : value_(std::move(value))
    {
    }

    std::variant<std::string, std::int64_t> value_;
};

using JSONPath = std::vector<JSONPathComponent>;

// The leaf values of one JSON object, each under its own path, in flattening order (members by
// name, elements by position). Paths never repeat.
using FlattenedJSONObject = std::vector<std::pair<JSONPath, std::string>>;

struct DerivedJSONColumn {
    JSONPath path;
    std::string label;

    friend bool operator==(const DerivedJSONColumn&, const DerivedJSONColumn&) = default;
};

// The leaf values of the JSON object a cell holds, or none when it holds no JSON object.
std::optional<FlattenedJSONObject> flattenedJSONObject(std::string_view cell);

// key(items), index(2), key(sku) gives "items2.sku"; a lone key is normalised to a preferred
// label where one fits ("Street" gives "street1", "ZIP" gives "postcode").
std::string legacyJSONPathLabel(const JSONPath& path);
// key(items), index(2), key(sku) gives "items[2].sku"; different paths give different labels.
std::string unambiguousJSONPathLabel(const JSONPath& path);

// The derived columns of one structured column from the union of its paths: sorted by the
// preferred label order, then by unambiguous label; labelled by the legacy label unless another
// path shares it.
std::vector<DerivedJSONColumn> derivedJSONColumns(std::vector<JSONPath> paths);

}  // namespace rowlark::structured
