#pragma once

// How the importer and its reader helper program talk. The helper is started as
//   rowlark-reader LIBRARY MAX_ROWS MAX_COLUMNS MAX_CELLS NAMES_ONLY
// (NAMES_ONLY is 0 or 1) and reads from its standard input the requested sheet, as "-\n" for
// none or as its byte count, a line feed and its bytes, followed by the workbook bytes up to the
// end. It writes one answer to its standard output: a tag byte and the answer's text, then exits
// with status 0. Any other ending (a signal, another status, no tag) is a failure of the helper.

namespace rowlark::readerProtocol {

inline constexpr const char* helperProgramName = "rowlark-reader";

enum class Answer : char {
    payload = 'P',            // the script's result: the payload JSON text
    exception = 'E',          // the text of the exception the library or script threw
    noContext = 'C',          // no execution context could be created
    libraryUnreadable = 'L',  // the library file could not be read
    noResult = 'N',           // the script gave no result, or one without a text form
};

// The status the helper exits with when it runs out of memory on its own side.
inline constexpr int outOfMemoryStatus = 3;

}  // namespace rowlark::readerProtocol
