#pragma once

// How the importer and its reader helper program talk. The helper is started as
//   rowlark-reader LIBRARY MAX_ROWS MAX_COLUMNS MAX_CELLS NAMES_ONLY MEMORY_BYTES CPU_SECONDS
// (NAMES_ONLY is 0 or 1) and reads from its standard input the requested sheet, as "-\n" for
// none or as its byte count, a line feed and its bytes, followed by the workbook bytes up to the
// end. Started as
//   rowlark-reader LIBRARY format MEMORY_BYTES CPU_SECONDS
// it formats values with the library instead: it reads a JSON array of [format text, value]
// pairs up to the end of its input and answers with the JSON array of their texts (a pair
// [null, value, isDate1904] asks for the text of a date cell).
//
// The helper writes one answer to its standard output: a tag byte and the answer's text, then
// exits with status 0. Any other ending (a signal, another status, no tag) is a failure of the
// helper; what it wrote to its standard error then explains it.
//
// The helper holds itself to MEMORY_BYTES of data beyond what the script engine takes to start
// and to CPU_SECONDS of processor time for reading the file, plus time in proportion to the
// cells of the sheet it then converts (ending with SIGXCPU past it); it ends when the program
// that started it does.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rowlark::workbook::readerProtocol {

inline constexpr const char* helperProgramName = "rowlark-reader";
// The resource directory beside the helper's consumers, and the library inside it.
inline constexpr const char* bundleName = ROWLARK_READER_BUNDLE;
inline constexpr const char* libraryInBundle = "Vendor/xlsx.full.min.js";
inline constexpr const char* formatMode = "format";

enum class Answer : char {
    payload = 'P',            // the script's result: the payload JSON text (or the formatted texts)
    exception = 'E',          // the text of the exception the library or script threw
    noContext = 'C',          // no execution context could be created
    libraryUnreadable = 'L',  // the library file could not be read
    noResult = 'N',           // the script gave no result, or one without a text form
    damagedArchive = 'D',     // the workbook is a ZIP archive whose structure or data are damaged
    archiveTooLarge = 'T',    // the workbook's ZIP archive inflates past what a read may hold
    encryptedArchive = 'X',   // the workbook is an ODS package whose parts are encrypted
};

// The status the helper exits with when it runs out of memory on its own side.
inline constexpr int outOfMemoryStatus = 3;

// What one read may hold beyond the sheet-size limits (and the ZIP archive's inflate limits,
// workbookInflateLimits()). The cells of a sheet may hold maximumSheetTextUnits UTF-16 units of
// text in all; the payload carrying them, at most three UTF-8 bytes a unit and a few bytes of
// JSON around each cell, is cut off at maximumPayloadBytes.
inline constexpr std::uint64_t maximumSheetTextUnits = std::uint64_t(256) << 20;
inline constexpr std::uint64_t maximumPayloadBytes = 3 * maximumSheetTextUnits + (std::uint64_t(256) << 20);

// What a read is held to and what it answers with.
struct ReadRequest {
    std::uint64_t maxRows = 0;
    std::uint64_t maxColumns = 0;
    std::uint64_t maxCells = 0;
    bool isNamesOnly = false;
    std::uint64_t memoryBytes = 0;
    std::uint64_t processorSeconds = 0;

    bool operator==(const ReadRequest&) const = default;
};

struct FormatRequest {
    std::uint64_t memoryBytes = 0;
    std::uint64_t processorSeconds = 0;

    bool operator==(const FormatRequest&) const = default;
};

using HelperRequest = std::variant<ReadRequest, FormatRequest>;

// One start of the helper: the library it loads and what it is to do.
struct HelperCall {
    std::string libraryPath;
    HelperRequest request;

    bool operator==(const HelperCall&) const = default;
};

// The helper's arguments after its program name, and back; none for arguments that are not a
// call (the helper then prints its usage).
std::vector<std::string> arguments(const HelperCall& call);
std::optional<HelperCall> parseArguments(std::span<const std::string_view> arguments);

// What precedes the workbook bytes on the helper's input of a read: the requested sheet.
std::string sheetHeader(const std::optional<std::string>& sheet);

struct ReadInput {
    std::optional<std::string> sheet;
    std::size_t workbookOffset = 0;  // where the workbook bytes begin
};

// The sheet header at the start of `input`; none when it is malformed or cut off.
std::optional<ReadInput> parseReadInput(std::span<const unsigned char> input);

struct HelperAnswer {
    Answer tag;
    std::string_view text;
};

// The helper's output split into its tag and text; none when it is empty or its tag unknown.
std::optional<HelperAnswer> parseAnswer(std::string_view output);

}  // namespace rowlark::workbook::readerProtocol
