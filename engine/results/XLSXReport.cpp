#include "engine/results/XLSXReport.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <set>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

#include <xlsxwriter.h>

#include "engine/results/ComparisonReport.h"
#include "engine/results/ReportFile.h"
#include "engine/text/Unicode.h"

namespace rowlark::results::XLSXReport {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view renameArrow = " \u2192 ";
constexpr std::string_view ellipsis = "\u2026";
// Columns get the width of their widest value among the first rows, within these bounds.
constexpr std::size_t measuredRows = 200;
constexpr std::size_t narrowestColumn = 6;
constexpr std::size_t widestColumn = 60;
// How many rows are written between two looks at the stop request.
constexpr std::size_t rowsBetweenStopChecks = 4096;

constexpr lxw_color_t changedColour = 0xFFF2CC;
constexpr lxw_color_t onlyLeftColour = 0xF8D7DA;
constexpr lxw_color_t onlyRightColour = 0xD4EDDA;
constexpr lxw_color_t changedCellColour = 0xFFD966;

// Thrown from the rows when a stop was requested; ends the write without a report.
struct Stopped {};

[[noreturn]] void throwWorkbookError(lxw_error error)
{
    throw WorkbookError(std::string("The workbook could not be written: ") + lxw_strerror(error) + ".");
}

void check(lxw_error error)
{
    if (error != LXW_NO_ERROR)
        throwWorkbookError(error);
}

std::size_t scalarCount(std::string_view text)
{
    return static_cast<std::size_t>(
        std::ranges::count_if(text, [](char byte) { return !text::isContinuationByte(byte); }));
}

// UTF-16 units of a scalar by its lead byte: two above U+FFFF, none for a continuation byte.
std::size_t utf16Units(char byte)
{
    if (text::isContinuationByte(byte))
        return 0;
    return static_cast<unsigned char>(byte) >= 0xF0 ? 2 : 1;
}

// Cuts `text` so that, ending in "…", it holds at most `cellCharacterLimit` UTF-16 units; returns
// whether it had to. No text holds more units than bytes.
bool fitCell(std::string& text)
{
    if (text.size() <= cellCharacterLimit)
        return false;
    std::size_t units = 0;
    std::size_t cut = text.size();
    for (std::size_t position = 0; position < text.size(); ++position) {
        units += utf16Units(text[position]);
        if (units > cellCharacterLimit - 1 && cut == text.size())
            cut = position;
        if (units > cellCharacterLimit) {
            text.resize(cut);
            text.append(ellipsis);
            return true;
        }
    }
    return false;
}

// A private file in the temporary folder, removed again when done with.
class ScratchFile {
public:
    ScratchFile()
        : path_((fs::temp_directory_path() / "rowlark-report-XXXXXX").string())
    {
        const int descriptor = ::mkstemp(path_.data());
        if (descriptor < 0)
            throw std::system_error(errno, std::generic_category());
        ::close(descriptor);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile() { ::unlink(path_.c_str()); }

    const std::string& path() const { return path_; }

    void copyTo(int target) const
    {
        const int source = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (source < 0)
            throw std::system_error(errno, std::generic_category());
        const int error = copy(source, target);
        ::close(source);
        if (error != 0)
            throw std::system_error(error, std::generic_category());
    }

private:
    // The errno of a failed copy, or 0.
    static int copy(int source, int target)
    {
        for (;;) {
            const ssize_t count = ::sendfile(target, source, nullptr, std::size_t{1} << 30);
            if (count == 0)
                return 0;
            if (count < 0 && errno != EINTR)
                return errno;
        }
    }

    std::string path_;
};

lxw_format* filledFormat(lxw_workbook* workbook, lxw_color_t colour)
{
    lxw_format* format = workbook_add_format(workbook);
    format_set_pattern(format, LXW_PATTERN_SOLID);
    format_set_bg_color(format, colour);
    return format;
}

lxw_format* boldFormat(lxw_workbook* workbook)
{
    lxw_format* format = workbook_add_format(workbook);
    format_set_bold(format);
    return format;
}

// Returns whether the text had to be cut.
bool writeText(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, std::string text, lxw_format* format)
{
    const bool isCut = fitCell(text);
    check(worksheet_write_string(sheet, row, column, text.c_str(), format));
    return isCut;
}

// The report sheet, filled line by line from the report's walk.
class ReportSheet final : public ComparisonReport::ReportSink {
public:
    ReportSheet(lxw_workbook* workbook, lxw_worksheet* sheet, std::span<const records::ColumnChanges> columns,
                std::size_t leftColumns, std::stop_token stop)
        : sheet_(sheet)
        , columns_(columns)
        , stop_(std::move(stop))
        , headerFormat_(boldFormat(workbook))
        , statusFormats_{filledFormat(workbook, changedColour), filledFormat(workbook, onlyLeftColour),
                         filledFormat(workbook, onlyRightColour)}
        , changedCellFormat_(filledFormat(workbook, changedCellColour))
        , leftColumns_(leftColumns)
    {
    }

    void beginRecord(const records::RowDifference& difference) override
    {
        status_ = difference.status;
        changedFields_.assign(widths_.size(), false);
        for (const records::CellDifference& cell : difference.cells)
            markChanged(cell);
    }

    void field(std::string_view value) override
    {
        if (row_ < measuredRows) {
            if (row_ == 0)
                widths_.push_back(narrowestColumn);
            widths_[column_] = std::max(widths_[column_], std::min(scalarCount(value), widestColumn));
        }
        if (ComparisonReport::isFormulaLike(value))
            ++alterations_.escapedFields;
        if (writeText(sheet_, static_cast<lxw_row_t>(row_), static_cast<lxw_col_t>(column_),
                      ComparisonReport::safeCell(value), format()))
            ++alterations_.cutCells;
        ++column_;
    }

    const Alterations& alterations() const { return alterations_; }

    void endLine() override
    {
        ++row_;
        column_ = 0;
        if (row_ % rowsBetweenStopChecks == 0 && stop_.stop_requested())
            throw Stopped{};
    }

    // The header row frozen and filterable, and the columns sized.
    void finish()
    {
        worksheet_freeze_panes(sheet_, 1, 0);
        const auto lastColumn = static_cast<lxw_col_t>(widths_.empty() ? 0 : widths_.size() - 1);
        check(worksheet_autofilter(sheet_, 0, 0, static_cast<lxw_row_t>(row_ == 0 ? 0 : row_ - 1), lastColumn));
        for (std::size_t column = 0; column < widths_.size(); ++column)
            check(worksheet_set_column(sheet_, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
                                       static_cast<double>(widths_[column] + 2), nullptr));
    }

private:
    // Fields before the cells: the status and the key.
    static constexpr std::size_t leadingFields = 2;

    void markChanged(const records::CellDifference& cell)
    {
        if (cell.column >= columns_.size())
            return;
        const records::ColumnChanges& column = columns_[cell.column];
        mark(leadingFields + static_cast<std::size_t>(column.leftIndex));
        mark(leadingFields + leftColumns_ + static_cast<std::size_t>(column.rightIndex));
    }

    void mark(std::size_t field)
    {
        if (field < changedFields_.size())
            changedFields_[field] = true;
    }

    lxw_format* format() const
    {
        if (row_ == 0)
            return headerFormat_;
        if (column_ == 0)
            return statusFormats_[static_cast<std::size_t>(status_)];
        if (column_ < changedFields_.size() && changedFields_[column_])
            return changedCellFormat_;
        return nullptr;
    }

    lxw_worksheet* sheet_;
    std::span<const records::ColumnChanges> columns_;
    std::stop_token stop_;
    lxw_format* headerFormat_;
    std::array<lxw_format*, 3> statusFormats_;
    lxw_format* changedCellFormat_;
    std::size_t leftColumns_;
    std::size_t row_ = 0;
    std::size_t column_ = 0;
    records::DiffStatus status_ = records::DiffStatus::changed;
    std::vector<bool> changedFields_;
    std::vector<std::size_t> widths_;
    Alterations alterations_;
};

// The "Summary" sheet: label and value rows, then the changed columns, the most changed first.
class SummarySheet {
public:
    SummarySheet(lxw_workbook* workbook, lxw_worksheet* sheet)
        : sheet_(sheet)
        , labelFormat_(boldFormat(workbook))
    {
    }

    void line(std::string_view label, std::string value)
    {
        writeText(sheet_, row_, 0, std::string(label), labelFormat_);
        writeText(sheet_, row_, 1, std::move(value), nullptr);
        ++row_;
    }

    void count(std::string_view label, std::int64_t value) { line(label, std::to_string(value)); }

    // A row of several cells, in bold for a heading.
    void cells(const std::vector<std::string>& texts, bool isHeading = false)
    {
        for (std::size_t column = 0; column < texts.size(); ++column)
            writeText(sheet_, row_, static_cast<lxw_col_t>(column), texts[column], isHeading ? labelFormat_ : nullptr);
        ++row_;
    }

    void gap() { ++row_; }

    void finish()
    {
        check(worksheet_set_column(sheet_, 0, 0, 28, nullptr));
        check(worksheet_set_column(sheet_, 1, 1, 40, nullptr));
    }

private:
    lxw_worksheet* sheet_;
    lxw_format* labelFormat_;
    lxw_row_t row_ = 0;
};

std::int64_t countOf(const records::ComparisonSummary& summary, records::DiffStatus status)
{
    return std::ranges::count(summary.differences, status, &records::RowDifference::status);
}

// The File A column's name, and the File B column's after an arrow when it is named otherwise.
std::string pairName(const records::ColumnChanges& column)
{
    std::string name = records::columnName(column.leftHeader, column.leftIndex);
    const std::string rightName = records::columnName(column.rightHeader, column.rightIndex);
    if (rightName != name)
        name.append(renameArrow).append(rightName);
    return name;
}

void writeSummary(SummarySheet& sheet, const records::ComparisonSummary& summary, const Details& details,
                  std::size_t reportRows, const Alterations& alterations)
{
    sheet.line("File A", std::string(details.leftName));
    sheet.line("File B", std::string(details.rightName));
    sheet.line("Compared", std::string(details.comparedAt));
    sheet.line("Key", std::string(details.key));
    sheet.gap();
    sheet.count("Rows in File A", summary.leftRows);
    sheet.count("Rows in File B", summary.rightRows);
    sheet.count("Matching rows", summary.matchingRows);
    for (const records::DiffStatus status :
         {records::DiffStatus::changed, records::DiffStatus::onlyLeft, records::DiffStatus::onlyRight})
        sheet.count(records::title(status), countOf(summary, status));
    sheet.count("Rows in this report", static_cast<std::int64_t>(reportRows));
    if (!details.filter.empty())
        sheet.line("Filter", std::string(details.filter));
    if (!details.search.empty())
        sheet.line("Search", std::string(details.search));
    if (!details.changedColumn.empty())
        sheet.line("Changed column", std::string(details.changedColumn));
    if (alterations.cutCells > 0)
        sheet.line("Cells cut at 32,767 characters",
                   std::to_string(alterations.cutCells) +
                       " (each ends in \u2026; the CSV report holds the whole values)");
    sheet.gap();
    sheet.line("Changes by column", "Changed records");
    for (const std::size_t position : records::columnsByChanges(summary))
        sheet.count(pairName(summary.columns[position]), summary.columns[position].changedRecords);
    sheet.finish();
}

std::size_t reportRowCount(const records::ComparisonSummary& summary, std::span<const std::size_t> indices)
{
    return static_cast<std::size_t>(
        std::ranges::count_if(indices, [&](std::size_t position) { return position < summary.differences.size(); }));
}

lxw_worksheet* addWorksheet(lxw_workbook* workbook, const std::string& name)
{
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, name.c_str());
    if (sheet == nullptr)
        throwWorkbookError(LXW_ERROR_MEMORY_MALLOC_FAILED);
    return sheet;
}

// The rows of `indices` on `sheet`, laid out as the CSV report; what writing changed of the values.
Alterations writeReportRows(lxw_workbook* workbook, lxw_worksheet* sheet, const records::ComparisonSummary& summary,
                            const Details& details, std::span<const std::size_t> indices, std::stop_token stop)
{
    ReportSheet report(workbook, sheet, summary.columns, details.leftHeaders.size(), std::move(stop));
    ComparisonReport::write(report, summary, details.leftName, details.rightName, details.leftHeaders,
                            details.rightHeaders, indices);
    report.finish();
    return report.alterations();
}

// Builds a whole workbook at `path` with `fill`; false when stopped.
bool buildWorkbook(const std::string& path, const std::stop_token& stop, const std::function<void(lxw_workbook*)>& fill)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    if (workbook == nullptr)
        throwWorkbookError(LXW_ERROR_CREATING_XLSX_FILE);
    try {
        fill(workbook);
    } catch (const Stopped&) {
        workbook_close(workbook);
        return false;
    } catch (...) {
        workbook_close(workbook);
        throw;
    }
    check(workbook_close(workbook));
    return !stop.stop_requested();
}

bool build(const std::string& path, const records::ComparisonSummary& summary, const Details& details,
           std::span<const std::size_t> indices, std::size_t reportRows, std::stop_token stop, Alterations& alterations)
{
    return buildWorkbook(path, stop, [&](lxw_workbook* workbook) {
        lxw_worksheet* reportSheet = addWorksheet(workbook, "Report");
        lxw_worksheet* summarySheet = addWorksheet(workbook, "Summary");
        alterations = writeReportRows(workbook, reportSheet, summary, details, indices, stop);
        SummarySheet summaryLines(workbook, summarySheet);
        writeSummary(summaryLines, summary, details, reportRows, alterations);
    });
}

// Throws WorkbookError when the report of `indices` does not fit on one sheet.
void checkFits(const Details& details, std::size_t reportRows)
{
    if (reportRows + 1 > LXW_ROW_MAX)
        throw WorkbookError("The report has more rows than a workbook sheet holds; export it as CSV instead.");
    if (2 + details.leftHeaders.size() + details.rightHeaders.size() > LXW_COL_MAX)
        throw WorkbookError("The report has more columns than a workbook sheet holds; export it as CSV instead.");
}

constexpr std::size_t worksheetNameLimit = 31;  // UTF-16 units
constexpr std::string_view summaryName = "Summary";

// `name` cut to at most `units` UTF-16 units, at a character's end.
std::string cutToUnits(std::string_view name, std::size_t units)
{
    std::size_t used = 0;
    std::size_t end = 0;
    while (end < name.size()) {
        std::size_t next = end;
        const char32_t scalar = text::nextScalar(name, next);
        const std::size_t width = scalar > 0xFFFF ? 2 : 1;
        if (used + width > units)
            break;
        used += width;
        end = next;
    }
    return std::string(name.substr(0, end));
}

// The name as a worksheet may hold it, before it is made unique.
std::string worksheetBaseName(std::string_view sheet)
{
    std::string name;
    for (const char character : sheet)
        name.push_back(std::string_view("[]:*?/\\").find(character) == std::string_view::npos ? character : '_');
    while (!name.empty() && name.front() == '\'')
        name.erase(name.begin());
    while (!name.empty() && name.back() == '\'')
        name.pop_back();
    name = cutToUnits(name, worksheetNameLimit);
    while (!name.empty() && name.back() == '\'')
        name.pop_back();
    return text::isBlank(name) ? std::string("Sheet") : name;
}

std::string withHiddenMark(const workbook::SheetEntry& sheet)
{
    return sheet.isHidden ? sheet.name + " (hidden)" : sheet.name;
}

void writeWorkbookSummary(SummarySheet& sheet, std::span<const SheetReport> pairs,
                          const std::vector<std::string>& names, const WorkbookDetails& details)
{
    sheet.line("File A", std::string(details.leftName));
    sheet.line("File B", std::string(details.rightName));
    sheet.line("Compared", std::string(details.comparedAt));
    if (!pairs.empty() && !pairs.front().details.filter.empty())
        sheet.line("Filter", std::string(pairs.front().details.filter));
    if (!pairs.empty() && !pairs.front().details.search.empty())
        sheet.line("Search", std::string(pairs.front().details.search));
    sheet.gap();
    const auto title = [](records::DiffStatus status) { return std::string(records::title(status)); };
    sheet.cells({"Sheet in File A", "Sheet in File B", "Worksheet", "Key", "Rows in File A", "Rows in File B",
                 "Matching rows", title(records::DiffStatus::changed), title(records::DiffStatus::onlyLeft),
                 title(records::DiffStatus::onlyRight), "Rows in this report", "Error"},
                true);
    for (std::size_t index = 0; index < pairs.size(); ++index) {
        const SheetReport& pair = pairs[index];
        std::vector<std::string> cells{withHiddenMark(pair.leftSheet), withHiddenMark(pair.rightSheet)};
        if (pair.summary) {
            const records::ComparisonSummary& summary = *pair.summary;
            cells.insert(cells.end(), {names[index], std::string(pair.details.key), std::to_string(summary.leftRows),
                                       std::to_string(summary.rightRows), std::to_string(summary.matchingRows),
                                       std::to_string(countOf(summary, records::DiffStatus::changed)),
                                       std::to_string(countOf(summary, records::DiffStatus::onlyLeft)),
                                       std::to_string(countOf(summary, records::DiffStatus::onlyRight)),
                                       std::to_string(reportRowCount(summary, pair.indices))});
        } else {
            cells.resize(11);
            cells.emplace_back(pair.error);
        }
        sheet.cells(cells);
    }
    const auto listSheets = [&sheet](std::string_view label, const std::vector<workbook::SheetEntry>& sheets) {
        for (const workbook::SheetEntry& entry : sheets)
            sheet.line(label, withHiddenMark(entry));
    };
    if (!details.onlyInLeft.empty() || !details.onlyInRight.empty())
        sheet.gap();
    listSheets("Only in File A", details.onlyInLeft);
    listSheets("Only in File B", details.onlyInRight);
    sheet.finish();
}

}  // namespace

bool isWorkbookPath(const fs::path& path)
{
    std::string extension = path.extension().string();
    std::ranges::transform(extension, extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".xlsx";
}

std::string keyColumns(const std::vector<records::ColumnMapping>& mappings, const std::vector<std::string>& leftHeaders)
{
    std::string key;
    for (const records::ColumnMapping& mapping : mappings) {
        if (!mapping.isKey || !mapping.rightIndex || mapping.leftIndex < 0 ||
            static_cast<std::size_t>(mapping.leftIndex) >= leftHeaders.size())
            continue;
        if (!key.empty())
            key.append(records::keySeparator);
        key.append(leftHeaders[static_cast<std::size_t>(mapping.leftIndex)]);
    }
    return key;
}

std::string localTime(std::chrono::system_clock::time_point time)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    std::array<char, 32> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), "%Y-%m-%d %H:%M:%S", &local);
    return std::string(text.data(), length);
}

bool write(const fs::path& path, const records::ComparisonSummary& summary, const Details& details,
           std::span<const std::size_t> indices, std::stop_token stop, Alterations* alterations)
{
    const std::size_t reportRows = reportRowCount(summary, indices);
    checkFits(details, reportRows);
    const ScratchFile scratch;
    Alterations made;
    if (!build(scratch.path(), summary, details, indices, reportRows, stop, made))
        return false;
    if (alterations)
        *alterations = made;
    return ReportFile::write(
        path, [&scratch](int descriptor) { scratch.copyTo(descriptor); }, std::move(stop));
}

}  // namespace rowlark::results::XLSXReport

namespace rowlark::results::XLSXReport {

std::vector<std::string> worksheetNames(std::span<const SheetReport> pairs)
{
    // "History" is a name the spreadsheet keeps for itself.
    std::set<std::string> taken{text::lowercased(summaryName), "history"};
    std::vector<std::string> names;
    for (const SheetReport& pair : pairs) {
        const std::string base = worksheetBaseName(pair.leftSheet.name);
        std::string name = base;
        for (std::size_t number = 2; taken.contains(text::lowercased(name)); ++number) {
            const std::string suffix = " (" + std::to_string(number) + ")";
            name = cutToUnits(base, worksheetNameLimit - suffix.size()) + suffix;
        }
        taken.insert(text::lowercased(name));
        names.push_back(std::move(name));
    }
    return names;
}

bool writeSheets(const fs::path& path, std::span<const SheetReport> pairs, const WorkbookDetails& details,
                 std::stop_token stop, Alterations* alterations)
{
    for (const SheetReport& pair : pairs)
        if (pair.summary)
            checkFits(pair.details, reportRowCount(*pair.summary, pair.indices));
    const std::vector<std::string> names = worksheetNames(pairs);
    const ScratchFile scratch;
    Alterations made;
    const bool isBuilt = buildWorkbook(scratch.path(), stop, [&](lxw_workbook* workbook) {
        SummarySheet summary(workbook, addWorksheet(workbook, std::string(summaryName)));
        writeWorkbookSummary(summary, pairs, names, details);
        for (std::size_t index = 0; index < pairs.size(); ++index) {
            const SheetReport& pair = pairs[index];
            if (!pair.summary)
                continue;
            const Alterations sheetMade = writeReportRows(workbook, addWorksheet(workbook, names[index]), *pair.summary,
                                                          pair.details, pair.indices, stop);
            made.escapedFields += sheetMade.escapedFields;
            made.cutCells += sheetMade.cutCells;
        }
    });
    if (!isBuilt)
        return false;
    if (alterations)
        *alterations = made;
    return ReportFile::write(
        path, [&scratch](int descriptor) { scratch.copyTo(descriptor); }, std::move(stop));
}

}  // namespace rowlark::results::XLSXReport
