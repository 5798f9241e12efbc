#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "csv/CSVError.h"
#include "table/CSVTable.h"

namespace rowlark::testing {

using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

inline Rows rowsOf(const CSVTable& table)
{
    Rows rows;
    for (std::size_t row = 0; row < table.rowCount(); ++row)
        rows.push_back(table.rowStrings(row));
    return rows;
}

// The CSVError `work` fails with; fails the test when it returns or throws anything else.
template<typename Work> CSVError csvErrorOf(Work&& work)
{
    try {
        work();
    } catch (const CSVError& error) {
        return error;
    }
    ADD_FAILURE() << "expected a CSVError";
    return CSVError::unreadable();
}

}  // namespace rowlark::testing
