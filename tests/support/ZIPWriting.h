#pragma once

// ZIP archives of stored (uncompressed) entries written byte by byte for tests and fuzz targets,
// so that the parts inside are what a test or the fuzzer wrote. Checksums are left at 0: the
// readers do not check them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowlark::testing {

struct StoredPart {
    std::string_view name;
    std::string_view content;
    std::uint16_t flags = 0;   // bit 0 marks the entry encrypted
    std::uint16_t method = 0;  // what the headers claim; the content is stored as given either way
};

inline void appendLittleEndian(std::string& out, std::uint32_t value, int width)
{
    for (int byte = 0; byte < width; ++byte)
        out.push_back(static_cast<char>((value >> (8 * byte)) & 0xFF));
}

inline std::string storedArchive(const std::vector<StoredPart>& parts)
{
    std::string archive;
    std::string directory;
    for (const StoredPart& part : parts) {
        const auto offset = static_cast<std::uint32_t>(archive.size());
        const auto size = static_cast<std::uint32_t>(part.content.size());
        const auto nameSize = static_cast<std::uint32_t>(part.name.size());
        archive += "PK\x03\x04";
        appendLittleEndian(archive, 20, 2);
        appendLittleEndian(archive, part.flags, 2);
        appendLittleEndian(archive, part.method, 2);
        appendLittleEndian(archive, 0, 4);  // time and date
        appendLittleEndian(archive, 0, 4);  // checksum
        appendLittleEndian(archive, size, 4);
        appendLittleEndian(archive, size, 4);
        appendLittleEndian(archive, nameSize, 2);
        appendLittleEndian(archive, 0, 2);
        archive += part.name;
        archive += part.content;

        directory += "PK\x01\x02";
        appendLittleEndian(directory, 20, 2);
        appendLittleEndian(directory, 20, 2);
        appendLittleEndian(directory, part.flags, 2);
        appendLittleEndian(directory, part.method, 2);
        appendLittleEndian(directory, 0, 4);
        appendLittleEndian(directory, 0, 4);
        appendLittleEndian(directory, size, 4);
        appendLittleEndian(directory, size, 4);
        appendLittleEndian(directory, nameSize, 2);
        appendLittleEndian(directory, 0, 2);  // extra field
        appendLittleEndian(directory, 0, 2);  // comment
        appendLittleEndian(directory, 0, 2);  // disk
        appendLittleEndian(directory, 0, 2);  // internal attributes
        appendLittleEndian(directory, 0, 4);  // external attributes
        appendLittleEndian(directory, offset, 4);
        directory += part.name;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(archive.size());
    archive += directory;
    archive += "PK\x05\x06";
    appendLittleEndian(archive, 0, 4);
    appendLittleEndian(archive, static_cast<std::uint32_t>(parts.size()), 2);
    appendLittleEndian(archive, static_cast<std::uint32_t>(parts.size()), 2);
    appendLittleEndian(archive, static_cast<std::uint32_t>(directory.size()), 4);
    appendLittleEndian(archive, directoryOffset, 4);
    appendLittleEndian(archive, 0, 2);
    return archive;
}

}  // namespace rowlark::testing
