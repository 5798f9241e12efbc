// Times FileImport::readTable on generated workbooks: 10,000 × 10 as XLSX, XLS and ODS,
// 100,000 × 10 as XLSX, 250,000 × 20 (the library's 5,000,000-cell limit) as XLSX and ODS,
// 65,536 × 20 (the format's row limit) as XLS, each file with the native reader and with the
// library, side by side in one run, and the ratio of their median times; and 1,048,576 × 20 as
// XLSX, a sheet of a format's full height, which only the native reader takes. Every run happens
// in a child process of its own; the figures are the median time of 3 runs (1 for the library on
// the large sheets, which takes minutes) and the peak resident memory of the process tree: the
// importing process and its reader helper (the sum of both peaks, an upper bound, as they need not
// peak at once).
// CPU time is given too, as it depends less on what else the machine is doing, and the memory of
// the table read, with the part of it the numbers stored beside the texts take.
//
// The workbooks are written by node with the library beside this program, so node is needed.
//
// With --versus-text it reads instead the 250,000 × 20 sheet, and one of formatted numbers,
// percentages, dates, date-times, flags and categories, as XLSX, as ODS and as the same cells in
// CSV text, natively, and sets the workbooks' median time and peak memory beside the text's.
//
// Usage: bench_workbook <data folder> [--small | --type TYPE | --native-only | --versus-text]
// (workbooks are kept there and reused; --small leaves out the large sheets, --type keeps only the
// workbooks of one type, --native-only only the sheets past the library's limits)

#include "bench/support/ProcessMeasurement.h"
#include "engine/table/Table.h"
#include "engine/workbook/FileImport.h"
#include "engine/workbook/library/ReaderProtocol.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;
using namespace rowlark;

constexpr int runs = 3;
constexpr double megabyte = 1024.0 * 1024.0;

struct Size {
    std::size_t rows;
    std::size_t columns;
    const char* type;
    bool isLarge;
    bool isNativeOnly = false;  // past the library's limits
};

constexpr Size sizes[] = {
    {10'000, 10, "xlsx", false}, {10'000, 10, "xls", false},          {10'000, 10, "ods", false},
    {100'000, 10, "xlsx", true}, {250'000, 20, "xlsx", true},         {250'000, 20, "ods", true},
    {65'536, 20, "xls", true},   {1'048'576, 20, "xlsx", true, true},
};

// Rows of ids, text and numbers; every cell a pure function of its position. The mixed kind
// cycles its columns through formatted numbers, percentages, dates, date-times, flags and
// categories.
constexpr std::string_view generator = R"JS(
const XLSX = require(process.argv[2]);
const [output, rows, columns, type, kind] =
    [process.argv[3], +process.argv[4], +process.argv[5], process.argv[6], process.argv[7]];
const data = [];
const header = [];
for (let c = 0; c < columns; ++c) header.push(c === 0 ? "id" : "column " + c);
data.push(header);
function plainCell(r, c) {
    if (c % 4 === 3)
        return { t: "n", v: 40000 + (r * c) % 9000 + (c % 8 === 7 ? 0.25 : 0), z: c % 8 === 7 ? "yyyy-mm-dd hh:mm" : "yyyy-mm-dd" };
    return c % 2 ? "text " + (r % 5000) + "-" + c : c % 4 === 2 ? r * c + 0.25 : { t: "n", v: r * c / 7, z: "#,##0.00" };
}
function mixedCell(r, c) {
    switch (c % 6) {
    case 1: return { t: "n", v: (r * c) % 100000 / 8, z: "#,##0.00" };
    case 2: return { t: "n", v: (r * c) % 1000 / 997, z: "0.0%" };
    case 3: return { t: "n", v: 36000 + (r * c) % 9000, z: "yyyy-mm-dd" };
    case 4: return { t: "n", v: 36000 + (r * c) % 9000 + (r % 96) / 96, z: "yyyy-mm-dd hh:mm" };
    case 5: return { t: "b", v: (r + c) % 3 === 0 };
    default: return "category " + (r * c) % 40;
    }
}
for (let r = 1; r < rows; ++r) {
    const row = [r];
    for (let c = 1; c < columns; ++c)
        row.push(kind === "mixed" ? mixedCell(r, c) : plainCell(r, c));
    data.push(row);
}
const book = XLSX.utils.book_new();
XLSX.utils.book_append_sheet(book, XLSX.utils.aoa_to_sheet(data), "Data");
require("fs").writeFileSync(output, XLSX.write(book, { type: "buffer", bookType: type, compression: true, bookSST: true }));
)JS";

// The same rows written straight into the XML of an XLSX with Python's zlib: the library cannot
// hold a sheet of 21,000,000 cells in node's memory to write it.
constexpr std::string_view streamingGenerator = R"PY(
import sys, zipfile
output, rows, columns = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
def column_name(index):
    name = ""
    index += 1
    while index:
        index, rest = divmod(index - 1, 26)
        name = chr(65 + rest) + name
    return name
names = [column_name(c) for c in range(columns)]
strings = ["id"] + ["column %d" % c for c in range(1, columns)] + ["text %d" % n for n in range(5000)]
# Cells without a reference follow one another, as spreadsheet programs may write them.
def cell(r, c):
    if r == 0:
        return '<c t="s"><v>%d</v></c>' % c
    if c == 0:
        return '<c><v>%d</v></c>' % r
    if c % 4 == 3:
        return '<c s="%d"><v>%s</v></c>' % (2 if c % 8 == 7 else 1, 40000 + (r * c) % 9000 + (0.25 if c % 8 == 7 else 0))
    if c % 2:
        return '<c t="s"><v>%d</v></c>' % (columns + r % 5000)
    return '<c s="3"><v>%.2f</v></c>' % (r % 10000 * c / 7) if c % 4 == 0 else '<c><v>%r</v></c>' % (r % 10000 * c + 0.25)
with zipfile.ZipFile(output, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    archive.writestr("[Content_Types].xml", '<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/><Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/><Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/></Types>')
    archive.writestr("_rels/.rels", '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>')
    archive.writestr("xl/workbook.xml", '<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Data" sheetId="1" r:id="rId1"/></sheets></workbook>')
    archive.writestr("xl/_rels/workbook.xml.rels", '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/><Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/></Relationships>')
    archive.writestr("xl/styles.xml", '<?xml version="1.0" encoding="UTF-8"?><styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><numFmts count="1"><numFmt numFmtId="164" formatCode="yyyy-mm-dd hh:mm"/></numFmts><cellXfs count="4"><xf numFmtId="0"/><xf numFmtId="14" applyNumberFormat="1"/><xf numFmtId="164" applyNumberFormat="1"/><xf numFmtId="4" applyNumberFormat="1"/></cellXfs></styleSheet>')
    archive.writestr("xl/sharedStrings.xml", '<?xml version="1.0" encoding="UTF-8"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">' + "".join("<si><t>%s</t></si>" % text for text in strings) + "</sst>")
    with archive.open("xl/worksheets/sheet1.xml", "w") as sheet:
        sheet.write(('<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><dimension ref="A1:%s%d"/><sheetData>' % (names[-1], rows)).encode())
        for r in range(rows):
            sheet.write(('<row r="%d">%s</row>' % (r + 1, "".join(cell(r, c) for c in range(columns)))).encode())
        sheet.write(b"</sheetData></worksheet>")
)PY";

// The same rows as an ODS sheet that shows its cells as a spreadsheet program shows them: the
// library writes every number as General, so that each one's text is its shortest form. Dates are
// date cells, the #,##0.00 numbers show two places and a thousands separator.
constexpr std::string_view odsGenerator = R"PY(
import datetime, sys, zipfile
output, rows, columns = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
epoch = datetime.datetime(1899, 12, 30)
def paragraph(text):
    return "<text:p>%s</text:p></table:table-cell>" % text
def cell(r, c):
    if r == 0:
        return '<table:table-cell office:value-type="string">' + paragraph("id" if c == 0 else "column %d" % c)
    if c == 0:
        return '<table:table-cell office:value-type="float" office:value="%d">' % r + paragraph(r)
    if c % 4 == 3:
        moment = epoch + datetime.timedelta(days=40000 + (r * c) % 9000 + (0.25 if c % 8 == 7 else 0))
        return ('<table:table-cell table:style-name="ce1" office:value-type="date" office:date-value="%s">'
                % moment.isoformat() + paragraph(moment.strftime("%m/%d/%Y %H:%M" if c % 8 == 7 else "%m/%d/%Y")))
    if c % 2:
        return '<table:table-cell office:value-type="string">' + paragraph("text %d" % (r % 5000))
    if c % 4 == 0:
        value = r % 10000 * c / 7
        return ('<table:table-cell table:style-name="ce2" office:value-type="float" office:value="%r">' % value
                + paragraph("{:,.2f}".format(value)))
    value = r % 10000 * c + 0.25
    return '<table:table-cell office:value-type="float" office:value="%r">' % value + paragraph(repr(value))
with zipfile.ZipFile(output, "w", zipfile.ZIP_DEFLATED) as archive:
    archive.writestr("mimetype", "application/vnd.oasis.opendocument.spreadsheet")
    archive.writestr("META-INF/manifest.xml", '<?xml version="1.0" encoding="UTF-8"?><manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0"><manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.spreadsheet"/><manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/></manifest:manifest>')
    with archive.open("content.xml", "w") as content:
        content.write(b'<?xml version="1.0" encoding="UTF-8"?><office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"><office:automatic-styles><style:style style:name="ce1" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="N37"/><style:style style:name="ce2" style:family="table-cell" style:parent-style-name="Default" style:data-style-name="N4"/></office:automatic-styles><office:body><office:spreadsheet><table:table table:name="Data">')
        for r in range(rows):
            content.write(("<table:table-row>%s</table:table-row>" % "".join(cell(r, c) for c in range(columns))).encode())
        content.write(b"</table:table></office:spreadsheet></office:body></office:document-content>")
)PY";

fs::path workbookFile(const fs::path& folder, const Size& size, std::string_view kind = "plain")
{
    const fs::path path = folder / ((kind == "mixed" ? "mixed-" : "workbook-") + std::to_string(size.rows) + "x" +
                                    std::to_string(size.columns) + "." + size.type);
    if (fs::exists(path))
        return path;
    const bool isLargeODS = size.isLarge && std::string_view(size.type) == "ods";
    if (size.isNativeOnly || isLargeODS) {
        const fs::path script = folder / "write-workbook.py";
        std::ofstream(script) << (isLargeODS ? odsGenerator : streamingGenerator);
        const fs::path temporary = folder / ("partial." + std::string(size.type));
        const std::string command = "python3 '" + script.string() + "' '" + temporary.string() + "' " +
                                    std::to_string(size.rows) + " " + std::to_string(size.columns);
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            std::exit(1);
        }
        fs::rename(temporary, path);
        return path;
    }
    const fs::path script = folder / "write-workbook.js";
    std::ofstream(script) << generator;
    const fs::path library = fs::read_symlink("/proc/self/exe").parent_path() / workbook::readerProtocol::bundleName /
                             workbook::readerProtocol::libraryInBundle;
    const fs::path temporary = folder / ("partial." + std::string(size.type));
    // The library's own deflate packs a 5,000,000-cell sheet past the 64 MB limit; zlib at its
    // usual level packs it as spreadsheet programs do.
    const std::string recompress =
        std::string_view(size.type) == "xls"
            ? std::string()
            : " && python3 -c 'import sys, zipfile; old = zipfile.ZipFile(sys.argv[1]); "
              "new = zipfile.ZipFile(sys.argv[1] + \".packed\", \"w\", zipfile.ZIP_DEFLATED); "
              "[new.writestr(entry, old.read(entry)) for entry in old.infolist()]; new.close()' '" +
                  temporary.string() + "' && mv '" + temporary.string() + ".packed' '" + temporary.string() + "'";
    const std::string command = "node --max-old-space-size=8192 '" + script.string() + "' '" + library.string() +
                                "' '" + temporary.string() + "' " + std::to_string(size.rows) + " " +
                                std::to_string(size.columns) + " " + size.type + " " + std::string(kind) + recompress;
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "could not write %s\n", path.c_str());
        std::exit(1);
    }
    fs::rename(temporary, path);
    return path;
}

struct Measurement {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system time of the importer and its reader together
    double importerPeak = 0;
    double readerPeak = 0;
    std::size_t rows = 0;
    std::size_t columns = 0;
    double tableBytes = 0;
    double storedNumberBytes = 0;  // of tableBytes: the numbers stored beside the texts
    bool isLoaded = false;
};

double cpuSecondsOf(const rusage& usage)
{
    const auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Measurement measureLoad(const fs::path& path, workbook::FileImport::WorkbookReader reader)
{
    return bench::measureInChild([&] {
        Measurement measurement;
        bench::resetPeakResidentSize();
        const auto start = std::chrono::steady_clock::now();
        try {
            const workbook::ImportedTable imported = workbook::FileImport::readTable(
                path, std::nullopt, workbook::FileImport::defaultReaderLocations(), {}, reader);
            measurement.rows = imported.table.rowCount();
            measurement.columns = imported.table.columnCount();
            measurement.tableBytes = static_cast<double>(imported.table.memoryUsage());
            measurement.storedNumberBytes = static_cast<double>(imported.table.storedNumbersMemoryUsage());
            measurement.isLoaded = true;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), error.what());
        }
        measurement.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        measurement.importerPeak = bench::statusBytes("VmHWM");
        rusage self{};
        rusage children{};
        ::getrusage(RUSAGE_SELF, &self);
        ::getrusage(RUSAGE_CHILDREN, &children);
        measurement.readerPeak = static_cast<double>(children.ru_maxrss) * 1024.0;
        measurement.cpuSeconds = cpuSecondsOf(self) + cpuSecondsOf(children);
        return measurement;
    });
}

// A field of CSV text, quoted when it holds a separator, a quote or a line break.
void writeField(std::ofstream& out, std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out << field;
        return;
    }
    out << '"';
    for (const char character : field)
        out << (character == '"' ? std::string_view("\"\"") : std::string_view(&character, 1));
    out << '"';
}

void writeCSV(const table::Table& table, const fs::path& path)
{
    std::ofstream out(path, std::ios::binary);
    const auto writeRow = [&](const auto& cellAt) {
        for (std::size_t column = 0; column < table.columnCount(); ++column) {
            if (column > 0)
                out << ',';
            writeField(out, cellAt(column));
        }
        out << '\n';
    };
    writeRow([&](std::size_t column) { return std::string_view(table.headers()[column]); });
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        writeRow([&](std::size_t column) { return table.cell(row, column); });
}

// The sheet's content.xml: number cells with their numbers and texts, flags as Booleans, the
// rest as texts (the generated texts need no escaping).
void writeODSContent(const table::Table& table, const fs::path& path)
{
    std::ofstream out(path, std::ios::binary);
    out << R"(<?xml version="1.0" encoding="UTF-8"?><office:document-content )"
           R"(xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
           R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
           R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2">)"
           R"(<office:body><office:spreadsheet><table:table table:name="Data">)";
    const auto writeCell = [&](std::string_view text, std::optional<values::StoredNumber> number) {
        if (number)
            out << R"(<table:table-cell office:value-type="float" office:value=")" << number->value << "\">";
        else if (text == "TRUE" || text == "FALSE")
            out << R"(<table:table-cell office:value-type="boolean" office:boolean-value=")"
                << (text == "TRUE" ? "true" : "false") << "\">";
        else
            out << R"(<table:table-cell office:value-type="string">)";
        out << "<text:p>" << text << "</text:p></table:table-cell>";
    };
    out.precision(17);
    out << "<table:table-row>";
    for (const std::string& name : table.headers())
        writeCell(name, std::nullopt);
    out << "</table:table-row>";
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        out << "<table:table-row>";
        for (std::size_t column = 0; column < table.columnCount(); ++column)
            writeCell(table.cell(row, column), table.storedNumber(row, column));
        out << "</table:table-row>";
    }
    out << "</table:table></office:spreadsheet></office:body></office:document-content>";
}

constexpr std::string_view odsPacker = R"PY(
import sys, zipfile
content, output = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(output, "w", zipfile.ZIP_DEFLATED) as archive:
    archive.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.spreadsheet", zipfile.ZIP_STORED)
    archive.writestr("META-INF/manifest.xml", '<?xml version="1.0" encoding="UTF-8"?><manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2"><manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.spreadsheet"/><manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/></manifest:manifest>')
    archive.write(content, "content.xml")
)PY";

struct Written {
    bool isWritten = false;
};

// The table the native reader reads from `workbook`, written beside it as CSV text and as ODS
// (the library cannot write an ODS of 5,000,000 cells within node's string limit).
void writeSameTable(const fs::path& workbook, const fs::path& csv, const fs::path& ods)
{
    if (fs::exists(csv) && fs::exists(ods))
        return;
    const fs::path content = fs::path(ods).replace_extension(".content.xml");
    const Written written = bench::measureInChild([&] {
        try {
            const table::Table table =
                workbook::FileImport::readTable(workbook, std::nullopt, workbook::FileImport::defaultReaderLocations(),
                                                {}, workbook::FileImport::WorkbookReader::native)
                    .table;
            writeCSV(table, csv);
            writeODSContent(table, content);
            return Written{true};
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s: %s\n", workbook.c_str(), error.what());
            return Written{};
        }
    });
    const fs::path script = csv.parent_path() / "pack-ods.py";
    std::ofstream(script) << odsPacker;
    const std::string command = "python3 '" + script.string() + "' '" + content.string() + "' '" + ods.string() + "'";
    if (!written.isWritten || std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "could not write %s and %s\n", csv.c_str(), ods.c_str());
        std::exit(1);
    }
    fs::remove(content);
}

std::vector<Measurement> measureRuns(const fs::path& path, workbook::FileImport::WorkbookReader reader, int count)
{
    std::vector<Measurement> measurements;
    for (int run = 0; run < count; ++run) {
        const Measurement measurement = measureLoad(path, reader);
        if (!measurement.isLoaded)
            break;
        measurements.push_back(measurement);
    }
    return measurements;
}

// The median time, processor time and peak memory of the importing process over `runs` reads.
struct Medians {
    double seconds = 0;
    double cpuSeconds = 0;
    double peak = 0;
};

Medians mediansOfRuns(const fs::path& path)
{
    const std::vector<Measurement> measurements = measureRuns(path, workbook::FileImport::WorkbookReader::native, runs);
    if (measurements.empty()) {
        std::fprintf(stderr, "could not read %s\n", path.c_str());
        std::exit(1);
    }
    const auto median = [&](double Measurement::*field) {
        std::vector<double> values;
        for (const Measurement& measurement : measurements)
            values.push_back(measurement.*field);
        return bench::medianOf(values);
    };
    return {median(&Measurement::seconds), median(&Measurement::cpuSeconds),
            median(&Measurement::importerPeak) + median(&Measurement::readerPeak)};
}

// The 250,000 × 20 table as XLSX and ODS, read natively, beside the same cells as CSV text, for
// the sheet of the other workbooks and for one of formatted numbers, percentages, dates,
// date-times, flags and categories: what reading a workbook costs over reading its text.
void compareWithText(const fs::path& folder)
{
    std::printf("%-24s %8s %9s %9s %9s   %s\n", "250,000 x 20", "file MB", "median s", "cpu s", "peak MB", "against");
    for (const std::string_view kind : {"plain", "mixed"}) {
        const fs::path xlsx = workbookFile(folder, {250'000, 20, "xlsx", true}, kind);
        const fs::path csv = fs::path(xlsx).replace_extension(".csv");
        const fs::path ods = fs::path(xlsx).replace_extension(".ods");
        writeSameTable(xlsx, csv, ods);
        const Medians text = mediansOfRuns(csv);
        const Medians spreadsheet = mediansOfRuns(xlsx);
        const Medians document = mediansOfRuns(ods);
        const auto print = [&](std::string_view type, const fs::path& path, const Medians& medians,
                               const std::string& against) {
            std::printf("%-24s %8.1f %9.2f %9.2f %9.0f   %s\n", (std::string(kind) + " " + std::string(type)).c_str(),
                        static_cast<double>(fs::file_size(path)) / megabyte, medians.seconds, medians.cpuSeconds,
                        medians.peak / megabyte, against.c_str());
        };
        const auto ratio = [](double value, double base) { return std::to_string(value / base).substr(0, 4) + "x"; };
        print("csv", csv, text, "");
        print("xlsx", xlsx, spreadsheet,
              ratio(spreadsheet.seconds, text.seconds) + " CSV time, " + ratio(spreadsheet.peak, text.peak) +
                  " CSV memory");
        print("ods", ods, document, ratio(document.seconds, spreadsheet.seconds) + " XLSX time");
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <data folder> [--small | --type TYPE | --native-only | --versus-text]\n",
                     argv[0]);
        return 2;
    }
    const fs::path folder = argv[1];
    const bool isSmallOnly = argc > 2 && std::string_view(argv[2]) == "--small";
    const bool isNativeOnly = argc > 2 && std::string_view(argv[2]) == "--native-only";
    const std::string_view onlyType = argc > 3 && std::string_view(argv[2]) == "--type" ? argv[3] : "";
    fs::create_directories(folder);
    if (argc > 2 && std::string_view(argv[2]) == "--versus-text") {
        compareWithText(folder);
        return 0;
    }

    std::printf("%-30s %8s %9s %9s %12s %10s %9s %7s\n", "workbook", "file MB", "median s", "cpu s", "importer MB",
                "reader MB", "tree MB", "ratio");
    for (const Size& size : sizes) {
        if ((size.isLarge && isSmallOnly) || (!size.isNativeOnly && isNativeOnly) ||
            (!onlyType.empty() && onlyType != size.type))
            continue;
        const fs::path path = workbookFile(folder, size);
        const bool hasLibraryReader = !size.isNativeOnly;
        double nativeSeconds = 0;
        for (const auto reader :
             {workbook::FileImport::WorkbookReader::native, workbook::FileImport::WorkbookReader::library}) {
            const bool isNative = reader == workbook::FileImport::WorkbookReader::native;
            if (!isNative && !hasLibraryReader)
                continue;
            const int runCount = !isNative && size.isLarge ? 1 : runs;
            std::vector<double> seconds;
            std::vector<double> cpuSeconds;
            Measurement peak;
            for (const Measurement& measurement : measureRuns(path, reader, runCount)) {
                seconds.push_back(measurement.seconds);
                cpuSeconds.push_back(measurement.cpuSeconds);
                peak.importerPeak = std::max(peak.importerPeak, measurement.importerPeak);
                peak.readerPeak = std::max(peak.readerPeak, measurement.readerPeak);
                peak.rows = measurement.rows;
                peak.columns = measurement.columns;
                peak.tableBytes = measurement.tableBytes;
                peak.storedNumberBytes = measurement.storedNumberBytes;
            }
            if (seconds.empty()) {
                std::printf("%-30s failed (see above)\n",
                            (std::to_string(size.rows) + " x " + std::to_string(size.columns) + " " + size.type +
                             (isNative ? " native" : " library"))
                                .c_str());
                continue;
            }
            const double median = bench::medianOf(seconds);
            if (isNative)
                nativeSeconds = median;
            const std::string name = std::to_string(size.rows) + " x " + std::to_string(size.columns) + " " +
                                     size.type + (isNative ? " native" : " library");
            const std::string ratio =
                !isNative && nativeSeconds > 0 ? std::to_string(median / nativeSeconds).substr(0, 6) + "x" : "";
            std::printf("%-30s %8.1f %9.2f %9.2f %12.0f %10.0f %9.0f %7s   (%zu rows x %zu columns read; table "
                        "%.1f MB, of which stored numbers %.1f MB)\n",
                        name.c_str(), static_cast<double>(fs::file_size(path)) / megabyte, median,
                        bench::medianOf(cpuSeconds), peak.importerPeak / megabyte, peak.readerPeak / megabyte,
                        (peak.importerPeak + peak.readerPeak) / megabyte, ratio.c_str(), peak.rows, peak.columns,
                        peak.tableBytes / megabyte, peak.storedNumberBytes / megabyte);
            std::fflush(stdout);
        }
    }
    return 0;
}
