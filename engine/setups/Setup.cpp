#include "engine/setups/Setup.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "engine/results/ReportFile.h"
#include "engine/text/Encoding.h"
#include "engine/text/JSONReader.h"
#include "engine/text/JSONWriting.h"
#include "engine/text/Unicode.h"
#include "engine/workbook/FileImport.h"

namespace rowlark::setups {
namespace {

namespace fs = std::filesystem;
using Kind = text::JSONDocument::Kind;

// The longest part of a version number a message quotes.
constexpr std::size_t shownVersionLength = 20;
// Far more than any setup holds (ten thousand mappings of ten values each), but few enough that
// reading a hostile file takes tens of megabytes, not hundreds.
constexpr std::size_t maximumValues = 1'000'000;
constexpr std::size_t maximumDepth = 64;
// The most characters of a text from a setup that a notice quotes.
constexpr std::size_t shownTextLength = 100;

struct FilterName {
    std::string_view name;
    records::ResultFilter filter;
};

constexpr std::array<FilterName, 5> filterNames = {{
    {"all", records::ResultFilter::all},
    {"changed", records::ResultFilter::changed},
    {"onlyLeft", records::ResultFilter::onlyLeft},
    {"onlyRight", records::ResultFilter::onlyRight},
    {"emptyValues", records::ResultFilter::emptyValues},
}};

[[noreturn]] void notASetup()
{
    throw SetupError("The file is not a Rowlark setup: it has no \u201Cformat\u201D of \u201Crowlark-setup\u201D.");
}

// Reads the values of a setup's JSON document, failing with a SetupError that names the place of
// anything that is not as a setup has it ("mappings[3].fileB.header").
class SetupReader {
public:
    explicit SetupReader(const text::JSONDocument& document)
        : document_(document)
    {
    }

    Setup read()
    {
        const std::size_t root = text::JSONDocument::root;
        if (kind(root) != Kind::object)
            notASetup();
        const std::optional<std::size_t> format = member(root, "format");
        if (!format || kind(*format) != Kind::string || document_.text(node(*format)) != formatName)
            notASetup();
        checkVersion(member(root, "version"));
        Setup setup;
        const std::size_t files = requiredObject(root, "files", "files");
        setup.left = fileEntry(requiredObject(files, "fileA", "files.fileA"), "files.fileA");
        setup.right = fileEntry(requiredObject(files, "fileB", "files.fileB"), "files.fileB");
        setup.ignoreCase = optionalBoolean(root, "ignoreCase", "ignoreCase", false);
        setup.mappings = mappingEntries(member(root, "mappings"));
        if (const std::optional<std::size_t> results = member(root, "results"); results && !isNull(*results))
            setup.results = resultsView(expect(*results, Kind::object, "results", "an object"));
        return setup;
    }

private:
    const text::JSONDocument::Node& node(std::size_t index) const { return document_.node(index); }
    Kind kind(std::size_t index) const { return node(index).kind; }
    bool isNull(std::size_t index) const { return kind(index) == Kind::null; }

    [[noreturn]] static void damaged(std::string_view place, std::string_view problem)
    {
        throw SetupError("The setup file is damaged: " + std::string(place) + " " + std::string(problem) + ".");
    }

    std::vector<std::size_t> children(std::size_t container) const
    {
        std::vector<std::size_t> found;
        for (std::size_t child = container + 1; child < node(container).end; child = node(child).end)
            found.push_back(child);
        return found;
    }

    // The member of that name, the last one when the name repeats.
    std::optional<std::size_t> member(std::size_t object, std::string_view name) const
    {
        std::optional<std::size_t> found;
        for (std::size_t child = object + 1; child < node(object).end; child = node(child).end)
            if (document_.name(node(child)) == name)
                found = child;
        return found;
    }

    std::size_t expect(std::size_t index, Kind expected, std::string_view place, std::string_view what) const
    {
        if (kind(index) != expected)
            damaged(place, "must be " + std::string(what));
        return index;
    }

    std::size_t requiredObject(std::size_t object, std::string_view name, std::string_view place) const
    {
        const std::optional<std::size_t> found = member(object, name);
        if (!found)
            damaged(place, "is missing");
        return expect(*found, Kind::object, place, "an object");
    }

    std::string requiredText(std::size_t object, std::string_view name, const std::string& place) const
    {
        const std::optional<std::size_t> found = member(object, name);
        if (!found)
            damaged(place, "is missing");
        return std::string(document_.text(node(expect(*found, Kind::string, place, "a text"))));
    }

    std::optional<std::string> optionalText(std::size_t object, std::string_view name, const std::string& place) const
    {
        const std::optional<std::size_t> found = member(object, name);
        if (!found || isNull(*found))
            return std::nullopt;
        return std::string(document_.text(node(expect(*found, Kind::string, place, "a text"))));
    }

    bool optionalBoolean(std::size_t object, std::string_view name, const std::string& place, bool absent) const
    {
        const std::optional<std::size_t> found = member(object, name);
        if (!found)
            return absent;
        if (kind(*found) != Kind::trueLiteral && kind(*found) != Kind::falseLiteral)
            damaged(place, "must be true or false");
        return kind(*found) == Kind::trueLiteral;
    }

    // A whole number from 1 to `largest`.
    std::int64_t count(std::size_t index, const std::string& place, std::int64_t largest) const
    {
        const std::string_view spelling = document_.text(node(expect(index, Kind::number, place, "a number")));
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(spelling.data(), spelling.data() + spelling.size(), value);
        if (error != std::errc() || end != spelling.data() + spelling.size() || value < 1 || value > largest)
            damaged(place, "must be a whole number from 1 to " + std::to_string(largest));
        return value;
    }

    void checkVersion(std::optional<std::size_t> version) const
    {
        if (!version)
            damaged("version", "is missing");
        const std::string_view spelling = document_.text(node(expect(*version, Kind::number, "version", "a number")));
        // Canonical spellings: digits for a whole number, "1e+30" for a large one.
        const bool isWhole = spelling.find_first_not_of("0123456789") == std::string_view::npos ||
                             (spelling.find("e+") != std::string_view::npos && spelling.front() != '-');
        if (!isWhole || spelling == "0")
            damaged("version", "must be a whole number from 1");
        if (spelling != "1")
            throw SetupError("The setup was saved by a newer version of Rowlark (setup version " +
                             std::string(spelling.substr(0, shownVersionLength)) +
                             (spelling.size() > shownVersionLength ? "\u2026" : "") +
                             "); this version reads setup version " + std::to_string(currentVersion) + ".");
    }

    FileEntry fileEntry(std::size_t object, const std::string& place) const
    {
        FileEntry entry{requiredText(object, "path", place + ".path"), optionalText(object, "sheet", place + ".sheet")};
        if (entry.path.empty() || entry.path.find('\0') != std::string::npos)
            damaged(place + ".path", "must name a file");
        return entry;
    }

    ColumnName column(std::size_t index, const std::string& place) const
    {
        expect(index, Kind::object, place, "an object");
        ColumnName name{requiredText(index, "header", place + ".header"), 1};
        if (const std::optional<std::size_t> occurrence = member(index, "occurrence"))
            name.occurrence = count(*occurrence, place + ".occurrence", workbook::FileImport::maximumColumns);
        return name;
    }

    std::optional<ColumnName> optionalColumn(std::size_t object, std::string_view name, const std::string& place) const
    {
        const std::optional<std::size_t> found = member(object, name);
        if (!found || isNull(*found))
            return std::nullopt;
        return column(*found, place);
    }

    std::vector<MappingEntry> mappingEntries(std::optional<std::size_t> list) const
    {
        if (!list)
            damaged("mappings", "is missing");
        expect(*list, Kind::array, "mappings", "a list");
        const std::vector<std::size_t> items = children(*list);
        if (items.size() > static_cast<std::size_t>(workbook::FileImport::maximumColumns))
            damaged("mappings",
                    "must hold at most " + std::to_string(workbook::FileImport::maximumColumns) + " columns");
        std::vector<MappingEntry> entries;
        for (std::size_t item = 0; item < items.size(); ++item) {
            const std::string place = "mappings[" + std::to_string(item) + "]";
            const std::size_t object = expect(items[item], Kind::object, place, "an object");
            const std::optional<std::size_t> left = member(object, "fileA");
            if (!left)
                damaged(place + ".fileA", "is missing");
            entries.push_back({column(*left, place + ".fileA"), optionalColumn(object, "fileB", place + ".fileB"),
                               optionalBoolean(object, "key", place + ".key", false),
                               optionalBoolean(object, "included", place + ".included", true),
                               optionalText(object, "rule", place + ".rule")});
        }
        return entries;
    }

    ResultsView resultsView(std::size_t object) const
    {
        ResultsView view;
        if (const std::optional<std::string> filter = optionalText(object, "filter", "results.filter")) {
            const auto named = std::ranges::find(filterNames, *filter, &FilterName::name);
            if (named == filterNames.end())
                damaged("results.filter", "must be all, changed, onlyLeft, onlyRight or emptyValues");
            view.filter = named->filter;
        }
        view.search = optionalText(object, "search", "results.search").value_or("");
        view.changedColumn = optionalColumn(object, "column", "results.column");
        return view;
    }

    const text::JSONDocument& document_;
};

using JSONWriter = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

void requireUTF8(std::string_view text, std::string_view what)
{
    if (!text::isValidUTF8(text))
        throw SetupError("The " + std::string(what) + " is not UTF-8 text, which a setup cannot hold.");
}

void writeColumn(JSONWriter& writer, const std::optional<ColumnName>& name)
{
    if (!name) {
        writer.Null();
        return;
    }
    requireUTF8(name->header, "header of a column");
    writer.StartObject();
    text::writeJSONKey(writer, "header");
    text::writeJSONString(writer, name->header);
    if (name->occurrence != 1) {
        text::writeJSONKey(writer, "occurrence");
        writer.Int64(name->occurrence);
    }
    writer.EndObject();
}

void writeFile(JSONWriter& writer, std::string_view name, const FileEntry& file, std::string_view side)
{
    requireUTF8(file.path, "path of " + std::string(side));
    text::writeJSONKey(writer, name);
    writer.StartObject();
    text::writeJSONKey(writer, "path");
    text::writeJSONString(writer, file.path);
    if (file.sheet) {
        requireUTF8(*file.sheet, "sheet name of " + std::string(side));
        text::writeJSONKey(writer, "sheet");
        text::writeJSONString(writer, *file.sheet);
    }
    writer.EndObject();
}

void writeMapping(JSONWriter& writer, const MappingEntry& entry)
{
    writer.StartObject();
    text::writeJSONKey(writer, "fileA");
    writeColumn(writer, entry.left);
    text::writeJSONKey(writer, "fileB");
    writeColumn(writer, entry.right);
    text::writeJSONKey(writer, "key");
    writer.Bool(entry.isKey);
    text::writeJSONKey(writer, "included");
    writer.Bool(entry.isIncluded);
    if (entry.rule) {
        requireUTF8(*entry.rule, "comparison rule");
        text::writeJSONKey(writer, "rule");
        text::writeJSONString(writer, *entry.rule);
    }
    writer.EndObject();
}

void writeResults(JSONWriter& writer, const ResultsView& view)
{
    requireUTF8(view.search, "search text");
    text::writeJSONKey(writer, "results");
    writer.StartObject();
    text::writeJSONKey(writer, "filter");
    text::writeJSONString(writer, std::ranges::find(filterNames, view.filter, &FilterName::filter)->name);
    text::writeJSONKey(writer, "search");
    text::writeJSONString(writer, view.search);
    text::writeJSONKey(writer, "column");
    writeColumn(writer, view.changedColumn);
    writer.EndObject();
}

[[noreturn]] void tooLarge()
{
    throw SetupError("The file is larger than any setup (at most " + std::to_string(maximumBytes / (1024 * 1024)) +
                     " MB); it was not read.");
}

struct Descriptor {
    int value;
    ~Descriptor() { ::close(value); }
};

// The whole file, or a SetupError once it proves longer than any setup. Only a regular file is
// read: a pipe or a device could keep the reader waiting or reading for ever.
std::string readBounded(const fs::path& path)
{
    const Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    struct stat status {};
    if (file.value < 0 || ::fstat(file.value, &status) != 0)
        throw std::system_error(errno, std::generic_category());
    if (S_ISDIR(status.st_mode))
        throw std::system_error(EISDIR, std::generic_category());
    if (!S_ISREG(status.st_mode))
        throw std::system_error(ENOTSUP, std::generic_category());
    if (static_cast<std::uintmax_t>(status.st_size) > maximumBytes)
        tooLarge();
    std::string text;
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t count = ::read(file.value, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throw std::system_error(errno, std::generic_category());
        if (count == 0)
            return text;
        text.append(buffer.data(), static_cast<std::size_t>(count));
        if (text.size() > maximumBytes)
            tooLarge();
    }
}

// Refuses, before the JSON is read, a text nested deeper or holding more values than any setup: it
// counts the brackets and commas outside strings, an upper bound on the values a JSON text holds.
void checkShape(std::string_view text)
{
    std::size_t values = 1;
    std::size_t depth = 0;
    bool isInString = false;
    for (std::size_t position = 0; position < text.size(); ++position) {
        const char byte = text[position];
        if (isInString) {
            if (byte == '\\')
                ++position;
            else if (byte == '"')
                isInString = false;
            continue;
        }
        if (byte == '"')
            isInString = true;
        else if (byte == '[' || byte == '{')
            ++depth;
        else if ((byte == ']' || byte == '}') && depth > 0)
            --depth;
        if (depth > maximumDepth)
            throw SetupError("The file is not a Rowlark setup: it is nested deeper than any setup.");
        if ((byte == ',' || byte == '[' || byte == '{') && ++values > maximumValues)
            throw SetupError("The file is not a Rowlark setup: it holds more values than any setup.");
    }
}

}  // namespace

bool isSetupPath(const fs::path& path)
{
    return text::lowercased(path.extension().string()) == fileExtension;
}

Setup parse(std::string_view text)
{
    if (text.size() > maximumBytes)
        tooLarge();
    checkShape(text);
    text::JSONDocument document;
    if (!document.read(text))
        throw SetupError("The file is not a Rowlark setup: it is not JSON text in UTF-8.");
    return SetupReader(document).read();
}

Setup read(const fs::path& path)
{
    return parse(readBounded(path));
}

std::string text(const Setup& setup)
{
    rapidjson::StringBuffer buffer;
    JSONWriter writer(buffer);
    writer.SetIndent(' ', 2);
    writer.StartObject();
    text::writeJSONKey(writer, "format");
    text::writeJSONString(writer, formatName);
    text::writeJSONKey(writer, "version");
    writer.Int64(currentVersion);
    text::writeJSONKey(writer, "files");
    writer.StartObject();
    writeFile(writer, "fileA", setup.left, "File A");
    writeFile(writer, "fileB", setup.right, "File B");
    writer.EndObject();
    text::writeJSONKey(writer, "ignoreCase");
    writer.Bool(setup.ignoreCase);
    text::writeJSONKey(writer, "mappings");
    writer.StartArray();
    for (const MappingEntry& entry : setup.mappings)
        writeMapping(writer, entry);
    writer.EndArray();
    writeResults(writer, setup.results);
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

void write(const fs::path& path, const Setup& setup)
{
    results::ReportFile::write(path, text(setup));
}

std::string storedPath(const fs::path& file, const fs::path& setupPath)
{
    const fs::path absolute = fs::absolute(file).lexically_normal();
    const fs::path folder = fs::absolute(setupPath).parent_path().lexically_normal();
    const fs::path relative = absolute.lexically_relative(folder);
    if (relative.empty() || *relative.begin() == "..")
        return absolute.string();
    return relative.string();
}

fs::path resolvedPath(std::string_view stored, const fs::path& setupPath)
{
    const fs::path path(stored);
    if (path.is_absolute())
        return path;
    return (fs::absolute(setupPath).parent_path() / path).lexically_normal();
}

ColumnName columnName(const std::vector<std::string>& headers, std::int64_t index)
{
    const auto end = headers.begin() + index + 1;
    return {headers[static_cast<std::size_t>(index)], std::count(headers.begin(), end, *(end - 1))};
}

std::optional<std::int64_t> findColumn(const std::vector<std::string>& headers, const ColumnName& name)
{
    std::int64_t seen = 0;
    for (std::size_t index = 0; index < headers.size(); ++index)
        if (headers[index] == name.header && ++seen == name.occurrence)
            return static_cast<std::int64_t>(index);
    return std::nullopt;
}

std::string quotedText(std::string_view text)
{
    std::size_t end = 0;
    for (std::size_t characters = 0; end < text.size() && characters < shownTextLength; ++characters)
        text::nextScalar(text, end);
    const bool isShortened = end < text.size();
    return "\u201C" + std::string(text.substr(0, end)) + (isShortened ? "\u2026" : "") + "\u201D";
}

std::string shownName(const ColumnName& name)
{
    std::string shown = name.header.empty() ? "an unnamed column" : "column " + quotedText(name.header);
    if (name.occurrence > 1)
        shown += " (number " + std::to_string(name.occurrence) + " of that name)";
    return shown;
}

}  // namespace rowlark::setups
