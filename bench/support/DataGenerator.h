#pragma once

// Deterministic customer tables for the benchmarks. Every record is a pure function of its id, so
// the same call always writes the same bytes. Files are written once into the given folder and
// reused while they exist (written under a temporary name, then renamed, so an interrupted run
// leaves nothing half-written behind).
//
// Columns: id, first_name, last_name, email, phone, active (Yes/No), country, birth_date, amount,
// city, company, notes. Names and cities hold some non-ASCII text; company and notes hold quoted
// values with commas, doubled quotes and line breaks; about a fifth of the notes are empty. The
// address variant replaces city by an address column holding a JSON object.

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/records/Mapping.h"

namespace rowlark::bench {

enum class CustomerColumns { plain, withAddressObject };

// The customer table ("File A") of `rows` records with ids 1 to `rows`, in id order. About 130 bytes
// per record for the plain columns.
std::filesystem::path writeCustomerFile(const std::filesystem::path& folder, std::size_t rows,
                                        CustomerColumns columns = CustomerColumns::plain);

struct ComparisonFiles {
    std::filesystem::path left;   // File A: writeCustomerFile(folder, rows)
    std::filesystem::path right;  // File B
    std::size_t leftRows = 0;
    std::size_t rightRows = 0;
    std::size_t changed = 0;  // records of both files whose values really differ
    std::size_t removed = 0;  // only in File A
    std::size_t added = 0;    // only in File B
};

// File A and File B for the comparison. File B holds the same records in a shuffled order, with
// 1% changed (amount or email), 0.5% removed and 0.5% added (new ids), and formatting-only noise on
// about 10% of the records that every comparison must see as equal: extra spaces around a name,
// phone punctuation ("(555) 123-4567"), true/false for Yes/No, "United States" for "USA", "NULL"
// for an empty note. Both files have the same header.
ComparisonFiles writeComparisonFiles(const std::filesystem::path& folder, std::size_t rows);

// The mapping of `columns` columns each to the column of File B at the same place, every one compared,
// the first (the id) the key.
std::vector<records::ColumnMapping> everyColumnByIdKey(std::size_t columns);

// Writes the file `name` of `folder` through `write` unless it exists, under a temporary name first;
// returns its path.
std::filesystem::path writeOnce(const std::filesystem::path& folder, const std::string& name,
                                const std::function<void(std::ofstream&)>& write);

}  // namespace rowlark::bench
