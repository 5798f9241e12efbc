#include "model/SampleFiles.h"

#include <utility>

namespace rowlark::model {

namespace {

InputFile sample(std::string name, const std::vector<std::vector<std::string>>& rows)
{
    InputFile file;
    file.name = std::move(name);
    file.table = table::Table::fromRows({"sku", "name", "price", "city", "notes"}, rows);
    return file;
}

}  // namespace

InputFile sampleBefore()
{
    return sample("catalog-before.csv", {
                                            {"SK-001", "Desk lamp", "45.00", "Austin",
                                             "Matte finish. Includes a two-metre cable and an adjustable arm."},
                                            {"SK-002", "Notebook", "12.00", "Boston", "Recycled paper"},
                                            {"SK-003", "Canvas tote", "18.00", "", "Natural cotton"},
                                            {"SK-004", "Pen set", "9.00", "Seattle", "Set of three"},
                                        });
}

InputFile sampleAfter()
{
    return sample("catalog-after.csv", {
                                           {"SK-004", "Pen set", "9.00", "Seattle", "Set of three"},
                                           {"SK-001", "Desk lamp", "49.00", "Austin",
                                            "Matte finish. Includes a three-metre cable and an adjustable arm."},
                                           {"SK-003", "Canvas tote", "18.00", "Portland", "Natural cotton"},
                                           {"SK-005", "Water bottle", "24.00", "Denver", "Insulated steel"},
                                       });
}

}  // namespace rowlark::model
