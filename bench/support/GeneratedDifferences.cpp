#include "bench/support/GeneratedDifferences.h"

#include <random>

namespace rowlark::bench {
namespace {

constexpr std::size_t columnCount = 10;

std::vector<std::string> record(std::size_t id, std::mt19937_64& random)
{
    const std::string number = std::to_string(id);
    return {"ORD-" + number,
            "Customer " + std::to_string(random() % 50000),
            "buyer" + number + "@example.org",
            random() % 2 ? "Lyon" : "Osaka",
            random() % 2 ? "France" : "Japan",
            std::to_string(random() % 100000) + "." + std::to_string(10 + random() % 90),
            "EUR",
            "2024-" + std::to_string(1 + random() % 12) + "-" + std::to_string(1 + random() % 28),
            random() % 2 ? "shipped" : "pending",
            random() % 5 == 0 ? "=needs review" : "Order note " + std::to_string(random() % 1000)};
}

}  // namespace

std::vector<std::string> orderHeaders()
{
    return {"Order", "Customer", "Email", "City", "Country", "Amount", "Currency", "Placed", "Status", "Notes"};
}

records::ComparisonSummary generatedDifferences(std::size_t count)
{
    std::mt19937_64 random(20261207);
    const std::vector<std::string> names = orderHeaders();
    records::ComparisonSummary summary;
    for (std::size_t column = 0; column < columnCount; ++column)
        summary.columns.push_back(
            {static_cast<std::int64_t>(column), static_cast<std::int64_t>(column), names[column], names[column], 0});
    summary.differences.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        records::RowDifference difference;
        difference.id = records::UUID::random();
        difference.key = "ORD-" + std::to_string(i);
        const std::size_t kind = random() % 10;
        if (kind < 6) {
            difference.status = records::DiffStatus::changed;
            difference.leftRow = record(i, random);
            difference.rightRow = *difference.leftRow;
            for (const std::size_t column : {3, 8}) {
                (*difference.rightRow)[column] += " (new)";
                difference.cells.push_back({records::UUID::random(), names[column], names[column],
                                            (*difference.leftRow)[column], (*difference.rightRow)[column], column});
                ++summary.columns[column].changedRecords;
            }
        } else {
            difference.status = kind < 8 ? records::DiffStatus::onlyLeft : records::DiffStatus::onlyRight;
            (kind < 8 ? difference.leftRow : difference.rightRow) = record(i, random);
        }
        summary.differences.push_back(std::move(difference));
    }
    return summary;
}

}  // namespace rowlark::bench
