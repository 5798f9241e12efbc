#include "engine/workbook/library/ReaderProtocol.h"

#include <algorithm>
#include <charconv>

namespace rowlark::workbook::readerProtocol {
namespace {

std::optional<std::uint64_t> parseCount(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<HelperCall> parseFormatCall(std::span<const std::string_view> arguments)
{
    const auto memoryBytes = parseCount(arguments[2]);
    const auto processorSeconds = parseCount(arguments[3]);
    if (!memoryBytes || !processorSeconds)
        return std::nullopt;
    return HelperCall{std::string(arguments[0]), FormatRequest{*memoryBytes, *processorSeconds}};
}

std::optional<HelperCall> parseReadCall(std::span<const std::string_view> arguments)
{
    const auto rows = parseCount(arguments[1]);
    const auto columns = parseCount(arguments[2]);
    const auto cells = parseCount(arguments[3]);
    const std::string_view namesOnly = arguments[4];
    const auto memoryBytes = parseCount(arguments[5]);
    const auto processorSeconds = parseCount(arguments[6]);
    if (!rows || !columns || !cells || (namesOnly != "0" && namesOnly != "1") || !memoryBytes || !processorSeconds)
        return std::nullopt;
    return HelperCall{std::string(arguments[0]),
                      ReadRequest{*rows, *columns, *cells, namesOnly == "1", *memoryBytes, *processorSeconds}};
}

constexpr Answer answers[] = {Answer::payload,           Answer::exception,       Answer::noContext,
                              Answer::libraryUnreadable, Answer::noResult,        Answer::damagedArchive,
                              Answer::archiveTooLarge,   Answer::encryptedArchive};

}  // namespace

std::vector<std::string> arguments(const HelperCall& call)
{
    if (const auto* format = std::get_if<FormatRequest>(&call.request))
        return {call.libraryPath, formatMode, std::to_string(format->memoryBytes),
                std::to_string(format->processorSeconds)};
    const auto& read = std::get<ReadRequest>(call.request);
    return {call.libraryPath,
            std::to_string(read.maxRows),
            std::to_string(read.maxColumns),
            std::to_string(read.maxCells),
            read.isNamesOnly ? "1" : "0",
            std::to_string(read.memoryBytes),
            std::to_string(read.processorSeconds)};
}

std::optional<HelperCall> parseArguments(std::span<const std::string_view> arguments)
{
    if (arguments.size() == 4 && arguments[1] == formatMode)
        return parseFormatCall(arguments);
    if (arguments.size() == 7)
        return parseReadCall(arguments);
    return std::nullopt;
}

std::string sheetHeader(const std::optional<std::string>& sheet)
{
    return sheet ? std::to_string(sheet->size()) + "\n" + *sheet : std::string("-\n");
}

std::optional<ReadInput> parseReadInput(std::span<const unsigned char> input)
{
    const auto lineEnd = std::ranges::find(input, static_cast<unsigned char>('\n'));
    if (lineEnd == input.end())
        return std::nullopt;
    const std::string_view line(reinterpret_cast<const char*>(input.data()),
                                static_cast<std::size_t>(lineEnd - input.begin()));
    ReadInput read{std::nullopt, line.size() + 1};
    if (line == "-")
        return read;
    const auto length = parseCount(line);
    if (!length || *length > input.size() - read.workbookOffset)
        return std::nullopt;
    const auto size = static_cast<std::size_t>(*length);
    read.sheet.emplace(reinterpret_cast<const char*>(input.data()) + read.workbookOffset, size);
    read.workbookOffset += size;
    return read;
}

std::optional<HelperAnswer> parseAnswer(std::string_view output)
{
    if (output.empty() || std::ranges::find(answers, static_cast<Answer>(output.front())) == std::end(answers))
        return std::nullopt;
    return HelperAnswer{static_cast<Answer>(output.front()), output.substr(1)};
}

}  // namespace rowlark::workbook::readerProtocol
