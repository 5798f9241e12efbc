#include "engine/workbook/library/ReaderProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "engine/workbook/ImportError.h"

extern char** environ;

namespace rowlark::workbook {
namespace {

[[noreturn]] void throwSystemError()
{
    throw std::system_error(errno, std::generic_category());
}

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int descriptor)
        : descriptor_(descriptor)
    {
    }
    FileDescriptor(FileDescriptor&& other) noexcept
        : descriptor_(std::exchange(other.descriptor_, -1))
    {
    }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        reset(std::exchange(other.descriptor_, -1));
        return *this;
    }
    ~FileDescriptor() { reset(); }

    int get() const { return descriptor_; }
    bool isOpen() const { return descriptor_ >= 0; }
    void reset(int descriptor = -1)
    {
        if (descriptor_ >= 0)
            ::close(descriptor_);
        descriptor_ = descriptor;
    }

private:
    int descriptor_ = -1;
};

// Descriptors are created close-on-exec so that a helper started by another thread at the same
// time never inherits them (an inherited write end would keep our helper from seeing the end of
// its input).
std::pair<FileDescriptor, FileDescriptor> makePipe()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throwSystemError();
    return {FileDescriptor(ends[0]), FileDescriptor(ends[1])};
}

// The input channel is a socket so that writing to a helper that already ended gives EPIPE
// instead of a SIGPIPE for the whole program.
std::pair<FileDescriptor, FileDescriptor> makeSocketPair()
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        throwSystemError();
    return {FileDescriptor(ends[0]), FileDescriptor(ends[1])};
}

void setNonBlocking(const FileDescriptor& descriptor)
{
    const int flags = ::fcntl(descriptor.get(), F_GETFL);
    if (flags < 0 || ::fcntl(descriptor.get(), F_SETFL, flags | O_NONBLOCK) != 0)
        throwSystemError();
}

// Owns a started child until it is waited for; a child still running when its owner goes away
// (an error, a cancellation) is killed and reaped, never left behind.
class Child {
public:
    explicit Child(pid_t pid)
        : pid_(pid)
    {
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }

    void kill() { ::kill(pid_, SIGKILL); }

    int wait()
    {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_;
};

Child spawn(const std::filesystem::path& program, const std::vector<std::string>& arguments,
            const FileDescriptor& input, const FileDescriptor& output, const FileDescriptor& errorOutput)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errorOutput.get(), STDERR_FILENO);

    std::string programText = program.string();
    std::vector<char*> argv{programText.data()};
    std::vector<std::string> copies(arguments);
    for (auto& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, programText.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::system_error(error, std::generic_category());
    return Child(pid);
}

// Hands the input parts to the helper as fast as it takes them.
class InputFeed {
public:
    InputFeed(FileDescriptor channel, const std::vector<std::string_view>& parts)
        : channel_(std::move(channel))
        , parts_(parts)
    {
        skipEmptyParts();
    }

    bool isOpen() const { return channel_.isOpen(); }
    int descriptor() const { return channel_.get(); }

    void writeSome()
    {
        const std::string_view part = parts_[part_].substr(offset_);
        const ssize_t count = ::send(channel_.get(), part.data(), part.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return;
            channel_.reset();  // the helper stopped reading; how it ended tells the rest
            return;
        }
        offset_ += static_cast<std::size_t>(count);
        skipEmptyParts();
    }

private:
    void skipEmptyParts()
    {
        while (part_ < parts_.size() && offset_ == parts_[part_].size()) {
            ++part_;
            offset_ = 0;
        }
        if (part_ == parts_.size())
            channel_.reset();
    }

    FileDescriptor channel_;
    const std::vector<std::string_view>& parts_;
    std::size_t part_ = 0;
    std::size_t offset_ = 0;
};

// Appends what is ready on the output, keeping at most the last `keptBytes` of it; closes our
// end once the helper closed its own.
void readSome(FileDescriptor& output, std::string& text, std::size_t keptBytes = std::string::npos)
{
    char buffer[1 << 16];
    const ssize_t count = ::read(output.get(), buffer, sizeof buffer);
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (count <= 0) {
        output.reset();
        return;
    }
    text.append(buffer, static_cast<std::size_t>(count));
    if (text.size() > keptBytes)
        text.erase(0, text.size() - keptBytes);
}

constexpr std::size_t keptErrorOutputBytes = 4096;

}  // namespace

ProcessOutcome runProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string_view>& inputParts, std::size_t outputLimit,
                          std::stop_token stop)
{
    if (stop.stop_requested())
        throw ImportCancelled();
    auto [inputOurs, inputTheirs] = makeSocketPair();
    auto [outputOurs, outputTheirs] = makePipe();
    auto [errorOurs, errorTheirs] = makePipe();
    auto [wakeRead, wakeWrite] = makePipe();
    setNonBlocking(inputOurs);
    setNonBlocking(outputOurs);
    setNonBlocking(errorOurs);

    Child child = spawn(program, arguments, inputTheirs, outputTheirs, errorTheirs);
    inputTheirs.reset();
    outputTheirs.reset();
    errorTheirs.reset();

    const int wakeDescriptor = wakeWrite.get();
    const std::stop_callback onStop(stop, [wakeDescriptor] {
        const char signal = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(wakeDescriptor, &signal, 1);
    });

    InputFeed feed(std::move(inputOurs), inputParts);
    ProcessOutcome outcome;
    while (outputOurs.isOpen() || errorOurs.isOpen()) {
        pollfd descriptors[4] = {
            {outputOurs.get(), POLLIN, 0},
            {errorOurs.get(), POLLIN, 0},
            {wakeRead.get(), POLLIN, 0},
            {feed.isOpen() ? feed.descriptor() : -1, POLLOUT, 0},
        };
        if (::poll(descriptors, 4, -1) < 0) {
            if (errno == EINTR)
                continue;
            throwSystemError();
        }
        if (descriptors[2].revents != 0)
            throw ImportCancelled();  // the child is killed on the way out
        if (descriptors[3].revents != 0)
            feed.writeSome();
        if (descriptors[1].revents != 0)
            readSome(errorOurs, outcome.errorOutput, keptErrorOutputBytes);
        if (descriptors[0].revents != 0)
            readSome(outputOurs, outcome.output);
        if (outcome.output.size() > outputLimit) {
            outcome.isOutputOverLimit = true;
            outcome.output.clear();
            child.kill();
            break;
        }
    }

    const int status = child.wait();
    outcome.isSignaled = WIFSIGNALED(status);
    outcome.signal = outcome.isSignaled ? WTERMSIG(status) : 0;
    outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    return outcome;
}

}  // namespace rowlark::workbook
