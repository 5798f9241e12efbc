#include "engine/workbook/SheetPairing.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "engine/text/Unicode.h"

namespace rowlark::workbook {
namespace {

// The right sheet of each left sheet, by position in the two lists; none while unpaired.
struct Partners {
    std::vector<std::optional<std::size_t>> rightOfLeft;
    std::vector<bool> isRightTaken;
    std::vector<SheetMatch> matches;
};

// Pairs every unpaired left sheet with the first unpaired right sheet whose key is equal.
void pairByKey(Partners& partners, const std::vector<std::string>& leftKeys, const std::vector<std::string>& rightKeys,
               SheetMatch match)
{
    std::map<std::string_view, std::deque<std::size_t>> unpairedRight;
    for (std::size_t right = 0; right < rightKeys.size(); ++right)
        if (!partners.isRightTaken[right])
            unpairedRight[rightKeys[right]].push_back(right);
    for (std::size_t left = 0; left < leftKeys.size(); ++left) {
        if (partners.rightOfLeft[left])
            continue;
        const auto candidates = unpairedRight.find(leftKeys[left]);
        if (candidates == unpairedRight.end() || candidates->second.empty())
            continue;
        const std::size_t right = candidates->second.front();
        candidates->second.pop_front();
        partners.rightOfLeft[left] = right;
        partners.isRightTaken[right] = true;
        partners.matches[left] = match;
    }
}

void pairByPosition(Partners& partners)
{
    std::vector<std::size_t> leftOver;
    std::vector<std::size_t> rightOver;
    for (std::size_t left = 0; left < partners.rightOfLeft.size(); ++left)
        if (!partners.rightOfLeft[left])
            leftOver.push_back(left);
    for (std::size_t right = 0; right < partners.isRightTaken.size(); ++right)
        if (!partners.isRightTaken[right])
            rightOver.push_back(right);
    if (leftOver.size() != rightOver.size())
        return;
    for (std::size_t index = 0; index < leftOver.size(); ++index) {
        partners.rightOfLeft[leftOver[index]] = rightOver[index];
        partners.isRightTaken[rightOver[index]] = true;
        partners.matches[leftOver[index]] = SheetMatch::position;
    }
}

std::vector<std::string> keysOf(const std::vector<SheetEntry>& sheets,
                                const std::function<std::string(std::string_view)>& key)
{
    std::vector<std::string> keys;
    keys.reserve(sheets.size());
    for (const SheetEntry& sheet : sheets)
        keys.push_back(key(sheet.name));
    return keys;
}

std::string exactKey(std::string_view name)
{
    return text::nfc(name);
}

std::string caselessKey(std::string_view name)
{
    return text::nfc(text::lowercased(text::trimmed(name)));
}

}  // namespace

SheetPairing pairSheets(const std::vector<SheetEntry>& left, const std::vector<SheetEntry>& right)
{
    Partners partners{std::vector<std::optional<std::size_t>>(left.size()), std::vector<bool>(right.size(), false),
                      std::vector<SheetMatch>(left.size(), SheetMatch::name)};
    pairByKey(partners, keysOf(left, exactKey), keysOf(right, exactKey), SheetMatch::name);
    pairByKey(partners, keysOf(left, caselessKey), keysOf(right, caselessKey), SheetMatch::nameIgnoringCase);
    pairByPosition(partners);

    SheetPairing pairing;
    for (std::size_t index = 0; index < left.size(); ++index) {
        if (const std::optional<std::size_t> partner = partners.rightOfLeft[index])
            pairing.pairs.push_back({left[index], right[*partner], partners.matches[index]});
        else
            pairing.onlyInLeft.push_back(left[index]);
    }
    for (std::size_t index = 0; index < right.size(); ++index)
        if (!partners.isRightTaken[index])
            pairing.onlyInRight.push_back(right[index]);
    return pairing;
}

}  // namespace rowlark::workbook
