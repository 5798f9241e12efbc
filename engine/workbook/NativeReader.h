#pragma once

// Workbooks read natively, without the spreadsheet-reader library: XLSX and ODS archives and XLS
// compound files,
// giving the same sheet names, rows and texts as the library path. What a native reader does
// not handle it declines, and the library reads the file instead.

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "engine/workbook/WorkbookPayload.h"
#include "engine/workbook/container/CompoundFile.h"
#include "engine/workbook/container/ZIPArchive.h"

namespace rowlark::workbook {

// The native reader leaves this file to the library.
class ReadDeclined : public std::exception {
public:
    const char* what() const noexcept override { return "left to the spreadsheet-reader library"; }
};

struct NativeRequest {
    std::optional<std::string> sheet;  // the first sheet when none
    bool isNamesOnly = false;
};

// A number format the native formatter declines, with a value to format.
struct LibraryFormatRequest {
    std::string format;
    double value;
};
// Formats the requests with the library, one text per request in order.
using LibraryFormatter = std::function<std::vector<std::string>(const std::vector<LibraryFormatRequest>&)>;

// All fail with ImportError where the library path reports the same error, with ReadDeclined
// for what they leave to the library, and with ImportCancelled once `stop` is requested.
WorkbookPayload readXLSX(ZIPArchive& archive, const NativeRequest& request, const LibraryFormatter& formatter,
                         std::stop_token stop);
WorkbookPayload readODS(ZIPArchive& archive, const NativeRequest& request, std::stop_token stop);
// BIFF8 and BIFF5 workbooks; fails with CompoundFileError where the container's streams are broken.
WorkbookPayload readXLS(const CompoundFile& file, const NativeRequest& request, const LibraryFormatter& formatter,
                        std::stop_token stop);

}  // namespace rowlark::workbook
