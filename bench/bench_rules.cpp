// Times what comparison rules cost, on the files of bench_compare (1,000,000 customer records ×
// 12 columns a side, the id column the key, every column compared):
//   1. every column as read, against Number on four columns (id, amount, phone, email) and Date on
//      two (birth_date, notes), a rule on the key included;
//   2. the format-only pass: File B's amounts written without trailing zeros ("1234.5" for
//      "1234.50"), about 100,000 more changed records, compared as read with and without a
//      proposed Number rule on every column (the pass looks at the changed cells under it).
// Each figure is the median wall time of 5 runs, each in a child process of its own.
//
// Usage: bench_rules <data folder>   (generated files are kept there and reused)

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/support/DataGenerator.h"
#include "bench/support/ProcessMeasurement.h"
#include "engine/compare/RecordMatching.h"
#include "engine/table/Table.h"

namespace {

using namespace rowlark;

constexpr std::size_t rowCount = 1'000'000;
constexpr int runs = 5;

struct Run {
    double seconds = 0;
    double processorSeconds = 0;  // of all threads: less swayed than wall time by a busy machine
    std::int64_t changed = 0;
    std::int64_t formatOnly = 0;
};

std::size_t columnNamed(const table::Table& table, std::string_view header)
{
    for (std::size_t column = 0; column < table.columnCount(); ++column)
        if (table.headers()[column] == header)
            return column;
    std::fprintf(stderr, "no column %s\n", std::string(header).c_str());
    std::exit(1);
}

void setRule(std::vector<records::ColumnMapping>& mappings, std::size_t column, std::string_view rule)
{
    mappings[column].rule = values::ComparisonRule::fromText(rule);
}

Run compareOnce(const table::Table& left, const table::Table& right,
                const std::vector<records::ColumnMapping>& mappings)
{
    const double processorStart = bench::processorSeconds();
    const auto start = std::chrono::steady_clock::now();
    const compare::ComparisonWithKeys result = compare::compareWithKeyDiagnostics(left, right, mappings, false);
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.processorSeconds = bench::processorSeconds() - processorStart;
    for (const records::ColumnChanges& column : result.summary.columns) {
        run.changed += column.changedRecords;
        run.formatOnly += column.formatOnlyRecords;
    }
    return run;
}

Run medianRun(const char* label, const table::Table& left, const table::Table& right,
              const std::vector<records::ColumnMapping>& mappings)
{
    std::vector<double> seconds;
    std::vector<double> processor;
    Run last;
    std::printf("  %-44s", label);
    for (int run = 0; run < runs; ++run) {
        last = bench::measureInChild([&] { return compareOnce(left, right, mappings); });
        seconds.push_back(last.seconds);
        processor.push_back(last.processorSeconds);
        std::printf(" %.3f", last.seconds);
    }
    last.seconds = bench::medianOf(seconds);
    last.processorSeconds = bench::medianOf(processor);
    std::printf("  median %.3f s, processor %.3f s (changed cells %lld, format-only %lld)\n", last.seconds,
                last.processorSeconds, static_cast<long long>(last.changed), static_cast<long long>(last.formatOnly));
    return last;
}

// File B with every amount written without trailing zeros after its point.
table::Table withShortAmounts(const table::Table& table)
{
    const std::size_t amount = columnNamed(table, "amount");
    std::size_t bytes = 0;
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        for (std::size_t column = 0; column < table.columnCount(); ++column)
            bytes += table.cell(row, column).size();
    table::CellStoreBuilder builder(table.columnCount(), table.rowCount(), bytes);
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        for (std::size_t column = 0; column < table.columnCount(); ++column) {
            std::string_view cell = table.cell(row, column);
            if (column == amount && cell.find('.') != std::string_view::npos) {
                while (cell.ends_with('0'))
                    cell.remove_suffix(1);
                if (cell.ends_with('.'))
                    cell.remove_suffix(1);
            }
            builder.appendCell(cell);
        }
    }
    return table::Table::fromStore(table.headers(), std::move(builder).build());
}

}  // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path folder = argc > 1 ? argv[1] : "bench-data";
    const bench::ComparisonFiles files = bench::writeComparisonFiles(folder, rowCount);
    const table::Table left = table::Table::load(files.left);
    const table::Table right = table::Table::load(files.right);
    std::printf("%zu + %zu rows x %zu columns, %d runs each (s)\n", left.rowCount(), right.rowCount(),
                left.columnCount(), runs);

    const std::vector<records::ColumnMapping> asRead = bench::everyColumnByIdKey(left.columnCount());
    std::vector<records::ColumnMapping> ruled = asRead;
    for (const std::string_view header : {"id", "amount", "phone", "email"})
        setRule(ruled, columnNamed(left, header), "number");
    for (const std::string_view header : {"birth_date", "notes"})
        setRule(ruled, columnNamed(left, header), "date");
    std::printf("1. Rules\n");
    const Run plain = medianRun("every column as read", left, right, asRead);
    const Run withRules = medianRun("Number on 4 columns, Date on 2", left, right, ruled);
    std::printf("  rules cost %+.1f%% over as read (processor time %+.1f%%)\n",
                (withRules.seconds / plain.seconds - 1) * 100,
                (withRules.processorSeconds / plain.processorSeconds - 1) * 100);

    const table::Table shortAmounts = withShortAmounts(right);
    std::vector<records::ColumnMapping> proposed = asRead;
    for (records::ColumnMapping& mapping : proposed)
        mapping.proposedRule = values::ComparisonRule::of(values::RuleKind::number);
    std::printf("2. Format-only pass (File B's amounts without trailing zeros)\n");
    const Run withoutPass = medianRun("as read, no proposals", left, shortAmounts, asRead);
    const Run withPass = medianRun("as read, Number proposed for every column", left, shortAmounts, proposed);
    std::printf("  the pass costs %+.1f%% (processor time %+.1f%%) on %lld changed cells\n",
                (withPass.seconds / withoutPass.seconds - 1) * 100,
                (withPass.processorSeconds / withoutPass.processorSeconds - 1) * 100,
                static_cast<long long>(withPass.changed));
    return 0;
}
