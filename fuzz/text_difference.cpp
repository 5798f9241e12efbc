// Marks the differing parts of two values: the input is an options byte (bit 0: ignore letter case),
// then the left value, a NUL byte and the right value. The marks must be in order, apart, inside
// their value and on grapheme boundaries, and without letter case ignored what stays unmarked must
// be the same text on both sides.

#include "engine/text/TextDifference.h"
#include "engine/text/Unicode.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace rowlark;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::string unmarked(std::string_view value, const std::vector<text::TextSpan>& spans)
{
    const std::vector<std::size_t> boundaries = text::graphemeBoundaries(value);
    std::string rest;
    std::size_t at = 0;
    for (const text::TextSpan& span : spans) {
        check(span.begin >= at && span.begin < span.end && span.end <= value.size());
        check((span.begin > at || at == 0) && std::ranges::binary_search(boundaries, span.begin) &&
              std::ranges::binary_search(boundaries, span.end));
        rest.append(value.substr(at, span.begin - at));
        at = span.end;
    }
    return rest.append(value.substr(at));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool ignoreCase = (data[0] & 1) != 0;
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t separator = std::min(input.find('\0'), input.size());
    const std::string_view left = input.substr(0, separator);
    const std::string_view right = input.substr(std::min(separator + 1, input.size()));
    const text::TextDifference difference = text::textDifference(left, right, ignoreCase);
    const std::string leftRest = unmarked(left, difference.left);
    const std::string rightRest = unmarked(right, difference.right);
    if (!ignoreCase)
        check(text::nfc(leftRest) == text::nfc(rightRest));
    return 0;
}
