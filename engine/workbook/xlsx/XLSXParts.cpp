#include "engine/workbook/xlsx/XLSXParts.h"

#include <charconv>

#include "engine/workbook/ImportError.h"
#include "engine/workbook/container/XMLScan.h"
#include "engine/workbook/format/NumberFormat.h"

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
// The largest format id the library keeps as it is; larger ones it renumbers.
constexpr int largestKeptFormatId = 0x188;
constexpr int lowestMovedFormatId = 0x3c;

}  // namespace

std::string withoutFrontSlash(std::string_view path)
{
    return std::string(!path.empty() && path.front() == '/' ? path.substr(1) : path);
}

std::string readPart(ZIPArchive& archive, std::string_view path)
{
    const ZIPEntry* entry = archive.find(path);
    if (!entry)
        decline();
    return archive.readAll(*entry);
}

std::optional<std::string> readOptionalPart(ZIPArchive& archive, std::string_view path)
{
    const ZIPEntry* entry = archive.find(path);
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

bool isNotANumber(std::string_view text)
{
    const char first = text.front();
    return !(first >= '0' && first <= '9') && first != '+' && first != '-' && first != ' ' && first != '\t' &&
           first != '\n' && first != '\r';
}

ContentParts contentParts(ZIPArchive& archive)
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
            const std::string_view state = attribute(tag, "state").value_or("visible");
            listing.sheets.push_back(
                {unescaped(*sheetName), std::string(*relation), state == "hidden" || state == "veryHidden"});
        } else if (name == "<workbookPr" || name == "<workbookPr/>") {
            if (const std::optional<std::string_view> flag = attribute(tag, "date1904"))
                listing.isDate1904 = isTrueFlag(*flag);
        }
    });
    return listing;
}

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
std::string sheetPath(ZIPArchive& archive, std::string_view target, std::string_view workbookRelationsPath)
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
    // A character at a time: the names are a letter or a few, too short for memcmp.
    if (text.size() - position < name.size())
        return std::string_view::npos;
    for (std::size_t index = 0; index < name.size(); ++index) {
        if (text[position + index] != name[index])
            return std::string_view::npos;
    }
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

std::vector<SheetEntry> sheetEntries(const std::vector<SheetListing>& sheets)
{
    std::vector<SheetEntry> entries;
    std::vector<std::string> names;
    for (const SheetListing& sheet : sheets) {
        entries.push_back({sheet.name, sheet.isHidden});
        names.push_back(sheet.name);
    }
    std::sort(names.begin(), names.end());
    if (std::adjacent_find(names.begin(), names.end()) != names.end())
        decline();
    return entries;
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
    for (const std::string_view step : steps) {
        if (!path.empty())
            path += '/';
        path.append(step);
    }
    return path;
}

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
bool hasChart(ZIPArchive& archive, const std::map<std::string, Relationship>& relations, std::string_view sheetPath)
{
    for (const auto& [id, relation] : relations) {
        if (!relation.type.ends_with("/drawing"))
            continue;
        const std::optional<std::string> drawingRelations =
            readOptionalPart(archive, relationshipsPath(resolvedPath(relation.target, sheetPath)));
        if (!drawingRelations)
            continue;
        for (const auto& [drawingId, drawingRelation] : relationships(*drawingRelations))
            if (drawingRelation.type.ends_with("/chart"))
                return true;
    }
    return false;
}

std::vector<Position> commentedCells(ZIPArchive& archive, const std::map<std::string, Relationship>& relations,
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

}  // namespace rowlark::workbook
