#include "engine/workbook/container/CompoundFile.h"

#include <algorithm>
#include <array>

#include "engine/text/CodePage.h"
#include "engine/workbook/container/LittleEndian.h"

namespace rowlark::workbook {
namespace {

using Bytes = std::span<const unsigned char>;

constexpr std::array<unsigned char, 8> signature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t headerSize = 512;
constexpr std::size_t directoryEntrySize = 128;
constexpr std::size_t miniSectorSize = 64;
constexpr std::uint32_t miniStreamCutoff = 4096;
constexpr std::size_t headerTableSectors = 109;
constexpr std::uint32_t endOfChain = 0xFFFFFFFE;
constexpr std::uint32_t freeSector = 0xFFFFFFFF;
constexpr std::uint32_t noEntry = 0xFFFFFFFF;
constexpr std::uint8_t rootType = 5;

[[noreturn]] void fail()
{
    throw CompoundFileError();
}

void require(bool condition)
{
    if (!condition)
        fail();
}

bool isSameName(std::string_view left, std::string_view right)
{
    return std::ranges::equal(left, right, [](char a, char b) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(a) == lower(b);
    });
}

// An entry's name: UTF-16 without its terminating zero (and without any other zero unit).
std::string entryName(Bytes entry)
{
    const std::size_t length = littleEndian(entry, 64, 2);
    require(length <= 64 && length % 2 == 0);
    std::u16string units;
    for (std::size_t offset = 0; offset < length; offset += 2) {
        if (const auto unit = static_cast<char16_t>(littleEndian(entry, offset, 2)))
            units.push_back(unit);
    }
    std::optional<std::string> name = text::decodeUTF16(units);
    require(name.has_value());
    return std::move(*name);
}

}  // namespace

CompoundFileError::CompoundFileError()
    : std::runtime_error("damaged compound file")
{
}

CompoundFile::CompoundFile(Bytes bytes, std::uint32_t sectorSize)
    : bytes_(bytes)
    , sectorSize_(sectorSize)
{
}

std::optional<CompoundFile> CompoundFile::open(Bytes bytes)
{
    if (bytes.size() < signature.size() || !std::equal(signature.begin(), signature.end(), bytes.begin()))
        return std::nullopt;
    require(bytes.size() >= headerSize);
    // Version 3 has sectors of 512 bytes, version 4 of 4096; the mini sectors are 64 bytes and
    // streams below 4096 bytes live in the mini stream.
    const std::uint32_t version = littleEndian(bytes, 26, 2);
    const std::uint32_t shift = littleEndian(bytes, 30, 2);
    require((version == 3 && shift == 9) || (version == 4 && shift == 12));
    require(littleEndian(bytes, 32, 2) == 6);
    require(std::all_of(bytes.begin() + 34, bytes.begin() + 40, [](unsigned char byte) { return byte == 0; }));
    require(version == 4 || littleEndian(bytes, 40, 4) == 0);
    require(littleEndian(bytes, 56, 4) == miniStreamCutoff);

    CompoundFile file(bytes, std::uint32_t(1) << shift);
    require(bytes.size() >= file.sectorSize_);
    file.readTables(bytes.first(headerSize));
    file.readDirectory(littleEndian(bytes, 48, 4));
    file.findTopLevel();
    return file;
}

std::size_t CompoundFile::sectorCount() const
{
    return (bytes_.size() - 1) / sectorSize_;
}

// A sector as far as the file holds it: the last one may be cut short.
Bytes CompoundFile::sector(std::uint32_t index) const
{
    require(index < sectorCount());
    const std::size_t offset = (std::size_t(index) + 1) * sectorSize_;
    return bytes_.subspan(offset, std::min<std::size_t>(sectorSize_, bytes_.size() - offset));
}

std::uint32_t CompoundFile::nextSector(std::uint32_t index) const
{
    const std::size_t perSector = sectorSize_ / 4;
    const std::size_t table = index / perSector;
    require(table < tableSectors_.size());
    const Bytes entries = sector(tableSectors_[table]);
    const std::size_t offset = (index % perSector) * 4;
    require(offset + 4 <= entries.size());
    return littleEndian(entries, offset, 4);
}

// The allocation table's sectors: those the header lists up to the first free one, then those of
// the chain of extra table sectors, each ending with the next one's number.
void CompoundFile::readTables(Bytes header)
{
    for (std::size_t index = 0; index < headerTableSectors; ++index) {
        const std::uint32_t table = littleEndian(header, 76 + 4 * index, 4);
        if (table >= 0x80000000)
            break;
        tableSectors_.push_back(table);
    }
    std::uint32_t extra = littleEndian(header, 68, 4);
    std::uint32_t extraCount = littleEndian(header, 72, 4);
    std::vector<bool> isSeen(sectorCount());
    while (extra != endOfChain && extra != freeSector) {
        require(extra < sectorCount() && !isSeen[extra] && extraCount > 0);
        isSeen[extra] = true;
        const Bytes entries = sector(extra);
        require(entries.size() == sectorSize_);
        const std::size_t count = sectorSize_ / 4 - 1;
        for (std::size_t index = 0; index < count; ++index) {
            const std::uint32_t table = littleEndian(entries, 4 * index, 4);
            if (table == endOfChain)
                break;
            tableSectors_.push_back(table);
        }
        extra = littleEndian(entries, sectorSize_ - 4, 4);
        --extraCount;
    }
    require(extra != endOfChain || extraCount == 0);
    require(!tableSectors_.empty() && tableSectors_.front() < sectorCount());
    miniTableStart_ = littleEndian(header, 60, 4);
    const std::uint32_t miniTableCount = littleEndian(header, 64, 4);
    require(miniTableCount == 0 || miniTableStart_ == endOfChain || miniTableStart_ < sectorCount());
}

// The bytes of the chain from `start`, at least `size` of them; the chain must end where the
// table says and visit no sector twice.
std::string CompoundFile::chainBytes(std::uint32_t start, std::uint64_t size) const
{
    require(size <= std::uint64_t(sectorCount()) * sectorSize_);
    std::string bytes;
    bytes.reserve(size);
    std::vector<bool> isSeen(sectorCount());
    for (std::uint32_t index = start; index != endOfChain; index = nextSector(index)) {
        require(index < sectorCount() && !isSeen[index]);
        isSeen[index] = true;
        const Bytes data = sector(index);
        bytes.append(reinterpret_cast<const char*>(data.data()), data.size());
    }
    require(bytes.size() >= size);
    return bytes;
}

void CompoundFile::readDirectory(std::uint32_t firstSector)
{
    require(firstSector < sectorCount());
    const std::string directory = chainBytes(firstSector, 0);
    const Bytes bytes(reinterpret_cast<const unsigned char*>(directory.data()), directory.size());
    require(bytes.size() % directoryEntrySize == 0);
    bool hasRoot = false;
    for (std::size_t offset = 0; offset < bytes.size(); offset += directoryEntrySize) {
        const Bytes raw = bytes.subspan(offset, directoryEntrySize);
        CompoundEntry entry;
        entry.name = entryName(raw);
        entry.type = raw[66];
        entry.left = littleEndian(raw, 68, 4);
        entry.right = littleEndian(raw, 72, 4);
        entry.child = littleEndian(raw, 76, 4);
        entry.start = littleEndian(raw, 116, 4);
        entry.size = littleEndian(raw, 120, 4);
        const bool isUnused = entry.size >= 0x80000000 && entry.start >= 0x80000000;
        // Sizes past 2 GB, or with the high half of version 4 set, are not read here.
        require(isUnused || (entry.size < 0x80000000 && littleEndian(raw, 124, 4) == 0));
        if (isUnused)
            entry = CompoundEntry{};
        if (entry.type == rootType) {
            // A second root would move the mini stream for the entries after it.
            require(!hasRoot);
            hasRoot = true;
        }
        entries_.push_back(std::move(entry));
    }
    require(!entries_.empty() && entries_.front().type == rootType);
}

// The root's children: its child and the entries reached from it to the left and right, each
// once.
void CompoundFile::findTopLevel()
{
    std::vector<bool> isSeen(entries_.size());
    std::vector<std::uint32_t> pending;
    const auto visit = [&](std::uint32_t index) {
        if (index == noEntry)
            return;
        require(index < entries_.size() && index != 0 && !isSeen[index]);
        isSeen[index] = true;
        pending.push_back(index);
    };
    visit(entries_.front().child);
    while (!pending.empty()) {
        const std::uint32_t index = pending.back();
        pending.pop_back();
        topLevel_.push_back(index);
        visit(entries_[index].left);
        visit(entries_[index].right);
    }
    std::ranges::sort(topLevel_);
}

const CompoundEntry* CompoundFile::findTopLevel(std::string_view name) const
{
    for (const std::uint32_t index : topLevel_) {
        if (isSameName(entries_[index].name, name))
            return &entries_[index];
    }
    return nullptr;
}

bool CompoundFile::contains(std::string_view name) const
{
    return std::ranges::any_of(entries_, [&](const CompoundEntry& entry) { return isSameName(entry.name, name); });
}

std::string CompoundFile::miniStreamBytes(const CompoundEntry& entry) const
{
    const CompoundEntry& root = entries_.front();
    require(miniTableStart_ != endOfChain && root.start < sectorCount());
    const std::string table = chainBytes(miniTableStart_, 0);
    const std::string container = chainBytes(root.start, 0);
    std::string bytes;
    bytes.reserve(entry.size);
    std::uint32_t index = entry.start;
    while (bytes.size() < entry.size) {
        require(std::size_t(index) * 4 + 4 <= table.size() &&
                (std::size_t(index) + 1) * miniSectorSize <= container.size());
        bytes.append(container, std::size_t(index) * miniSectorSize, miniSectorSize);
        index = littleEndian(Bytes(reinterpret_cast<const unsigned char*>(table.data()), table.size()),
                             std::size_t(index) * 4, 4);
    }
    bytes.resize(entry.size);
    return bytes;
}

std::string CompoundFile::read(const CompoundEntry& entry) const
{
    require(entry.isStream());
    if (entry.size < miniStreamCutoff)
        return entry.size == 0 ? std::string() : miniStreamBytes(entry);
    std::string bytes = chainBytes(entry.start, entry.size);
    bytes.resize(entry.size);
    return bytes;
}

}  // namespace rowlark::workbook
