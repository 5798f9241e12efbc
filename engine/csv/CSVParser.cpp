#include "engine/csv/CSVParser.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/csv/CSVError.h"
#include "engine/table/Pages.h"
#include "engine/text/Unicode.h"

namespace rowlark::csv {

namespace {

// Position of the first byte in [position, size) equal to one of `Specials`, or `size`.
template<char... Specials> std::size_t findSpecial(const char* data, std::size_t position, std::size_t size)
{
#if defined(__SSE2__)
    while (size - position >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + position));
        __m128i hits = _mm_setzero_si128();
        ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(Specials)))), ...);
        if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits)))
            return position + static_cast<std::size_t>(std::countr_zero(mask));
        position += 16;
    }
#endif
    while (position < size && ((data[position] != Specials) && ...))
        ++position;
    return position;
}

// Position of the first byte in [position, size) that is `separator`, LF or CR, or `size`.
std::size_t findSeparatorOrLineBreak(const char* data, std::size_t position, std::size_t size, char separator)
{
#if defined(__SSE2__)
    const __m128i separators = _mm_set1_epi8(separator);
    const __m128i lineFeeds = _mm_set1_epi8('\n');
    const __m128i carriageReturns = _mm_set1_epi8('\r');
    while (size - position >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + position));
        const __m128i hits =
            _mm_or_si128(_mm_cmpeq_epi8(block, separators),
                         _mm_or_si128(_mm_cmpeq_epi8(block, lineFeeds), _mm_cmpeq_epi8(block, carriageReturns)));
        if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits)))
            return position + static_cast<std::size_t>(std::countr_zero(mask));
        position += 16;
    }
#endif
    while (position < size && data[position] != separator && data[position] != '\n' && data[position] != '\r')
        ++position;
    return position;
}

// How many bytes of [position, size) are line breaks, LF or CR.
std::size_t countLineBreaks(const char* data, std::size_t position, std::size_t size)
{
    std::size_t count = 0;
#if defined(__SSE2__)
    // Each byte lane counts its hits (a hit is -1, so subtracting adds one) for up to 255 blocks
    // before the lanes are summed, which a baseline x86-64 build does faster than a popcount.
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    while (size - position >= 16) {
        __m128i lanes = _mm_setzero_si128();
        const std::size_t blocks = std::min<std::size_t>((size - position) / 16, 255);
        for (std::size_t block = 0; block < blocks; ++block, position += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + position));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes, lineFeed));
            lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes, carriageReturn));
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
#endif
    for (; position < size; ++position)
        count += data[position] == '\n' || data[position] == '\r' ? 1 : 0;
    return count;
}

// Moves between sizeof(Word) and twice as many bytes with two overlapping words, both loaded
// before either is stored, so the two ranges may overlap.
template<typename Word> void moveWithTwoWords(char* destination, const char* source, std::size_t length)
{
    Word head;
    Word tail;
    std::memcpy(&head, source, sizeof(Word));
    std::memcpy(&tail, source + length - sizeof(Word), sizeof(Word));
    std::memcpy(destination, &head, sizeof(Word));
    std::memcpy(destination + length - sizeof(Word), &tail, sizeof(Word));
}

// memmove for a destination before its source, inline for the short lengths of most cells. Every
// load of a step comes before its stores, and the source ahead of a step is never stored to.
inline void moveDown(char* destination, const char* source, std::size_t length)
{
    if (length > 16) {
        std::memmove(destination, source, length);
    } else if (length >= 8) {
        moveWithTwoWords<std::uint64_t>(destination, source, length);
    } else if (length >= 4) {
        moveWithTwoWords<std::uint32_t>(destination, source, length);
    } else {
        const char first = source[0];
        const char middle = source[length / 2];
        const char last = source[length - 1];
        destination[0] = first;
        destination[length / 2] = middle;
        destination[length - 1] = last;
    }
}

using table::notCoded;

// How far the scan reads between two releases of the pages behind it.
constexpr std::size_t releaseStep = std::size_t{64} << 20;

struct OverWideRow {
    std::size_t index;  // among the data rows, from 0
    std::size_t cellCount;
};

// One pass over the text. Cell text is written back into the same buffer behind the read position
// (unquoting only ever shrinks text). Rows of empty cells are only counted until a row with text
// follows, so blank lines at the end never cost memory and are dropped without a trace.
class CSVScanner {
public:
    CSVScanner(std::string& text, std::size_t start, Separator separator)
        : text_(text)
        , buffer_(text.data())
        , size_(text.size())
        , read_(std::min(start, text.size()))
        , separator_(static_cast<char>(separator))
        , isTabSeparated_(separator == Separator::tab)
    {
    }

    ParsedCSV run() &&
    {
        while (true) {
            fieldStart_ = write_;
            if (opensQuotedField()) {
                ++read_;
                scanQuotedPart();
            }
            const Ending ending = scanUnquotedPart();
            if (ending == Ending::endOfText) {
                if (write_ > fieldStart_ || cellsInRow_ > 0)
                    endRow();
                break;
            }
            if (ending == Ending::lineBreak)
                endRow();
            else
                endField();
        }
        return std::move(*this).finish();
    }

private:
    enum class Ending { separator, lineBreak, endOfText };

    bool opensQuotedField() const { return read_ < size_ && buffer_[read_] == '"' && !extenderStartsAt(read_ + 1); }

    // Copies a quoted part through its closing quote; what follows that quote is read as unquoted.
    void scanQuotedPart()
    {
        while (true) {
            const std::size_t special = findSpecial<'"', '\r'>(buffer_, read_, size_);
            const bool copiedText = copyUpTo(special);
            if (special == size_)
                throw CSVError::unclosedQuote();
            read_ = special + 1;
            if (buffer_[special] == '\r') {
                put('\n');
                skipLineFeedAfterCarriageReturn();
            } else if (!isStructural(copiedText)) {
                put('"');
            } else if (read_ < size_ && buffer_[read_] == '"' && !extenderStartsAt(read_ + 1)) {
                put('"');
                ++read_;
            } else {
                return;
            }
        }
    }

    Ending scanUnquotedPart()
    {
        while (true) {
            const std::size_t special = findSeparatorOrLineBreak(buffer_, read_, size_, separator_);
            const bool copiedText = copyUpTo(special);
            if (special == size_)
                return Ending::endOfText;
            read_ = special + 1;
            if (buffer_[special] != separator_) {
                if (buffer_[special] == '\r')
                    skipLineFeedAfterCarriageReturn();
                return Ending::lineBreak;
            }
            // A tab, like a line break, is a character of its own whatever surrounds it.
            if (isTabSeparated_ || isStructural(copiedText))
                return Ending::separator;
            put(separator_);
        }
    }

    // Whether the separator or quote just read stands alone as a character. The scalar before it
    // is the last one written when text was copied right before it; otherwise it is an ASCII
    // separator or quote, which never prepends.
    bool isStructural(bool copiedTextBefore) const
    {
        return !(copiedTextBefore && lastWrittenIsPrepend()) && !extenderStartsAt(read_);
    }

    bool extenderStartsAt(std::size_t position) const
    {
        if (position >= size_ || static_cast<unsigned char>(buffer_[position]) < 0x80)
            return false;
        return text::isGraphemeExtender(text::nextScalar(std::string_view(buffer_, size_), position));
    }

    bool lastWrittenIsPrepend() const
    {
        if (static_cast<unsigned char>(buffer_[write_ - 1]) < 0x80)
            return false;
        std::size_t end = write_;
        return text::isGraphemePrepend(text::previousScalar(std::string_view(buffer_, write_), end));
    }

    // Returns whether any text was copied.
    bool copyUpTo(std::size_t end)
    {
        const std::size_t length = end - read_;
        if (length == 0)
            return false;
        if (write_ != read_)
            moveDown(buffer_ + write_, buffer_ + read_, length);
        write_ += length;
        read_ = end;
        return true;
    }

    void put(char byte) { buffer_[write_++] = byte; }

    void skipLineFeedAfterCarriageReturn()
    {
        if (read_ < size_ && buffer_[read_] == '\n')
            ++read_;
    }

    void endField()
    {
        const bool hasText = write_ > fieldStart_;
        if (isInHeader_)
            headerEnds_.push_back(write_);
        else
            endDataCell(hasText);
        ++cellsInRow_;
    }

    void endDataCell(bool hasText)
    {
        if (hasText && !rowHasText_) {
            // The first text of the row: the empty rows and cells before it take their place now.
            appendEmptyCells(0, pendingEmptyRows_ * width_ + std::min(cellsInRow_, width_), fieldStart_);
            pendingEmptyRows_ = 0;
            rowHasText_ = true;
        }
        if (rowHasText_ && cellsInRow_ < width_)
            storeCell(cellsInRow_);
    }

    // Stores the cell just written at [fieldStart_, write_); a coded cell's text gives its place
    // back. Called for every cell, so kept inside the scanning loop.
    [[gnu::always_inline]] void storeCell(std::size_t column)
    {
        const std::string_view text(buffer_ + fieldStart_, write_ - fieldStart_);
        const std::size_t coded = codedIndices_[column];
        if (coded == notCoded) {
            bounds_.push_back(write_);
            jsonLookingColumns_.note(column, text);
            return;
        }
        // Only a text new to the column needs looking at.
        if (coded_.append(coded, text))
            jsonLookingColumns_.note(column, text);
        write_ = fieldStart_;
    }

    // Stores `count` empty cells lying at `position`, from column `column` on and on into the
    // rows after.
    void appendEmptyCells(std::size_t column, std::size_t count, std::size_t position)
    {
        if (coded_.columns.empty()) {
            bounds_.append(count, position);
            return;
        }
        for (; count > 0; --count, column = column + 1 == width_ ? 0 : column + 1) {
            const std::size_t coded = codedIndices_[column];
            if (coded == notCoded)
                bounds_.push_back(position);
            else
                coded_.codes.push_back(coded_.dictionaries[coded].codeOf({}));
        }
    }

    // Columns whose sampled rows hold few distinct texts are coded from here on, and the sampled
    // rows are stored again in that form.
    void chooseCodedColumns()
    {
        isSampling_ = false;
        const auto cellText = [this](std::size_t row, std::size_t column) {
            const std::size_t cell = row * width_ + column;
            return std::string_view(buffer_ + bounds_[cell], bounds_[cell + 1] - bounds_[cell]);
        };
        coded_.choose(width_, storedRowCount_, cellText, codedIndices_);
        if (coded_.columns.empty())
            return;
        coded_.codes.reserve(std::min(expectedRows_ * coded_.columns.size(), size_ / 2 + 1));
        storeSampledRowsAgain();
    }

    void storeSampledRowsAgain()
    {
        std::vector<std::uint64_t> ends(bounds_.size());
        for (std::size_t index = 0; index < ends.size(); ++index)
            ends[index] = bounds_[index];
        bounds_.clear();
        bounds_.push_back(0);
        write_ = 0;
        for (std::size_t cell = 0; cell + 1 < ends.size(); ++cell) {
            fieldStart_ = write_;
            const std::size_t length = ends[cell + 1] - ends[cell];
            if (length > 0)
                moveDown(buffer_ + write_, buffer_ + ends[cell], length);
            write_ += length;
            storeCell(cell % width_);
        }
    }

    void endRow()
    {
        endField();
        if (isInHeader_)
            takeHeader();
        else
            endDataRow();
        cellsInRow_ = 0;
    }

    void takeHeader()
    {
        std::size_t start = 0;
        headers_.reserve(headerEnds_.size());
        for (const std::size_t end : headerEnds_) {
            headers_.emplace_back(buffer_ + start, end - start);
            start = end;
        }
        headerEnds_ = {};
        width_ = headers_.size();
        jsonLookingColumns_ = table::JSONLookingColumns(width_);
        codedIndices_.assign(width_, notCoded);
        write_ = 0;
        isInHeader_ = false;
        reserveBounds();
    }

    // No more rows follow than line-break bytes, so the bounds mostly get their whole array at
    // once: neither copied while they grow nor over their final size in memory, since the pages
    // that a quoted line break or a CR LF pair reserved too many are never touched. Blank rows
    // cost a row of bounds only when text follows them, so the reservation stops at one bound
    // per two bytes of text; a table of mostly empty cells grows past it.
    void reserveBounds()
    {
        const std::size_t lineBreaks = countLineBreaks(buffer_, read_, size_);
        expectedRows_ = std::min(lineBreaks + 1, (size_ - read_) / 2 + 1);
        bounds_.reserve(std::min((lineBreaks + 1) * width_, (size_ - read_) / 2 + 1) + 1);
        bounds_.push_back(0);
    }

    void endDataRow()
    {
        if (cellsInRow_ > width_ && !firstOverWideRow_)
            firstOverWideRow_ = OverWideRow{dataRowCount_, cellsInRow_};
        if (rowHasText_) {
            if (cellsInRow_ < width_)
                appendEmptyCells(cellsInRow_, width_ - cellsInRow_, write_);
            storedRowCount_ = dataRowCount_ + 1;
            if (isSampling_ && storedRowCount_ >= table::codingSampleRows)
                chooseCodedColumns();
            if (read_ - releasedUpTo_ >= releaseStep)
                releaseBehind();
        } else {
            ++pendingEmptyRows_;
        }
        rowHasText_ = false;
        ++dataRowCount_;
    }

    ParsedCSV finish() &&
    {
        if (isInHeader_)
            throw CSVError::empty();
        removeByteOrderMarks(headers_.front());
        if (std::all_of(headers_.begin(), headers_.end(), [](const auto& name) { return name.empty(); }))
            throw CSVError::empty();
        if (firstOverWideRow_ && firstOverWideRow_->index < storedRowCount_)
            throw CSVError::tooManyColumns(static_cast<std::int64_t>(firstOverWideRow_->index) + 2,
                                           static_cast<std::int64_t>(width_),
                                           static_cast<std::int64_t>(firstOverWideRow_->cellCount));
        text_.resize(bounds_.back());
        releaseUnusedEnd();
        return ParsedCSV{std::move(headers_), table::CellStore(std::move(text_), std::move(bounds_), width_,
                                                               std::move(jsonLookingColumns_), std::move(coded_))};
    }

    // Text behind the read position that the cells still to come cannot reach, even were none of
    // the rest dropped, is read and written no more: its pages go back to the system as the scan
    // moves on, so that the buffer shrinks while the last part of the text is stored.
    void releaseBehind()
    {
        const std::size_t reach = write_ + (size_ - read_);
        if (reach < read_)
            table::releasePages(buffer_ + reach, read_ - reach);
        releasedUpTo_ = read_;
    }

    // The separators, quotes and coded cells the text dropped leave the end of the buffer unused
    // but resident.
    void releaseUnusedEnd()
    {
        const std::size_t used = text_.size() + 1;  // with the terminating zero
        table::releasePages(text_.data() + used, text_.capacity() + 1 - used);
    }

    static void removeByteOrderMarks(std::string& name)
    {
        static constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
        for (auto found = name.find(byteOrderMark); found != std::string::npos; found = name.find(byteOrderMark))
            name.erase(found, byteOrderMark.size());
    }

    std::string& text_;
    char* buffer_;
    std::size_t size_;
    std::size_t read_;
    const char separator_;
    const bool isTabSeparated_;
    std::size_t write_ = 0;
    std::size_t fieldStart_ = 0;
    std::size_t cellsInRow_ = 0;

    bool isInHeader_ = true;
    std::vector<std::size_t> headerEnds_;
    std::vector<std::string> headers_;
    std::size_t width_ = 0;

    table::CellBounds bounds_;  // in the layout of CellStore, from the header on
    table::CodedColumns coded_;
    std::vector<std::size_t> codedIndices_;  // per column, its index among the coded ones or notCoded
    bool isSampling_ = true;                 // until the coded columns are chosen
    std::size_t expectedRows_ = 0;           // at most, from the line breaks
    std::size_t releasedUpTo_ = 0;           // the read position when pages behind it were last released
    table::JSONLookingColumns jsonLookingColumns_;
    bool rowHasText_ = false;
    std::size_t pendingEmptyRows_ = 0;
    std::size_t dataRowCount_ = 0;
    std::size_t storedRowCount_ = 0;
    std::optional<OverWideRow> firstOverWideRow_;
};

}  // namespace

ParsedCSV parseCSV(std::string text, std::size_t start, Separator separator)
{
    return CSVScanner(text, start, separator).run();
}

}  // namespace rowlark::csv
