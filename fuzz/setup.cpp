// Reads the input as a setup file. A text that reads as a setup writes out a text that reads back
// as the same setup; every other text is refused with a SetupError and nothing else.

#include "engine/setups/Setup.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
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
    try {
        const setups::Setup setup = setups::parse(input);
        check(setups::parse(setups::text(setup)) == setup);
    } catch (const setups::SetupError&) {
    }
    return 0;
}
