#pragma once

// The comparable forms of chosen columns of one table, every cell normalized exactly once. Most
// cells are already in comparable form; those cost two bytes (four in very wide tables) and no
// copy. A form that differs is copied once into storage owned here, at eight bytes more.

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compare/Prefetch.h"
#include "compare/ValueNormalization.h"
#include "table/CSVTable.h"

namespace rowlark::compare::CSVComparator {

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
    // `keyPositions` are positions in `columns`. The table must outlive this object.
    ComparableColumns(const table::CSVTable& table, std::vector<std::size_t> columns,
                      std::vector<std::size_t> keyPositions, bool ignoreCase, unsigned workers);

    const table::CSVTable& table() const { return *table_; }
    std::size_t rowCount() const { return rowCount_; }
    std::size_t width() const { return columns_.size(); }
    std::size_t column(std::size_t position) const { return columns_[position]; }
    const std::vector<std::size_t>& keyPositions() const { return keyPositions_; }

    std::string_view form(std::size_t row, std::size_t position) const
    {
        const std::uint32_t code = codeOf(row * columns_.size() + position);
        if (code == 0)
            return table_->cell(row, columns_[position]);
        if (code <= fixedForms.size())
            return fixedForms[code - 1];
        return chunks_[row >> chunkShift_].form(code - fixedForms.size() - 1);
    }
    // Asks for the cache lines that say where the forms and cells of `row` are, ahead of reading
    // them.
    void prefetchCodes(std::size_t row) const
    {
        if (columns_.empty())
            return;
        prefetch(codeAddress(row * columns_.size()));
        prefetch(codeAddress(row * columns_.size() + columns_.size() - 1));
        if (row < table_->rowCount())
            for (const std::size_t column : {columns_.front(), columns_.back()})
                if (column < table_->columnCount())
                    prefetch(table_->cellPlaceAddress(row, column));
    }
    // Reads where the forms of `row` are listed, once its codes are at hand, and where its first,
    // middle and last cell lie: the loads of many rows can be in flight at once, and a row's cell
    // bounds span up to three cache lines.
    void prefetchFormPlaces(std::size_t row) const
    {
        if (columns_.empty())
            return;
        for (std::size_t position = 0; position < columns_.size(); ++position)
            if (const std::uint32_t code = codeOf(row * columns_.size() + position); code > fixedForms.size())
                prefetch(&chunks_[row >> chunkShift_].ends[code - fixedForms.size() - 1]);
        prefetch(table_->cell(row, columns_.front()).data());
        prefetch(table_->cell(row, columns_[columns_.size() / 2]).data());
        prefetch(table_->cell(row, columns_.back()).data());
    }
    // Equal keys have equal codes and hashes. The hash is computed on each call. Neither may be
    // asked for once the key codes are released.
    const KeyCode& keyCode(std::size_t row) const { return keyCodes_[row]; }
    std::size_t keyHash(std::size_t row) const;
    // Grouping rows by key is what reads key codes; after it they are memory for nothing.
    void releaseKeyCodes() { keyCodes_.reset(); }

private:
    // The forms of one range of rows that differ from their cells, back to back; filled by one
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

    // The codes of a column's latest distinct cells in one chunk: a value seen again costs a
    // look-up instead of a normalization. A column whose values rarely repeat stops looking after
    // a trial.
    class RecentCodes {
    public:
        std::optional<std::uint32_t> find(std::string_view cell);
        void remember(std::string_view cell, std::uint32_t code);

    private:
        static constexpr std::size_t slotCount = 64;
        static constexpr std::size_t trialLookups = 256;
        struct Entry {
            std::string_view cell;
            std::uint32_t code = 0;
            bool isSet = false;
        };
        static std::size_t slotOf(std::string_view cell);

        std::array<Entry, slotCount> entries_{};
        std::size_t lookups_ = 0;
        std::size_t hits_ = 0;
        bool isUseful_ = true;
    };

    static constexpr std::array<std::string_view, 4> fixedForms{"", "true", "false", "unitedstates"};

    std::uint32_t codeOf(std::size_t cell) const { return narrowCodes_ ? narrowCodes_[cell] : wideCodes_[cell]; }
    const void* codeAddress(std::size_t cell) const
    {
        return narrowCodes_ ? static_cast<const void*>(&narrowCodes_[cell]) : &wideCodes_[cell];
    }
    void storeCode(std::size_t cell, std::uint32_t code);
    void normalizeChunk(std::size_t chunkIndex, const std::vector<ColumnRules>& rules, bool ignoreCase);
    std::uint32_t codeFor(std::string_view cell, std::string_view form, Chunk& chunk);
    KeyCode keyCodeOf(std::size_t row) const;

    const table::CSVTable* table_;
    std::vector<std::size_t> columns_;
    std::vector<std::size_t> keyPositions_;
    std::size_t rowCount_;
    int chunkShift_;
    std::size_t chunkRows_;
    // Per cell, row-major: 0 the cell as read, then fixedForms, then chunk forms. Narrow when every
    // code of a chunk fits in 16 bits, which all but tables of tens of thousands of columns allow;
    // exactly one of the two is held.
    std::unique_ptr<std::uint16_t[]> narrowCodes_;
    std::unique_ptr<std::uint32_t[]> wideCodes_;
    std::vector<Chunk> chunks_;
    std::unique_ptr<KeyCode[]> keyCodes_;
};

// Lexicographic order of two rows' forms at `positions`; the byte order of NFC text is the
// scalar order of the Unicode texts.
std::strong_ordering compareForms(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b,
                                  std::size_t rowB, const std::vector<std::size_t>& positions);
bool equalForms(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b, std::size_t rowB,
                const std::vector<std::size_t>& positions);
// Every position, in order: the signature of a row.
std::strong_ordering compareSignatures(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b,
                                       std::size_t rowB);
bool equalSignatures(const ComparableColumns& a, std::size_t rowA, const ComparableColumns& b, std::size_t rowB);

}  // namespace rowlark::compare::CSVComparator
