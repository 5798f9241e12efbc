#include "engine/table/StoredNumbers.h"

#include <array>
#include <bit>
#include <charconv>

namespace rowlark::table {
namespace {

bool isSet(const std::vector<std::uint64_t>& bits, std::size_t row)
{
    const std::size_t word = row / 64;
    return word < bits.size() && (bits[word] >> (row % 64) & 1) != 0;
}

void set(std::vector<std::uint64_t>& bits, std::size_t row)
{
    const std::size_t word = row / 64;
    if (word >= bits.size())
        bits.resize(word + 1);
    bits[word] |= std::uint64_t{1} << (row % 64);
}

// Whether `text` is what the number reads back from: its shortest decimal, as General shows most.
bool isShortestText(double value, std::string_view text)
{
    std::array<char, 32> buffer;
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return written.ec == std::errc() &&
           text == std::string_view(buffer.data(), static_cast<std::size_t>(written.ptr - buffer.data())) &&
           text.find('e') == std::string_view::npos;
}

}  // namespace

std::optional<values::StoredNumber> StoredNumbers::at(std::size_t row, std::size_t column, std::string_view text) const
{
    if (column >= columns_.size() || !isSet(columns_[column].isNumber, row))
        return std::nullopt;
    const Column& numbers = columns_[column];
    if (!isSet(numbers.isStored, row)) {
        double value = 0;
        std::from_chars(text.data(), text.data() + text.size(), value);
        return values::StoredNumber{value, isDate1904_};
    }
    const std::size_t word = row / 64;
    const std::uint64_t before = numbers.isStored[word] & ((std::uint64_t{1} << (row % 64)) - 1);
    return values::StoredNumber{
        numbers.values[numbers.storedBefore[word] + static_cast<std::size_t>(std::popcount(before))], isDate1904_};
}

std::size_t StoredNumbers::memoryUsage() const
{
    std::size_t bytes = columns_.capacity() * sizeof(Column);
    for (const Column& column : columns_)
        bytes += (column.isNumber.capacity() + column.isStored.capacity()) * sizeof(std::uint64_t) +
                 column.storedBefore.capacity() * sizeof(std::uint32_t) + column.values.capacity() * sizeof(double);
    return bytes;
}

StoredNumbersBuilder::StoredNumbersBuilder(std::size_t width, bool isDate1904)
{
    numbers_.columns_.resize(width);
    numbers_.isDate1904_ = isDate1904;
}

void StoredNumbersBuilder::add(std::size_t row, std::size_t column, double value, std::string_view text)
{
    StoredNumbers::Column& numbers = numbers_.columns_[column];
    set(numbers.isNumber, row);
    if (isShortestText(value, text))
        return;
    set(numbers.isStored, row);
    numbers.values.push_back(value);
}

StoredNumbers StoredNumbersBuilder::build() &&
{
    for (StoredNumbers::Column& column : numbers_.columns_) {
        column.isNumber.shrink_to_fit();
        column.isStored.shrink_to_fit();
        column.values.shrink_to_fit();
        column.storedBefore.reserve(column.isStored.size());
        std::uint32_t count = 0;
        for (const std::uint64_t word : column.isStored) {
            column.storedBefore.push_back(count);
            count += static_cast<std::uint32_t>(std::popcount(word));
        }
    }
    return std::move(numbers_);
}

}  // namespace rowlark::table
