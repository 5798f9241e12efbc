#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "engine/text/CodePage.h"
#include "engine/workbook/ImportError.h"
#include "engine/workbook/NativeReader.h"
#include "engine/workbook/NumberTexts.h"
#include "engine/workbook/SheetCells.h"
#include "engine/workbook/format/NumberFormat.h"
#include "engine/workbook/xls/BIFFRecords.h"

// XLS read the way the spreadsheet-reader library reads it: the whole workbook stream record by
// record, the workbook's sheets, strings, cell styles and number formats as they come, and the
// cells of the selected sheet with the display texts the library gives them. Everything the
// library parses and could fail on where the cells are concerned is checked the same way, and
// declined where it would fail, so that the library reports it.

namespace rowlark::workbook {
namespace {

using namespace biff;

[[noreturn]] void decline()
{
    throw ReadDeclined();
}

namespace type {
constexpr std::uint16_t formula = 0x0006;
constexpr std::uint16_t note = 0x001C;
constexpr std::uint16_t date1904 = 0x0022;
constexpr std::uint16_t filePass = 0x002F;
constexpr std::uint16_t codePage = 0x0042;
constexpr std::uint16_t object = 0x005D;
constexpr std::uint16_t boundSheet = 0x0085;
constexpr std::uint16_t mulRK = 0x00BD;
constexpr std::uint16_t mulBlank = 0x00BE;
constexpr std::uint16_t richString = 0x00D6;
constexpr std::uint16_t cellStyle = 0x00E0;
constexpr std::uint16_t sharedStrings = 0x00FC;
constexpr std::uint16_t labelSST = 0x00FD;
constexpr std::uint16_t textObject = 0x01B6;
constexpr std::uint16_t dimensions = 0x0200;
constexpr std::uint16_t number = 0x0203;
constexpr std::uint16_t label = 0x0204;
constexpr std::uint16_t boolErr = 0x0205;
constexpr std::uint16_t string = 0x0207;
constexpr std::uint16_t rk = 0x027E;
constexpr std::uint16_t format = 0x041E;
}  // namespace type

// Records of BIFF2 to BIFF4 that the library would take as cells, formats or sheets of their own.
constexpr std::uint16_t olderTypes[] = {0x0000, 0x0002, 0x0003, 0x0004, 0x0005, 0x0007,
                                        0x0009, 0x001E, 0x0206, 0x0209, 0x0406, 0x0409};

constexpr std::size_t recordsBetweenStopChecks = 16384;
constexpr std::uint16_t chartSheetKind = 0x0020;

// Error codes as the library writes them; other codes show as their number.
std::string errorText(std::uint8_t code)
{
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    case 0x2A:
        return "#N/A";
    case 0x2B:
        return "#GETTING_DATA";
    case 0xFF:
        return "#WTF?";
    default:
        return std::to_string(code);
    }
}

// The library's format table as XLS cells meet it: the texts it starts with, the texts of FORMAT
// records as they are read, and for ids without a text of their own, the id it stands in for or
// the text it falls back to.
class FormatTable {
public:
    void load(int id, std::string text) { loaded_[id] = std::move(text); }

    std::optional<std::string_view> text(int id) const
    {
        if (const auto found = loaded_.find(id); found != loaded_.end())
            return found->second;
        return initialText(id);
    }

    std::string_view formattingText(int id) const
    {
        if (const std::optional<std::string_view> own = text(id))
            return *own;
        if (const std::optional<int> stand = standIn(id))
            if (const std::optional<std::string_view> other = text(*stand))
                return *other;
        return fallbackText(id).value_or("General");
    }

private:
    static std::optional<std::string_view> initialText(int id)
    {
        if (id == 0)
            return "General";
        if ((id >= 1 && id <= 4) || (id >= 9 && id <= 22) || (id >= 37 && id <= 40) || (id >= 45 && id <= 49))
            return builtInNumberFormat(id);
        if (id == 56)
            return "\"\xE4\xB8\x8A\xE5\x8D\x88/\xE4\xB8\x8B\xE5\x8D\x88 "
                   "\"hh\"\xE6\x99\x82\"mm\"\xE5\x88\x86\"ss\"\xE7\xA7\x92 \"";
        return std::nullopt;
    }

    static std::optional<int> standIn(int id)
    {
        if (id >= 5 && id <= 8)
            return id + 32;
        if ((id >= 23 && id <= 26) || id == 82)
            return 0;
        if ((id >= 27 && id <= 31) || (id >= 50 && id <= 58) || id == 71 || id == 72)
            return 14;
        if (id >= 59 && id <= 62)
            return id - 58;
        if (id == 67 || id == 68)
            return id - 58;
        if (id == 69 || id == 70)
            return id - 57;
        if (id >= 73 && id <= 75)
            return id - 58;
        if (id >= 76 && id <= 78)
            return id - 56;
        if (id >= 79 && id <= 81)
            return id - 34;
        return std::nullopt;
    }

    static std::optional<std::string_view> fallbackText(int id)
    {
        if ((id >= 5 && id <= 8) || (id >= 63 && id <= 66))
            return builtInNumberFormat(id >= 63 ? id - 58 : id);
        if (id >= 41 && id <= 44)
            return builtInNumberFormat(id);
        return std::nullopt;
    }

    std::unordered_map<int, std::string> loaded_;
};

// A cell's position as (row, column) in one number, to find cells again.
std::uint64_t positionKey(std::uint32_t row, std::uint32_t column)
{
    return (std::uint64_t(row) << 32) | column;
}

// The used range as the library keeps it while it reads a sheet: its end is one past the last
// row and column.
struct LibraryRange {
    std::int64_t firstRow = 0;
    std::int64_t firstColumn = 0;
    std::int64_t endRow = 0;
    std::int64_t endColumn = 0;
};

struct Cell {
    std::uint32_t row;
    std::uint32_t column;
    std::uint16_t style;
};

// A cell value as a record gives it.
struct Value {
    enum class Kind { number, text, boolean, error, nothing } kind = Kind::nothing;
    double number = 0;
    std::string text;
    bool boolean = false;
    std::uint8_t error = 0;

    static Value ofNumber(double number) { return {Kind::number, number, {}, false, 0}; }
    static Value ofText(std::string text) { return {Kind::text, 0, std::move(text), false, 0}; }
    static Value ofBoolean(bool boolean) { return {Kind::boolean, 0, {}, boolean, 0}; }
    static Value ofError(std::uint8_t error) { return {Kind::error, 0, {}, false, error}; }
};

class WorkbookStream {
public:
    WorkbookStream(std::string_view stream, const NativeRequest& request, const LibraryFormatter& formatter,
                   std::stop_token stop)
        : records_(stream)
        , request_(request)
        , formatter_(formatter)
        , stop_(std::move(stop))
    {
    }

    WorkbookPayload read()
    {
        std::size_t count = 0;
        while (const std::optional<Record> record = records_.next()) {
            if (++count % recordsBetweenStopChecks == 0 && stop_.stop_requested())
                throw ImportCancelled();
            if (request_.isNamesOnly && hasSheetList_ && record->type != type::boundSheet)
                break;
            readRecord(*record);
        }
        std::vector<SheetEntry> entries;
        for (const auto& [position, entry] : sheets_)
            entries.push_back(entry);
        const std::vector<std::string> names = sheetNames(entries);
        if (request_.isNamesOnly) {
            WorkbookPayload payload;
            payload.sheets = std::move(entries);
            return payload;
        }
        if (names.empty())
            decline();
        if (!selected_)
            selected_ = request_.sheet.value_or(names.front());
        if (std::ranges::find(names, *selected_) == names.end())
            throw ImportError::sheetNotFound(request_.sheet.value_or(std::string()));
        if (finished_ && finished_->isChart)
            throw ImportError::chartSheet();
        if (tooLarge_)
            throw *tooLarge_;
        if (!finished_) {
            WorkbookPayload payload;
            payload.sheets = std::move(entries);
            return payload;
        }
        if (finished_->range)
            finished_->cells.guessRange(*finished_->range);
        finished_->numbers.formatAll();
        NumberTexts& numbers = finished_->numbers;
        WorkbookPayload payload =
            std::move(finished_->cells).payload(std::move(entries), stop_, [&numbers](std::uint32_t key) {
                return numbers.text(key);
            });
        // A worksheet that holds a chart and no cells is a chart sheet too.
        if (payload.rowCount == 0 && finished_->hasChart)
            throw ImportError::chartSheet();
        return payload;
    }

private:
    // The cells of one sheet of the selected name, and how its used range ended.
    struct SheetRead {
        SheetRead(bool isDate1904, const LibraryFormatter& formatter)
            : numbers(isDate1904, formatter)
        {
            cells.storeNumbersOfPending([this](std::uint32_t key) { return numbers.value(key); }, isDate1904);
        }
        SheetRead(const SheetRead&) = delete;
        SheetRead& operator=(const SheetRead&) = delete;
        SheetCells cells;
        NumberTexts numbers;
        std::optional<CellRange> range;
        bool isChart = false;   // a chart sheet
        bool hasChart = false;  // a worksheet holding a chart
    };

    const CodePage& codePage()
    {
        if (!codePageTable_ || codePageTable_->first != codePage_) {
            std::optional<CodePage> table = CodePage::make(codePage_);
            if (!table)
                decline();
            codePageTable_.emplace(codePage_, std::move(*table));
        }
        return codePageTable_->second;
    }

    static const CodePage& unicode()
    {
        static const CodePage page = *CodePage::make(1200);
        return page;
    }

    bool isBIFF8() const { return biff_ == 8; }

    // A string with a 16-bit length: BIFF8 strings with their option byte, BIFF5 ones in the
    // code page.
    std::string longString(FieldReader& fields, std::optional<std::uint16_t> count = {})
    {
        const std::size_t length = count ? *count : fields.word();
        if (!isBIFF8())
            return utf8(fields.codePageText(length, codePage()));
        if (length == 0 && !count) {
            fields.skip(1);
            return {};
        }
        const bool isWide = fields.byte() != 0;
        return utf8(fields.characters(length, isWide, codePage()));
    }

    void readRecord(const Record& record)
    {
        FieldReader fields(record);
        if (std::ranges::find(olderTypes, record.type) != std::end(olderTypes))
            decline();
        switch (record.type) {
        case recordType::beginOfFile:
            return beginSubstream(record, fields);
        case recordType::endOfFile:
            return endSubstream();
        case type::filePass:
            decline();
        default:
            break;
        }
        // Cell records outside any substream are parsed all the same, and fail the same way.
        if (depth_ == 0)
            return readCells(record, fields, false);
        switch (record.type) {
        case type::codePage:
            return setCodePage(fields.word());
        case type::boundSheet:
            return addSheet(fields);
        case type::date1904:
            if (record.body.size() != 2 || substreamCount_ > 1)
                decline();
            isDate1904_ = fields.word() == 1;
            return;
        case type::format: {
            const int id = fields.word();
            std::string text = isBIFF8() ? longString(fields) : shortFormatText(fields);
            formats_.load(id, std::move(text));
            cellFormats_.clear();
            return;
        }
        case type::cellStyle:
            if (record.body.size() < 4)
                decline();
            fields.skip(2);
            styleFormats_.push_back(fields.word());
            return;
        case type::sharedStrings:
            return readSharedStrings(fields);
        case type::dimensions:
            return readDimensions(record, fields);
        case type::object:
            return addObject(fields);
        case type::textObject:
            if (!lastObject_)
                decline();
            objectsWithText_[*lastObject_] = true;
            return;
        case type::note:
            return readNote(fields);
        default:
            return readCells(record, fields, true);
        }
    }

    // A BIFF5 FORMAT text: an 8-bit length, then bytes the library reads one by one.
    std::string shortFormatText(FieldReader& fields)
    {
        const std::size_t length = fields.byte();
        if (length == 0)
            return {};
        return utf8(fields.characters(length, false, codePage()));
    }

    // The first substream says BIFF8 or BIFF5; the library takes a later one's version only while
    // it reads BIFF8, and fails on versions it does not know when their record is long.
    void checkVersion(std::uint16_t version, std::size_t size)
    {
        const bool isKnown = version == 0x0600 || version == 0x0500 || version == 0x0400 || version == 0x0300 ||
                             version == 0x0200 || version == 0x0002 || version == 0x0007;
        if (!isKnown && size > 8)
            decline();
        if (!hasVersion_) {
            if (version != 0x0600 && version != 0x0500)
                decline();
            hasVersion_ = true;
            biff_ = version == 0x0500 ? 5 : 8;
            return;
        }
        if (version == 0 || (isBIFF8() && isKnown && version != 0x0600))
            decline();
    }

    void beginSubstream(const Record& record, FieldReader& fields)
    {
        const std::uint16_t version = fields.word();
        const std::uint16_t kind = record.body.size() >= 4 ? fields.word() : 0;
        checkVersion(version, record.body.size());
        if (depth_++ > 0) {
            if (current_ && kind == chartSheetKind)
                current_->hasChart = true;
            return;
        }
        ++substreamCount_;
        if (!isBIFF8() && !hasCodePage_) {
            hasCodePage_ = true;
            codePage_ = 1252;
        }
        const auto sheet = sheets_.find(record.offset);
        const bool isSheet = sheet != sheets_.end();
        if (isSheet && !selected_)
            selected_ = request_.sheet.value_or(sheets_.begin()->second.name);
        isChart_ = kind == chartSheetKind;
        isCollecting_ = isSheet && sheet->second.name == selected_ && !tooLarge_;
        if (isCollecting_) {
            current_ = std::make_unique<SheetRead>(isDate1904_, formatter_);
            current_->isChart = isChart_;
        }
        positions_.clear();
        positionSet_.reset();
        objects_.clear();
    }

    void endSubstream()
    {
        if (depth_ == 0)
            return;
        if (--depth_ > 0)
            return;
        if (isCollecting_ && current_) {
            if (range_ && range_->endRow > 0 && range_->endColumn > 0) {
                if (range_->firstRow > range_->endRow - 1 || range_->firstColumn > range_->endColumn - 1 ||
                    range_->firstRow < 0 || range_->firstColumn < 0 || range_->endRow - 1 > 0xFFFFFFFF ||
                    range_->endColumn - 1 > 0xFFFFFFFF)
                    decline();
                current_->range = CellRange{
                    static_cast<std::uint32_t>(range_->firstRow), static_cast<std::uint32_t>(range_->firstColumn),
                    static_cast<std::uint32_t>(range_->endRow - 1), static_cast<std::uint32_t>(range_->endColumn - 1)};
            }
            finished_ = std::move(current_);
        }
        isCollecting_ = false;
    }

    void setCodePage(std::uint16_t number)
    {
        switch (number) {
        case 0x5212:
            codePage_ = 1200;
            break;
        case 0x8000:
            codePage_ = 10000;
            break;
        case 0x8001:
            codePage_ = 1252;
            break;
        default:
            codePage_ = number;
        }
        hasCodePage_ = true;
    }

    void addSheet(FieldReader& fields)
    {
        if (substreamCount_ > 1)
            decline();
        const std::uint32_t position = fields.doubleWord();
        const bool isHidden = (fields.byte() & 0x03) != 0;  // 1 hidden, 2 very hidden
        fields.skip(1);
        const std::size_t length = fields.byte();
        std::string name;
        if (isBIFF8()) {
            const bool isWide = fields.byte() != 0;
            name = utf8(fields.characters(length, isWide, unicode()));
        } else if (length > 0) {
            name = utf8(fields.codePageText(length, codePage()));
        }
        sheets_[position] = {name.empty() ? "Sheet1" : name, isHidden};
        hasSheetList_ = true;
    }

    void readSharedStrings(FieldReader& fields)
    {
        strings_.clear();
        fields.skip(4);
        const std::uint32_t unique = fields.doubleWord();
        const std::size_t end = fields.position() + fields.remaining();
        for (std::uint32_t index = 0; index != unique && fields.position() < end; ++index) {
            const std::size_t length = fields.word();
            const std::uint8_t options = fields.byte();
            const std::size_t runs = (options & 0x08) ? fields.word() : 0;
            const std::size_t extra = (options & 0x04) ? fields.doubleWord() : 0;
            const std::u16string text =
                length == 0 ? std::u16string() : fields.characters(length, (options & 0x01) != 0, unicode());
            fields.skip(4 * runs + extra);
            std::optional<std::string> decoded = text::decodeUTF16(text);
            strings_.push_back(std::move(decoded));
        }
    }

    void readDimensions(const Record& record, FieldReader& fields)
    {
        if (record.body.size() < (isBIFF8() ? 12u : 8u))
            decline();
        LibraryRange range;
        range.firstRow = isBIFF8() ? fields.doubleWord() : fields.word();
        range.endRow = isBIFF8() ? fields.doubleWord() : fields.word();
        range.firstColumn = fields.word();
        range.endColumn = fields.word();
        if (depth_ == 1)
            range_ = range;
    }

    void addObject(FieldReader& fields)
    {
        fields.skip(6);
        const std::uint16_t id = fields.word();
        objectsWithText_.push_back(false);
        lastObject_ = objectsWithText_.size() - 1;
        objects_[id] = *lastObject_;
    }

    // A comment: where the cell it belongs to has no value, the library adds an empty cell and
    // widens the range by its own rule.
    void readNote(FieldReader& fields)
    {
        if (!isBIFF8())
            return;
        const std::uint16_t row = fields.word();
        const std::uint16_t column = fields.word();
        fields.skip(2);
        const std::uint16_t object = fields.word();
        const auto found = objects_.find(object);
        if (found == objects_.end() || !objectsWithText_[found->second])
            decline();
        if (hasCell(row, column))
            return;
        if (!range_)
            decline();
        range_->endRow = std::max<std::int64_t>(range_->endRow, row);
        range_->firstRow = std::min<std::int64_t>(range_->firstRow, row);
        range_->endColumn = std::max<std::int64_t>(range_->endColumn, column);
        range_->firstColumn = std::min<std::int64_t>(range_->firstColumn, column);
        notePosition(row, column);
        if (isCollecting_ && current_)
            guarded([&] { current_->cells.add(row, column, ""); });
    }

    // Cells are looked up only for comments and chart sheets: their places are kept in a list
    // until the first lookup, and in a set from then on.
    bool hasCell(std::uint32_t row, std::uint32_t column)
    {
        if (!positionSet_) {
            positionSet_.emplace(positions_.begin(), positions_.end());
            positions_.clear();
        }
        return positionSet_->contains(positionKey(row, column));
    }

    void notePosition(std::uint32_t row, std::uint32_t column)
    {
        if (positionSet_)
            positionSet_->insert(positionKey(row, column));
        else
            positions_.push_back(positionKey(row, column));
    }

    void readCells(const Record& record, FieldReader& fields, bool isInSheet)
    {
        switch (record.type) {
        case type::number: {
            Cell cell = readCell(fields);
            const double value = fields.number();
            // In a chart sheet the library moves a number onto the next column when its place is taken.
            if (isInSheet && isChart_ && depth_ == 1 && hasCell(cell.row, cell.column))
                ++cell.column;
            return addCell(isInSheet, cell, Value::ofNumber(value));
        }
        case type::rk: {
            const Cell cell = readCell(fields);
            return addCell(isInSheet, cell, Value::ofNumber(rkNumber(fields)));
        }
        case type::mulRK:
            return readMultiple(record, fields, 6,
                                [&](const Cell& cell) { addCell(isInSheet, cell, Value::ofNumber(rkNumber(fields))); });
        case type::mulBlank:
            return readMultiple(record, fields, 2, [&](const Cell&) { fields.skip(2); });
        case type::labelSST: {
            const Cell cell = readCell(fields);
            const std::uint32_t index = fields.doubleWord();
            if (!isInSheet)
                return;
            if (index >= strings_.size() || !strings_[index])
                decline();
            return addCell(isInSheet, cell, Value::ofText(*strings_[index]));
        }
        case type::label: {
            const Cell cell = readCell(fields);
            return addCell(isInSheet, cell, Value::ofText(longString(fields)));
        }
        case type::richString: {
            const Cell cell = readCell(fields);
            const std::uint16_t length = fields.word();
            return addCell(isInSheet, cell, Value::ofText(longString(fields, length)));
        }
        case type::boolErr: {
            const Cell cell = readCell(fields);
            // LibreOffice pads the record with a ninth byte; the library then reads the value
            // from the error flag, every Boolean as FALSE and every error as TRUE.
            const std::uint8_t value = fields.byte();
            if (fields.byte() == 1)
                return addCell(isInSheet, cell, Value::ofError(value));
            return addCell(isInSheet, cell, Value::ofBoolean(value == 1));
        }
        case type::formula:
            return readFormula(record, fields, isInSheet);
        case type::string: {
            std::string text = longString(fields);
            if (!isInSheet)
                return;
            if (!lastFormula_)
                decline();
            const Cell cell = *lastFormula_;
            lastFormula_.reset();
            return addCell(isInSheet, cell, Value::ofText(std::move(text)));
        }
        default:
            return;
        }
    }

    static Cell readCell(FieldReader& fields)
    {
        const std::uint16_t row = fields.word();
        const std::uint16_t column = fields.word();
        return {row, column, fields.word()};
    }

    static double rkNumber(FieldReader& fields)
    {
        const std::uint32_t bits = fields.doubleWord();
        double value = 0;
        if (bits & 0x02)
            value = static_cast<double>(static_cast<std::int32_t>(bits) >> 2);
        else
            value = std::bit_cast<double>(std::uint64_t(bits & 0xFFFFFFFC) << 32);
        return (bits & 0x01) ? value / 100 : value;
    }

    // MULRK and MULBLANK: a row, a first column, entries of `width` bytes, the last column.
    template<typename ReadEntry>
    void readMultiple(const Record& record, FieldReader& fields, std::size_t width, ReadEntry readEntry)
    {
        const std::size_t size = record.body.size();
        if (size < 6 || (size - 6) % width != 0)
            decline();
        const std::uint16_t row = fields.word();
        const std::uint16_t first = fields.word();
        FieldReader last(record);
        last.moveTo(size - 2);
        const std::uint16_t lastColumn = last.word();
        const std::size_t count = (size - 6) / width;
        if (lastColumn < first || count != std::size_t(lastColumn - first + 1))
            decline();
        for (std::size_t index = 0; index < count; ++index) {
            const std::uint16_t style = width == 6 ? fields.word() : 0;
            readEntry(Cell{row, static_cast<std::uint32_t>(first + index), style});
        }
    }

    void readFormula(const Record& record, FieldReader& fields, bool isInSheet)
    {
        // The library goes on to parse the formula's expression; a body too short for its
        // length leaves it reading nothing it can trust.
        if (record.body.size() < 22)
            decline();
        const Cell cell = readCell(fields);
        FieldReader marker(record);
        marker.moveTo(12);
        const bool isNumber = marker.word() != 0xFFFF;
        Value value;
        if (isNumber) {
            value = Value::ofNumber(fields.number());
        } else {
            const std::uint8_t kind = fields.byte();
            fields.skip(1);
            const std::uint8_t data = fields.byte();
            switch (kind) {
            case 0x00:
                if (isInSheet)
                    lastFormula_ = cell;
                return;
            case 0x01:
                value = Value::ofBoolean(data == 1);
                break;
            case 0x02:
                value = Value::ofError(data);
                break;
            case 0x03:
                value = Value::ofText({});
                break;
            default:
                break;
            }
        }
        addCell(isInSheet, cell, std::move(value));
        if (isInSheet)
            lastFormula_ = cell;
    }

    const CellFormat& formatOf(std::uint16_t style)
    {
        const int id = style < styleFormats_.size() ? styleFormats_[style] : 0;
        if (const auto found = cellFormats_.find(id); found != cellFormats_.end())
            return *found->second;
        CellFormat& format = formatStore_.emplace_back();
        format.id = id;
        format.text = std::string(id == 0 ? std::string_view("General") : formats_.formattingText(id));
        const std::optional<std::string_view> own = formats_.text(id);
        format.isDate = id != 0 && own && isDateFormat(*own);
        format.format = NumberFormat::parse(format.text);
        cellFormats_[id] = &format;
        return format;
    }

    void addCell(bool isInSheet, const Cell& cell, Value value)
    {
        if (!isInSheet || depth_ != 1)
            return;
        if (!range_)
            range_ = LibraryRange{};
        range_->firstRow = std::min<std::int64_t>(range_->firstRow, cell.row);
        range_->firstColumn = std::min<std::int64_t>(range_->firstColumn, cell.column);
        range_->endRow = std::max<std::int64_t>(range_->endRow, std::int64_t(cell.row) + 1);
        range_->endColumn = std::max<std::int64_t>(range_->endColumn, std::int64_t(cell.column) + 1);
        notePosition(cell.row, cell.column);
        if (!isCollecting_ || !current_)
            return;
        const CellFormat& format = formatOf(cell.style);
        if (value.kind == Value::Kind::number) {
            // Date fields of a format the date rule misses count from 1904 in the library.
            if (isDate1904_ && format.id != 0 && !format.isDate && isDateFormat(format.text))
                decline();
            const std::uint32_t key = current_->numbers.add(value.number, format);
            guarded([&] { current_->cells.addPending(cell.row, cell.column, key); });
            return;
        }
        const std::string text = displayText(format, std::move(value));
        guarded([&] { current_->cells.add(cell.row, cell.column, text); });
    }

    static std::string displayText(const CellFormat& format, Value value)
    {
        switch (value.kind) {
        case Value::Kind::error:
            return errorText(value.error);
        case Value::Kind::nothing:
            if (format.id != 0)
                decline();
            return {};
        case Value::Kind::boolean:
            if (format.id == 0)
                return value.boolean ? "TRUE" : "FALSE";
            return formatted(format, value.boolean);
        default:
            if (format.id == 0)
                return std::move(value.text);
            return formatted(format, std::move(value.text));
        }
    }

    static std::string formatted(const CellFormat& format, CellValue value)
    {
        if (!format.format)
            decline();
        std::optional<std::string> text = format.format->format(value);
        if (!text)
            decline();
        return std::move(*text);
    }

    // A sheet past the limits is reported once the whole stream has been read: the library
    // checks its size only after reading every record.
    template<typename Add> void guarded(Add add)
    {
        try {
            add();
        } catch (const ImportError& error) {
            if (error.kind() != ImportError::Kind::worksheetTooLarge)
                throw;
            tooLarge_ = error;
            isCollecting_ = false;
            current_.reset();
            finished_.reset();
        }
    }

    RecordStream records_;
    const NativeRequest& request_;
    const LibraryFormatter& formatter_;
    std::stop_token stop_;

    bool hasVersion_ = false;
    int biff_ = 8;
    std::size_t depth_ = 0;
    int codePage_ = 1200;
    bool hasCodePage_ = false;
    std::optional<std::pair<int, CodePage>> codePageTable_;
    bool isDate1904_ = false;
    std::map<std::uint32_t, SheetEntry> sheets_;  // by the position of their substream
    bool hasSheetList_ = false;
    std::size_t substreamCount_ = 0;
    std::optional<std::string> selected_;
    std::vector<std::optional<std::string>> strings_;
    std::vector<int> styleFormats_;
    FormatTable formats_;
    std::deque<CellFormat> formatStore_;
    std::unordered_map<int, const CellFormat*> cellFormats_;
    std::optional<LibraryRange> range_;
    std::vector<std::uint64_t> positions_;
    std::optional<std::unordered_set<std::uint64_t>> positionSet_;
    std::unordered_map<std::uint16_t, std::size_t> objects_;
    std::vector<bool> objectsWithText_;
    std::optional<std::size_t> lastObject_;
    std::optional<Cell> lastFormula_;
    bool isChart_ = false;
    bool isCollecting_ = false;
    std::optional<ImportError> tooLarge_;
    std::unique_ptr<SheetRead> current_;
    std::unique_ptr<SheetRead> finished_;
};

}  // namespace

WorkbookPayload readXLS(const CompoundFile& file, const NativeRequest& request, const LibraryFormatter& formatter,
                        std::stop_token stop)
{
    // An encrypted workbook, or another kind of document in the same container.
    if (file.findTopLevel("encryption") || file.contains("EncryptedPackage"))
        decline();
    const CompoundEntry* entry = file.findTopLevel("Workbook");
    if (!entry)
        entry = file.findTopLevel("Book");
    if (!entry || !entry->isStream() || entry->size == 0)
        decline();
    const std::string stream = file.read(*entry);
    WorkbookStream workbook(stream, request, formatter, std::move(stop));
    return workbook.read();
}

}  // namespace rowlark::workbook
