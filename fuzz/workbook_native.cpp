// Reads the input as the parts of a workbook with the native readers. The input lists parts as
// NAME \0 CONTENT \0 ...; they are stored uncompressed in a ZIP archive built here, so that the
// fuzzer mutates the XML itself rather than deflate streams. The readers must end every input
// with a payload or a typed error, and every payload row must be as wide as the first.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/workbook/ImportError.h"
#include "engine/workbook/NativeReader.h"

namespace {

using namespace rowlark::workbook;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void appendLittleEndian(std::string& out, std::uint32_t value, int width)
{
    for (int byte = 0; byte < width; ++byte)
        out.push_back(static_cast<char>((value >> (8 * byte)) & 0xFF));
}

// A ZIP archive of stored entries; the checksums are left at 0, which the readers do not check.
std::string storedArchive(const std::vector<std::pair<std::string_view, std::string_view>>& parts)
{
    std::string archive;
    std::string directory;
    for (const auto& [name, content] : parts) {
        const auto offset = static_cast<std::uint32_t>(archive.size());
        archive += "PK\x03\x04";
        appendLittleEndian(archive, 20, 2);
        appendLittleEndian(archive, 0, 2);
        appendLittleEndian(archive, 0, 2);  // stored
        appendLittleEndian(archive, 0, 4);
        appendLittleEndian(archive, 0, 4);
        appendLittleEndian(archive, static_cast<std::uint32_t>(content.size()), 4);
        appendLittleEndian(archive, static_cast<std::uint32_t>(content.size()), 4);
        appendLittleEndian(archive, static_cast<std::uint32_t>(name.size()), 2);
        appendLittleEndian(archive, 0, 2);
        archive += name;
        archive += content;

        directory += "PK\x01\x02";
        appendLittleEndian(directory, 20, 2);
        appendLittleEndian(directory, 20, 2);
        appendLittleEndian(directory, 0, 2);
        appendLittleEndian(directory, 0, 2);
        appendLittleEndian(directory, 0, 4);
        appendLittleEndian(directory, 0, 4);
        appendLittleEndian(directory, static_cast<std::uint32_t>(content.size()), 4);
        appendLittleEndian(directory, static_cast<std::uint32_t>(content.size()), 4);
        appendLittleEndian(directory, static_cast<std::uint32_t>(name.size()), 2);
        appendLittleEndian(directory, 0, 2);
        appendLittleEndian(directory, 0, 2);
        appendLittleEndian(directory, 0, 2);
        appendLittleEndian(directory, 0, 2);
        appendLittleEndian(directory, 0, 4);
        appendLittleEndian(directory, offset, 4);
        directory += name;
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

std::vector<std::pair<std::string_view, std::string_view>> partsOf(std::string_view input)
{
    std::vector<std::pair<std::string_view, std::string_view>> parts;
    while (!input.empty() && parts.size() < 64) {
        const std::size_t nameEnd = input.find('\0');
        if (nameEnd == std::string_view::npos)
            break;
        const std::string_view name = input.substr(0, nameEnd);
        input.remove_prefix(nameEnd + 1);
        const std::size_t contentEnd = input.find('\0');
        const std::string_view content = input.substr(0, contentEnd);
        input.remove_prefix(contentEnd == std::string_view::npos ? input.size() : contentEnd + 1);
        parts.emplace_back(name, content);
    }
    return parts;
}

void checkPayload(const rowlark::workbook::WorkbookPayload& payload)
{
    check(payload.laterRows.has_value() == (payload.rowCount > 0));
    if (payload.laterRows)
        check(payload.laterRows->width() == payload.firstRow.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string archiveBytes =
        storedArchive(partsOf(std::string_view(reinterpret_cast<const char*>(data), size)));
    const auto bytes = std::span(reinterpret_cast<const unsigned char*>(archiveBytes.data()), archiveBytes.size());
    // Declined number formats get a fixed text, as if the library had formatted them.
    const LibraryFormatter formatter = [](const std::vector<LibraryFormatRequest>& requests) {
        return std::vector<std::string>(requests.size(), "formatted");
    };
    for (const bool isODS : {false, true}) {
        try {
            std::optional<ZIPArchive> archive = ZIPArchive::open(bytes);
            check(archive.has_value());
            checkPayload(isODS ? readODS(*archive, {}, {}) : readXLSX(*archive, {}, formatter, {}));
        } catch (const ReadDeclined&) {
        } catch (const ImportError&) {
        } catch (const ZIPError&) {
        }
    }
    return 0;
}
