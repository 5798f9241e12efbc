#include <algorithm>
#include <charconv>
#include <cstring>
#include <future>
#include <map>
#include <memory>
#include <unordered_map>

#include "workbook/ImportError.h"
#include "workbook/NativeReader.h"
#include "workbook/NumberFormat.h"
#include "workbook/SheetCells.h"
#include "workbook/XmlScan.h"

// XLSX read the way the spreadsheet-reader library reads it: the content types name the
// workbook, shared strings and styles; the workbook lists the sheets and their relationships;
// the selected sheet's rows are cut at their closing tags and its cells at their opening tags,
// as the library's patterns cut them. Whatever the library would read in a way this reader does
// not follow is declined.

namespace rowlark::workbook {
namespace {

constexpr std::string_view contentTypesNamespace = "http://schemas.openxmlformats.org/package/2006/content-types";
constexpr std::string_view workbookContentTypes[] = {
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
    "application/vnd.ms-excel.sheet.macroEnabled.main+xml",
    "application/vnd.ms-excel.sheet.binary.macroEnabled.main",
    "application/vnd.ms-excel.addin.macroEnabled.main+xml",
    "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml",
};
constexpr std::string_view sharedStringsContentTypes[] = {
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml",
    "application/vnd.ms-excel.sharedStrings",
};
constexpr std::string_view stylesContentTypes[] = {
    "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml",
    "application/vnd.ms-excel.styles",
};
constexpr std::string_view legacyCommentsRelationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments";
constexpr std::string_view threadedCommentsRelationship =
    "http://schemas.microsoft.com/office/2017/10/relationships/threadedComment";
constexpr std::string_view worksheetRelationships[] = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet",
    "http://purl.oclc.org/ooxml/officeDocument/relationships/worksheet",
};
// The largest format id the library keeps as it is; larger ones it renumbers.
constexpr int largestKeptFormatId = 0x188;
constexpr int lowestMovedFormatId = 0x3c;
constexpr std::size_t cellsBetweenStopChecks = 4096;

[[noreturn]] void decline()
{
    throw ReadDeclined();
}

template<std::size_t N> bool isOneOf(std::string_view value, const std::string_view (&choices)[N])
{
    return std::find(std::begin(choices), std::end(choices), value) != std::end(choices);
}

std::string withoutFrontSlash(std::string_view path)
{
    return std::string(!path.empty() && path.front() == '/' ? path.substr(1) : path);
}

std::string readPart(ZipArchive& archive, std::string_view path)
{
    const ZipEntry* entry = archive.find(path);
    if (!entry)
        decline();
    return archive.readAll(*entry);
}

std::optional<std::string> readOptionalPart(ZipArchive& archive, std::string_view path)
{
    const ZipEntry* entry = archive.find(path);
    if (!entry)
        return std::nullopt;
    return archive.readAll(*entry);
}

std::string unescaped(std::string_view text)
{
    std::optional<std::string> decoded = unescapedText(text);
    if (!decoded)
        decline();
    return std::move(*decoded);
}

// parseInt of a whole decimal number; declined for anything the library would read otherwise.
int wholeNumber(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || text.front() == '-')
        decline();
    return value;
}

// An id parseInt reads as NaN: the library formats its cells as "General" through its format
// table, not as format id 0, and never as dates.
constexpr int notANumberFormatId = -1;

bool isNotANumber(std::string_view text)
{
    const char first = text.front();
    return !(first >= '0' && first <= '9') && first != '+' && first != '-' && first != ' ' && first != '\t' &&
           first != '\n' && first != '\r';
}

struct ContentParts {
    std::string workbook;
    std::string sharedStrings;
    std::string styles;
};

ContentParts contentParts(ZipArchive& archive)
{
    const std::string types = readPart(archive, "[Content_Types].xml");
    ContentParts parts;
    std::vector<std::string> workbooks;
    bool isKnownNamespace = false;
    forEachTag(types, [&](std::string_view tag) {
        const std::string name = tagName(tag);
        if (name == "<Types") {
            isKnownNamespace = attribute(tag, "xmlns") == contentTypesNamespace;
        } else if (name == "<Override") {
            const std::string_view type = attribute(tag, "ContentType").value_or("");
            const std::string part(attribute(tag, "PartName").value_or(""));
            if (isOneOf(type, workbookContentTypes))
                workbooks.push_back(part);
            else if (isOneOf(type, sharedStringsContentTypes) && parts.sharedStrings.empty())
                parts.sharedStrings = part;
            else if (isOneOf(type, stylesContentTypes) && parts.styles.empty())
                parts.styles = part;
        }
    });
    if (!isKnownNamespace)
        decline();
    if (workbooks.empty() && archive.find("xl/workbook.xml"))
        workbooks.push_back("xl/workbook.xml");
    if (workbooks.empty() || workbooks.front().ends_with("bin"))
        decline();
    parts.workbook = workbooks.front();
    return parts;
}

struct SheetListing {
    std::string name;
    std::string relationId;
};

struct WorkbookListing {
    std::vector<SheetListing> sheets;
    bool isDate1904 = false;
};

bool isTrueFlag(std::string_view value)
{
    return value == "1" || value == "true" || value == "TRUE";
}

WorkbookListing workbookListing(std::string_view xml)
{
    WorkbookListing listing;
    forEachTag(xml, [&](std::string_view tag) {
        const std::string name = tagName(tag);
        if (name == "<sheet") {
            const std::optional<std::string_view> sheetName = attribute(tag, "name");
            const std::optional<std::string_view> relation = attribute(tag, "id");
            if (!sheetName || !relation)
                decline();
            listing.sheets.push_back({unescaped(*sheetName), std::string(*relation)});
        } else if (name == "<workbookPr" || name == "<workbookPr/>") {
            if (const std::optional<std::string_view> flag = attribute(tag, "date1904"))
                listing.isDate1904 = isTrueFlag(*flag);
        }
    });
    return listing;
}

struct Relationship {
    std::string type;
    std::string target;
};

std::map<std::string, Relationship> relationships(std::string_view xml)
{
    std::map<std::string, Relationship> byId;
    forEachTag(xml, [&](std::string_view tag) {
        if (tag.substr(0, std::min<std::size_t>(tag.size(), 14)) != "<Relationship " &&
            tag.substr(0, std::min<std::size_t>(tag.size(), 14)) != "<Relationship\n")
            return;
        byId[std::string(attribute(tag, "Id").value_or(""))] = {std::string(attribute(tag, "Type").value_or("")),
                                                                std::string(attribute(tag, "Target").value_or(""))};
    });
    return byId;
}

std::string relationshipsPath(std::string_view part)
{
    const std::size_t slash = part.rfind('/');
    const std::size_t split = slash == std::string_view::npos ? 0 : slash + 1;
    return std::string(part.substr(0, split)) + "_rels/" + std::string(part.substr(split)) + ".rels";
}

// Where the library looks for a sheet whose relationship targets `target`.
std::string sheetPath(ZipArchive& archive, std::string_view target, std::string_view workbookRelationsPath)
{
    std::string path(target);
    if (const std::size_t at = path.find("xl/"); at != std::string::npos) {
        const std::size_t start = at > 0 && path[at - 1] == '/' ? at - 1 : at;
        path.erase(start, at + 3 - start);
    }
    path = "xl/" + path;
    if (archive.find(path))
        return path;
    if (archive.find(target))
        return std::string(target);
    const std::size_t rels = workbookRelationsPath.find("_rels/");
    return std::string(workbookRelationsPath.substr(0, rels)) + std::string(target);
}

// The position just after "<" + optional "prefix:" + `name`, when such an opening tag starts at
// `at`; npos otherwise.
std::size_t afterOpeningName(std::string_view text, std::size_t at, std::string_view name)
{
    std::size_t position = at + 1;
    std::size_t word = position;
    while (word < text.size() && isWordCharacter(text[word]))
        ++word;
    if (word < text.size() && text[word] == ':' && word > position)
        position = word + 1;
    if (text.substr(position, name.size()) != name)
        return std::string_view::npos;
    return position + name.size();
}

// Whether a tag named `name` (any prefix) starts at `at`, followed by one of `next`.
bool isTagAt(std::string_view text, std::size_t at, std::string_view name, std::string_view next)
{
    const std::size_t after = afterOpeningName(text, at, name);
    return after != std::string_view::npos && after < text.size() && next.find(text[after]) != std::string_view::npos;
}

bool containsTag(std::string_view text, std::string_view name, std::string_view next)
{
    for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
        if (isTagAt(text, at, name, next))
            return true;
    }
    return false;
}

// Where the first closing </t> (any prefix) from `from` starts; the end of the item without one.
std::size_t textEnd(std::string_view item, std::size_t from)
{
    for (std::size_t close = item.find("</", from); close != std::string_view::npos;
         close = item.find("</", close + 2)) {
        if (isTagAt(item.substr(close + 1), 0, "t", ">"))
            return close;
    }
    return item.size();
}

// The texts of the <t> elements of a shared string, phonetic runs left out. A plain string
// reads up to its first closing tag; in rich text an element that closes itself adds nothing.
std::string joinedTexts(std::string_view item, bool isFirstOnly)
{
    std::string text;
    std::size_t position = 0;
    while ((position = item.find('<', position)) != std::string_view::npos) {
        if (isTagAt(item, position, "rPh", " >")) {
            const std::size_t end = item.find("rPh>", position + 4);
            if (end == std::string_view::npos)
                decline();
            position = end + 4;
            continue;
        }
        if (!isTagAt(item, position, "t", " >/")) {
            ++position;
            continue;
        }
        const std::size_t open = item.find('>', position);
        if (open == std::string_view::npos)
            decline();
        if (item[open - 1] == '/') {
            // The library reads a plain string from its first tag's end to the next closing tag.
            if (isFirstOnly)
                return std::string(item.substr(open + 1, textEnd(item, open + 1) - open - 1));
            position = open + 1;
            continue;
        }
        const std::size_t close = item.find('<', open);
        if (close == std::string_view::npos || close + 1 >= item.size() || item[close + 1] != '/' ||
            !isTagAt(item.substr(close + 1), 0, "t", ">"))
            decline();
        text.append(item.substr(open + 1, close - open - 1));
        if (isFirstOnly)
            return text;
        position = close + 1;
    }
    return text;
}

// One shared (or inline) string. The library keeps only the first text of a string that starts
// with a plain text and goes on with rich-text runs, losing the runs; they are kept here. None
// when the library gives the string no text at all.
std::optional<std::string> sharedStringText(std::string_view item)
{
    std::size_t first = 0;
    while (first < item.size() &&
           (item[first] == ' ' || item[first] == '\t' || item[first] == '\n' || item[first] == '\r'))
        ++first;
    const bool isPlain = first < item.size() && item[first] == '<' && isTagAt(item, first, "t", " >/");
    const bool isRich = containsTag(item, "r", ">");
    if (!isPlain && !isRich)
        return std::nullopt;
    return unescaped(joinedTexts(item, !isRich));
}

// The shared strings in order; a string the library reads without text is none.
std::vector<std::optional<std::string>> sharedStrings(std::string_view xml)
{
    std::vector<std::optional<std::string>> strings;
    std::size_t position = 0;
    while ((position = xml.find('<', position)) != std::string_view::npos && !isTagAt(xml, position, "sst", " >"))
        ++position;
    if (position == std::string_view::npos || xml.find("sstItem") != std::string_view::npos)
        decline();
    position = xml.find('>', position);
    while (position != std::string_view::npos) {
        std::size_t open = position;
        while ((open = xml.find('<', open)) != std::string_view::npos && !isTagAt(xml, open, "si", ">"))
            ++open;
        if (open == std::string_view::npos)
            break;
        open = xml.find('>', open) + 1;
        std::size_t close = open;
        while ((close = xml.find("</", close)) != std::string_view::npos &&
               !isTagAt(xml.substr(close + 1), 0, "si", ">"))
            ++close;
        if (close == std::string_view::npos)
            decline();
        strings.push_back(sharedStringText(xml.substr(open, close - open)));
        position = close + 2;
    }
    if (containsTag(xml, "si", " /"))
        decline();
    return strings;
}

std::string_view firstElement(std::string_view xml, std::string_view open, std::string_view close)
{
    const std::size_t start = xml.find(open);
    if (start == std::string_view::npos)
        return {};
    const std::size_t end = xml.find(close, start);
    if (end == std::string_view::npos)
        return {};
    return xml.substr(start, end - start);
}

// The number format of every cell style, as format ids and the texts the library then knows
// for them.
struct Styles {
    std::vector<int> formatIds;                  // by cell style index
    std::unordered_map<int, std::string> texts;  // every id the library knows a text for
};

bool isDefaultFormatId(int id)
{
    return (id >= 0 && id <= 4) || (id >= 9 && id <= 22) || (id >= 37 && id <= 40) || (id >= 45 && id <= 49) ||
           id == 56;
}

Styles styles(std::string_view xml)
{
    Styles styles;
    for (int id = 0; id <= 56; ++id) {
        if (isDefaultFormatId(id))
            styles.texts[id] = std::string(builtInNumberFormat(id).value_or("General"));
    }
    if (xml.find("<!--") != std::string_view::npos || xml.find("<!DOCTYPE") != std::string_view::npos)
        decline();
    // Ids past the largest kept one move to the highest free id from there down; a cell style
    // naming such an id then takes the highest id with the same text.
    std::unordered_map<int, std::string> movedTexts;
    std::vector<int> movedTo;
    forEachTag(firstElement(xml, "<numFmts", "</numFmts>"), [&](std::string_view tag) {
        if (tagName(tag) != "<numFmt")
            return;
        int id = wholeNumber(attribute(tag, "numFmtId").value_or(""));
        std::string text = unescaped(attribute(tag, "formatCode").value_or(""));
        if (std::find(movedTo.begin(), movedTo.end(), id) != movedTo.end())
            decline();
        if (id > largestKeptFormatId) {
            movedTexts[id] = text;
            id = largestKeptFormatId;
            while (id > lowestMovedFormatId && styles.texts.contains(id))
                --id;
            if (id == lowestMovedFormatId)
                decline();
            movedTo.push_back(id);
        }
        if (id > 0)
            styles.texts[id] = std::move(text);
    });
    forEachTag(firstElement(xml, "<cellXfs", "</cellXfs>"), [&](std::string_view tag) {
        const std::string name = tagName(tag);
        if (name != "<xf" && name != "<xf/>")
            return;
        const std::optional<std::string_view> id = attribute(tag, "numFmtId");
        int formatId = !id || id->empty() ? 0 : isNotANumber(*id) ? notANumberFormatId : wholeNumber(*id);
        if (formatId > largestKeptFormatId) {
            const auto moved = movedTexts.find(formatId);
            if (moved == movedTexts.end())
                decline();
            formatId = largestKeptFormatId;
            const auto hasMovedText = [&](int candidate) {
                const auto text = styles.texts.find(candidate);
                return text != styles.texts.end() && text->second == moved->second;
            };
            while (formatId > lowestMovedFormatId && !hasMovedText(formatId))
                --formatId;
            if (formatId == lowestMovedFormatId)
                decline();
        }
        styles.formatIds.push_back(formatId);
    });
    if (xml.find(":numFmt") != std::string_view::npos || xml.find(":xf") != std::string_view::npos)
        decline();
    return styles;
}

// The texts of the cells of one format id: its parsed form, and whether the library's date
// rule applies to it.
struct CellFormat {
    int id = 0;
    std::optional<NumberFormat> format;  // none when formatted by the library
    std::string text;
    bool isDate = false;
};

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

// The texts of a sheet's numbers, worked out once the sheet is read, half of them on a second
// thread: formatting numbers is about a quarter of the work of reading a sheet of numbers. What
// the native formatter declines goes to the library, each distinct format and value once.
class NumberTexts {
public:
    NumberTexts(bool isDate1904, const LibraryFormatter& formatter)
        : isDate1904_(isDate1904)
        , formatter_(formatter)
    {
    }

    std::uint32_t add(double value, const CellFormat& format)
    {
        numbers_.push_back({value, &format});
        return static_cast<std::uint32_t>(numbers_.size() - 1);
    }

    void formatAll()
    {
        const std::size_t split = numbers_.size() / 2;
        auto firstHalf = std::async(std::launch::async, [&] { return formatRange(0, split); });
        halves_[1] = formatRange(split, numbers_.size());
        halves_[0] = firstHalf.get();
        split_ = split;
        askLibraryForDeclined();
    }

    std::string_view text(std::uint32_t key) const
    {
        const Half& half = halves_[key < split_ ? 0 : 1];
        const std::size_t index = key < split_ ? key : key - split_;
        if ((half.ends[index] & declinedMark) != 0)
            return libraryTexts_[libraryIndex_.at(key)];
        const std::uint64_t start = index == 0 ? 0 : half.ends[index - 1] & ~declinedMark;
        return std::string_view(half.text).substr(start, half.ends[index] - start);
    }

private:
    struct Number {
        double value;
        const CellFormat* format;
    };
    // The texts of a run of numbers, one after another; a number the native formatter declines
    // ends where the previous one did, marked.
    struct Half {
        std::string text;
        std::vector<std::uint64_t> ends;
    };
    static constexpr std::uint64_t declinedMark = std::uint64_t(1) << 63;

    Half formatRange(std::size_t first, std::size_t last) const
    {
        Half half;
        half.ends.reserve(last - first);
        for (std::size_t index = first; index < last; ++index) {
            if (const std::optional<std::string> text = nativeText(numbers_[index])) {
                half.text += *text;
                half.ends.push_back(half.text.size());
            } else {
                half.ends.push_back(declinedMark | half.text.size());
            }
        }
        return half;
    }

    std::optional<std::string> nativeText(const Number& number) const
    {
        const CellFormat& format = *number.format;
        if (format.isDate)
            return dateCellText(number.value, isDate1904_);
        if (format.id == 0)
            return generalNumberText(number.value);
        return format.format ? format.format->format(number.value) : std::nullopt;
    }

    void askLibraryForDeclined()
    {
        std::vector<LibraryFormatRequest> requests;
        std::map<std::pair<std::string, double>, std::uint32_t> requestIndex;
        for (std::uint32_t key = 0; key < numbers_.size(); ++key) {
            const Half& half = halves_[key < split_ ? 0 : 1];
            if (!(half.ends[key < split_ ? key : key - split_] & declinedMark))
                continue;
            const Number& number = numbers_[key];
            const auto [entry, isNew] = requestIndex.try_emplace({number.format->text, number.value},
                                                                 static_cast<std::uint32_t>(requests.size()));
            if (isNew)
                requests.push_back({number.format->text, number.value});
            libraryIndex_[key] = entry->second;
        }
        if (requests.empty())
            return;
        libraryTexts_ = formatter_(requests);
        if (libraryTexts_.size() != requests.size())
            decline();
    }

    bool isDate1904_;
    const LibraryFormatter& formatter_;
    std::vector<Number> numbers_;
    Half halves_[2];
    std::size_t split_ = 0;
    std::vector<std::string> libraryTexts_;
    std::unordered_map<std::uint32_t, std::uint32_t> libraryIndex_;
};

// The cells of the selected sheet, read from its XML as it inflates. Rows end at their closing
// tags and are read as soon as one is complete.
class SheetReader {
public:
    SheetReader(SheetCells& cells, CellFormats& formats, NumberTexts& numbers,
                const std::vector<std::optional<std::string>>& strings, std::stop_token stop)
        : cells_(cells)
        , formats_(formats)
        , numbers_(numbers)
        , strings_(strings)
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
        for (std::size_t name = buffer_.find("row>", from); name != std::string::npos;
             name = buffer_.find("row>", name + 4)) {
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
        if (tag.find("r=") != std::string_view::npos && cell.find("r=") != tag.find("r="))
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
                addNumber(row, column, numberValue(unescaped(*value)), attributes.style);
        } else if (kind == "s") {
            if (value)
                addText(row, column, sharedString(unescaped(*value)), attributes.style);
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
        cells_.addPending(row, column, numbers_.add(value, format));
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
    std::stop_token stop_;
    std::string buffer_;
    bool isInSheetData_ = false;
    bool isEmpty_ = false;
    int rowNumber_ = 0;
    std::int64_t column_ = -1;
    std::optional<Span> guessedRows_;
    std::optional<Span> guessedColumns_;
    std::size_t cellsSinceStopCheck_ = 0;
};

const SheetListing& selectedSheet(const std::vector<SheetListing>& sheets, const std::optional<std::string>& wanted)
{
    if (sheets.empty())
        throw ImportError::sheetNotFound(wanted.value_or(std::string()));
    const std::string& name = wanted ? *wanted : sheets.front().name;
    const auto found =
        std::find_if(sheets.begin(), sheets.end(), [&](const SheetListing& sheet) { return sheet.name == name; });
    if (found == sheets.end())
        throw ImportError::sheetNotFound(name);
    return *found;
}

std::vector<std::string> sheetNames(const std::vector<SheetListing>& sheets)
{
    std::vector<std::string> names;
    for (const SheetListing& sheet : sheets)
        names.push_back(sheet.name);
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())
        decline();
    return names;
}

bool isCommentRelationship(std::string_view type)
{
    return type.ends_with("/comments") || type.find("threadedComment") != std::string_view::npos;
}

// A part's path from a relationship's target, relative to the part that has the relationship.
std::string resolvedPath(std::string_view target, std::string_view base)
{
    if (!target.empty() && target.front() == '/')
        return std::string(target.substr(1));
    std::vector<std::string_view> steps;
    const std::size_t folderEnd = base.rfind('/');
    for (std::string_view rest = folderEnd == std::string_view::npos ? std::string_view() : base.substr(0, folderEnd);
         !rest.empty();) {
        const std::size_t slash = rest.find('/');
        steps.push_back(rest.substr(0, slash));
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    for (std::string_view rest = target; !rest.empty();) {
        const std::size_t slash = rest.find('/');
        const std::string_view step = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (step == "..") {
            if (!steps.empty())
                steps.pop_back();
        } else if (step != ".") {
            steps.push_back(step);
        }
    }
    std::string path;
    for (const std::string_view step : steps)
        path += (path.empty() ? "" : "/") + std::string(step);
    return path;
}

using Position = std::pair<std::uint32_t, std::uint32_t>;

Position commentedPosition(std::string_view tag)
{
    const std::optional<CellAddress> address = parseCellAddress(attribute(tag, "ref").value_or(""));
    if (!address)
        decline();
    return {address->row, address->column};
}

// The cells of a comments part that have a comment: every <comment> of its list.
std::vector<Position> legacyCommentedCells(std::string_view xml)
{
    std::vector<Position> positions;
    if (xml.find(":comment") != std::string_view::npos)
        decline();
    const std::size_t list = xml.find("<commentList>");
    const std::size_t listEnd = xml.rfind("</commentList>");
    if (list == std::string_view::npos || listEnd == std::string_view::npos || listEnd < list)
        return positions;
    forEachTag(xml.substr(list, listEnd - list), [&](std::string_view tag) {
        if (tagName(tag) == "<comment")
            positions.push_back(commentedPosition(tag));
    });
    return positions;
}

// The cells of a threaded comments part whose comments have a text.
std::vector<Position> threadedCommentedCells(std::string_view xml)
{
    std::vector<Position> positions;
    std::optional<Position> open;
    bool hasText = false;
    forEachTag(xml, [&](std::string_view tag) {
        const std::string name = tagName(tag);
        if (name == "<threadedComment") {
            open = commentedPosition(tag);
            hasText = false;
        } else if (name == "</text>") {
            hasText = true;
        } else if (name == "</threadedComment>" && open && hasText) {
            positions.push_back(*open);
        }
    });
    return positions;
}

// The cells the sheet's comments are attached to, from every comments part it relates to.
std::vector<Position> commentedCells(ZipArchive& archive, const std::map<std::string, Relationship>& relations,
                                     std::string_view sheetPath)
{
    std::vector<Position> positions;
    for (const auto& [id, relation] : relations) {
        const bool isLegacy = relation.type == legacyCommentsRelationship;
        const bool isThreaded = relation.type == threadedCommentsRelationship;
        if (!isLegacy && !isThreaded) {
            if (isCommentRelationship(relation.type))
                decline();
            continue;
        }
        const std::string part = readPart(archive, resolvedPath(relation.target, sheetPath));
        const std::vector<Position> more = isLegacy ? legacyCommentedCells(part) : threadedCommentedCells(part);
        positions.insert(positions.end(), more.begin(), more.end());
    }
    return positions;
}

}  // namespace

WorkbookPayload readXlsx(ZipArchive& archive, const NativeRequest& request, const LibraryFormatter& formatter,
                         std::stop_token stop)
{
    const ContentParts parts = contentParts(archive);
    const std::string workbookPath = withoutFrontSlash(parts.workbook);
    const WorkbookListing listing = workbookListing(readPart(archive, workbookPath));
    std::vector<std::string> names = sheetNames(listing.sheets);
    if (request.isNamesOnly) {
        WorkbookPayload payload;
        payload.sheetNames = std::move(names);
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
    if (relation == workbookRelations.end() || !isOneOf(relation->second.type, worksheetRelationships))
        decline();
    const std::string path = sheetPath(archive, relation->second.target, relationsPath);
    const std::map<std::string, Relationship> sheetRelations =
        relationships(readOptionalPart(archive, relationshipsPath(path)).value_or(""));
    const ZipEntry* sheetEntry = archive.find(path);
    if (!sheetEntry)
        decline();

    SheetCells cells;
    CellFormats formats(sheetStyles, listing.isDate1904);
    NumberTexts numbers(listing.isDate1904, formatter);
    SheetReader reader(cells, formats, numbers, strings, stop);
    archive.read(*sheetEntry, [&reader](std::string_view chunk) { reader.feed(chunk); });
    reader.finish();
    cells.addCommentedCells(commentedCells(archive, sheetRelations, path));
    archive.checkUnreadEntries();

    numbers.formatAll();
    return std::move(cells).payload(std::move(names), stop,
                                    [&numbers](std::uint32_t key) { return numbers.text(key); });
}

}  // namespace rowlark::workbook
