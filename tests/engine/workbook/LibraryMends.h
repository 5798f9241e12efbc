#pragma once

// Where the native readers' texts differ from the spreadsheet-reader library's on purpose: the
// library's text is plainly wrong there, and the native text is what a spreadsheet shows. The
// agreement tests hold the native readers to the library everywhere else; a difference must be
// one of these mends, each known by the two texts alone.

#include <optional>
#include <string_view>

namespace rowlark::testing {

// The name of the mend that the native text is of the library's, if any.
std::optional<std::string_view> mendBetween(std::string_view native, std::string_view library);

}  // namespace rowlark::testing
