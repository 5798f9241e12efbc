#pragma once

// The texts of a sheet's numbers as a native reader hands them over: each number with the format
// of its cell, formatted once the sheet is read, natively where NumberFormat can and by the
// spreadsheet-reader library where it declines.

#include <cstdint>
#include <future>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/workbook/NativeReader.h"
#include "engine/workbook/format/NumberFormat.h"

namespace rowlark::workbook {

// The texts of the cells of one format id: its parsed form, and whether the library's date
// rule applies to it.
struct CellFormat {
    int id = 0;
    std::optional<NumberFormat> format;  // none when formatted by the library
    std::string text;
    bool isDate = false;
};

// The text of a number cell as the native formatter gives it; none where it declines.
inline std::optional<std::string> nativeNumberText(double value, const CellFormat& format, bool isDate1904)
{
    if (format.isDate)
        return dateCellText(value, isDate1904);
    if (format.id == 0)
        return generalNumberText(value);
    return format.format ? format.format->format(value) : std::nullopt;
}

// The texts of a sheet's numbers, worked out once the sheet is read, half of them on a second
// thread: formatting numbers is about a quarter of the work of reading a sheet of numbers. What
// the native formatter declines goes to the library, each distinct format and value once.
class NumberTexts {
public:
    NumberTexts(bool isDate1904, const LibraryFormatter& formatter)
        : isDate1904_(isDate1904)
        , formatter_(formatter)
    {
    }

    std::uint32_t add(double value, const CellFormat& format)
    {
        numbers_.push_back({value, &format});
        return static_cast<std::uint32_t>(numbers_.size() - 1);
    }

    void formatAll()
    {
        const std::size_t split = numbers_.size() / 2;
        auto firstHalf = std::async(std::launch::async, [&] { return formatRange(0, split); });
        halves_[1] = formatRange(split, numbers_.size());
        halves_[0] = firstHalf.get();
        split_ = split;
        askLibraryForDeclined();
    }

    std::string_view text(std::uint32_t key) const
    {
        const Half& half = halves_[key < split_ ? 0 : 1];
        const std::size_t index = key < split_ ? key : key - split_;
        if ((half.ends[index] & declinedMark) != 0)
            return libraryTexts_[libraryIndex_.at(key)];
        const std::uint64_t start = index == 0 ? 0 : half.ends[index - 1] & ~declinedMark;
        return std::string_view(half.text).substr(start, half.ends[index] - start);
    }
    double value(std::uint32_t key) const { return numbers_[key].value; }

private:
    struct Number {
        double value;
        const CellFormat* format;
    };
    // The texts of a run of numbers, one after another; a number the native formatter declines
    // ends where the previous one did, marked.
    struct Half {
        std::string text;
        std::vector<std::uint64_t> ends;
    };
    static constexpr std::uint64_t declinedMark = std::uint64_t(1) << 63;

    Half formatRange(std::size_t first, std::size_t last) const
    {
        Half half;
        half.ends.reserve(last - first);
        for (std::size_t index = first; index < last; ++index) {
            const Number& number = numbers_[index];
            if (const std::optional<std::string> text = nativeNumberText(number.value, *number.format, isDate1904_)) {
                half.text += *text;
                half.ends.push_back(half.text.size());
            } else {
                half.ends.push_back(declinedMark | half.text.size());
            }
        }
        return half;
    }

    void askLibraryForDeclined()
    {
        std::vector<LibraryFormatRequest> requests;
        std::map<std::pair<std::string, double>, std::uint32_t> requestIndex;
        for (std::uint32_t key = 0; key < numbers_.size(); ++key) {
            const Half& half = halves_[key < split_ ? 0 : 1];
            if (!(half.ends[key < split_ ? key : key - split_] & declinedMark))
                continue;
            const Number& number = numbers_[key];
            const auto [entry, isNew] = requestIndex.try_emplace({number.format->text, number.value},
                                                                 static_cast<std::uint32_t>(requests.size()));
            if (isNew)
                requests.push_back({number.format->text, number.value});
            libraryIndex_[key] = entry->second;
        }
        if (requests.empty())
            return;
        libraryTexts_ = formatter_(requests);
        if (libraryTexts_.size() != requests.size())
            throw ReadDeclined();
    }

    bool isDate1904_;
    const LibraryFormatter& formatter_;
    std::vector<Number> numbers_;
    Half halves_[2];
    std::size_t split_ = 0;
    std::vector<std::string> libraryTexts_;
    std::unordered_map<std::uint32_t, std::uint32_t> libraryIndex_;
};

}  // namespace rowlark::workbook
