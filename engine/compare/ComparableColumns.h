#pragma once

// The comparable forms of chosen columns of one table, each column under its comparison rule (as
// read by default). The key's cells are normalized once, up front: most are already in comparable form and cost two
// bytes (four for very wide keys) and no copy; a form that differs is copied once into storage owned here, at eight
// bytes more. Other cells are normalized when a comparison needs their forms, which most never do.

#include <array>
#include <atomic>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compare/ColumnReadings.h"
#include "engine/compare/ValueNormalization.h"
#include "engine/table/Prefetch.h"
#include "engine/table/Table.h"
#include "engine/values/ComparisonRule.h"
#include "engine/values/RuleForms.h"

namespace rowlark::compare {

// The start of a key in an encoding whose byte order is the order of key lists: each part with a
// 0x00 byte written as 0x00 0x01, ended by 0x00 0x00. Holds the first 15 bytes and then the
// encoding's length, capped at 16. Keys whose codes differ are ordered by them; equal codes of
// complete encodings (at most 15 bytes) mean equal keys. Most keys are short, so grouping and
// sorting rarely need to read the forms themselves.
struct KeyCode {
    std::uint64_t high;
    std::uint64_t low;

    bool isComplete() const { return (low & 0xFF) <= 15; }
    auto operator<=>(const KeyCode&) const = default;
};

class ComparableColumns {
public:
    // `columns` may name columns outside the table, whose header and cells read as empty.
    // `keyPositions` are positions in `columns`. `rules` holds a rule per position, or none for
    // "As read" everywhere; `side` (0 for File A, 1 for File B) picks the user's day order. The
    // table must outlive this object.
    ComparableColumns(const table::Table& table, std::vector<std::size_t> columns,
                      std::vector<std::size_t> keyPositions, bool ignoreCase, unsigned workers,
                      const std::vector<values::ComparisonRule>& rules = {}, std::size_t side = 0);

    const table::Table& table() const { return *table_; }
    std::size_t rowCount() const { return rowCount_; }
    std::size_t width() const { return columns_.size(); }
    std::size_t column(std::size_t position) const { return columns_[position]; }
    const std::vector<std::size_t>& keyPositions() const { return keyPositions_; }
    // The positions outside the key, in order.
    const std::vector<std::size_t>& valuePositions() const { return valuePositions_; }
    const ColumnRules& rules(std::size_t position) const { return rules_[position]; }
    const SideRule& rule(std::size_t position) const { return sideRules_[position]; }
    // The number a workbook stored for the cell, when `rule` reads stored numbers.
    std::optional<values::StoredNumber> storedNumber(const SideRule& rule, std::size_t row, std::size_t position) const
    {
        return rule.readsStoredNumbers() ? table_->storedNumber(row, columns_[position]) : std::nullopt;
    }

    std::string_view cell(std::size_t row, std::size_t position) const { return table_->cell(row, columns_[position]); }
    // The form of part `part` of the row's key, normalized when this object was made.
    std::string_view keyForm(std::size_t row, std::size_t part) const
    {
        const std::uint32_t code = codeOf(row * keyPositions_.size() + part);
        if (code == 0)
            return cell(row, keyPositions_[part]);
        if (code <= fixedForms.size())
            return fixedForms[code - 1];
        return chunks_[row >> chunkShift_].form(code - fixedForms.size() - 1);
    }
    // The form at any position: a key part's as kept, any other normalized now, into `buffer` when
    // it is not a part of the cell (valid until the buffer's next use).
    std::string_view form(std::size_t row, std::size_t position, NormalizationBuffer& buffer) const;
    // Whether the position's rule reads the cell (as a number, a date, ...); always true as read.
    bool isRead(std::size_t row, std::size_t position) const;
    // The form of a cell under `rule`, which may be another than the position's own; the buffer as for
    // form.
    std::string_view formUnder(const SideRule& rule, std::size_t row, std::size_t position,
                               NormalizationBuffer& buffer) const;

    // Marks the positions where equal texts are enough for equal forms on both sides, as long as
    // the sides read them alike: the same rules and no stored numbers. Call once both sides exist.
    friend void pairPositions(ComparableColumns& a, ComparableColumns& b);
    bool isTextEnough(std::size_t position) const { return isTextEnough_[position]; }
    // Whether both sides read the position alike: asked of the sides' readings the first time a text
    // depends on them, then remembered for both sides.
    bool readAlike(const ComparableColumns& other, std::size_t position) const;
    bool isKnownToReadAlike(std::size_t position) const
    {
        return readAlike_[position].load(std::memory_order_relaxed) == 1;
    }

    // Asks for the cache lines that say where the cells of `row` lie, ahead of reading them.
    void prefetchCellPlaces(std::size_t row) const
    {
        if (!columns_.empty() && row < table_->rowCount())
            for (const std::size_t column : {columns_.front(), columns_.back()})
                if (column < table_->columnCount())
                    table_->prefetchCellPlace(row, column);
    }
    // Asks for the text of `row`, once the places of its cells are at hand: each cache line from
    // its first cell's start to its last cell's end, at most `mostLines`, where every cell kept as
    // text lies when the columns come from one table in their order, as they usually do (coded
    // cells lie in their dictionaries, which stay in the cache). One request per line keeps few
    // loads in flight per row, so many rows' loads can be.
    void prefetchCellTexts(std::size_t row) const
    {
        constexpr std::size_t mostLines = 16;
        if (columns_.empty())
            return;
        const std::string_view first = cell(row, 0);
        const std::string_view last = cell(row, columns_.size() - 1);
        const auto start = reinterpret_cast<std::uintptr_t>(first.data()) & ~std::uintptr_t{63};
        const auto end = reinterpret_cast<std::uintptr_t>(last.data() + last.size());
        for (std::uintptr_t line = start, lines = 0; line < end && lines < mostLines; line += 64, ++lines)
            table::prefetch(reinterpret_cast<const char*>(line));
    }
    // Equal keys have equal codes and hashes. The hash is computed on each call. Neither may be
    // asked for once the key codes are released.
    const KeyCode& keyCode(std::size_t row) const { return keyCodes_[row]; }
    std::size_t keyHash(std::size_t row) const;
    // Grouping rows by key is what reads key codes; after it they are memory for nothing.
    void releaseKeyCodes() { keyCodes_.reset(); }

private:
    // The key forms of one range of rows that differ from their cells, back to back; filled by one
    // worker. Form i ends where form i + 1 starts.
    struct Chunk {
        std::string text;
        std::vector<std::uint64_t> ends;

        std::string_view form(std::size_t index) const
        {
            const std::uint64_t start = index == 0 ? 0 : ends[index - 1];
            return {text.data() + start, static_cast<std::size_t>(ends[index] - start)};
        }
    };

    static constexpr std::array<std::string_view, 4> fixedForms{"", "true", "false", "unitedstates"};

    std::uint32_t codeOf(std::size_t cell) const { return narrowCodes_ ? narrowCodes_[cell] : wideCodes_[cell]; }
    void storeCode(std::size_t cell, std::uint32_t code);
    void normalizeChunk(std::size_t chunkIndex);
    std::uint32_t codeFor(std::string_view cell, std::string_view form, Chunk& chunk);
    KeyCode keyCodeOf(std::size_t row) const;

    const table::Table* table_;
    std::vector<std::size_t> columns_;
    std::vector<std::size_t> keyPositions_;
    std::vector<std::size_t> valuePositions_;
    std::vector<ColumnRules> rules_;
    std::vector<SideRule> sideRules_;
    std::vector<bool> isTextEnough_;
    // Per position, shared by the paired sides: 0 not asked yet, 1 alike, 2 not alike.
    std::shared_ptr<std::atomic<std::uint8_t>[]> readAlike_;
    bool ignoreCase_;
    std::size_t rowCount_;
    int chunkShift_;
    std::size_t chunkRows_;
    // Per key part, row-major: 0 the cell as read, then fixedForms, then chunk forms. Narrow when
    // every code of a chunk fits in 16 bits, which all but keys of tens of thousands of columns
    // allow; exactly one of the two is held.
    std::unique_ptr<std::uint16_t[]> narrowCodes_;
    std::unique_ptr<std::uint32_t[]> wideCodes_;
    std::vector<Chunk> chunks_;
    std::unique_ptr<KeyCode[]> keyCodes_;
};

// Lexicographic order of two rows' key forms; the byte order of NFC text is the scalar order of
// the Unicode texts. Both sides must have the same key positions.
std::strong_ordering compareKeys(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b,
                                 std::size_t rowB);
bool equalKeys(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b, std::size_t rowB);
// Whether two rows have equal forms at `position`, or forms within the rule's tolerance. Cells
// outside the key are normalized only when their texts differ or their columns follow different
// rules, since equal texts under the same rules have equal forms.
bool equalAt(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b, std::size_t rowB,
             std::size_t position);
// Whether two rows of the same key have equal forms at every position outside the key, and so
// equal signatures.
bool equalValues(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b, std::size_t rowB);

}  // namespace rowlark::compare
