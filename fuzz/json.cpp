// Reads the input as JSON: the canonical writer (as written and lower-cased), the flattening of
// a JSON-object cell and the spelling of number tokens. A canonical text is its own canonical
// form, and one reading of it flattens like the original.

#include "engine/text/JSON.h"
#include "engine/structured/StructuredColumns.h"
#include "engine/text/JSONReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace rowlark;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (const auto canonical = text::canonicalJSON(input)) {
        check(text::canonicalJSON(*canonical) == canonical);
        text::JSONDocument document;
        check(document.read(*canonical, text::JSONDocument::TextForm::asWritten));
        std::string written;
        document.appendCompact(text::JSONDocument::root, written);
        check(written == *canonical);
    }
    if (const auto lowercased = text::canonicalJSON(input, true))
        check(text::canonicalJSON(*lowercased).has_value());
    (void)structured::flattenedJSONObject(input);
    const std::string spelling = text::canonicalJSONNumber(input);
    if (spelling != input)
        check(text::canonicalJSONNumber(spelling) == spelling);
    return 0;
}
