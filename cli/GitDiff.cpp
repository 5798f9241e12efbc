#include "cli/GitDiff.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <unistd.h>

#include "engine/text/Unicode.h"

namespace rowlark::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view arrow = "\u2192";
constexpr std::string_view emptyKeyText = "Empty key";

// Git's object names: SHA-1 or SHA-256 in hexadecimal, "." when the side is absent.
bool isObjectName(std::string_view text)
{
    return text == "." || ((text.size() == 40 || text.size() == 64) && std::ranges::all_of(text, [](char c) {
                               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                           }));
}

// Git's file modes (100644, 100755, 120000, ...) in octal, "." when the side is absent.
bool isFileMode(std::string_view text)
{
    return text == "." || (text.size() == 6 && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '7'; }));
}

bool needsQuotes(std::string_view value)
{
    if (value.empty() || value.front() == '"' || value.find(arrow) != std::string_view::npos)
        return true;
    if (text::trimmed(value).size() != value.size())
        return true;
    return std::ranges::any_of(value, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

void appendEscaped(std::string& quoted, char c)
{
    switch (c) {
    case '"':
        quoted += "\\\"";
        return;
    case '\\':
        quoted += "\\\\";
        return;
    case '\n':
        quoted += "\\n";
        return;
    case '\r':
        quoted += "\\r";
        return;
    case '\t':
        quoted += "\\t";
        return;
    default:
        break;
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
        quoted += escape;
    } else {
        quoted += c;
    }
}

}  // namespace

std::optional<GitDiffFiles> gitDiffFiles(std::span<const std::string_view> files, bool isRunByGit)
{
    const std::vector<std::string> arguments(files.begin(), files.end());
    if (files.size() == 1 && isRunByGit)
        return GitDiffFiles{arguments[0], arguments[0], {}, {}, true, arguments};
    if (files.size() != 7 && files.size() != 9)
        return std::nullopt;
    if (!isObjectName(files[2]) || !isFileMode(files[3]) || !isObjectName(files[5]) || !isFileMode(files[6]))
        return std::nullopt;
    const std::string_view newPath = files.size() == 9 ? files[7] : files[0];
    return GitDiffFiles{arguments[0], std::string(newPath), arguments[1], arguments[4], false, arguments};
}

bool isRunInsteadOfDifftool()
{
    const char* externalDiff = std::getenv("GIT_EXTERNAL_DIFF");
    return externalDiff && std::string_view(externalDiff) == "git-difftool--helper";
}

void handOverToDifftool(const GitDiffFiles& files)
{
    std::vector<std::string> words = {"git", "difftool--helper"};
    words.insert(words.end(), files.arguments.begin(), files.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    ::execvp(argv.front(), argv.data());
    throw std::system_error(errno, std::generic_category(), "git difftool--helper");
}

FileUnderName::FileUnderName(const fs::path& file, const fs::path& name)
{
    std::string folder = (fs::temp_directory_path() / "rowlark-compare-XXXXXX").string();
    if (!::mkdtemp(folder.data()))
        throw std::system_error(errno, std::generic_category());
    folder_ = folder;
    link_ = folder_ / name.filename();
    std::error_code error;
    fs::create_symlink(fs::absolute(file), link_, error);
    if (error) {
        fs::remove_all(folder_, error);
        throw std::system_error(error);
    }
}

FileUnderName::~FileUnderName()
{
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

std::string shownValue(std::string_view value)
{
    if (!needsQuotes(value))
        return std::string(value);
    std::string quoted = "\"";
    for (const char c : value)
        appendEscaped(quoted, c);
    return quoted + '"';
}

void writeRecordDifferences(std::ostream& out, const records::ComparisonSummary& summary,
                            std::span<const std::size_t> selected)
{
    for (const std::size_t position : selected) {
        if (position >= summary.differences.size())
            continue;
        const records::RowDifference& difference = summary.differences[position];
        const char mark = difference.status == records::DiffStatus::changed    ? '~'
                          : difference.status == records::DiffStatus::onlyLeft ? '-'
                                                                               : '+';
        out << mark << ' ' << (difference.key.empty() ? emptyKeyText : std::string_view(difference.key)) << '\n';
        for (const records::CellDifference& cell : difference.cells) {
            const std::int64_t leftIndex =
                cell.column < summary.columns.size() ? summary.columns[cell.column].leftIndex : 0;
            out << "    " << records::columnName(cell.leftHeader, leftIndex) << ": " << shownValue(cell.leftValue)
                << ' ' << arrow << ' ' << shownValue(cell.rightValue) << '\n';
        }
    }
}

}  // namespace rowlark::cli
