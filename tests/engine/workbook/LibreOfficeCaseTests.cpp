// Workbooks that LibreOffice Calc wrote from one generated source (../shared/libreoffice/written/),
// read natively and held cell by cell against the text LibreOffice shows for them (shown/): the
// spreadsheet's own text is what a cell should read as. Date cells read as ISO text by design and
// are held against their value; times and durations are held against their text or, where the
// two programs round the last field differently, their value. Where Rowlark is right and
// LibreOffice is not, the difference is one of the classes named below.

#include <gtest/gtest.h>

#include <rapidjson/document.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/workbook/FileImport.h"
#include "engine/workbook/ImportError.h"
#include "engine/workbook/format/CivilDate.h"
#include "engine/workbook/format/NumberFormat.h"
#include "tests/engine/csv/CSVTestSupport.h"
#include "tests/support/SharedData.h"

namespace rowlark::workbook {
namespace {

namespace fs = std::filesystem;
using testing::Rows;

const fs::path libreOfficeFolder = testing::sharedFile("libreoffice");

// One generated cell of the manifest: where it is, what kind of case it is, the number format
// it was written with and its value.
struct CaseCell {
    std::size_t row;  // from 1
    std::size_t column;
    std::string family;
    std::string format;
    std::string value;
};

using Manifest = std::map<std::string, std::map<std::string, std::vector<CaseCell>>>;

// rapidjson's member iterators compare ambiguously under C++20's reversed operators, so members
// are visited by count.
template<typename Visit> void forEachMember(const rapidjson::Value& object, Visit visit)
{
    for (rapidjson::SizeType index = 0; index < object.MemberCount(); ++index)
        visit(*(object.MemberBegin() + index));
}

Manifest readManifest()
{
    rapidjson::Document document;
    const std::string text = testing::fileText(libreOfficeFolder / "manifest.json");
    document.Parse(text.data(), text.size());
    Manifest manifest;
    forEachMember(document, [&manifest](const auto& file) {
        forEachMember(file.value, [&manifest, &file](const auto& sheet) {
            for (const auto& cell : sheet.value.GetArray())
                manifest[file.name.GetString()][sheet.name.GetString()].push_back(
                    {cell[0].GetUint(), cell[1].GetUint(), cell[2].GetString(), cell[3].GetString(),
                     cell[4].GetString()});
        });
    });
    return manifest;
}

// LibreOffice's CSV export: comma-separated, double quotes around fields that need them.
Rows readShownCSV(const fs::path& path)
{
    const std::string text = testing::fileText(path);
    Rows rows(1);
    std::string field;
    bool isQuoted = false;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (isQuoted && c == '"' && at + 1 < text.size() && text[at + 1] == '"')
            field += text[++at];
        else if (c == '"')
            isQuoted = !isQuoted;
        else if (isQuoted || (c != ',' && c != '\n' && c != '\r'))
            field += c;
        else if (c != '\r') {
            rows.back().push_back(std::exchange(field, {}));
            if (c == '\n')
                rows.emplace_back();
        }
    }
    if (!rows.back().empty() || !field.empty())
        rows.back().push_back(std::move(field));
    else
        rows.pop_back();
    return rows;
}

std::optional<double> numberIn(std::string_view text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// --- dates and times by value ---

enum class DateSystem { excel1900, excel1904, fromDecember30 };

// The day number of an ISO text "2024-03-05" or "2024-03-05T14:07:09" in the system, or of a
// number as it stands.
std::optional<double> dayNumberOf(std::string_view text, DateSystem system)
{
    if (const auto number = numberIn(text))
        return number;
    std::string_view date = text.substr(0, text.find('T'));
    const std::size_t firstDash = date.find('-', 1);
    const std::size_t secondDash = date.find('-', firstDash + 1);
    if (firstDash == std::string_view::npos || secondDash == std::string_view::npos)
        return std::nullopt;
    const auto year = numberIn(date.substr(0, firstDash));
    const auto month = numberIn(date.substr(firstDash + 1, secondDash - firstDash - 1));
    const auto day = numberIn(date.substr(secondDash + 1));
    if (!year || !month || !day)
        return std::nullopt;
    const std::int64_t epoch = system == DateSystem::fromDecember30 ? daysFromCivil(1899, 12, 30)
                               : system == DateSystem::excel1904    ? daysFromCivil(1904, 1, 1)
                                                                    : daysFromCivil(1899, 12, 31);
    double days = static_cast<double>(
        daysFromCivil(static_cast<std::int64_t>(*year), static_cast<unsigned>(*month), static_cast<unsigned>(*day)));
    days -= static_cast<double>(epoch);
    if (system == DateSystem::excel1900 && days >= 60)
        ++days;  // the 29 February 1900 of the 1900 system
    if (text.size() > date.size()) {
        const std::string_view time = text.substr(date.size() + 1);
        const auto hours = numberIn(time.substr(0, 2));
        const auto minutes = numberIn(time.substr(3, 2));
        const auto seconds = numberIn(time.substr(6, 2));
        if (time.size() != 8 || !hours || !minutes || !seconds)
            return std::nullopt;
        days += ((*hours * 60 + *minutes) * 60 + *seconds) / 86400;
    }
    return days;
}

// The time fields of a format in order: 'h', 'm', 's' of a clock, 'H', 'M', 'S' of a duration
// ([h], [mm]), 'f' for a fraction of a second, 'a' for an AM/PM marker.
std::string timeFieldsOf(std::string_view format)
{
    std::string fields;
    for (std::size_t at = 0; at < format.size(); ++at) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(format[at])));
        if (format[at] == '"') {
            at = format.find('"', at + 1);
            if (at == std::string_view::npos)
                break;
        } else if (format[at] == '\\') {
            ++at;
        } else if (format[at] == '[') {
            const std::size_t close = format.find(']', at);
            const std::string_view bracket = format.substr(at + 1, close - at - 1);
            if (!bracket.empty() && bracket.find_first_not_of("hHmMsS") == std::string_view::npos)
                fields += static_cast<char>(std::toupper(static_cast<unsigned char>(bracket[0])));
            at = close;
        } else if (c == 'h' || c == 'm' || c == 's') {
            fields += c;
            while (at + 1 < format.size() && std::tolower(static_cast<unsigned char>(format[at + 1])) == c)
                ++at;
        } else if (c == '.' && !fields.empty() && (fields.back() == 's' || fields.back() == 'S') &&
                   at + 1 < format.size() && format[at + 1] == '0') {
            fields += 'f';
            while (at + 1 < format.size() && format[at + 1] == '0')
                ++at;
        } else if (c == 'a' && (format.substr(at, 5) == "AM/PM" || format.substr(at, 3) == "A/P")) {
            fields += 'a';
            at += format[at + 1] == 'M' ? 4 : 2;
        }
    }
    return fields;
}

// Whether a time text shows the value: its fields, read in the format's order, come to the
// value's time of day (or whole duration) within one unit of the last field shown, so that
// rounding and truncating the last field both pass.
bool isTimeOf(std::string_view text, std::string_view format, double value)
{
    const std::string fields = timeFieldsOf(format);
    if (fields.empty())
        return false;
    const bool isAfternoon = text.find_first_of("Pp") != std::string_view::npos;
    double seconds = 0;
    double unit = 1;
    bool isDuration = false;
    bool hasHours = false;
    std::size_t at = 0;  // past the digits read
    for (const char field : fields) {
        if (field == 'a')
            continue;
        const std::size_t start = text.find_first_of("0123456789", at);
        if (start == std::string_view::npos)
            return false;
        at = std::min(text.find_first_not_of("0123456789", start), text.size());
        const std::string_view digits = text.substr(start, at - start);
        double number = 0;
        std::from_chars(digits.data(), digits.data() + digits.size(), number);
        isDuration = isDuration || std::isupper(static_cast<unsigned char>(field));
        hasHours = hasHours || field == 'h' || field == 'H';
        if (field == 'f') {
            seconds += number / std::pow(10.0, static_cast<double>(digits.size()));
            unit = std::pow(10.0, -static_cast<double>(digits.size()));
            continue;
        }
        if ((field == 'h' || field == 'H') && fields.find('a') != std::string::npos)
            number = std::fmod(number, 12) + (isAfternoon ? 12 : 0);
        unit = field == 'h' || field == 'H' ? 3600 : field == 'm' || field == 'M' ? 60 : 1;
        seconds += number * unit;
    }
    const double period = isDuration ? 0 : hasHours ? 86400 : 3600;
    const double expected = period > 0 ? std::fmod(std::fmod(value * 86400, 86400), period) : value * 86400;
    const double difference = std::fabs(seconds - expected);
    return (period > 0 ? std::min(difference, period - difference) : difference) <= unit + 1e-6;
}

// --- what LibreOffice shows otherwise ---

// A cell as read, with what LibreOffice shows for it.
struct Reading {
    const std::string& type;
    const CaseCell& cell;
    const std::string& shown;      // in LibreOffice, from this file
    const std::string& shownXLSX;  // in LibreOffice, from the XLSX file of the same source
    const std::string& text;       // as read
};

std::string withoutCharacter(std::string text, char removed)
{
    std::erase(text, removed);
    return text;
}

// The differences where Rowlark's text is the right one, each with why.
struct AcceptedDifference {
    std::string_view name;
    std::function<bool(const Reading&)> applies;
};

const std::vector<AcceptedDifference> acceptedDifferences = {
    // "#.##" shows 1 as "1." and "#.###E+00" as "1.E+00" in Excel; LibreOffice drops the point.
    {"point without digits after it",
     [](const Reading& reading) {
         const std::size_t point = reading.text.find('.');
         return point != std::string::npos &&
                (point + 1 == reading.text.size() ||
                 !std::isdigit(static_cast<unsigned char>(reading.text[point + 1]))) &&
                reading.text.substr(0, point) + reading.text.substr(point + 1) == reading.shown;
     }},
    // "_€" leaves the width of one character; LibreOffice leaves two spaces.
    {"space left by _€",
     [](const Reading& reading) {
         return reading.cell.format.find("_\xE2\x82\xAC") != std::string::npos &&
                withoutCharacter(reading.text, ' ') == withoutCharacter(reading.shown, ' ');
     }},
    // The file stores the error the formula gave (#VALUE!); LibreOffice shows its own code.
    {"LibreOffice's own error codes",
     [](const Reading& reading) { return reading.shown.starts_with("Err:") && reading.text.starts_with('#'); }},
    // The largest double, which LibreOffice writes as INF: LibreOffice shows I.NF, #FMT, or 0
    // once it reads its ODS back.
    {"numbers past the largest double",
     [](const Reading& reading) { return reading.text == "INF" || reading.text == "-INF"; }},
    // 1E+308 as a percentage or a date: LibreOffice cannot format it, and where it wrote #FMT
    // into its ODS it reads a number back instead.
    {"#FMT", [](const Reading& reading) { return reading.shown == "#FMT" || reading.text == "#FMT"; }},
    // 1.005 as a percentage is 100.5%, a tie: LibreOffice rounds the binary value (100%),
    // Rowlark the decimal value as the issue's "1.005 under 0.00 is 1.01" does (101%); so for
    // the numerators of fractions (0.25 as ?/2).
    {"ties of the decimal value",
     [](const Reading& reading) {
         const std::string& value = reading.cell.value;
         return !value.empty() && value.back() == '5' && reading.text.size() == reading.shown.size() &&
                std::transform_reduce(reading.text.begin(), reading.text.end(), reading.shown.begin(), 0, std::plus<>(),
                                      std::not_equal_to<>()) == 1;
     }},
    // LibreOffice's own XLS Booleans read back as 1 and 0; Rowlark shows TRUE and FALSE.
    {"XLS Booleans as 1 and 0",
     [](const Reading& reading) {
         return reading.type == "xls" &&
                ((reading.text == "TRUE" && reading.shown == "1") || (reading.text == "FALSE" && reading.shown == "0"));
     }},
    // 0.005 under "# ?/100" is half a hundredth, a tie: Rowlark rounds the decimal value up
    // (1/100), LibreOffice the binary value down (0). The format's denominator is fixed.
    {"fractions of a tie",
     [](const Reading& reading) {
         const std::size_t slash = reading.cell.format.rfind('/');
         const std::optional<double> value = numberIn(reading.cell.value);
         const std::optional<double> denominator =
             slash == std::string::npos ? std::nullopt : numberIn(reading.cell.format.substr(slash + 1));
         const double numerator = value && denominator ? std::fabs(*value * *denominator) : 0;
         return value && denominator && std::fabs(numerator - std::floor(numerator) - 0.5) < 1e-9;
     }},
    // LibreOffice saves 0 as the result of a formula whose result is a text in XLS, and works
    // the formula out again when it opens the file; Rowlark shows the result saved.
    {"XLS text results saved as 0",
     [](const Reading& reading) {
         return reading.type == "xls" && reading.cell.value.starts_with('=') && numberIn(reading.text) == 0.0 &&
                !numberIn(reading.shown);
     }},
    // LibreOffice works out NOW() again when it opens the file; Rowlark shows the value saved.
    {"formulas worked out again",
     [](const Reading& reading) { return reading.cell.value.find("NOW()") != std::string::npos; }},
    // LibreOffice's CSV export drops tab characters.
    {"tabs", [](const Reading& reading) { return withoutCharacter(reading.text, '\t') == reading.shown; }},
    // "?/?" is a fraction without a whole number (3/2) in Excel; LibreOffice shows its own
    // format of that spelling as a mixed number (1 1/2).
    {"fractions without a whole number", [](const Reading& reading) { return reading.cell.format == "?/?"; }},
    // LibreOffice reads some formats back from its own ODS and XLS files otherwise than it
    // wrote them (spaces of ? and _ dropped, ??/16 shown as a mixed number, 16 digits); the
    // text read is what LibreOffice shows for the same cell of the XLSX file.
    {"formats LibreOffice reads back otherwise",
     [](const Reading& reading) { return reading.type != "xlsx" && reading.text == reading.shownXLSX; }},
};

const std::set<std::string> dateFamilies = {"date",    "datetime",    "pre1900date", "date1904",
                                            "lo-date", "lo-datetime", "formula-date"};
const std::set<std::string> timeFamilies = {"time", "elapsed", "time1904", "lo-elapsed"};

DateSystem dateSystemOf(const std::string& type, const std::string& file)
{
    return file == "dates1904" ? DateSystem::excel1904
           : type == "ods"     ? DateSystem::fromDecember30
                               : DateSystem::excel1900;
}

// Whether a date cell's text (ISO, or a number where there is no date) is the cell's value, to
// the second: the value the manifest gives, or for a formula the one LibreOffice shows.
bool isDateOf(const Reading& reading, DateSystem system)
{
    std::optional<double> expected = numberIn(reading.cell.value);
    if (!expected)
        expected = dayNumberOf(
            reading.shown.substr(0, 10) + (reading.shown.size() > 10 ? "T" + reading.shown.substr(11) : ""), system);
    const std::optional<double> read = dayNumberOf(reading.text, system);
    return expected && read && std::fabs(*read - *expected) < 1.0001 / 86400;
}

struct Tally {
    std::size_t cells = 0;
    std::size_t equal = 0;
    std::map<std::string_view, std::size_t> accepted;
    std::size_t datesAndTimes = 0;
    std::size_t datesAndTimesByValue = 0;
    std::vector<std::string> failures;
    std::vector<std::string> dateFailures;
    std::size_t acceptedCount = 0;
};

std::string describe(const std::string& file, const std::string& sheet, const CaseCell& cell, const std::string& shown,
                     const std::string& text)
{
    return file + "/" + sheet + " row " + std::to_string(cell.row) + " column " + std::to_string(cell.column) + " (" +
           cell.family + ", " + cell.format + ", " + cell.value + "): LibreOffice \"" + shown + "\", read \"" + text +
           "\"";
}

// The text read for a cell, where the table read lies in the sheet from the header row and
// column given (from 1).
std::string cellAt(const table::Table& table, std::size_t headerRow, std::size_t firstColumn, const CaseCell& cell)
{
    const std::size_t column = cell.column - firstColumn;
    if (cell.row < headerRow || cell.column < firstColumn || column >= table.columnCount())
        return std::string();
    if (cell.row == headerRow)
        return table.headers()[column];
    const std::size_t row = cell.row - headerRow - 1;
    return row < table.rowCount() ? std::string(table.cell(row, column)) : std::string();
}

const AcceptedDifference* acceptedDifferenceOf(const Reading& reading)
{
    const auto found = std::ranges::find_if(
        acceptedDifferences, [&](const AcceptedDifference& difference) { return difference.applies(reading); });
    return found == acceptedDifferences.end() ? nullptr : &*found;
}

std::string shownAt(const Rows& shown, const CaseCell& cell)
{
    return cell.row - 1 < shown.size() && cell.column - 1 < shown[cell.row - 1].size()
               ? shown[cell.row - 1][cell.column - 1]
               : std::string();
}

// Every sheet of every workbook of one type, read natively.
Tally readEverySheet(const std::string& type, const Manifest& manifest)
{
    // Without a reader helper at hand, whatever the native reader left to the library fails.
    const FileImport::ReaderLocations nowhere;
    Tally tally;
    for (const auto& [file, sheets] : manifest) {
        const fs::path workbook = libreOfficeFolder / "written" / type / (file + "." + type);
        for (const auto& [sheet, cells] : sheets) {
            const Rows shown = readShownCSV(libreOfficeFolder / "shown" / type / (file + "-" + sheet + ".csv"));
            const Rows shownXLSX = readShownCSV(libreOfficeFolder / "shown" / "xlsx" / (file + "-" + sheet + ".csv"));
            std::optional<table::Table> table;
            std::string error;
            try {
                table = FileImport::readTable(workbook, sheet, nowhere, {}, FileImport::WorkbookReader::native).table;
            } catch (const std::exception& failure) {
                error = failure.what();
            }
            // The header is the first row that is not blank, at the manifest's first cell; the table's
            // first header that is not empty is that cell.
            const CaseCell& first = *std::ranges::min_element(
                cells, {}, [](const CaseCell& cell) { return std::pair(cell.row, cell.column); });
            std::size_t firstColumn = first.column;
            if (table)
                firstColumn -= static_cast<std::size_t>(
                    std::ranges::find_if_not(table->headers(), &std::string::empty) - table->headers().begin());
            for (const CaseCell& cell : cells) {
                const std::string expected = shownAt(shown, cell);
                const std::string expectedXLSX = shownAt(shownXLSX, cell);
                const std::string text = table ? cellAt(*table, first.row, firstColumn, cell) : "error: " + error;
                const Reading reading{type, cell, expected, expectedXLSX, text};
                const bool isDate =
                    dateFamilies.contains(cell.family) ||
                    ((cell.family == "extreme" || timeFamilies.contains(cell.family)) && isDateFormat(cell.format));
                if (isDate || timeFamilies.contains(cell.family)) {
                    ++tally.datesAndTimes;
                    const bool isRight =
                        text == expected || (isDate ? isDateOf(reading, dateSystemOf(type, file))
                                                    : isTimeOf(text, cell.format, std::stod(cell.value)));
                    if (isRight)
                        ++tally.datesAndTimesByValue;
                    else if (!acceptedDifferenceOf(reading))
                        tally.dateFailures.push_back(describe(file, sheet, cell, expected, text));
                    continue;
                }
                ++tally.cells;
                if (text == expected) {
                    ++tally.equal;
                    continue;
                }
                if (const AcceptedDifference* accepted = acceptedDifferenceOf(reading))
                    ++tally.accepted[accepted->name], ++tally.acceptedCount;
                else
                    tally.failures.push_back(describe(file, sheet, cell, expected, text));
            }
        }
    }
    return tally;
}

double percentOf(std::size_t part, std::size_t whole)
{
    return whole == 0 ? 100 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

class LibreOfficeCaseTest : public ::testing::TestWithParam<std::string> {};

// At least 99% of the cells that are neither dates nor times read as LibreOffice shows them or
// differ in one of the accepted ways; every date and time cell reads as its value.
TEST_P(LibreOfficeCaseTest, CellsReadAsTheSpreadsheetShowsThem)
{
    ROWLARK_SKIP_WITHOUT_SHARED_FILE(libreOfficeFolder / "manifest.json");
    const Tally tally = readEverySheet(GetParam(), readManifest());
    std::cout << GetParam() << ": " << tally.equal << " of " << tally.cells << " cells as LibreOffice shows them ("
              << percentOf(tally.equal, tally.cells) << "%), " << tally.acceptedCount << " in accepted differences ("
              << percentOf(tally.equal + tally.acceptedCount, tally.cells) << "% in all); "
              << tally.datesAndTimesByValue << " of " << tally.datesAndTimes << " dates and times by value\n";
    for (const auto& [name, count] : tally.accepted)
        std::cout << "  accepted, " << name << ": " << count << '\n';
    for (const std::string& failure : tally.failures)
        std::cout << "  differs: " << failure << '\n';
    EXPECT_GE(percentOf(tally.equal + tally.acceptedCount, tally.cells), 99.0);
    // LibreOffice shows the Booleans of its own XLS files as 1 and 0: the cells besides them.
    const auto booleans = tally.accepted.find("XLS Booleans as 1 and 0");
    EXPECT_GE(percentOf(tally.equal, tally.cells - (booleans == tally.accepted.end() ? 0 : booleans->second)), 97.0);
    EXPECT_EQ(tally.dateFailures, std::vector<std::string>());
}

// The workbook types read natively. A type joins with its extension once FileImport reads it
// natively: with no reader helper at hand, a read left to the library fails.
INSTANTIATE_TEST_SUITE_P(Types, LibreOfficeCaseTest, ::testing::Values("xlsx", "ods", "xls"),
                         [](const auto& info) { return info.param; });

TEST_P(LibreOfficeCaseTest, ChartSheetsSayTheyAreCharts)
{
    const fs::path workbook = libreOfficeFolder / "written" / GetParam() / ("chartsheet." + GetParam());
    ROWLARK_SKIP_WITHOUT_SHARED_FILE(workbook);
    try {
        FileImport::readTable(workbook, std::string("Chart1"), {}, {}, FileImport::WorkbookReader::native);
        ADD_FAILURE() << "read a chart sheet as a table";
    } catch (const ImportError& error) {
        EXPECT_EQ(error.errorDescription(), "The selected sheet is a chart, not a table.");
    }
}

}  // namespace
}  // namespace rowlark::workbook
