#include "compare/ComparableColumns.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <optional>
#include <utility>

#include "compare/ValueNormalization.h"
#include "records/Hashing.h"
#include "table/Parallel.h"
#include "text/Unicode.h"

namespace rowlark::compare::CSVComparator {
namespace {

// The most cells a chunk may hold when its codes are two bytes, beside the codes of fixed forms.
std::size_t narrowChunkCells(std::size_t fixedFormCount)
{
    return std::numeric_limits<std::uint16_t>::max() - fixedFormCount;
}

bool hasNarrowCodes(std::size_t width, std::size_t fixedFormCount)
{
    return width <= narrowChunkCells(fixedFormCount);
}

// Rows per chunk, as a power of two: small enough to share the work evenly, and few enough cells
// that every code of a chunk fits in 16 bits, or in 32 for the widest tables. A shift finds a row's
// chunk.
int chunkShiftFor(std::size_t width, std::size_t fixedFormCount)
{
    const std::size_t cells = hasNarrowCodes(width, fixedFormCount) ? narrowChunkCells(fixedFormCount) : 1u << 30;
    const std::size_t rows = std::clamp<std::size_t>(cells / std::max<std::size_t>(width, 1), 1, 8192);
    return std::bit_width(rows) - 1;
}

// The bits of a key code spread over the whole word.
std::uint64_t mixedKeyCode(const KeyCode& code)
{
    std::uint64_t mixed = code.high ^ (code.low * 0x9E3779B97F4A7C15ULL);
    mixed = (mixed ^ (mixed >> 29)) * 0xBF58476D1CE4E5B9ULL;
    return mixed ^ (mixed >> 32);
}

// Applies `order` to the forms of both rows at each position given by `positions`, stopping at the
// first position where they differ.
template<typename Result, typename Positions, typename Order>
Result firstDifference(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b, std::size_t rowB,
                       const Positions& positions, Result equal, Order order)
{
    for (const std::size_t position : positions) {
        const Result result = order(a.form(rowA, position), b.form(rowB, position));
        if (result != equal)
            return result;
    }
    return equal;
}

struct AllPositions {
    struct Iterator {
        std::size_t position;
        std::size_t operator*() const { return position; }
        Iterator& operator++()
        {
            ++position;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return position != other.position; }
    };
    std::size_t width;
    Iterator begin() const { return {0}; }
    Iterator end() const { return {width}; }
};

std::strong_ordering orderOf(std::string_view x, std::string_view y)
{
    return x.compare(y) <=> 0;
}
bool equalityOf(std::string_view x, std::string_view y)
{
    return x == y;
}

}  // namespace

ComparableColumns::ComparableColumns(const table::CSVTable& table, std::vector<std::size_t> columns,
                                     std::vector<std::size_t> keyPositions, bool ignoreCase, unsigned workers)
    : table_(&table)
    , columns_(std::move(columns))
    , keyPositions_(std::move(keyPositions))
    , rowCount_(table.rowCount())
    , chunkShift_(chunkShiftFor(columns_.size(), fixedForms.size()))
    , chunkRows_(std::size_t{1} << chunkShift_)
    , chunks_((rowCount_ + chunkRows_ - 1) / chunkRows_)
    , keyCodes_(std::make_unique_for_overwrite<KeyCode[]>(rowCount_))
{
    if (hasNarrowCodes(columns_.size(), fixedForms.size()))
        narrowCodes_ = std::make_unique_for_overwrite<std::uint16_t[]>(rowCount_ * columns_.size());
    else
        wideCodes_ = std::make_unique_for_overwrite<std::uint32_t[]>(rowCount_ * columns_.size());
    std::vector<ColumnRules> rules;
    rules.reserve(columns_.size());
    const auto& headers = table.headers();
    for (const std::size_t column : columns_) {
        const std::string_view header =
            column < headers.size() ? std::string_view(headers[column]) : std::string_view();
        rules.push_back(ColumnRules::forNormalizedHeader(text::normalizeHeader(header)));
    }
    table::runInParallel(chunks_.size(), workers, [&](std::size_t chunk) { normalizeChunk(chunk, rules, ignoreCase); });
}

void ComparableColumns::normalizeChunk(std::size_t chunkIndex, const std::vector<ColumnRules>& rules, bool ignoreCase)
{
    Chunk& chunk = chunks_[chunkIndex];
    NormalizationBuffer buffer;
    std::vector<RecentCodes> recent(columns_.size());
    const std::size_t first = chunkIndex * chunkRows_;
    const std::size_t end = std::min(first + chunkRows_, rowCount_);
    for (std::size_t row = first; row < end; ++row) {
        for (std::size_t position = 0; position < columns_.size(); ++position) {
            const std::string_view cell = table_->cell(row, columns_[position]);
            RecentCodes& codes = recent[position];
            std::optional<std::uint32_t> code = codes.find(cell);
            if (!code) {
                code = codeFor(cell, canonicalComparable(cell, rules[position], ignoreCase, buffer), chunk);
                codes.remember(cell, *code);
            }
            storeCode(row * columns_.size() + position, *code);
        }
        keyCodes_[row] = keyCodeOf(row);
    }
    chunk.text.shrink_to_fit();
    chunk.ends.shrink_to_fit();
}

std::optional<std::uint32_t> ComparableColumns::RecentCodes::find(std::string_view cell)
{
    if (!isUseful_)
        return std::nullopt;
    ++lookups_;
    const Entry& entry = entries_[slotOf(cell)];
    if (entry.isSet && entry.cell == cell) {
        ++hits_;
        return entry.code;
    }
    if (lookups_ == trialLookups && hits_ * 4 < lookups_)
        isUseful_ = false;
    return std::nullopt;
}

void ComparableColumns::RecentCodes::remember(std::string_view cell, std::uint32_t code)
{
    if (isUseful_)
        entries_[slotOf(cell)] = {cell, code, true};
}

// A few bytes from both ends and the length tell most of a column's repeated values apart.
std::size_t ComparableColumns::RecentCodes::slotOf(std::string_view cell)
{
    std::size_t mixed = cell.size();
    if (!cell.empty())
        mixed = (mixed * 31 + static_cast<unsigned char>(cell.front())) * 31 + static_cast<unsigned char>(cell.back()) +
                (static_cast<std::size_t>(static_cast<unsigned char>(cell[cell.size() / 2])) << 8);
    return (mixed * 0x9E3779B97F4A7C15ULL >> 40) % slotCount;
}

void ComparableColumns::storeCode(std::size_t cell, std::uint32_t code)
{
    if (narrowCodes_)
        narrowCodes_[cell] = static_cast<std::uint16_t>(code);
    else
        wideCodes_[cell] = code;
}

// A complete code is the whole key, so mixing its bits is enough; only long keys hash their forms.
std::size_t ComparableColumns::keyHash(std::size_t row) const
{
    const KeyCode& code = keyCodes_[row];
    if (code.isComplete())
        return static_cast<std::size_t>(mixedKeyCode(code));
    std::size_t hash = 0;
    for (const std::size_t position : keyPositions_)
        records::hashCombine(hash, form(row, position));
    return hash;
}

KeyCode ComparableColumns::keyCodeOf(std::size_t row) const
{
    constexpr std::size_t kept = 15;
    std::array<unsigned char, 16> bytes{};
    std::size_t length = 0;
    const auto put = [&](unsigned char byte) {
        if (length < kept)
            bytes[length] = byte;
        ++length;
    };
    for (const std::size_t position : keyPositions_) {
        for (const char byte : form(row, position)) {
            if (length > kept)
                break;
            put(static_cast<unsigned char>(byte));
            if (byte == '\0')
                put(1);
        }
        put(0);
        put(0);
    }
    bytes[kept] = static_cast<unsigned char>(std::min<std::size_t>(length, kept + 1));
    const auto bigEndian = [&](std::size_t start) {
        std::uint64_t word = 0;
        for (std::size_t i = start; i < start + 8; ++i)
            word = (word << 8) | bytes[i];
        return word;
    };
    return {bigEndian(0), bigEndian(8)};
}

std::uint32_t ComparableColumns::codeFor(std::string_view cell, std::string_view form, Chunk& chunk)
{
    if (form.data() == cell.data() && form.size() == cell.size())
        return 0;
    for (std::size_t fixed = 0; fixed < fixedForms.size(); ++fixed)
        if (form == fixedForms[fixed])
            return static_cast<std::uint32_t>(fixed + 1);
    chunk.text.append(form);
    chunk.ends.push_back(chunk.text.size());
    return static_cast<std::uint32_t>(fixedForms.size() + chunk.ends.size());
}

std::strong_ordering compareForms(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b,
                                  std::size_t rowB, const std::vector<std::size_t>& positions)
{
    return firstDifference(a, rowA, b, rowB, positions, std::strong_ordering::equal, orderOf);
}

bool equalForms(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b, std::size_t rowB,
                const std::vector<std::size_t>& positions)
{
    return firstDifference(a, rowA, b, rowB, positions, true, equalityOf);
}

std::strong_ordering compareSignatures(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b,
                                       std::size_t rowB)
{
    return firstDifference(a, rowA, b, rowB, AllPositions{a.width()}, std::strong_ordering::equal, orderOf);
}

bool equalSignatures(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b, std::size_t rowB)
{
    return firstDifference(a, rowA, b, rowB, AllPositions{a.width()}, true, equalityOf);
}

}  // namespace rowlark::compare::CSVComparator
