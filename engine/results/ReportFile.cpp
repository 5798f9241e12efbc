#include "engine/results/ReportFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "engine/records/UUID.h"

namespace rowlark::results::ReportFile {
namespace {

namespace fs = std::filesystem;

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int maximumLinkHops = 40;

// The path of the temporary file being written, for removeUnfinishedFile().
std::atomic<const char*> unfinishedFile{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free, "read from a signal handler");

[[noreturn]] void throwSystemError(int error)
{
    throw std::system_error(error, std::generic_category());
}

void closeOrFail(int descriptor)
{
    if (::close(descriptor) != 0)
        throwSystemError(errno);
}

// ".report.csv.<random>" beside "report.csv".
std::string hiddenSibling(const fs::path& target)
{
    // Appended piece by piece: gcc 12 takes "." + a temporary for an overlapping copy (-Wrestrict).
    std::string name = ".";
    name.append(target.filename().string()).append(".").append(records::UUID::random().toString());
    return (target.parent_path() / name).string();
}

// A hidden file beside the target, created as private as the target will be and removed again
// unless it was committed.
class TemporaryFile {
public:
    TemporaryFile(const fs::path& target, mode_t mode)
        : path_(hiddenSibling(target))
    {
        descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (descriptor_ < 0)
            throwSystemError(errno);
        const char* none = nullptr;
        isRegistered_ = unfinishedFile.compare_exchange_strong(none, path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    ~TemporaryFile()
    {
        if (descriptor_ >= 0)
            ::close(descriptor_);
        if (!isCommitted_)
            ::unlink(path_.c_str());
        if (isRegistered_)
            unfinishedFile.store(nullptr);
    }

    int descriptor() const { return descriptor_; }

    void close() { closeOrFail(std::exchange(descriptor_, -1)); }

    void commit(const fs::path& target)
    {
        if (::rename(path_.c_str(), target.c_str()) != 0)
            throwSystemError(errno);
        isCommitted_ = true;
    }

private:
    std::string path_;
    int descriptor_ = -1;
    bool isRegistered_ = false;
    bool isCommitted_ = false;
};

// Where a chain of symbolic links ends; that file may not exist yet.
fs::path linkTarget(fs::path path)
{
    for (int hop = 0; hop < maximumLinkHops; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        std::error_code error;
        const fs::path target = fs::read_symlink(path, error);
        if (error)
            throw std::system_error(error);
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    throwSystemError(ELOOP);
}

bool isFile(const fs::path& path, const struct stat& file)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && status.st_dev == file.st_dev && status.st_ino == file.st_ino;
}

// `existingMode` is the permission bits of the file replaced, none for a new file.
bool replace(const fs::path& target, const std::function<void(int)>& writeContent, std::optional<mode_t> existingMode,
             std::stop_token stop)
{
    if (stop.stop_requested())
        return false;
    TemporaryFile temporary(target, existingMode.value_or(0666));
    writeContent(temporary.descriptor());
    // Creation took the umask off; the mode of the file replaced is restored whole.
    if (existingMode && ::fchmod(temporary.descriptor(), *existingMode) != 0)
        throwSystemError(errno);
    if (::fsync(temporary.descriptor()) != 0)
        throwSystemError(errno);
    temporary.close();
    if (stop.stop_requested())
        return false;
    temporary.commit(target);
    return true;
}

bool writeThrough(const fs::path& path, const std::function<void(int)>& writeContent, std::stop_token stop)
{
    if (stop.stop_requested())
        return false;
    // Non-blocking, so that a pipe nobody reads fails at once instead of waiting for a reader.
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        throwSystemError(errno);
    try {
        const int flags = ::fcntl(descriptor, F_GETFL);
        if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0)
            throwSystemError(errno);
        writeContent(descriptor);
    } catch (...) {
        ::close(descriptor);
        throw;
    }
    closeOrFail(descriptor);
    return true;
}

}  // namespace

bool write(const fs::path& path, std::string_view text, std::stop_token stop)
{
    return write(
        path, [text](int descriptor) { writeAll(descriptor, text); }, std::move(stop));
}

bool write(const fs::path& path, const std::function<void(int descriptor)>& writeContent, std::stop_token stop)
{
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0) {
        if (errno != ENOENT)
            throwSystemError(errno);
        return replace(linkTarget(path), writeContent, std::nullopt, std::move(stop));
    }
    if (S_ISDIR(existing.st_mode))
        throwSystemError(EISDIR);
    // A device or a pipe is written to, and so is a file its links do not lead to by name, as a
    // /proc/self/fd link to a deleted file.
    const fs::path target = linkTarget(path);
    if (!S_ISREG(existing.st_mode) || !isFile(target, existing))
        return writeThrough(path, writeContent, std::move(stop));
    return replace(target, writeContent, existing.st_mode & 0777, std::move(stop));
}

void writeAll(int descriptor, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t count = ::write(descriptor, text.data(), text.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throwSystemError(errno);
        text.remove_prefix(static_cast<std::size_t>(count));
    }
}

void removeUnfinishedFile() noexcept
{
    if (const char* path = unfinishedFile.load())
        ::unlink(path);
}

}  // namespace rowlark::results::ReportFile
