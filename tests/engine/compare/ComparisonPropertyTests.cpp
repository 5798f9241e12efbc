// Random tables full of the traps normalization deals with, compared by the engine and by a plain
// reference that follows the matching rules literally, row list by row list.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <random>

#include "engine/compare/KeyDiagnostics.h"
#include "engine/compare/RecordMatching.h"
#include "engine/compare/ValueNormalization.h"
#include "engine/text/Unicode.h"
#include "tests/engine/compare/ComparisonTestSupport.h"
#include "tests/support/CaseLines.h"

namespace rowlark::compare {
namespace {

using testing_support::describe;
using testing_support::mapping;
using testing_support::Rows;

const std::vector<std::string>& valuePool()
{
    static const std::vector<std::string> pool =
        testing::caseLines(testing_support::dataFolder("compare") / "random-values.txt");
    return pool;
}
const std::vector<std::string> headerPool{"ID", "Is Active", "Phone", "Country", "Name", "Notes", "Issue Date"};

struct RandomCase {
    table::Table left;
    table::Table right;
    std::vector<records::ColumnMapping> mappings;
    bool ignoreCase;
};

// Rows of 0 to `width` cells drawn from the first `poolSize` values, under headers from the pool.
table::Table randomTable(std::mt19937& random, std::size_t count, std::size_t width, std::size_t poolSize)
{
    const auto draw = [&](std::size_t size) { return std::uniform_int_distribution<std::size_t>(0, size - 1)(random); };
    std::vector<std::string> headers(width);
    for (auto& header : headers)
        header = headerPool[draw(headerPool.size())];
    Rows rows(count);
    for (auto& row : rows) {
        row.resize(draw(width + 1));
        for (auto& cell : row)
            cell = valuePool()[draw(poolSize)];
    }
    return table::Table::fromRows(headers, rows);
}

RandomCase randomCase(std::mt19937& random, std::size_t maximumRows)
{
    const auto between = [&](std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(random);
    };
    const std::size_t leftWidth = between(0, 4);
    const std::size_t rightWidth = between(1, 4);
    // Few distinct values make duplicate keys common.
    const std::size_t poolSize = between(2, valuePool().size());
    const auto rowCount = [&] { return between(0, maximumRows); };
    std::vector<records::ColumnMapping> mappings;
    std::bernoulli_distribution coin;
    for (std::size_t column = 0; column < leftWidth; ++column) {
        std::optional<std::int64_t> right;
        if (coin(random) || coin(random))
            right = static_cast<std::int64_t>(between(0, rightWidth - 1));
        mappings.push_back(
            mapping(static_cast<std::int64_t>(column), right, coin(random) && coin(random), coin(random)));
    }
    return {randomTable(random, rowCount(), leftWidth, poolSize), randomTable(random, rowCount(), rightWidth, poolSize),
            mappings, coin(random)};
}

// The matching rules without any of the engine's shortcuts: whole lists of strings per row, an
// ordered map from key to rows, and sorting by (signature, file position).
records::ComparisonSummary referenceComparison(const RandomCase& c)
{
    std::vector<const records::ColumnMapping*> active;
    std::vector<std::size_t> keyPositions;
    for (const auto& m : c.mappings) {
        if (m.rightIndex && (m.isIncluded || m.isKey)) {
            if (m.isKey)
                keyPositions.push_back(active.size());
            active.push_back(&m);
        }
    }
    if (keyPositions.empty() && !active.empty())
        keyPositions.push_back(0);
    struct Prepared {
        std::size_t sourceIndex;
        std::vector<std::string> signature;
    };
    std::map<std::vector<std::string>, std::array<std::vector<Prepared>, 2>> groups;
    const auto prepare = [&](const table::Table& table, bool isLeft) {
        for (std::size_t row = 0; row < table.rowCount(); ++row) {
            Prepared prepared{row, {}};
            for (const records::ColumnMapping* m : active) {
                const auto column = static_cast<std::size_t>(isLeft ? m->leftIndex : *m->rightIndex);
                prepared.signature.push_back(canonicalComparable(
                    table.cell(row, column), text::normalizeHeader(table.headers()[column]), c.ignoreCase));
            }
            std::vector<std::string> key;
            for (const std::size_t position : keyPositions)
                key.push_back(prepared.signature[position]);
            groups[key][isLeft ? 0 : 1].push_back(std::move(prepared));
        }
    };
    prepare(c.left, true);
    prepare(c.right, false);

    records::ComparisonSummary summary;
    summary.leftRows = static_cast<std::int64_t>(c.left.rowCount());
    summary.rightRows = static_cast<std::int64_t>(c.right.rowCount());
    for (const records::ColumnMapping* m : active)
        summary.columns.push_back(
            {m->leftIndex, *m->rightIndex, c.left.headers()[m->leftIndex], c.right.headers()[*m->rightIndex], 0});
    for (std::size_t column = 0; column < c.left.columnCount(); ++column)
        if (std::ranges::none_of(c.mappings, [&](const auto& m) {
                return m.leftIndex == static_cast<std::int64_t>(column) && m.rightIndex;
            }))
            summary.leftOnlyColumns.push_back(c.left.headers()[column]);
    for (std::size_t column = 0; column < c.right.columnCount(); ++column)
        if (std::ranges::none_of(c.mappings,
                                 [&](const auto& m) { return m.rightIndex == static_cast<std::int64_t>(column); }))
            summary.rightOnlyColumns.push_back(c.right.headers()[column]);
    for (const auto& [key, sides] : groups) {
        std::string display;
        for (std::size_t i = 0; i < key.size(); ++i)
            display += (i ? " \u2022 " : "") + key[i];
        const auto add = [&](records::DiffStatus status, std::optional<std::vector<std::string>> leftRow,
                             std::optional<std::vector<std::string>> rightRow) -> records::RowDifference& {
            return summary.differences.emplace_back(
                records::RowDifference{records::UUID(), display, status, std::move(leftRow), std::move(rightRow), {}});
        };
        // Identical rows pair off first, the earliest of each signature on both sides; the rest stay
        // in (signature, file position) order.
        auto sorted = sides;
        for (auto& rows : sorted)
            std::ranges::stable_sort(rows, {}, &Prepared::signature);
        std::vector<Prepared> leftovers[2];
        for (int side = 0; side < 2; ++side)
            std::ranges::set_difference(sorted[side], sorted[1 - side], std::back_inserter(leftovers[side]), {},
                                        &Prepared::signature, &Prepared::signature);
        summary.matchingRows += static_cast<std::int64_t>(sorted[0].size() - leftovers[0].size());
        const std::size_t paired = std::min(leftovers[0].size(), leftovers[1].size());
        if (paired >= 1 && std::max(leftovers[0].size(), leftovers[1].size()) >= 2)
            ++summary.ambiguousDuplicateKeyGroups;
        for (std::size_t i = 0; i < paired; ++i) {
            const std::size_t leftRow = leftovers[0][i].sourceIndex;
            const std::size_t rightRow = leftovers[1][i].sourceIndex;
            records::RowDifference& difference =
                add(records::DiffStatus::changed, c.left.rowStrings(leftRow), c.right.rowStrings(rightRow));
            for (std::size_t position = 0; position < active.size(); ++position) {
                if (leftovers[0][i].signature[position] == leftovers[1][i].signature[position])
                    continue;
                const std::size_t leftColumn = active[position]->leftIndex;
                const std::size_t rightColumn = *active[position]->rightIndex;
                difference.cells.push_back({records::UUID(), c.left.headers()[leftColumn],
                                            c.right.headers()[rightColumn],
                                            std::string(c.left.cell(leftRow, leftColumn)),
                                            std::string(c.right.cell(rightRow, rightColumn)), position});
                ++summary.columns[position].changedRecords;
            }
        }
        for (std::size_t i = paired; i < leftovers[0].size(); ++i)
            add(records::DiffStatus::onlyLeft, c.left.rowStrings(leftovers[0][i].sourceIndex), std::nullopt);
        for (std::size_t i = paired; i < leftovers[1].size(); ++i)
            add(records::DiffStatus::onlyRight, std::nullopt, c.right.rowStrings(leftovers[1][i].sourceIndex));
    }
    return summary;
}

// Each changed field's compared column, record by record.
std::vector<std::vector<std::size_t>> changedColumns(const records::ComparisonSummary& summary)
{
    std::vector<std::vector<std::size_t>> columns;
    for (const records::RowDifference& difference : summary.differences) {
        columns.emplace_back();
        for (const records::CellDifference& cell : difference.cells)
            columns.back().push_back(cell.column);
    }
    return columns;
}

// What a comparison found, comparable as a whole.
auto outcome(const records::ComparisonSummary& summary)
{
    return std::tuple(describe(summary), summary.matchingRows, summary.leftRows, summary.rightRows,
                      summary.ambiguousDuplicateKeyGroups, summary.columns, changedColumns(summary),
                      summary.leftOnlyColumns, summary.rightOnlyColumns);
}

// Key diagnostics of random key columns, out of range ones too, against the normalized keys.
void expectKeyDiagnosticsAtOddColumns(std::mt19937& random, const table::Table& table, bool ignoreCase)
{
    std::vector<std::int64_t> keyIndices;
    for (std::int64_t index = -1; index <= static_cast<std::int64_t>(table.columnCount()); ++index)
        if (random() % 3 == 0)
            keyIndices.push_back(index);
    std::map<std::vector<std::string>, int> counts;
    std::int64_t emptyKeyRows = 0;
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        const auto key = normalizedKey(table.rowStrings(row), table.headers(), keyIndices, ignoreCase);
        emptyKeyRows += key.empty() || std::ranges::any_of(key, &std::string::empty);
        ++counts[key];
    }
    const auto repeated = std::ranges::count_if(counts, [](const auto& entry) { return entry.second >= 2; });
    for (unsigned workers : {1u, 2u}) {
        const KeyDiagnostics diagnostics(table, keyIndices, ignoreCase, workers);
        EXPECT_EQ(diagnostics.emptyKeyRows, emptyKeyRows);
        EXPECT_EQ(diagnostics.repeatedKeyGroups, repeated);
    }
}

// The engine agrees with the reference with one to three threads, and measures the keys as the
// standalone diagnostics do: the columns of the key mappings with a right column.
void expectFollowsTheRules(const RandomCase& c)
{
    const auto expected = outcome(referenceComparison(c));
    std::vector<std::int64_t> leftKey;
    std::vector<std::int64_t> rightKey;
    for (const records::ColumnMapping& m : c.mappings)
        if (m.isKey && m.rightIndex) {
            leftKey.push_back(m.leftIndex);
            rightKey.push_back(*m.rightIndex);
        }
    for (unsigned workers : {1u, 2u, 3u}) {
        EXPECT_EQ(outcome(compare(c.left, c.right, c.mappings, c.ignoreCase, workers)), expected);
        const auto result = compareWithKeyDiagnostics(c.left, c.right, c.mappings, c.ignoreCase, workers);
        EXPECT_EQ(outcome(result.summary), expected);
        EXPECT_EQ(result.leftKeys, KeyDiagnostics(c.left, leftKey, c.ignoreCase, workers));
        EXPECT_EQ(result.rightKeys, KeyDiagnostics(c.right, rightKey, c.ignoreCase, workers));
    }
}

// Many small tables, then a few with enough rows and keys that normalization, sorting and matching
// each split into several pieces.
TEST(CompareProperties, randomTablesFollowTheRulesWithAnyNumberOfThreads)
{
    for (const auto& [seed, rounds, maximumRows] : {std::tuple(20240611u, 400, 12u), std::tuple(7u, 2, 20000u)}) {
        std::mt19937 random(seed);
        for (int round = 0; round < rounds; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            const RandomCase c = randomCase(random, maximumRows);
            expectFollowsTheRules(c);
            expectKeyDiagnosticsAtOddColumns(random, c.left, c.ignoreCase);
            if (::testing::Test::HasFailure())
                return;
        }
    }
}

TEST(CompareProperties, manyDistinctKeysSplitAcrossThreads)
{
    std::mt19937 random(11);
    Rows left;
    Rows right;
    for (int i = 0; i < 20000; ++i) {
        const std::string key = std::to_string(random() % 30000);
        left.push_back({key, std::to_string(random() % 3)});
        if (random() % 10)
            right.push_back({" " + key, std::to_string(random() % 3)});
    }
    expectFollowsTheRules({table::Table::fromRows({"ID", "Value"}, left),
                           table::Table::fromRows({"ID", "Value"}, right),
                           {mapping(0, 0, true), mapping(1, 1)},
                           false});
}

}  // namespace
}  // namespace rowlark::compare
