// Times the mapping analysis of two generated tables of 1,000,000 rows. The analysis looks only at
// each column's first 1,000 rows, so its time must not depend on the row count; it does depend on
// the column count (scoring is quadratic in it), so 200 and 20 columns are measured.
//
// Usage: bench_analysis [data folder]   (the tables are generated in memory; the folder is unused)

#include "analysis/MappingAnalysis.h"
#include "table/CSVTable.h"
#include "table/CellStore.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace rowlark;

constexpr std::size_t rowCount = 1'000'000;
constexpr int runs = 7;

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
template<typename Visitor> void forEachCell(std::size_t columns, std::size_t shift, Visitor&& visit)
{
    char buffer[64];
    for (std::size_t row = 0; row < rowCount; ++row)
        for (std::size_t column = 0; column < columns; ++column)
            visit(cellText(column % fields.size(), row + shift + column / fields.size(), buffer));
}

// The cell text is measured first so that the store is allocated once at its final size: the
// two tables of 200 columns take about 7 GB.
table::CSVTable generatedTable(std::vector<std::string> headers, std::size_t shift)
{
    const std::size_t columns = headers.size();
    std::size_t bytes = 0;
    forEachCell(columns, shift, [&](std::string_view cell) { bytes += cell.size(); });
    table::CellStoreBuilder builder(columns, rowCount, bytes);
    forEachCell(columns, shift, [&](std::string_view cell) { builder.appendCell(cell); });
    return table::CSVTable::fromStore(std::move(headers), std::move(builder).build());
}

// CPU time of this thread, which a busy machine does not inflate the way it does wall time.
double threadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Timing {
    double wallMilliseconds;
    double cpuMilliseconds;
    std::size_t mapped;
};

Timing timeAnalysis(const table::CSVTable& left, const table::CSVTable& right)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    std::size_t mapped = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = threadMilliseconds();
        const records::MappingAnalysisResult result = analysis::CSVComparator::analyzeMappings(left, right);
        cpu.push_back(threadMilliseconds() - cpuStart);
        wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        mapped = static_cast<std::size_t>(
            std::count_if(result.mappings.begin(), result.mappings.end(),
                          [](const records::ColumnMapping& mapping) { return mapping.rightIndex; }));
    }
    return {median(wall), median(cpu), mapped};
}

void measure(std::size_t columns)
{
    const table::CSVTable left = generatedTable(headersFor(columns, fields, leftPrefixes), 0);
    const table::CSVTable right = generatedTable(headersFor(columns, rightFields, rightPrefixes), 400);
    const Timing timing = timeAnalysis(left, right);
    std::printf("analyzeMappings, %zu rows x %zu columns per table: median of %d runs %.1f ms wall, %.1f ms CPU "
                "(%zu of %zu columns mapped)\n",
                rowCount, columns, runs, timing.wallMilliseconds, timing.cpuMilliseconds, timing.mapped, columns);
}

}  // namespace

int main()
{
    measure(200);
    measure(20);
    return 0;
}
