// Times the mapping analysis of generated tables and reports its peak memory. Two tables of 1,000,000 rows: the
// analysis looks only at each column's first 1,000 rows, so its time must not depend on the row count. Wide tables of
// 200 to 10,000 columns of a few rows whose headers look alike ("Billing Account 17"): scoring is quadratic in the
// column count.
//
// Usage: bench_analysis [data folder]   (the tables are generated in memory; the folder is unused)

#include "bench/support/ProcessMeasurement.h"
#include "engine/analysis/MappingAnalysis.h"
#include "engine/table/CellStore.h"
#include "engine/table/Table.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace rowlark;

constexpr std::size_t longRowCount = 1'000'000;
constexpr std::size_t wideRowCount = 20;

constexpr std::array<std::string_view, 20> fields{"First Name", "Last Name",  "DOB",       "Email",          "Phone",
                                                  "City",       "State",      "Zip",       "Account Number", "Balance",
                                                  "Member ID",  "Status",     "Website",   "Notes",          "Street",
                                                  "Country",    "Created At", "Is Active", "Record UUID",    "Score"};
constexpr std::array<std::string_view, 10> leftPrefixes{"",        "Billing", "Shipping", "Guarantor", "Patient",
                                                        "Primary", "Home",    "Work",     "Previous",  "Secondary"};
// The right file renames some fields and some prefixes, the way a second export would.
constexpr std::array<std::string_view, 20> rightFields{
    "Given Name",  "Surname",        "Birth Date", "Email Address", "Telephone",   "City",     "State",
    "Postal Code", "Account Number", "Balance",    "Member ID",     "Status",      "Web Site", "Notes",
    "Street",      "Country",        "Created",    "Active",        "Record UUID", "Scores"};
constexpr std::array<std::string_view, 10> rightPrefixes{"",        "Billing", "Ship To", "Guarantor", "Patient",
                                                         "Primary", "Home",    "Work",    "Prior",     "Secondary"};

std::vector<std::string> headersFor(std::size_t columns, const std::array<std::string_view, 20>& names,
                                    const std::array<std::string_view, 10>& prefixes)
{
    std::vector<std::string> headers;
    for (std::size_t column = 0; column < columns; ++column) {
        const std::string_view prefix = prefixes[column / names.size() % prefixes.size()];
        const std::string_view name = names[column % names.size()];
        headers.push_back(prefix.empty() ? std::string(name) : std::string(prefix) + " " + std::string(name));
    }
    return headers;
}

// Writes one cell of the given field kind into `buffer`; `row` varies the value.
std::string_view cellText(std::size_t field, std::size_t row, char* buffer)
{
    static constexpr std::array<std::string_view, 8> words{"active",   "closed", "pending", "review",
                                                           "archived", "open",   "held",    "new"};
    char* out = buffer;
    const auto put = [&](std::string_view text) { out = std::copy(text.begin(), text.end(), out); };
    const auto number = [&](std::size_t value) { out = std::to_chars(out, out + 24, value).ptr; };
    switch (field) {
    case 0:
    case 1:
    case 14:
        put("name ");
        number(row % 40000);
        break;
    case 2:
    case 16:
        put("19");
        number(50 + row % 50);
        put("-0");
        number(1 + row % 9);
        put("-1");
        number(row % 10);
        break;
    case 3:
        put("user");
        number(row);
        put("@example.com");
        break;
    case 4:
        put("555-01");
        number(10000 + row % 90000);
        break;
    case 5:
    case 6:
    case 15:
        put(words[row % words.size()]);
        number(row % 300);
        break;
    case 7:
        number(10000 + row % 89999);
        break;
    case 8:
    case 10:
        number(700000 + row);
        break;
    case 9:
    case 19:
        number(row % 100000);
        put(".");
        number(10 + row % 90);
        break;
    case 11:
        put(words[row % words.size()]);
        break;
    case 12:
        put("https://example.com/item/");
        number(row);
        break;
    case 13:
        put("note about item ");
        number(row * 7 % 1000003);
        break;
    case 17:
        put(row % 2 ? "yes" : "no");
        break;
    default:
        put("123e4567-e89b-42d3-a456-");
        number(100000000000 + row);
        break;
    }
    return {buffer, static_cast<std::size_t>(out - buffer)};
}

// Right columns hold the same values as their left counterparts from row `shift` on, so
// related columns overlap partly.
template<typename Visitor> void forEachCell(std::size_t rows, std::size_t columns, std::size_t shift, Visitor&& visit)
{
    char buffer[64];
    for (std::size_t row = 0; row < rows; ++row)
        for (std::size_t column = 0; column < columns; ++column)
            visit(cellText(column % fields.size(), row + shift + column / fields.size(), buffer));
}

// The cell text is measured first so that the store is allocated once at its final size: the
// two tables of 200 columns take about 7 GB.
table::Table generatedTable(std::vector<std::string> headers, std::size_t rows, std::size_t shift)
{
    const std::size_t columns = headers.size();
    std::size_t bytes = 0;
    forEachCell(rows, columns, shift, [&](std::string_view cell) { bytes += cell.size(); });
    table::CellStoreBuilder builder(columns, rows, bytes);
    forEachCell(rows, columns, shift, [&](std::string_view cell) { builder.appendCell(cell); });
    return table::Table::fromStore(std::move(headers), std::move(builder).build());
}

// Headers such as "Billing Account 17" on the left and "Billing Acct 17" or "Bill Account 17"
// on the right, in another order: nearly every pair is similar enough to be suggested.
std::vector<std::string> lookAlikeHeaders(std::size_t columns, bool isRight)
{
    static constexpr std::array<std::string_view, 10> leftWords{"Billing", "Shipping", "Account", "Customer", "Order",
                                                                "Invoice", "Payment",  "Contact", "Product",  "Region"};
    static constexpr std::array<std::string_view, 10> rightWords{"Bill",    "Shipping", "Acct",    "Customer", "Ordr",
                                                                 "Invoice", "Paymnt",   "Contact", "Product",  "Regn"};
    const auto& words = isRight ? rightWords : leftWords;
    std::vector<std::string> headers;
    for (std::size_t column = 0; column < columns; ++column) {
        const std::size_t i = isRight ? (column * 7919) % columns : column;
        headers.push_back(std::string(words[i % 10]) + " " + std::string(words[(i / 10 + 3) % 10]) + " " +
                          std::to_string(i / 100));
    }
    return headers;
}

struct Run {
    double wallSeconds;
    double processorSeconds;
    double peakBytes;
    std::size_t mapped;
};

Run analyseOnce(const table::Table& left, const table::Table& right)
{
    const bool isPeakReset = bench::resetPeakResidentSize();
    const double processorStart = bench::processorSeconds();
    const auto start = std::chrono::steady_clock::now();
    const records::MappingAnalysisResult result = analysis::analyzeMappings(left, right);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto mapped = static_cast<std::size_t>(std::ranges::count_if(
        result.mappings, [](const records::ColumnMapping& mapping) { return mapping.rightIndex.has_value(); }));
    return {wall, bench::processorSeconds() - processorStart, isPeakReset ? bench::statusBytes("VmHWM") : 0, mapped};
}

// Wide tables are analysed in a child process each time, so that each peak is the run's own. The
// long tables are analysed in this process: a child would first fault in the pages of the gigabytes
// of cells it shares with this one, which the analysis itself never costs.
void measure(const char* title, const table::Table& left, const table::Table& right, int runs, bool isInChild = true)
{
    std::vector<double> wall;
    std::vector<double> processor;
    std::vector<double> peak;
    Run run{};
    for (int i = 0; i < runs; ++i) {
        run = isInChild ? bench::measureInChild([&] { return analyseOnce(left, right); }) : analyseOnce(left, right);
        wall.push_back(run.wallSeconds);
        processor.push_back(run.processorSeconds);
        peak.push_back(run.peakBytes);
    }
    std::printf("analyzeMappings, %s, %zu x %zu columns: median of %d runs %.3f s wall, %.3f s processor, "
                "%.0f MB peak (%zu of %zu columns mapped)\n",
                title, left.columnCount(), right.columnCount(), runs, bench::medianOf(wall), bench::medianOf(processor),
                bench::medianOf(peak) / 1e6, run.mapped, left.columnCount());
}

void measureLookAlike(std::size_t columns, int runs)
{
    measure("look-alike headers, 20 rows", generatedTable(lookAlikeHeaders(columns, false), wideRowCount, 0),
            generatedTable(lookAlikeHeaders(columns, true), wideRowCount, 3), runs);
}

// Thirty headers of 3,000 letters each side, the right ones edited copies of the left ones.
void measureLongHeaders()
{
    std::vector<std::string> left;
    std::vector<std::string> right;
    std::size_t seed = 1;
    const auto letter = [&] {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<char>('a' + (seed >> 60) % 5);
    };
    for (int i = 0; i < 30; ++i) {
        std::string header(3000, ' ');
        for (char& c : header)
            c = letter();
        std::string edited = header;
        for (int edit = 0; edit < 40; ++edit)
            edited[(static_cast<std::size_t>(edit) * 73 + static_cast<std::size_t>(i)) % edited.size()] = letter();
        left.push_back(std::move(header));
        right.push_back(i % 2 == 0 ? std::move(edited) : std::string(3000, letter()));
    }
    measure("30 headers of 3,000 letters, 20 rows", generatedTable(left, wideRowCount, 0),
            generatedTable(right, wideRowCount, 3), 5);
}

// How long the analysis runs on once it is asked to stop, a second into its work.
void measureCancel(std::size_t columns)
{
    const table::Table left = generatedTable(lookAlikeHeaders(columns, false), wideRowCount, 0);
    const table::Table right = generatedTable(lookAlikeHeaders(columns, true), wideRowCount, 3);
    struct Stopped {};
    std::atomic<bool> isStopRequested = false;
    std::chrono::steady_clock::time_point stopped;
    std::thread worker([&] {
        try {
            analysis::analyzeMappings(left, right, [&] {
                if (isStopRequested)
                    throw Stopped{};
            });
        } catch (const Stopped&) {
        }
        stopped = std::chrono::steady_clock::now();
    });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto requested = std::chrono::steady_clock::now();
    isStopRequested = true;
    worker.join();
    std::printf("analyzeMappings, look-alike headers, %zu x %zu columns: stopped %.1f ms after the request\n", columns,
                columns, std::chrono::duration<double, std::milli>(stopped - requested).count());
}

void measureLong(std::size_t columns)
{
    measure("1,000,000 rows", generatedTable(headersFor(columns, fields, leftPrefixes), longRowCount, 0),
            generatedTable(headersFor(columns, rightFields, rightPrefixes), longRowCount, 400), 5, false);
}

}  // namespace

int main()
{
    measureLookAlike(200, 7);
    measureLookAlike(3000, 5);
    measureLookAlike(10000, 3);
    measureCancel(10000);
    measureLongHeaders();
    measureLong(200);
    measureLong(20);
    return 0;
}
