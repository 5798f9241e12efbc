#include "engine/workbook/ReadFailure.h"

#include <system_error>

namespace rowlark::workbook {

namespace {

std::string fileSystemReason(const std::error_code& code, std::string_view fileName)
{
    const std::string name(fileName);
    if (code == std::errc::is_a_directory)
        return name + " is a folder, not a file.";
    if (code == std::errc::no_such_file_or_directory)
        return name + " was not found. It may have been moved, renamed or deleted.";
    if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted)
        return "Rowlark is not allowed to read " + name + ".";
    if (code == std::errc::not_supported)
        return name + " is not a regular file.";
    return name + ": " + code.message();
}

}  // namespace

std::string_view sideName(bool isLeftSide)
{
    return isLeftSide ? "File A" : "File B";
}

std::string readFailureMessage(std::string_view side, std::string_view fileName, const std::exception& error)
{
    std::string message(side);
    if (const auto* fileSystemError = dynamic_cast<const std::system_error*>(&error))
        return (message.empty() ? message : message + ": ") + fileSystemReason(fileSystemError->code(), fileName);
    message += side.empty() ? std::string(fileName) : " (" + std::string(fileName) + ")";
    return message + ": " + error.what();
}

}  // namespace rowlark::workbook
