#include "engine/structured/StructuredColumns.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "engine/table/Table.h"
#include "engine/text/JSONReader.h"
#include "engine/text/Unicode.h"

namespace rowlark::structured {
namespace {

// Paths while flattening are bytes, built by appending and cut back by resizing, so walking a
// cell allocates nothing per leaf and path sets hash plain strings. Each key is 'k', its byte
// length and its bytes; each index is 'i' and its value; both numbers take 8 bytes.
constexpr char encodedKeyTag = 'k';
constexpr char encodedIndexTag = 'i';

template<typename Number> void appendEncodedNumber(std::string& encoded, Number number)
{
    char bytes[sizeof(Number)];
    std::memcpy(bytes, &number, sizeof(Number));
    encoded.append(bytes, sizeof(Number));
}

template<typename Number> Number decodedNumber(std::string_view encoded, std::size_t& position)
{
    Number number;
    std::memcpy(&number, encoded.data() + position, sizeof(Number));
    position += sizeof(Number);
    return number;
}

void appendEncodedKey(std::string& encoded, std::string_view name)
{
    encoded.push_back(encodedKeyTag);
    appendEncodedNumber<std::uint64_t>(encoded, name.size());
    encoded.append(name);
}

void appendEncodedIndex(std::string& encoded, std::int64_t position)
{
    encoded.push_back(encodedIndexTag);
    appendEncodedNumber(encoded, position);
}

std::string encodedPath(const JSONPath& path)
{
    std::string encoded;
    for (const auto& component : path) {
        if (component.isKey())
            appendEncodedKey(encoded, component.name());
        else
            appendEncodedIndex(encoded, component.position());
    }
    return encoded;
}

JSONPath decodedPath(std::string_view encoded)
{
    JSONPath path;
    std::size_t position = 0;
    while (position < encoded.size()) {
        if (encoded[position++] == encodedKeyTag) {
            const auto size = decodedNumber<std::uint64_t>(encoded, position);
            path.push_back(JSONPathComponent::key(std::string(encoded.substr(position, size))));
            position += size;
        } else {
            path.push_back(JSONPathComponent::index(decodedNumber<std::int64_t>(encoded, position)));
        }
    }
    return path;
}

struct EncodedPathHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view encoded) const { return std::hash<std::string_view>{}(encoded); }
};

using EncodedPathSet = std::unordered_set<std::string, EncodedPathHash, std::equal_to<>>;
template<typename Value>
using EncodedPathMap = std::unordered_map<std::string, Value, EncodedPathHash, std::equal_to<>>;

// Recognises cells and walks their objects, reusing its storage from one cell to the next.
class CellFlattener {
public:
    // Reads the JSON object `cell` holds: directly, unwrapped from JSON strings, or after
    // turning every \" into ". False when the cell holds no JSON object.
    bool decode(std::string_view cell)
    {
        if (!text::looksLikeJSONObject(cell))
            return false;
        const std::string_view text = text::trimmed(cell);
        if (decodeUnwrapping(text))
            return true;
        if (text.find("\\\"") == std::string_view::npos)
            return false;
        unescaped_.clear();
        for (std::size_t position = 0; position < text.size(); ++position) {
            if (text[position] == '\\' && position + 1 < text.size() && text[position + 1] == '"')
                continue;
            unescaped_.push_back(text[position]);
        }
        return decodeUnwrapping(unescaped_);
    }

    // Calls `visit(encodedPath, text)` for each leaf of the last decoded object, in flattening
    // order. Both views are valid only during the call.
    template<typename Visitor> void flatten(Visitor&& visit)
    {
        path_.clear();
        flatten(text::JSONDocument::root, 0, visit);
    }

private:
    using Kind = text::JSONDocument::Kind;

    // A JSON string that holds other JSON text is read again, as often as it is nested; every
    // round reads a shorter text, so this ends.
    bool decodeUnwrapping(std::string_view text)
    {
        for (;;) {
            if (!document_.read(text))
                return false;
            const auto& value = document_.node(text::JSONDocument::root);
            if (value.kind == Kind::object)
                return true;
            if (value.kind != Kind::string || document_.text(value) == text)
                return false;
            unwrapped_.assign(document_.text(value));
            text = unwrapped_;
        }
    }

    template<typename Visitor> void flatten(std::size_t index, std::size_t depth, Visitor& visit)
    {
        const auto& value = document_.node(index);
        const bool isContainer = value.kind == Kind::object || value.kind == Kind::array;
        if (isContainer && depth >= maximumFlatteningDepth) {
            if (!path_.empty()) {
                compact_.clear();
                document_.appendCompact(index, compact_);
                visit(std::string_view(path_), std::string_view(compact_));
            }
            return;
        }
        switch (value.kind) {
        case Kind::object:
            flattenMembers(index, depth, visit);
            return;
        case Kind::array:
            flattenElements(index, depth, visit);
            return;
        case Kind::null:
            visit(std::string_view(path_), std::string_view());
            return;
        case Kind::falseLiteral:
            visit(std::string_view(path_), std::string_view("false"));
            return;
        case Kind::trueLiteral:
            visit(std::string_view(path_), std::string_view("true"));
            return;
        case Kind::number:
        case Kind::string:
            visit(std::string_view(path_), document_.text(value));
            return;
        }
    }

    template<typename Visitor> void flattenMembers(std::size_t object, std::size_t depth, Visitor& visit)
    {
        if (!document_.hasChildren(object)) {
            if (!path_.empty())
                visit(std::string_view(path_), std::string_view("{}"));
            return;
        }
        // `members_` is shared by every level of the recursion; this level owns its tail.
        const std::size_t base = members_.size();
        document_.appendSortedMembers(object, members_);
        const std::size_t end = members_.size();
        for (std::size_t position = base; position < end; ++position) {
            const std::size_t member = members_[position];
            const std::size_t pathSize = path_.size();
            appendEncodedKey(path_, document_.name(document_.node(member)));
            flatten(member, depth + 1, visit);
            path_.resize(pathSize);
        }
        members_.resize(base);
    }

    template<typename Visitor> void flattenElements(std::size_t array, std::size_t depth, Visitor& visit)
    {
        if (!document_.hasChildren(array)) {
            if (!path_.empty())
                visit(std::string_view(path_), std::string_view("[]"));
            return;
        }
        std::int64_t position = 1;
        for (std::size_t element = array + 1; element < document_.node(array).end;
             element = document_.node(element).end) {
            const std::size_t pathSize = path_.size();
            appendEncodedIndex(path_, position++);
            flatten(element, depth + 1, visit);
            path_.resize(pathSize);
        }
    }

    text::JSONDocument document_;
    std::string unwrapped_;
    std::string unescaped_;
    std::string path_;
    std::string compact_;
    std::vector<std::size_t> members_;
};

void appendEscapedKey(std::string& label, std::string_view name)
{
    for (const char byte : name) {
        if (byte == '\\' || byte == '.' || byte == '[' || byte == ']')
            label.push_back('\\');
        label.push_back(byte);
    }
}

std::string pathLabel(const JSONPath& path, bool isBracketingIndices)
{
    std::string label;
    for (const auto& component : path) {
        if (component.isKey()) {
            if (!label.empty())
                label.push_back('.');
            appendEscapedKey(label, component.name());
        } else if (isBracketingIndices) {
            label.append("[").append(std::to_string(component.position())).append("]");
        } else {
            label.append(std::to_string(component.position()));
        }
    }
    return label;
}

std::size_t preferredRank(std::string_view label)
{
    return static_cast<std::size_t>(std::find(preferredLabelOrder.begin(), preferredLabelOrder.end(), label) -
                                    preferredLabelOrder.begin());
}

// What detection learns about one column: whether any cell held an object, and every path.
struct ColumnDetection {
    bool isStructured = false;
    EncodedPathSet paths;
};

// A structured column of the input with its derived columns, which start at `firstDerived`
// among all derived columns of the table.
struct StructuredColumn {
    std::size_t column;
    std::vector<DerivedJSONColumn> derived;
    EncodedPathMap<std::size_t> positionByPath;
    std::size_t firstDerived;
};

std::vector<StructuredColumn> detectedStructuredColumns(const table::Table& table, CellFlattener& flattener)
{
    std::vector<ColumnDetection> detections(table.columnCount());
    std::vector<std::size_t> candidates;
    for (std::size_t column = 0; column < table.columnCount(); ++column)
        if (table.hasCellsLookingLikeJSON(column))
            candidates.push_back(column);
    if (candidates.empty())
        return {};
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        for (const std::size_t column : candidates) {
            const std::string_view cell = table.cell(row, column);
            if (cell.size() > largestDetectedCellBytes || !flattener.decode(cell))
                continue;
            ColumnDetection& detection = detections[column];
            detection.isStructured = true;
            flattener.flatten([&detection](std::string_view path, std::string_view) {
                if (!detection.paths.contains(path))
                    detection.paths.emplace(path);
            });
        }
    }
    std::vector<StructuredColumn> structuredColumns;
    std::size_t derivedCount = 0;
    for (std::size_t column = 0; column < detections.size(); ++column) {
        if (!detections[column].isStructured)
            continue;
        std::vector<JSONPath> paths;
        paths.reserve(detections[column].paths.size());
        for (const auto& path : detections[column].paths)
            paths.push_back(decodedPath(path));
        StructuredColumn& structured = structuredColumns.emplace_back();
        structured.column = column;
        structured.derived = derivedJSONColumns(std::move(paths));
        structured.firstDerived = derivedCount;
        for (std::size_t position = 0; position < structured.derived.size(); ++position)
            structured.positionByPath.emplace(encodedPath(structured.derived[position].path), position);
        derivedCount += structured.derived.size();
    }
    return structuredColumns;
}

// The cells of every derived column, row by row, in derived-column order.
table::CellStore derivedCells(const table::Table& table, const std::vector<StructuredColumn>& structuredColumns,
                              std::size_t derivedCount, CellFlattener& flattener)
{
    table::CellStoreBuilder builder(derivedCount, table.rowCount());
    struct Slice {
        std::size_t begin = 0;
        std::size_t size = 0;
    };
    std::vector<Slice> slices(derivedCount);
    std::string rowTexts;
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        std::fill(slices.begin(), slices.end(), Slice{});
        rowTexts.clear();
        for (const auto& structured : structuredColumns) {
            if (!flattener.decode(table.cell(row, structured.column)))
                continue;
            flattener.flatten([&](std::string_view path, std::string_view text) {
                const auto found = structured.positionByPath.find(path);
                if (found == structured.positionByPath.end())
                    return;
                slices[structured.firstDerived + found->second] = {rowTexts.size(), text.size()};
                rowTexts.append(text);
            });
        }
        for (const Slice& slice : slices)
            builder.appendCell(std::string_view(rowTexts).substr(slice.begin, slice.size));
    }
    return std::move(builder).build();
}

}  // namespace

std::optional<FlattenedJSONObject> flattenedJSONObject(std::string_view cell)
{
    CellFlattener flattener;
    if (!flattener.decode(cell))
        return std::nullopt;
    FlattenedJSONObject object;
    flattener.flatten([&object](std::string_view path, std::string_view text) {
        object.emplace_back(decodedPath(path), std::string(text));
    });
    return object;
}

std::string legacyJSONPathLabel(const JSONPath& path)
{
    if (path.size() == 1 && path.front().isKey()) {
        const std::string normalized = text::normalizeHeader(path.front().name());
        if (normalized == "street")
            return "street1";
        if (normalized == "zip" || normalized == "zipcode" || normalized == "postalcode")
            return "postcode";
    }
    return pathLabel(path, false);
}

std::string unambiguousJSONPathLabel(const JSONPath& path)
{
    return pathLabel(path, true);
}

std::vector<DerivedJSONColumn> derivedJSONColumns(std::vector<JSONPath> paths)
{
    struct Candidate {
        JSONPath path;
        std::string legacyLabel;
        std::string unambiguousLabel;
        std::size_t rank;
    };
    std::vector<Candidate> candidates;
    candidates.reserve(paths.size());
    for (auto& path : paths) {
        std::string legacy = legacyJSONPathLabel(path);
        std::string unambiguous = unambiguousJSONPathLabel(path);
        const std::size_t rank = preferredRank(legacy);
        candidates.push_back({std::move(path), std::move(legacy), std::move(unambiguous), rank});
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.rank != b.rank ? a.rank < b.rank : a.unambiguousLabel < b.unambiguousLabel;
    });
    std::unordered_map<std::string_view, std::size_t> pathsPerLegacyLabel;
    for (const auto& candidate : candidates)
        ++pathsPerLegacyLabel[candidate.legacyLabel];
    std::vector<bool> isLegacyLabelShared;
    isLegacyLabelShared.reserve(candidates.size());
    for (const auto& candidate : candidates)
        isLegacyLabelShared.push_back(pathsPerLegacyLabel[candidate.legacyLabel] > 1);

    std::vector<DerivedJSONColumn> columns;
    columns.reserve(candidates.size());
    for (std::size_t position = 0; position < candidates.size(); ++position) {
        Candidate& candidate = candidates[position];
        columns.push_back({std::move(candidate.path), isLegacyLabelShared[position]
                                                          ? std::move(candidate.unambiguousLabel)
                                                          : std::move(candidate.legacyLabel)});
    }
    return columns;
}

}  // namespace rowlark::structured

namespace rowlark::table {

Table Table::expandingStructuredColumns() const
{
    structured::CellFlattener flattener;
    const auto structuredColumns = structured::detectedStructuredColumns(*this, flattener);
    if (structuredColumns.empty())
        return *this;

    std::size_t derivedCount = 0;
    for (const auto& column : structuredColumns)
        derivedCount += column.derived.size();
    auto derivedStore =
        std::make_shared<const CellStore>(structured::derivedCells(*this, structuredColumns, derivedCount, flattener));

    std::vector<std::string> headers;
    std::vector<ColumnSource> columns;
    headers.reserve(columnCount() + derivedCount);
    columns.reserve(columnCount() + derivedCount);
    std::set<std::size_t> structuredIndices;
    std::set<std::size_t> derivedIndices;
    auto nextStructured = structuredColumns.begin();
    for (std::size_t column = 0; column < columnCount(); ++column) {
        headers.push_back(headers_[column]);
        columns.push_back(columns_[column]);
        if (nextStructured == structuredColumns.end() || nextStructured->column != column)
            continue;
        structuredIndices.insert(headers.size() - 1);
        for (std::size_t position = 0; position < nextStructured->derived.size(); ++position) {
            derivedIndices.insert(headers.size());
            headers.push_back(headers_[column] + std::string(structured::derivedHeaderSeparator) +
                              nextStructured->derived[position].label);
            columns.push_back({derivedStore, nextStructured->firstDerived + position});
        }
        ++nextStructured;
    }

    Table expanded(std::move(headers), std::move(columns), rowCount_);
    expanded.derivedColumnCount_ = static_cast<std::int64_t>(derivedCount);
    expanded.structuredColumnIndices_ = std::move(structuredIndices);
    expanded.derivedColumnIndices_ = std::move(derivedIndices);
    return expanded;
}

}  // namespace rowlark::table
