#pragma once

// The streams of a compound file (the container of XLS workbooks) held in memory. Nothing in it
// is trusted: every sector chain is followed with its sectors counted, so a chain that loops,
// leaves the file or ends before its stream does is an error, and a stream is never larger than
// the sectors that hold it.

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace rowlark::workbook {

// The header, the allocation tables, the directory or a chain is broken or in a form not read
// here.
class CompoundFileError : public std::runtime_error {
public:
    CompoundFileError();
};

struct CompoundEntry {
    std::string name;  // as UTF-8
    std::uint8_t type = 0;
    std::uint32_t left = 0;
    std::uint32_t right = 0;
    std::uint32_t child = 0;
    std::uint32_t start = 0;
    std::uint32_t size = 0;

    bool isStream() const { return type == 2; }
};

class CompoundFile {
public:
    // The bytes must outlive the file. None when they do not start with the compound file's
    // signature; fails with CompoundFileError when its header, tables or directory are damaged.
    static std::optional<CompoundFile> open(std::span<const unsigned char> bytes);

    // The entries in the directory's order; the first is the root.
    const std::vector<CompoundEntry>& entries() const { return entries_; }
    // The entries directly below the root, in the directory's order.
    const std::vector<std::uint32_t>& topLevel() const { return topLevel_; }

    // The first entry below the root whose name equals `name` ignoring ASCII case.
    const CompoundEntry* findTopLevel(std::string_view name) const;
    // Whether any entry, at any depth, is named `name` ignoring ASCII case.
    bool contains(std::string_view name) const;

    // The bytes of a stream; fails with CompoundFileError when its chain is broken.
    std::string read(const CompoundEntry& entry) const;

private:
    CompoundFile(std::span<const unsigned char> bytes, std::uint32_t sectorSize);

    std::size_t sectorCount() const;
    std::span<const unsigned char> sector(std::uint32_t index) const;
    std::uint32_t nextSector(std::uint32_t index) const;
    std::string chainBytes(std::uint32_t start, std::uint64_t size) const;
    std::string miniStreamBytes(const CompoundEntry& entry) const;
    void readTables(std::span<const unsigned char> header);
    void readDirectory(std::uint32_t firstSector);
    void findTopLevel();

    std::span<const unsigned char> bytes_;
    std::uint32_t sectorSize_;
    std::vector<std::uint32_t> tableSectors_;  // the sectors of the allocation table, in order
    std::uint32_t miniTableStart_ = 0;
    std::vector<CompoundEntry> entries_;
    std::vector<std::uint32_t> topLevel_;
};

}  // namespace rowlark::workbook
