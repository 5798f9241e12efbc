#pragma once

// The entries of a ZIP archive held in memory, inflated one at a time as a stream of chunks.
// Only the central directory is trusted for names and offsets; every entry's inflated size is
// bounded, in all and against its compressed size, so that a small archive cannot expand into
// gigabytes.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rowlark::workbook {

// What inflating may produce: all entries of one read together, and one entry against its
// compressed size once it passes the grace bytes.
struct InflateLimits {
    std::uint64_t totalBytes;
    std::uint64_t ratio;
    std::uint64_t graceBytes;
};

// The limits a workbook read is held to, by the native readers and by the reader helper before
// it hands an archive to the library: 1 GiB inflated in all, and an entry at most 200 times its
// compressed size once past 16 MiB.
InflateLimits workbookInflateLimits();

enum class ZIPProblem {
    damaged,      // the directory, a header or a deflate stream is broken
    tooLarge,     // inflating would pass the limits
    unsupported,  // the entry is encrypted or compressed by a method other than stored or deflated
};

class ZIPError : public std::runtime_error {
public:
    explicit ZIPError(ZIPProblem problem);
    ZIPProblem problem() const { return problem_; }

private:
    ZIPProblem problem_;
};

struct ZIPEntry {
    std::string name;
    std::uint32_t flags = 0;
    std::uint32_t method = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t dataOffset = 0;

    bool isEncrypted() const { return (flags & 1) != 0; }
};

class ZIPArchive {
public:
    // The bytes must outlive the archive. None when they are not a ZIP archive, or one in a form
    // not read here (ZIP64, methods other than stored and deflated); fails with ZIPError when
    // its directory is damaged.
    static std::optional<ZIPArchive> open(std::span<const unsigned char> bytes);

    const std::vector<ZIPEntry>& entries() const { return entries_; }

    // The first entry whose name equals `name` ignoring ASCII case and the kind of slash.
    const ZIPEntry* find(std::string_view name) const;

    // Inflates the entry, handing its bytes to `sink` in order; fails with ZIPError. What it
    // produces counts against the limits of this archive's reads, once however often it is read.
    // A large entry inflates on a second thread while `sink` takes the chunks before; `sink`
    // runs on the calling thread.
    void read(const ZIPEntry& entry, const std::function<void(std::string_view)>& sink);
    std::string readAll(const ZIPEntry& entry);

    // Inflates every entry not read so far with its output thrown away, so that a damaged or
    // oversized entry is found whichever parts a reader needs.
    void checkUnreadEntries();

private:
    ZIPArchive(std::span<const unsigned char> bytes, std::vector<ZIPEntry> entries, InflateLimits limits);

    std::span<const unsigned char> bytes_;
    std::vector<ZIPEntry> entries_;
    std::vector<bool> isRead_;
    std::vector<std::uint64_t> inflatedOf_;  // per entry, what its last read produced
    InflateLimits limits_;
    std::uint64_t inflatedBytes_ = 0;
};

}  // namespace rowlark::workbook
