#pragma once

// A workbook read natively and through the spreadsheet-reader library, each as one text to
// compare: its sheets, the sheet read and the table, or "error: " and the message the user sees.

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "workbook/NativeReader.h"

namespace rowlark::testing {

using NativeRead = std::function<WorkbookPayload(workbook::ZipArchive&, const workbook::NativeRequest&)>;

struct AgreementTexts {
    std::string native;  // "declined" when the native reader leaves the file to the library
    std::string library;
};

// The sheet names the native reader lists when asked for names only, then both reads of `sheet`.
std::string nativeSheetNames(const std::filesystem::path& file, const NativeRead& read);
AgreementTexts nativeAndLibraryReads(const std::filesystem::path& file, const std::optional<std::string>& sheet,
                                     const NativeRead& read);

}  // namespace rowlark::testing
