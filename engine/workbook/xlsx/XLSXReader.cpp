#include <algorithm>
#include <charconv>
#include <cstring>
#include <future>
#include <map>
#include <memory>
#include <unordered_map>

#include "engine/workbook/ImportError.h"
#include "engine/workbook/NativeReader.h"
#include "engine/workbook/NumberTexts.h"
#include "engine/workbook/SheetCells.h"
#include "engine/workbook/container/XMLScan.h"
#include "engine/workbook/format/NumberFormat.h"
#include "engine/workbook/xlsx/XLSXParts.h"

// XLSX read the way the spreadsheet-reader library reads it: the content types name the
// workbook, shared strings and styles; the workbook lists the sheets and their relationships;
// the selected sheet's rows are cut at their closing tags and its cells at their opening tags,
// as the library's patterns cut them. Whatever the library would read in a way this reader does
// not follow is declined.

namespace rowlark::workbook {
namespace {

constexpr std::size_t cellsBetweenStopChecks = 4096;

class CellFormats {
public:
    CellFormats(const Styles& styles, bool isDate1904)
        : styles_(styles)
        , isDate1904_(isDate1904)
    {
    }

    const CellFormat& forStyle(std::optional<std::string_view> style)
    {
        int id = 0;
        if (style && !style->empty()) {
            const int index = wholeNumber(*style);
            if (index >= 0 && static_cast<std::size_t>(index) < styles_.formatIds.size())
                id = styles_.formatIds[static_cast<std::size_t>(index)];
        }
        auto found = formats_.find(id);
        if (found == formats_.end())
            found = formats_.emplace(id, describe(id)).first;
        return found->second;
    }

    bool isDate1904() const { return isDate1904_; }

private:
    CellFormat describe(int id) const
    {
        if (id == notANumberFormatId) {
            CellFormat format;
            format.id = id;
            format.text = "General";
            format.format = NumberFormat::parse(format.text);
            return format;
        }
        CellFormat format;
        format.id = id;
        if (const auto text = styles_.texts.find(id); text != styles_.texts.end()) {
            format.text = text->second;
            format.isDate = isDateFormat(format.text);
        } else {
            // The library loads the text of such an id at its first cell, after taking the
            // cell's format, so that cell escapes the date rule and the later ones do not:
            // only ids whose text is no date read the same throughout.
            format.text = std::string(builtInNumberFormat(id).value_or("General"));
            if (isDateFormat(format.text))
                decline();
        }
        format.format = NumberFormat::parse(id == 0 ? std::string_view("General") : std::string_view(format.text));
        return format;
    }

    const Styles& styles_;
    bool isDate1904_;
    std::unordered_map<int, CellFormat> formats_;
};

// The attributes of a cell's tag that decide its place, kind and style.
struct CellTag {
    std::optional<std::string_view> reference;
    std::optional<std::string_view> type;
    std::optional<std::string_view> style;
};

CellTag cellTag(std::string_view tag)
{
    CellTag cell;
    std::size_t position = firstAttributePosition(tag);
    while (const std::optional<Attribute> attribute = nextAttribute(tag, position)) {
        if (isAttributeKey(attribute->name, "r"))
            cell.reference = attribute->value;
        else if (isAttributeKey(attribute->name, "t"))
            cell.type = attribute->value;
        else if (isAttributeKey(attribute->name, "s"))
            cell.style = attribute->value;
    }
    return cell;
}

// A number as parseFloat reads the whole text; declined when it would read only a part of it.
double numberValue(std::string_view text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        decline();
    return value;
}

// The content of the first <name ...>...</name> element (any prefix) in `text`, as the library's
// tag pattern finds it.
std::optional<std::string_view> elementContent(std::string_view text, std::string_view name)
{
    std::size_t position = 0;
    while ((position = text.find('<', position)) != std::string_view::npos) {
        const std::size_t after = afterOpeningName(text, position, name);
        if (after == std::string_view::npos || after >= text.size() || isWordCharacter(text[after])) {
            ++position;
            continue;
        }
        const std::size_t open = text.find('>', after);
        if (open == std::string_view::npos)
            return std::nullopt;
        std::size_t close = open;
        while ((close = text.find("</", close)) != std::string_view::npos) {
            const std::size_t end = afterOpeningName(text.substr(close + 1), 0, name);
            if (end != std::string_view::npos && close + 1 + end < text.size() && text[close + 1 + end] == '>')
                return text.substr(open + 1, close - open - 1);
            close += 2;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

// The cells of the selected sheet, read from its XML as it inflates. Rows end at their closing
// tags and are read as soon as one is complete.
class SheetReader {
public:
    // With `isStreamed`, the cells go straight into the rows of the payload where SheetCells can
    // take them so.
    SheetReader(SheetCells& cells, CellFormats& formats, NumberTexts& numbers,
                const std::vector<std::optional<std::string>>& strings, bool isStreamed, std::stop_token stop)
        : cells_(cells)
        , formats_(formats)
        , numbers_(numbers)
        , strings_(strings)
        , isStreamed_(isStreamed)
        , stop_(stop)
    {
    }

    void feed(std::string_view chunk)
    {
        if (stop_.stop_requested())
            throw ImportCancelled();
        if (isEmpty_)
            return;
        buffer_.append(chunk);
        if (!isInSheetData_ && !enterSheetData())
            return;
        std::size_t consumed = 0;
        while (true) {
            const std::optional<std::pair<std::size_t, std::size_t>> end = rowEnd(consumed);
            if (!end)
                break;
            readRow(std::string_view(buffer_).substr(consumed, end->first - consumed));
            consumed = end->second;
        }
        buffer_.erase(0, consumed);
    }

    // The rows after the last complete one, and the range the reader guessed.
    void finish()
    {
        if (isEmpty_)
            return;
        if (!isInSheetData_)
            decline();
        const std::size_t close = buffer_.find("</sheetData>");
        if (close == std::string::npos || buffer_.find("sheetData>", close + 12) != std::string::npos)
            decline();
        readRow(std::string_view(buffer_).substr(0, close));
        if (guessedRows_ && guessedColumns_)
            cells_.guessRange(
                {guessedRows_->first, guessedColumns_->first, guessedRows_->second, guessedColumns_->second});
    }

private:
    using Span = std::pair<std::uint32_t, std::uint32_t>;

    bool enterSheetData()
    {
        const std::size_t open = buffer_.find("<sheetData");
        if (open == std::string::npos) {
            if (buffer_.find(":sheetData") != std::string::npos)
                decline();
            return false;
        }
        const std::size_t end = buffer_.find('>', open);
        if (end == std::string::npos)
            return false;
        readDimension(std::string_view(buffer_).substr(0, open));
        if (isStreamed_)
            cells_.streamRows();
        if (buffer_[end - 1] == '/') {
            // An empty sheet: only its declared range counts.
            isEmpty_ = true;
            buffer_.clear();
            return false;
        }
        buffer_.erase(0, end + 1);
        isInSheetData_ = true;
        return true;
    }

    // The library takes the first quoted text with a colon within 50 characters of "dimension".
    void readDimension(std::string_view head)
    {
        const std::size_t at = head.find("dimension");
        if (at == std::string_view::npos)
            return;
        const std::string_view near = head.substr(at, 50);
        std::size_t quote = 0;
        while ((quote = near.find('"', quote)) != std::string_view::npos) {
            const std::size_t closing = near.find('"', quote + 1);
            if (closing == std::string_view::npos)
                return;
            const std::string_view reference = near.substr(quote + 1, closing - quote - 1);
            const std::size_t colon = reference.find(':');
            if (colon != std::string_view::npos) {
                const std::optional<CellAddress> first = parseCellAddress(reference.substr(0, colon));
                const std::optional<CellAddress> last = parseCellAddress(reference.substr(colon + 1));
                if (!first || !last)
                    decline();
                if (first->row <= last->row && first->column <= last->column)
                    cells_.declareRange({first->row, first->column, last->row, last->column});
                return;
            }
            quote = closing + 1;
        }
    }

    // Where the next "</row>" (any prefix) from `from` starts, and where the text after it
    // starts.
    std::optional<std::pair<std::size_t, std::size_t>> rowEnd(std::size_t from) const
    {
        for (std::size_t name = nextRowName(from); name != std::string::npos; name = nextRowName(name + 4)) {
            std::size_t start = name;
            if (start > from && buffer_[start - 1] == ':') {
                --start;
                while (start > from && isWordCharacter(buffer_[start - 1]))
                    --start;
                if (start == name - 1)
                    continue;
            }
            if (start >= from + 2 && buffer_[start - 2] == '<' && buffer_[start - 1] == '/')
                return std::make_pair(start - 2, name + 4);
        }
        return std::nullopt;
    }

    // Where the next "row>" from `from` starts. Found by its "w>", which is rare in a sheet's XML,
    // where the "r" of every cell's reference would stop a search for the whole name.
    std::size_t nextRowName(std::size_t from) const
    {
        for (std::size_t end = buffer_.find("w>", from + 2); end != std::string::npos;
             end = buffer_.find("w>", end + 2)) {
            if (buffer_[end - 2] == 'r' && buffer_[end - 1] == 'o')
                return end - 2;
        }
        return std::string::npos;
    }

    static std::string_view trimmed(std::string_view text)
    {
        const auto isBlank = [](char character) {
            return character == ' ' || character == '\t' || character == '\n' || character == '\r';
        };
        while (!text.empty() && isBlank(text.front()))
            text.remove_prefix(1);
        while (!text.empty() && isBlank(text.back()))
            text.remove_suffix(1);
        return text;
    }

    void readRow(std::string_view text)
    {
        text = trimmed(text);
        if (text.empty())
            return;
        // The row's tag is the first one that does not close itself.
        std::size_t tagStart = 0;
        std::size_t tagEnd = std::string_view::npos;
        for (std::size_t index = 0; index < text.size(); ++index) {
            if (text[index] == '<') {
                tagStart = index;
            } else if (text[index] == '>' && (index == 0 || text[index - 1] != '/')) {
                tagEnd = index + 1;
                break;
            }
        }
        if (tagEnd == std::string_view::npos) {
            // Only rows that close themselves: the library takes the last one for the row.
            tagStart = text.rfind('<');
            tagEnd = text.size();
            if (tagStart == std::string_view::npos)
                decline();
        }
        const std::string_view rowTag = text.substr(tagStart, tagEnd - tagStart);
        if (tagName(rowTag) != "<row")
            decline();
        const std::optional<std::string_view> number = attribute(rowTag, "r");
        rowNumber_ = number ? wholeNumber(*number) : rowNumber_ + 1;
        if (rowNumber_ < 1)
            decline();
        const auto row = static_cast<std::uint32_t>(rowNumber_ - 1);
        guessedRows_ = guessedRows_ ? Span{std::min(guessedRows_->first, row), std::max(guessedRows_->second, row)}
                                    : Span{row, std::max<std::uint32_t>(row, 0)};
        column_ = -1;
        readCells(row, text.substr(tagEnd));
    }

    // Cells start at "<c" (any prefix) followed by a space, a slash or ">".
    static std::size_t nextCellStart(std::string_view text, std::size_t from)
    {
        std::size_t position = from;
        while ((position = text.find('<', position)) != std::string_view::npos) {
            const std::size_t after = afterOpeningName(text, position, "c");
            if (after != std::string_view::npos && after < text.size() &&
                (text[after] == ' ' || text[after] == '/' || text[after] == '>'))
                return position;
            ++position;
        }
        return std::string_view::npos;
    }

    void readCells(std::uint32_t row, std::string_view text)
    {
        std::size_t start = nextCellStart(text, 0);
        if (start == std::string_view::npos)
            return;
        if (!trimmed(text.substr(0, start)).empty() && trimmed(text.substr(0, start)).front() != '<')
            decline();
        while (start != std::string_view::npos) {
            const std::size_t next = nextCellStart(text, start + 1);
            readCell(row, text.substr(start, next == std::string_view::npos ? text.size() - start : next - start));
            if (++cellsSinceStopCheck_ == cellsBetweenStopChecks) {
                cellsSinceStopCheck_ = 0;
                if (stop_.stop_requested())
                    throw ImportCancelled();
            }
            start = next;
        }
    }

    void readCell(std::uint32_t row, std::string_view cell)
    {
        const std::size_t tagEnd = cell.find('>');
        if (tagEnd == std::string_view::npos)
            decline();
        const std::string_view tag = cell.substr(0, tagEnd + 1);
        const std::string_view body = cell[tagEnd - 1] == '/' ? std::string_view() : cell.substr(tagEnd + 1);
        if (const std::size_t reference = tag.find("r=");
            reference != std::string_view::npos && cell.find("r=") != reference)
            decline();
        const CellTag attributes = cellTag(tag);
        if (const std::optional<std::string_view> reference = attributes.reference) {
            const std::optional<CellAddress> address = parseCellAddress(*reference);
            if (!address || address->row != row)
                decline();
            column_ = address->column;
        } else {
            ++column_;
        }
        const auto column = static_cast<std::uint32_t>(column_);

        const std::optional<std::string_view>& type = attributes.type;
        const std::optional<std::string_view> rawValue = elementContent(body, "v");
        const std::optional<std::string_view> value =
            rawValue && !rawValue->empty() ? rawValue : std::optional<std::string_view>();
        bool isZeroFormula = false;
        if (!type && !value) {
            if (!hasFormula(body))
                return;
            isZeroFormula = true;
        }
        noteColumn(column);
        if (isZeroFormula) {
            addNumber(row, column, 0, attributes.style);
            return;
        }
        const std::string_view kind = type.value_or("n");
        if (kind == "n") {
            if (value)
                addNumber(row, column, numberValue(plainValue(*value)), attributes.style);
        } else if (kind == "s") {
            if (value)
                addText(row, column, sharedString(plainValue(*value)), attributes.style);
        } else if (kind == "str") {
            addText(row, column, value ? plainText(*value) : std::string(), attributes.style);
        } else if (kind == "inlineStr") {
            addText(row, column, inlineText(body), attributes.style);
        } else if (kind == "b") {
            addBoolean(row, column, value && isTrueFlag(unescaped(*value)), attributes.style);
        } else if (kind == "e") {
            if (!value)
                decline();
            cells_.add(row, column, unescaped(*value));
        } else {
            decline();
        }
    }

    // The value unescaped; most values need no decoding and are taken as they are.
    std::string_view plainValue(std::string_view raw)
    {
        if (isPlainText(raw))
            return raw;
        unescapedValue_ = unescaped(raw);
        return unescapedValue_;
    }

    static bool hasFormula(std::string_view body)
    {
        if (body.find("t=\"array\"") != std::string_view::npos || body.find("<f/>") != std::string_view::npos)
            decline();
        const std::optional<std::string_view> formula = elementContent(body, "f");
        if (formula)
            return !formula->empty();
        if (body.find("<f") != std::string_view::npos || body.find(":f") != std::string_view::npos)
            decline();
        return false;
    }

    void noteColumn(std::uint32_t column)
    {
        guessedColumns_ =
            guessedColumns_ ? Span{std::min(guessedColumns_->first, column), std::max(guessedColumns_->second, column)}
                            : Span{column, column};
    }

    const std::string& sharedString(std::string_view index) const
    {
        const int position = wholeNumber(index);
        if (static_cast<std::size_t>(position) >= strings_.size() || !strings_[static_cast<std::size_t>(position)])
            decline();
        return *strings_[static_cast<std::size_t>(position)];
    }

    // A formula's text result: escapes that stand for bytes of other UTF-8 would be decoded twice
    // by the library, so only the plain cases are read here.
    static std::string plainText(std::string_view raw)
    {
        if (raw.find("&#") != std::string_view::npos || raw.find("_x") != std::string_view::npos ||
            raw.find("_X") != std::string_view::npos)
            decline();
        return unescaped(raw);
    }

    static std::string inlineText(std::string_view body)
    {
        const std::optional<std::string_view> item = elementContent(body, "is");
        if (!item)
            return {};
        std::optional<std::string> text = sharedStringText(*item);
        if (!text)
            decline();
        return std::move(*text);
    }

    void addNumber(std::uint32_t row, std::uint32_t column, double value, std::optional<std::string_view> style)
    {
        const CellFormat& format = formats_.forStyle(style);
        if (!cells_.isStreaming()) {
            cells_.addPending(row, column, numbers_.add(value, format));
            return;
        }
        // The library formats what the native formatter declines, all such numbers at once.
        const std::optional<std::string> text = nativeNumberText(value, format, formats_.isDate1904());
        if (!text)
            throw SheetCells::RowsNotStreamable();
        cells_.addNumber(row, column, *text, value);
    }

    void addText(std::uint32_t row, std::uint32_t column, const std::string& text,
                 std::optional<std::string_view> style)
    {
        const CellFormat& format = formats_.forStyle(style);
        cells_.add(row, column, format.id == 0 ? text : formatted(format, CellValue(text)));
    }

    void addBoolean(std::uint32_t row, std::uint32_t column, bool value, std::optional<std::string_view> style)
    {
        const CellFormat& format = formats_.forStyle(style);
        cells_.add(row, column, format.id == 0 ? std::string(value ? "TRUE" : "FALSE") : formatted(format, value));
    }

    static std::string formatted(const CellFormat& format, const CellValue& value)
    {
        if (!format.format)
            decline();
        std::optional<std::string> text = format.format->format(value);
        if (!text)
            decline();
        return std::move(*text);
    }

    SheetCells& cells_;
    CellFormats& formats_;
    NumberTexts& numbers_;
    const std::vector<std::optional<std::string>>& strings_;
    bool isStreamed_;
    std::stop_token stop_;
    std::string buffer_;
    std::string unescapedValue_;
    bool isInSheetData_ = false;
    bool isEmpty_ = false;
    int rowNumber_ = 0;
    std::int64_t column_ = -1;
    std::optional<Span> guessedRows_;
    std::optional<Span> guessedColumns_;
    std::size_t cellsSinceStopCheck_ = 0;
};

}  // namespace

WorkbookPayload readXLSX(ZIPArchive& archive, const NativeRequest& request, const LibraryFormatter& formatter,
                         std::stop_token stop)
{
    const ContentParts parts = contentParts(archive);
    const std::string workbookPath = withoutFrontSlash(parts.workbook);
    const WorkbookListing listing = workbookListing(readPart(archive, workbookPath));
    std::vector<SheetEntry> entries = sheetEntries(listing.sheets);
    if (request.isNamesOnly) {
        WorkbookPayload payload;
        payload.sheets = std::move(entries);
        return payload;
    }
    const std::vector<std::optional<std::string>> strings =
        parts.sharedStrings.empty() ? std::vector<std::optional<std::string>>()
                                    : sharedStrings(readPart(archive, withoutFrontSlash(parts.sharedStrings)));
    const Styles sheetStyles =
        parts.styles.empty() ? Styles{} : styles(readPart(archive, withoutFrontSlash(parts.styles)));

    std::string relationsPath = relationshipsPath(workbookPath);
    if (!archive.find(relationsPath))
        relationsPath = "xl/_rels/workbook.xml.rels";
    const std::map<std::string, Relationship> workbookRelations =
        relationships(readOptionalPart(archive, relationsPath).value_or(""));
    const SheetListing& sheet = selectedSheet(listing.sheets, request.sheet);
    const auto relation = workbookRelations.find(sheet.relationId);
    if (relation != workbookRelations.end() && relation->second.type.ends_with("/chartsheet"))
        throw ImportError::chartSheet();
    if (relation == workbookRelations.end() || !isOneOf(relation->second.type, worksheetRelationships))
        decline();
    const std::string path = sheetPath(archive, relation->second.target, relationsPath);
    const std::map<std::string, Relationship> sheetRelations =
        relationships(readOptionalPart(archive, relationshipsPath(path)).value_or(""));
    const ZIPEntry* sheetEntry = archive.find(path);
    if (!sheetEntry)
        decline();

    const auto readCells = [&](bool isStreamed) {
        SheetCells cells;
        CellFormats formats(sheetStyles, listing.isDate1904);
        NumberTexts numbers(listing.isDate1904, formatter);
        cells.storeNumbersOfPending([&numbers](std::uint32_t key) { return numbers.value(key); }, listing.isDate1904);
        SheetReader reader(cells, formats, numbers, strings, isStreamed, stop);
        archive.read(*sheetEntry, [&reader](std::string_view chunk) { reader.feed(chunk); });
        reader.finish();
        cells.addCommentedCells(commentedCells(archive, sheetRelations, path));
        const bool isChart = hasChart(archive, sheetRelations, path);
        archive.checkUnreadEntries();

        numbers.formatAll();
        WorkbookPayload payload =
            std::move(cells).payload(entries, stop, [&numbers](std::uint32_t key) { return numbers.text(key); });
        // A sheet that holds a chart and no cells is a chart sheet.
        if (payload.rowCount == 0 && isChart)
            throw ImportError::chartSheet();
        return payload;
    };
    // Most sheets stream; the others are read again cell by cell.
    try {
        return readCells(true);
    } catch (const SheetCells::RowsNotStreamable&) {
        return readCells(false);
    }
}

}  // namespace rowlark::workbook
