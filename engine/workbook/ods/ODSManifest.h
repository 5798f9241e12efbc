#pragma once

// The manifest of an ODS package says whether its parts are encrypted. Both the native reader and
// the reader helper (before it gives the file to the library, which fails on the encrypted parts'
// sizes instead) ask it, so that an encrypted ODS ends in the same error on both paths.

#include <optional>
#include <string_view>

namespace rowlark::workbook {

// Whether the manifest describes encrypted parts, its tag names read as the library reads them;
// none when the manifest is not UTF-8.
std::optional<bool> isEncryptedManifest(std::string_view manifest);

}  // namespace rowlark::workbook
