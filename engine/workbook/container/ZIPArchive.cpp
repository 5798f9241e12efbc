#include "engine/workbook/container/ZIPArchive.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "engine/workbook/container/LittleEndian.h"

namespace rowlark::workbook {
namespace {

using Bytes = std::span<const unsigned char>;

constexpr std::uint32_t endOfDirectorySignature = 0x06054b50;
constexpr std::uint32_t directoryEntrySignature = 0x02014b50;
constexpr std::uint32_t localHeaderSignature = 0x04034b50;
constexpr std::size_t endOfDirectorySize = 22;
constexpr std::size_t directoryEntrySize = 46;
constexpr std::size_t localHeaderSize = 30;
constexpr std::size_t maximumCommentSize = 0xFFFF;
constexpr std::uint32_t storedMethod = 0;

// The same test the spreadsheet-reader library makes to take a file for a ZIP archive.
bool looksLikeZIP(Bytes bytes)
{
    return bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] < 9 && bytes[3] < 9;
}

std::optional<std::size_t> findEndOfDirectory(Bytes bytes)
{
    if (bytes.size() < endOfDirectorySize)
        return std::nullopt;
    const std::size_t last = bytes.size() - endOfDirectorySize;
    const std::size_t first = last > maximumCommentSize ? last - maximumCommentSize : 0;
    for (std::size_t offset = last + 1; offset-- > first;) {
        if (littleEndian(bytes, offset, 4) == endOfDirectorySignature)
            return offset;
    }
    return std::nullopt;
}

const char* problemText(ZIPProblem problem)
{
    switch (problem) {
    case ZIPProblem::damaged:
        return "damaged ZIP archive";
    case ZIPProblem::tooLarge:
        return "ZIP archive inflates too far";
    case ZIPProblem::unsupported:
        return "ZIP entry encrypted or compressed by an unsupported method";
    }
    return "";
}

bool isInflatable(const ZIPEntry& entry)
{
    return !entry.isEncrypted() && (entry.method == storedMethod || entry.method == Z_DEFLATED);
}

[[noreturn]] void fail(ZIPProblem problem)
{
    throw ZIPError(problem);
}

char foldedCharacter(char character)
{
    if (character == '\\')
        return '/';
    return character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a') : character;
}

bool isSameName(std::string_view left, std::string_view right)
{
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return foldedCharacter(a) == foldedCharacter(b);
           });
}

// Chunks of inflated bytes are 64 KiB.
constexpr std::size_t chunkBytes = std::size_t(1) << 16;
// Entries from this compressed size on are inflated on a thread of their own while their reader
// reads the chunks before: inflating takes a good part of the time of reading a large sheet.
constexpr std::uint64_t pipelinedFrom = std::uint64_t(1) << 16;

class Inflater {
public:
    explicit Inflater(Bytes input)
    {
        if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK)
            throw std::bad_alloc();
        stream_.next_in = const_cast<unsigned char*>(input.data());
        stream_.avail_in = static_cast<uInt>(input.size());
    }
    ~Inflater() { inflateEnd(&stream_); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    enum class State { more, end, damaged };
    struct Chunk {
        std::size_t size;
        State state;
    };

    // Inflates the next bytes of the stream into `output`; fails with tooLarge once more than
    // `allowance` bytes came out in all. The bytes of a damaged stream's last chunk still count.
    Chunk next(std::span<unsigned char> output, std::uint64_t allowance)
    {
        stream_.next_out = output.data();
        stream_.avail_out = static_cast<uInt>(output.size());
        const int status = inflate(&stream_, Z_NO_FLUSH);
        const std::size_t count = output.size() - stream_.avail_out;
        produced_ += count;
        if (produced_ > allowance)
            fail(ZIPProblem::tooLarge);
        if (status == Z_STREAM_END)
            return {count, State::end};
        if (status != Z_OK || (count == 0 && stream_.avail_in == 0))
            return {count, State::damaged};
        return {count, State::more};
    }

    std::uint64_t produced() const { return produced_; }

private:
    z_stream stream_{};
    std::uint64_t produced_ = 0;
};

using Sink = std::function<void(std::string_view)>;

std::string_view asText(std::span<const unsigned char> bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Inflates the whole stream on this thread, passing every chunk to `sink`.
void inflateHere(Inflater& inflater, std::uint64_t allowance, const Sink& sink)
{
    std::array<unsigned char, chunkBytes> output{};
    while (true) {
        const Inflater::Chunk chunk = inflater.next(output, allowance);
        if (chunk.size > 0 && sink)
            sink(asText(std::span(output).first(chunk.size)));
        if (chunk.state == Inflater::State::end)
            return;
        if (chunk.state == Inflater::State::damaged)
            fail(ZIPProblem::damaged);
    }
}

// Chunks handed from the thread that inflates to the one that reads them, through a few buffers
// in turn: the inflating side waits while all are full, the reading side while all are empty.
// Either side stopping (the stream ends or fails, the reader fails or is cancelled) releases
// the other.
class ChunkPipe {
public:
    // On the inflating thread: fills the buffers until the stream ends or fails, or the reading
    // side stops.
    void fill(Inflater& inflater, std::uint64_t allowance)
    {
        try {
            while (true) {
                const std::optional<std::size_t> slot = freeSlot();
                if (!slot)
                    return;
                const Inflater::Chunk chunk = inflater.next(buffers_[*slot], allowance);
                const std::lock_guard lock(mutex_);
                chunks_[*slot] = chunk;
                ++filled_;
                changed_.notify_all();
                if (chunk.state != Inflater::State::more)
                    return;
            }
        } catch (...) {
            const std::lock_guard lock(mutex_);
            failure_ = std::current_exception();
            changed_.notify_all();
        }
    }

    // On the reading thread: passes the chunks to `sink` in order until the stream ends, and
    // fails as the stream failed.
    void drain(const Sink& sink)
    {
        while (true) {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return emptied_ < filled_ || failure_; });
            if (emptied_ == filled_)
                std::rethrow_exception(failure_);
            const std::size_t slot = emptied_ % slotCount;
            const Inflater::Chunk chunk = chunks_[slot];
            lock.unlock();
            if (chunk.size > 0 && sink)
                sink(asText(std::span(buffers_[slot]).first(chunk.size)));
            if (chunk.state == Inflater::State::end)
                return;
            if (chunk.state == Inflater::State::damaged)
                fail(ZIPProblem::damaged);
            lock.lock();
            ++emptied_;
            changed_.notify_all();
        }
    }

    // The reading side stops: the inflating side stops at its next chunk.
    void abandon()
    {
        const std::lock_guard lock(mutex_);
        isAbandoned_ = true;
        changed_.notify_all();
    }

private:
    static constexpr std::size_t slotCount = 4;

    std::optional<std::size_t> freeSlot()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return filled_ - emptied_ < slotCount || isAbandoned_; });
        if (isAbandoned_)
            return std::nullopt;
        return filled_ % slotCount;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::array<std::array<unsigned char, chunkBytes>, slotCount> buffers_{};
    std::array<Inflater::Chunk, slotCount> chunks_{};
    std::size_t filled_ = 0;   // chunks inflated so far
    std::size_t emptied_ = 0;  // chunks read so far
    std::exception_ptr failure_;
    bool isAbandoned_ = false;
};

// Inflates the stream on a second thread while `sink` reads the chunks before.
void inflatePipelined(Inflater& inflater, std::uint64_t allowance, const Sink& sink)
{
    const auto pipe = std::make_unique<ChunkPipe>();
    const std::jthread inflating([&] { pipe->fill(inflater, allowance); });
    // Declared after the thread, so it releases the thread before the thread is joined.
    struct Abandon {
        ChunkPipe& pipe;
        ~Abandon() { pipe.abandon(); }
    } const abandon{*pipe};
    pipe->drain(sink);
}

}  // namespace

InflateLimits workbookInflateLimits()
{
    return {std::uint64_t(1) << 30, 200, std::uint64_t(16) << 20};
}

ZIPError::ZIPError(ZIPProblem problem)
    : std::runtime_error(problemText(problem))
    , problem_(problem)
{
}

ZIPArchive::ZIPArchive(Bytes bytes, std::vector<ZIPEntry> entries, InflateLimits limits)
    : bytes_(bytes)
    , entries_(std::move(entries))
    , isRead_(entries_.size(), false)
    , inflatedOf_(entries_.size(), 0)
    , limits_(limits)
{
}

std::optional<ZIPArchive> ZIPArchive::open(Bytes bytes)
{
    if (!looksLikeZIP(bytes))
        return std::nullopt;
    const std::optional<std::size_t> end = findEndOfDirectory(bytes);
    if (!end)
        fail(ZIPProblem::damaged);
    const std::uint32_t entryCount = littleEndian(bytes, *end + 10, 2);
    const std::uint32_t directorySize = littleEndian(bytes, *end + 12, 4);
    const std::uint32_t directoryOffset = littleEndian(bytes, *end + 16, 4);
    if (entryCount == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF)
        return std::nullopt;
    if (std::uint64_t(directoryOffset) + directorySize > *end)
        fail(ZIPProblem::damaged);

    std::vector<ZIPEntry> entries;
    entries.reserve(entryCount);
    std::size_t position = directoryOffset;
    for (std::uint32_t index = 0; index < entryCount; ++index) {
        if (position + directoryEntrySize > *end || littleEndian(bytes, position, 4) != directoryEntrySignature)
            fail(ZIPProblem::damaged);
        const std::size_t nameSize = littleEndian(bytes, position + 28, 2);
        if (position + directoryEntrySize + nameSize > *end)
            fail(ZIPProblem::damaged);
        ZIPEntry entry;
        entry.flags = littleEndian(bytes, position + 8, 2);
        entry.method = littleEndian(bytes, position + 10, 2);
        entry.compressedSize = littleEndian(bytes, position + 20, 4);
        entry.name.assign(reinterpret_cast<const char*>(bytes.data() + position + directoryEntrySize), nameSize);
        const std::uint64_t header = littleEndian(bytes, position + 42, 4);
        position += directoryEntrySize + nameSize + littleEndian(bytes, position + 30, 2) +
                    littleEndian(bytes, position + 32, 2);

        if (header + localHeaderSize > bytes.size() || littleEndian(bytes, header, 4) != localHeaderSignature)
            fail(ZIPProblem::damaged);
        entry.dataOffset =
            header + localHeaderSize + littleEndian(bytes, header + 26, 2) + littleEndian(bytes, header + 28, 2);
        if (entry.dataOffset + entry.compressedSize > bytes.size())
            fail(ZIPProblem::damaged);
        entries.push_back(std::move(entry));
    }
    return ZIPArchive(bytes, std::move(entries), workbookInflateLimits());
}

const ZIPEntry* ZIPArchive::find(std::string_view name) const
{
    for (const ZIPEntry& entry : entries_) {
        if (isSameName(entry.name, name))
            return &entry;
    }
    return nullptr;
}

void ZIPArchive::read(const ZIPEntry& entry, const std::function<void(std::string_view)>& sink)
{
    const auto index = static_cast<std::size_t>(&entry - entries_.data());
    isRead_[index] = true;
    // An entry read again counts once.
    inflatedBytes_ -= std::exchange(inflatedOf_[index], 0);
    if (!isInflatable(entry))
        fail(ZIPProblem::unsupported);
    const Bytes data = bytes_.subspan(entry.dataOffset, entry.compressedSize);
    if (entry.method == storedMethod) {
        inflatedBytes_ += data.size();
        inflatedOf_[index] = data.size();
        if (inflatedBytes_ > limits_.totalBytes)
            fail(ZIPProblem::tooLarge);
        if (sink && !data.empty())
            sink(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
        return;
    }
    const std::uint64_t entryAllowance =
        std::max(limits_.graceBytes, limits_.ratio * std::max<std::uint64_t>(entry.compressedSize, 1));
    const std::uint64_t allowance =
        std::min(entryAllowance, limits_.totalBytes - std::min(inflatedBytes_, limits_.totalBytes));
    Inflater inflater(data);
    if (sink && entry.compressedSize >= pipelinedFrom)
        inflatePipelined(inflater, allowance, sink);
    else
        inflateHere(inflater, allowance, sink);
    inflatedBytes_ += inflater.produced();
    inflatedOf_[index] = inflater.produced();
}

std::string ZIPArchive::readAll(const ZIPEntry& entry)
{
    std::string text;
    read(entry, [&text](std::string_view chunk) { text.append(chunk); });
    return text;
}

void ZIPArchive::checkUnreadEntries()
{
    for (std::size_t index = 0; index < entries_.size(); ++index) {
        if (!isRead_[index] && isInflatable(entries_[index]))
            read(entries_[index], {});
    }
}

}  // namespace rowlark::workbook
