#pragma once

// rowlark-compare as git's external diff for tables. Git runs the command of diff.<driver>.command
// (or GIT_EXTERNAL_DIFF) with the options it was configured with and then seven arguments:
//   path old-file old-hex old-mode new-file new-hex new-mode
// two more (the new path and git's rename message) for a renamed path, and the path alone for an
// unmerged one. Either file may be /dev/null, for an added or a removed path, and git's temporary
// files are named as git likes: the table type comes from the path in the repository.

#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/results/ComparisonRun.h"

namespace rowlark::cli {

// What git names the side of an added or a removed path.
inline constexpr std::string_view absentFile = "/dev/null";

struct GitDiffFiles {
    std::string oldPath;  // as the repository names it
    std::string newPath;  // the same unless the path was renamed
    std::string oldFile;  // where its content lies, or absentFile
    std::string newFile;
    bool isUnmerged = false;             // git gave the path alone: there is nothing to compare
    std::vector<std::string> arguments;  // all of them, as git gave them
};

// The files git names when `files` (the command line's arguments other than options) are git's:
// seven, or nine for a rename, whose object names are hexadecimal (or "." for an absent side)
// and whose modes octal (or "."); or one, when `isRunByGit` (git's GIT_DIFF_PATH_COUNTER is set),
// for an unmerged path. Any other list, two files among them, is not git's.
std::optional<GitDiffFiles> gitDiffFiles(std::span<const std::string_view> files, bool isRunByGit);

// Whether git runs this program for its difftool: `git difftool` runs its helper as the external
// diff, but a diff driver's command takes precedence over it, so a repository that sets both runs
// the driver where the user asked for the tool.
bool isRunInsteadOfDifftool();

// Runs git's difftool helper with git's arguments in this program's place, so that the tool the
// user asked for runs. Returns only by failing, with std::system_error.
[[noreturn]] void handOverToDifftool(const GitDiffFiles& files);

// A path to `file` whose last component is `name`'s, so that the importer, which chooses the
// reader by that name, reads the file as the table type `name` says: a symbolic link in a private
// temporary folder, removed with this object. Fails with std::system_error.
class FileUnderName {
public:
    FileUnderName(const std::filesystem::path& file, const std::filesystem::path& name);
    FileUnderName(const FileUnderName&) = delete;
    FileUnderName& operator=(const FileUnderName&) = delete;
    ~FileUnderName();

    const std::filesystem::path& path() const { return link_; }

private:
    std::filesystem::path folder_;
    std::filesystem::path link_;
};

// The differences at `selected`, one after another, for a reader of a diff:
//   ~ 2                   a changed record, by its key,
//       name: Bob → Bobby   with each changed field,
//   - 3                   a record only in the old file,
//   + 4                   a record only in the new file.
// A value is quoted, with JSON's escapes, when it is empty, has surrounding white space, holds a
// control character or the arrow, or begins with a quote, so that every value reads back as it is.
void writeRecordDifferences(std::ostream& out, const records::ComparisonSummary& summary,
                            std::span<const std::size_t> selected);

// `value` as writeRecordDifferences shows it.
std::string shownValue(std::string_view value);

}  // namespace rowlark::cli
