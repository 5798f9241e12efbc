#include "engine/analysis/ColumnProfile.h"

#include "engine/analysis/ValueTests.h"
#include "engine/text/Unicode.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace rowlark::analysis {
namespace {

constexpr std::size_t sampleRowCount = 1000;
constexpr std::size_t keptValueCount = 750;

struct KindTest {
    ColumnKind kind;
    bool (*passes)(std::string_view value);
    double threshold;
};

// In the order they are tried; the first whose share of passing values reaches its threshold wins.
constexpr std::array<KindTest, 9> kindTests{{
    {ColumnKind::boolean, isBooleanWord, 0.9},
    {ColumnKind::uuid, isIdentifier, 0.8},
    {ColumnKind::email, isEmailAddress, 0.8},
    {ColumnKind::url, isWebAddress, 0.8},
    {ColumnKind::date, isDate, 0.8},
    {ColumnKind::phone, isPhoneNumber, 0.8},
    {ColumnKind::json, startsLikeJSON, 0.8},
    {ColumnKind::integer, isIntegerLiteral, 0.9},
    {ColumnKind::decimal, isDecimalLiteral, 0.9},
}};

// The trimmed non-blank cells of the first rows; blank and missing cells use up the budget too.
std::vector<std::string_view> sampleValues(const table::Table& table, std::int64_t column)
{
    std::vector<std::string_view> values;
    if (column < 0 || static_cast<std::uint64_t>(column) >= table.columnCount())
        return values;
    const std::size_t rows = std::min(table.rowCount(), sampleRowCount);
    values.reserve(rows);
    for (std::size_t row = 0; row < rows; ++row)
        if (const std::string_view value = text::trimmed(table.cell(row, static_cast<std::size_t>(column)));
            !value.empty())
            values.push_back(value);
    return values;
}

bool reachesShare(std::size_t count, std::size_t total, double threshold)
{
    return static_cast<double>(count) / static_cast<double>(total) >= threshold;
}

// Counting stops as soon as the outcome is certain either way.
bool decides(const KindTest& test, const std::vector<std::string_view>& values)
{
    std::size_t passed = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (reachesShare(passed, values.size(), test.threshold))
            return true;
        if (!reachesShare(passed + (values.size() - i), values.size(), test.threshold))
            return false;
        passed += test.passes(values[i]) ? 1 : 0;
    }
    return reachesShare(passed, values.size(), test.threshold);
}

ColumnKind classify(const std::vector<std::string_view>& values)
{
    for (const KindTest& test : kindTests)
        if (decides(test, values))
            return test.kind;
    return ColumnKind::text;
}

std::string lowerCaseForm(std::string_view value)
{
    std::string lower = text::lowercased(value);
    return text::isASCII(lower) ? lower : text::nfc(lower);
}

}  // namespace

ColumnProfile profile(const table::Table& table, std::int64_t column)
{
    const std::vector<std::string_view> sample = sampleValues(table, column);
    ColumnProfile result;
    if (sample.empty())
        return result;
    const std::size_t kept = std::min(sample.size(), keptValueCount);
    result.values.reserve(kept);
    for (std::size_t i = 0; i < kept; ++i)
        result.values.insert(lowerCaseForm(sample[i]));
    result.uniqueRatio = static_cast<double>(result.values.size()) / static_cast<double>(sample.size());
    result.kind = classify(sample);
    return result;
}

}  // namespace rowlark::analysis
