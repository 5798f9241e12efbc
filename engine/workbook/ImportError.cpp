#include "engine/workbook/ImportError.h"

#include <utility>

#include "engine/workbook/container/ZIPArchive.h"

namespace rowlark::workbook {

ImportError::ImportError(Kind kind, std::string message, std::string text, std::int64_t maximumBytes)
    : kind_(kind)
    , message_(std::move(message))
    , text_(std::move(text))
    , maximumBytes_(maximumBytes)
{
}

ImportError ImportError::unsupportedFormat(std::string extension)
{
    std::string message =
        "Unsupported file type: ." + extension + ". Choose CSV, XLSX, XLS, ODS (LibreOffice), or Numbers.";
    return ImportError(Kind::unsupportedFormat, std::move(message), std::move(extension));
}

ImportError ImportError::fileTooLarge(std::int64_t maximumBytes)
{
    std::string message =
        "The workbook is larger than the " + std::to_string(maximumBytes / 1048576) + " MB import limit.";
    return ImportError(Kind::fileTooLarge, std::move(message), {}, maximumBytes);
}

ImportError ImportError::sheetNotFound(std::string sheetName)
{
    std::string message = "The workbook does not contain a sheet named \u201C" + sheetName + "\u201D.";
    return ImportError(Kind::sheetNotFound, std::move(message), std::move(sheetName));
}

ImportError ImportError::readerFailure(std::string message)
{
    std::string description = "The spreadsheet reader failed: " + message;
    return ImportError(Kind::readerFailure, std::move(description), std::move(message));
}

ImportError ImportError::encryptedWorkbook()
{
    return ImportError(Kind::encryptedWorkbook, "Encrypted or password-protected workbooks are not supported.");
}

ImportError ImportError::workbookUnreadable()
{
    return ImportError(Kind::workbookUnreadable,
                       "The workbook could not be read. It may be damaged or use an unsupported format.");
}

namespace {

// 1048576 as 1,048,576.
std::string grouped(std::uint64_t value)
{
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ',');
    return digits;
}

std::string exceededLimit(ImportError::SheetLimit limit, std::uint64_t value)
{
    using SheetLimit = ImportError::SheetLimit;
    switch (limit) {
    case SheetLimit::rows:
        return "more than " + grouped(value) + " rows";
    case SheetLimit::columns:
        return "more than " + grouped(value) + " columns";
    case SheetLimit::cells:
        return "more than " + grouped(value) + " cells";
    case SheetLimit::textLength:
        return "more than " + grouped(value) + " characters of text";
    case SheetLimit::inflatedSize:
        return "its workbook inflates to more than " + grouped(value) + " MB, or to more than " +
               grouped(workbookInflateLimits().ratio) + " times its packed size";
    case SheetLimit::readingTime:
        return "reading it takes more than " + grouped(value) + " seconds";
    }
    return {};
}

}  // namespace

ImportError ImportError::worksheetTooLarge(SheetLimit limit, std::uint64_t value)
{
    ImportError error(Kind::worksheetTooLarge,
                      "The selected worksheet exceeds the safe import limits: " + exceededLimit(limit, value) + ".");
    error.sheetLimit_ = limit;
    return error;
}

ImportError ImportError::emptyWorksheet()
{
    return ImportError(Kind::emptyWorksheet, "The selected worksheet has no header row.");
}

ImportError ImportError::chartSheet()
{
    return ImportError(Kind::chartSheet, "The selected sheet is a chart, not a table.");
}

ImportError ImportError::readerResourceMissing()
{
    return ImportError(Kind::readerResourceMissing, "The bundled spreadsheet reader is missing from the application.");
}

}  // namespace rowlark::workbook
