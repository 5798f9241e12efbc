#include "bench/support/DataGenerator.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace rowlark::bench {

namespace {

enum Column : std::size_t {
    id,
    firstName,
    lastName,
    email,
    phone,
    active,
    country,
    birthDate,
    amount,
    city,
    company,
    notes,
    columnCount
};

constexpr std::array<std::string_view, columnCount> plainHeaders{"id",     "first_name", "last_name", "email",
                                                                 "phone",  "active",     "country",   "birth_date",
                                                                 "amount", "city",       "company",   "notes"};

constexpr std::array<std::string_view, 20> firstNames{
    "James", "Mary", "John",     "Patricia", "Robert", "Jennifer", "Michael", "Linda", "William", "Elizabeth",
    "José",  "Zoë",  "François", "Søren",    "Łukasz", "Chloé",    "Björn",   "Anaïs", "Dmitri",  "Aiko"};
constexpr std::array<std::string_view, 20> lastNames{
    "Smith",    "Johnson",  "Williams", "Brown",  "Jones", "Garcia", "Miller",  "Davis",  "Müller", "Ødegaard",
    "Kowalski", "Nakamura", "O'Brien",  "Dubois", "Rossi", "Silva",  "Sánchez", "Nguyễn", "Wilson", "Taylor"};
constexpr std::array<std::string_view, 10> countries{"USA",     "USA",    "USA",    "USA",   "Canada",
                                                     "Germany", "France", "Norway", "Japan", "Brazil"};
constexpr std::array<std::string_view, 12> cities{"New York", "Chicago", "Austin", "Zürich", "München",   "São Paulo",
                                                  "Montréal", "Oslo",    "Kraków", "東京",   "Reykjavík", "Seattle"};
constexpr std::array<std::string_view, 10> companies{"Acme Inc",
                                                     "Globex",
                                                     "Initech",
                                                     "Smith, Jones & Co",
                                                     "Umbrella \"Bio\" Labs",
                                                     "Stark Industries",
                                                     "Wayne Enterprises",
                                                     "Hooli",
                                                     "Vandelay Industries, LLC",
                                                     "Soylent Corp"};
constexpr std::array<std::string_view, 8> noteTemplates{
    "Called about invoice ",   "Prefers email, not phone ",  "Said \"call later\" ",   "Line one\nLine two ",
    "VIP — handle with care ", "Follow up in Q3, approved ", "Moved.\r\nNew address ", "Asked for \"Gold\" plan "};
constexpr std::array<std::string_view, 6> streets{"Main St", "Oak Avenue",  "Elm Street",
                                                  "Route 9", "Königstraße", "Rue de la Paix"};

// SplitMix64: a well-mixed 64-bit value from any seed, so every record is a function of its id.
std::uint64_t mixed(std::uint64_t value)
{
    value += 0x9E3779B97F4A7C15ULL;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

class RecordRandom {
public:
    RecordRandom(std::uint64_t recordId, std::uint64_t salt)
        : state_(mixed(recordId * 0x100000001B3ULL ^ salt))
    {
    }
    std::uint64_t next() { return state_ = mixed(state_); }
    std::size_t below(std::size_t bound) { return static_cast<std::size_t>(next() % bound); }
    template<typename List> std::string_view pick(const List& list) { return list[below(list.size())]; }

private:
    std::uint64_t state_;
};

std::string digits(std::uint64_t value, int width)
{
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
    return text;
}

std::string jsonString(std::string_view text)
{
    std::string quoted = "\"";
    for (const char character : text) {
        if (character == '"' || character == '\\')
            quoted += '\\';
        quoted += character;
    }
    return quoted + "\"";
}

using Record = std::array<std::string, columnCount>;

Record customer(std::uint64_t recordId, CustomerColumns columns)
{
    RecordRandom random(recordId, 1);
    Record record;
    record[id] = std::to_string(recordId);
    record[firstName] = random.pick(firstNames);
    record[lastName] = random.pick(lastNames);
    record[email] = "user" + std::to_string(recordId) + "@example.com";
    record[phone] = "555-" + digits(random.below(1000), 3) + "-" + digits(random.below(10000), 4);
    record[active] = random.below(3) == 0 ? "No" : "Yes";
    record[country] = random.pick(countries);
    record[birthDate] = std::to_string(1940 + random.below(66)) + "-" + digits(1 + random.below(12), 2) + "-" +
                        digits(1 + random.below(28), 2);
    record[amount] = std::to_string(random.below(100000)) + "." + digits(random.below(100), 2);
    const std::string_view cityName = random.pick(cities);
    if (columns == CustomerColumns::plain)
        record[city] = cityName;
    else
        record[city] = "{\"street1\":" +
                       jsonString(std::to_string(1 + random.below(999)) + " " + std::string(random.pick(streets))) +
                       ",\"city\":" + jsonString(cityName) + ",\"postcode\":\"" + digits(random.below(100000), 5) +
                       "\",\"country\":" + jsonString(record[country]) + "}";
    record[company] = random.pick(companies);
    if (random.below(5) != 0)
        record[notes] = std::string(random.pick(noteTemplates)) + std::to_string(random.below(1000000));
    return record;
}

// Buffered output with the file's own error handling; the file appears under its name only once
// it is complete.
class CSVFileWriter {
public:
    explicit CSVFileWriter(std::filesystem::path path)
        : path_(std::move(path))
        , partial_(path_)
    {
        partial_ += ".partial";
        file_ = std::fopen(partial_.c_str(), "wb");
        if (file_ == nullptr)
            throw std::system_error(errno, std::generic_category(), partial_.string());
        buffer_.reserve(bufferSize + 4096);
    }
    CSVFileWriter(const CSVFileWriter&) = delete;
    CSVFileWriter& operator=(const CSVFileWriter&) = delete;
    ~CSVFileWriter()
    {
        if (file_ != nullptr) {
            std::fclose(file_);
            std::filesystem::remove(partial_);
        }
    }

    template<typename Cells> void writeRow(const Cells& cells)
    {
        bool isFirst = true;
        for (const auto& cell : cells) {
            if (!std::exchange(isFirst, false))
                buffer_ += ',';
            writeCell(cell);
        }
        buffer_ += '\n';
        if (buffer_.size() >= bufferSize)
            flush();
    }

    void commit()
    {
        flush();
        const bool failed = std::fclose(std::exchange(file_, nullptr)) != 0;
        if (failed)
            throw std::system_error(errno, std::generic_category(), partial_.string());
        std::filesystem::rename(partial_, path_);
    }

private:
    static constexpr std::size_t bufferSize = std::size_t{1} << 22;

    void writeCell(std::string_view cell)
    {
        if (cell.find_first_of(",\"\r\n") == std::string_view::npos) {
            buffer_ += cell;
            return;
        }
        buffer_ += '"';
        for (const char character : cell) {
            if (character == '"')
                buffer_ += '"';
            buffer_ += character;
        }
        buffer_ += '"';
    }

    void flush()
    {
        if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
            throw std::system_error(errno, std::generic_category(), partial_.string());
        buffer_.clear();
    }

    std::filesystem::path path_;
    std::filesystem::path partial_;
    std::FILE* file_ = nullptr;
    std::string buffer_;
};

// What File B does with one record of File A.
enum class Fate { kept, changed, removed };

Fate fateOf(std::uint64_t recordId)
{
    const std::size_t permille = RecordRandom(recordId, 2).below(1000);
    return permille < 5 ? Fate::removed : permille < 15 ? Fate::changed : Fate::kept;
}

void changeValue(Record& record, RecordRandom& random)
{
    if (random.below(2) == 0)
        record[amount] = "1" + record[amount];
    else
        record[email] = "new." + record[email];
}

// A difference of spelling only, which the comparison's normalization removes.
void addFormattingNoise(Record& record, RecordRandom& random)
{
    switch (random.below(5)) {
    case 0: {
        std::string punctuated = "(";
        punctuated.append(record[phone], 0, 3).append(") ").append(record[phone], 4);
        record[phone] = std::move(punctuated);
        return;
    }
    case 1:
        record[active] = record[active] == "Yes" ? "true" : "false";
        return;
    case 2:
        if (record[country] == "USA") {
            record[country] = "United States";
            return;
        }
        break;
    case 3:
        if (record[notes].empty()) {
            record[notes] = "NULL";
            return;
        }
        break;
    default:
        break;
    }
    record[firstName] = "  " + record[firstName] + " ";
}

struct RightPlan {
    std::vector<std::uint64_t> order;  // record ids in File B's order
    std::size_t changed = 0;
    std::size_t removed = 0;
    std::size_t added = 0;
};

RightPlan planRightFile(std::size_t rows)
{
    RightPlan plan;
    plan.added = rows / 200;
    plan.order.reserve(rows + plan.added);
    for (std::uint64_t recordId = 1; recordId <= rows; ++recordId) {
        const Fate fate = fateOf(recordId);
        plan.changed += fate == Fate::changed;
        plan.removed += fate == Fate::removed;
        if (fate != Fate::removed)
            plan.order.push_back(recordId);
    }
    for (std::uint64_t recordId = rows + 1; recordId <= rows + plan.added; ++recordId)
        plan.order.push_back(recordId);
    // Fisher–Yates with the generator's own random numbers, so the order is the same everywhere.
    RecordRandom random(rows, 3);
    for (std::size_t index = plan.order.size(); index > 1; --index)
        std::swap(plan.order[index - 1], plan.order[random.below(index)]);
    return plan;
}

Record rightRecord(std::uint64_t recordId, std::size_t leftRows)
{
    Record record = customer(recordId, CustomerColumns::plain);
    if (recordId > leftRows)
        return record;
    RecordRandom random(recordId, 4);
    if (fateOf(recordId) == Fate::changed)
        changeValue(record, random);
    if (random.below(10) == 0)
        addFormattingNoise(record, random);
    return record;
}

std::filesystem::path dataPath(const std::filesystem::path& folder, std::string_view kind, std::size_t rows)
{
    std::filesystem::create_directories(folder);
    return folder / ("customers-" + std::string(kind) + "-" + std::to_string(rows) + ".csv");
}

}  // namespace

std::filesystem::path writeCustomerFile(const std::filesystem::path& folder, std::size_t rows, CustomerColumns columns)
{
    const bool hasAddress = columns == CustomerColumns::withAddressObject;
    const auto path = dataPath(folder, hasAddress ? "a-address" : "a", rows);
    if (std::filesystem::exists(path))
        return path;
    CSVFileWriter writer(path);
    auto headers = plainHeaders;
    if (hasAddress)
        headers[city] = "address";
    writer.writeRow(headers);
    for (std::uint64_t recordId = 1; recordId <= rows; ++recordId)
        writer.writeRow(customer(recordId, columns));
    writer.commit();
    return path;
}

ComparisonFiles writeComparisonFiles(const std::filesystem::path& folder, std::size_t rows)
{
    const RightPlan plan = planRightFile(rows);
    ComparisonFiles files{writeCustomerFile(folder, rows),
                          dataPath(folder, "b", rows),
                          rows,
                          plan.order.size(),
                          plan.changed,
                          plan.removed,
                          plan.added};
    if (!std::filesystem::exists(files.right)) {
        CSVFileWriter writer(files.right);
        writer.writeRow(plainHeaders);
        for (const std::uint64_t recordId : plan.order)
            writer.writeRow(rightRecord(recordId, rows));
        writer.commit();
    }
    return files;
}

std::filesystem::path writeOnce(const std::filesystem::path& folder, const std::string& name,
                                const std::function<void(std::ofstream&)>& write)
{
    const std::filesystem::path path = folder / name;
    if (std::filesystem::exists(path))
        return path;
    const std::filesystem::path partial = folder / (name + ".partial");
    {
        std::ofstream out(partial, std::ios::binary);
        write(out);
    }
    std::filesystem::rename(partial, path);
    return path;
}

std::vector<records::ColumnMapping> everyColumnByIdKey(std::size_t columns)
{
    std::vector<records::ColumnMapping> mappings;
    for (std::size_t column = 0; column < columns; ++column) {
        const auto index = static_cast<std::int64_t>(column);
        mappings.push_back({.id = records::UUID::random(),
                            .leftIndex = index,
                            .rightIndex = index,
                            .isKey = column == 0,
                            .isManual = false,
                            .isIncluded = true});
    }
    return mappings;
}

}  // namespace rowlark::bench
