#pragma once

// Saving a report: the whole text or nothing. A regular file, or a new one, is replaced through a
// temporary file beside it that takes its place only when complete; a symbolic link is followed,
// so the link stays and its target is replaced. Files that cannot be replaced that way, such as a
// device or a pipe, are written to directly.

#include <filesystem>
#include <functional>
#include <stop_token>
#include <string_view>

namespace rowlark::results::ReportFile {

// Writes `text` to `path`. An existing file keeps its permission bits; a new one gets the usual
// ones less the process's umask. Returns false, with the target untouched and no temporary file
// left, when `stop` was requested before the text was committed. Fails with std::system_error
// carrying the system's message; the target is then untouched too.
bool write(const std::filesystem::path& path, std::string_view text, std::stop_token stop = {});

// As above, with the content written by `writeContent` to the open descriptor it is given.
bool write(const std::filesystem::path& path, const std::function<void(int descriptor)>& writeContent,
           std::stop_token stop = {});

// Writes the whole of `text` to the descriptor, as a `writeContent` above does. Fails with
// std::system_error.
void writeAll(int descriptor, std::string_view text);

// Removes the temporary file of a write still in progress, for a signal handler that ends the
// program. Async-signal-safe.
void removeUnfinishedFile() noexcept;

}  // namespace rowlark::results::ReportFile
