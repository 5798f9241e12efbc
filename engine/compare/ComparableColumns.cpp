#include "engine/compare/ComparableColumns.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <utility>

#include "engine/compare/ValueNormalization.h"
#include "engine/records/Hashing.h"
#include "engine/table/Parallel.h"
#include "engine/text/Unicode.h"
#include "engine/values/NumberReading.h"

namespace rowlark::compare {
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
// that every code of a chunk fits in 16 bits, or in 32 for the widest keys. A shift finds a row's
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

std::vector<std::size_t> positionsOutside(std::size_t width, const std::vector<std::size_t>& keyPositions)
{
    std::vector<std::size_t> positions;
    for (std::size_t position = 0; position < width; ++position)
        if (std::ranges::find(keyPositions, position) == keyPositions.end())
            positions.push_back(position);
    return positions;
}

std::vector<ColumnRules> rulesOf(const table::Table& table, const std::vector<std::size_t>& columns)
{
    std::vector<ColumnRules> rules;
    rules.reserve(columns.size());
    const auto& headers = table.headers();
    for (const std::size_t column : columns) {
        const std::string_view header =
            column < headers.size() ? std::string_view(headers[column]) : std::string_view();
        rules.push_back(ColumnRules::forNormalizedHeader(text::normalizeHeader(header)));
    }
    return rules;
}

std::vector<SideRule> sideRulesOf(const table::Table& table, const std::vector<std::size_t>& columns,
                                  const std::vector<values::ComparisonRule>& rules, std::size_t side, unsigned workers)
{
    std::vector<SideRule> sideRules(columns.size());
    for (std::size_t position = 0; position < rules.size() && position < columns.size(); ++position)
        sideRules[position] = SideRule(table, columns[position], rules[position], side, workers);
    return sideRules;
}

// Applies `order` to the key forms of both rows part by part, stopping at the first part where
// they differ.
template<typename Result, typename Order>
Result firstKeyDifference(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b, std::size_t rowB,
                          Result equal, Order order)
{
    for (std::size_t part = 0; part < a.keyPositions().size(); ++part) {
        const Result result = order(a.keyForm(rowA, part), b.keyForm(rowB, part));
        if (result != equal)
            return result;
    }
    return equal;
}

}  // namespace

ComparableColumns::ComparableColumns(const table::Table& table, std::vector<std::size_t> columns,
                                     std::vector<std::size_t> keyPositions, bool ignoreCase, unsigned workers,
                                     const std::vector<values::ComparisonRule>& rules, std::size_t side)
    : table_(&table)
    , columns_(std::move(columns))
    , keyPositions_(std::move(keyPositions))
    , valuePositions_(positionsOutside(columns_.size(), keyPositions_))
    , rules_(rulesOf(table, columns_))
    , sideRules_(sideRulesOf(table, columns_, rules, side, workers))
    , isTextEnough_(columns_.size(), false)
    , ignoreCase_(ignoreCase)
    , rowCount_(table.rowCount())
    , chunkShift_(chunkShiftFor(keyPositions_.size(), fixedForms.size()))
    , chunkRows_(std::size_t{1} << chunkShift_)
    , chunks_((rowCount_ + chunkRows_ - 1) / chunkRows_)
    , keyCodes_(std::make_unique_for_overwrite<KeyCode[]>(rowCount_))
{
    if (hasNarrowCodes(keyPositions_.size(), fixedForms.size()))
        narrowCodes_ = std::make_unique_for_overwrite<std::uint16_t[]>(rowCount_ * keyPositions_.size());
    else
        wideCodes_ = std::make_unique_for_overwrite<std::uint32_t[]>(rowCount_ * keyPositions_.size());
    table::runInParallel(chunks_.size(), workers, [&](std::size_t chunk) { normalizeChunk(chunk); });
}

std::string_view ComparableColumns::form(std::size_t row, std::size_t position, NormalizationBuffer& buffer) const
{
    if (const auto part = std::ranges::find(keyPositions_, position); part != keyPositions_.end())
        return keyForm(row, static_cast<std::size_t>(part - keyPositions_.begin()));
    return formUnder(sideRules_[position], row, position, buffer);
}

std::string_view ComparableColumns::formUnder(const SideRule& rule, std::size_t row, std::size_t position,
                                              NormalizationBuffer& buffer) const
{
    const std::string_view cell = this->cell(row, position);
    if (rule.rule().kind == values::RuleKind::number && !rule.readsStoredNumbers() && values::isCanonicalInteger(cell))
        return cell;
    if (rule.rule().kind != values::RuleKind::asRead) {
        if (const auto form = values::ruleForm(cell, storedNumber(rule, row, position), rule.rule(),
                                               rule.readingFor(cell), ignoreCase_, buffer.result))
            return *form;
    }
    return canonicalComparable(cell, rules_[position], ignoreCase_, buffer);
}

bool ComparableColumns::isRead(std::size_t row, std::size_t position) const
{
    const SideRule& rule = sideRules_[position];
    if (rule.rule().kind == values::RuleKind::asRead)
        return true;
    const std::string_view cell = this->cell(row, position);
    std::string buffer;
    return values::ruleForm(cell, storedNumber(rule, row, position), rule.rule(), rule.readingFor(cell), ignoreCase_,
                            buffer)
        .has_value();
}

void pairPositions(ComparableColumns& a, ComparableColumns& b)
{
    for (std::size_t position = 0; position < a.width(); ++position) {
        const SideRule& ruleA = a.sideRules_[position];
        const SideRule& ruleB = b.sideRules_[position];
        const bool isTextEnough = a.rules_[position] == b.rules_[position] && ruleA.rule() == ruleB.rule() &&
                                  !ruleA.readsStoredNumbers() && !ruleB.readsStoredNumbers() &&
                                  a.ignoreCase_ == b.ignoreCase_;
        a.isTextEnough_[position] = isTextEnough;
        b.isTextEnough_[position] = isTextEnough;
    }
    a.readAlike_ = std::shared_ptr<std::atomic<std::uint8_t>[]>(new std::atomic<std::uint8_t>[a.width()]());
    b.readAlike_ = a.readAlike_;
}

bool ComparableColumns::readAlike(const ComparableColumns& other, std::size_t position) const
{
    std::atomic<std::uint8_t>& known = readAlike_[position];
    std::uint8_t state = known.load(std::memory_order_relaxed);
    if (state == 0) {
        state = sideRules_[position].reading() == other.sideRules_[position].reading() ? 1 : 2;
        known.store(state, std::memory_order_relaxed);
    }
    return state == 1;
}

void ComparableColumns::normalizeChunk(std::size_t chunkIndex)
{
    Chunk& chunk = chunks_[chunkIndex];
    NormalizationBuffer buffer;
    const std::size_t first = chunkIndex * chunkRows_;
    const std::size_t end = std::min(first + chunkRows_, rowCount_);
    for (std::size_t row = first; row < end; ++row) {
        for (std::size_t part = 0; part < keyPositions_.size(); ++part) {
            const std::size_t position = keyPositions_[part];
            const std::string_view cell = this->cell(row, position);
            storeCode(row * keyPositions_.size() + part,
                      codeFor(cell, formUnder(sideRules_[position], row, position, buffer), chunk));
        }
        keyCodes_[row] = keyCodeOf(row);
    }
    chunk.text.shrink_to_fit();
    chunk.ends.shrink_to_fit();
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
    for (std::size_t part = 0; part < keyPositions_.size(); ++part)
        records::hashCombine(hash, keyForm(row, part));
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
    for (std::size_t part = 0; part < keyPositions_.size(); ++part) {
        for (const char byte : keyForm(row, part)) {
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

std::strong_ordering compareKeys(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b,
                                 std::size_t rowB)
{
    return firstKeyDifference(a, rowA, b, rowB, std::strong_ordering::equal,
                              [](std::string_view x, std::string_view y) { return x.compare(y) <=> 0; });
}

bool equalKeys(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b, std::size_t rowB)
{
    return firstKeyDifference(a, rowA, b, rowB, true, [](std::string_view x, std::string_view y) { return x == y; });
}

bool equalAt(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b, std::size_t rowB,
             std::size_t position)
{
    const SideRule& ruleA = a.rule(position);
    const SideRule& ruleB = b.rule(position);
    const std::string_view cellA = a.cell(rowA, position);
    const std::string_view cellB = b.cell(rowB, position);
    // Equal texts read alike have equal forms; the sides' readings are asked for only when the text
    // depends on them.
    if (a.isTextEnough(position) && cellA == cellB &&
        (a.isKnownToReadAlike(position) || !values::dependsOnReading(cellA, ruleA.rule().kind) ||
         a.readAlike(b, position)))
        return true;
    thread_local NormalizationBuffer bufferA;
    thread_local NormalizationBuffer bufferB;
    if (a.form(rowA, position, bufferA) == b.form(rowB, position, bufferB))
        return true;
    return ruleA.rule().hasTolerance() &&
           values::areWithinTolerance(ruleA.rule(), cellA, a.storedNumber(ruleA, rowA, position),
                                      ruleA.readingFor(cellA), cellB, b.storedNumber(ruleB, rowB, position),
                                      ruleB.readingFor(cellB));
}

bool equalValues(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b, std::size_t rowB)
{
    return std::ranges::all_of(a.valuePositions(),
                               [&](std::size_t position) { return equalAt(a, rowA, b, rowB, position); });
}

}  // namespace rowlark::compare
