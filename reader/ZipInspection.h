#pragma once

// A look at a ZIP archive before the spreadsheet-reader library is given it. The library trusts
// the archive: a cut-off directory or a damaged deflate stream can keep it busy forever, and a
// small entry that inflates to gigabytes takes the memory with it. Inflating every entry once,
// with its output thrown away, finds both in time proportional to what the archive may hold.

#include <cstdint>
#include <span>

namespace rowlark::reader {

enum class ZipVerdict {
    notChecked,  // not a ZIP archive, or one in a form left to the library (ZIP64)
    sound,
    damaged,
    tooLarge,
};

struct InflateLimits {
    std::uint64_t totalBytes;  // all entries together
    std::uint64_t ratio;       // one entry, times its compressed size ...
    std::uint64_t graceBytes;  // ... once it inflates past this
};

ZipVerdict inspectZip(std::span<const unsigned char> bytes, const InflateLimits& limits);

}  // namespace rowlark::reader
