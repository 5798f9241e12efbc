#pragma once

// Small XLS workbooks written byte by byte for tests and benchmarks: BIFF8 records and the
// compound file around a workbook stream.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace rowlark::testing {

// A record body (or any little-endian structure) built field by field.
class Fields {
public:
    Fields& byte(std::uint32_t value)
    {
        bytes_.push_back(static_cast<char>(value & 0xFF));
        return *this;
    }
    Fields& word(std::uint32_t value) { return byte(value).byte(value >> 8); }
    Fields& doubleWord(std::uint32_t value) { return word(value & 0xFFFF).word(value >> 16); }
    Fields& number(double value)
    {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return doubleWord(static_cast<std::uint32_t>(bits)).doubleWord(static_cast<std::uint32_t>(bits >> 32));
    }
    Fields& raw(std::string_view bytes)
    {
        bytes_.append(bytes);
        return *this;
    }
    // A BIFF8 string of 8-bit characters: 16-bit length, option byte 0, the characters.
    Fields& text(std::string_view latin1)
    {
        return word(static_cast<std::uint32_t>(latin1.size())).byte(0).raw(latin1);
    }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

inline std::string record(std::uint16_t type, std::string_view body)
{
    return Fields().word(type).word(static_cast<std::uint32_t>(body.size())).raw(body).bytes();
}

inline std::string cellRecord(std::uint16_t type, std::uint32_t row, std::uint32_t column, std::uint32_t style,
                              const Fields& value)
{
    return record(type, Fields().word(row).word(column).word(style).raw(value.bytes()).bytes());
}

namespace xls {
inline constexpr std::uint16_t beginOfFile = 0x0809;
inline constexpr std::uint16_t endOfFile = 0x000A;
inline constexpr std::uint16_t boundSheet = 0x0085;
inline constexpr std::uint16_t number = 0x0203;
inline constexpr std::uint16_t rk = 0x027E;
inline constexpr std::uint16_t label = 0x0204;
inline constexpr std::uint16_t labelSST = 0x00FD;
inline constexpr std::uint16_t sharedStrings = 0x00FC;
inline constexpr std::uint16_t continuation = 0x003C;
inline constexpr std::uint16_t format = 0x041E;
inline constexpr std::uint16_t cellStyle = 0x00E0;
inline constexpr std::uint16_t date1904 = 0x0022;
inline constexpr std::uint16_t boolErr = 0x0205;
inline constexpr std::uint16_t formula = 0x0006;
inline constexpr std::uint16_t string = 0x0207;
inline constexpr std::uint16_t mulRK = 0x00BD;
inline constexpr std::uint16_t dimensions = 0x0200;
inline constexpr std::uint16_t filePass = 0x002F;
}  // namespace xls

// A cell style (XF) whose number format is `formatId`.
inline std::string cellStyleRecord(std::uint32_t formatId)
{
    return record(xls::cellStyle, Fields().word(0).word(formatId).word(0).raw(std::string(14, '\0')).bytes());
}

// An RK number holding a whole number.
inline std::uint32_t rkInteger(std::int32_t value)
{
    return (static_cast<std::uint32_t>(value) << 2) | 0x02;
}

struct XLSSheet {
    std::string name;
    std::string cells;  // the records between the sheet's BOF and EOF
    std::uint8_t visibility = 0;
};

// A BIFF8 workbook stream: globals (BOF, `globals`, the sheet list, EOF) and one substream per
// sheet. The sheet list's positions are worked out here.
inline std::string biff8Stream(const std::vector<XLSSheet>& sheets, std::string_view globals = {})
{
    const std::string bof =
        record(xls::beginOfFile, Fields().word(0x0600).word(0x0005).raw(std::string(12, '\0')).bytes());
    const std::string eof = record(xls::endOfFile, "");
    std::size_t sheetListSize = 0;
    for (const XLSSheet& sheet : sheets)
        sheetListSize += 4 + 8 + sheet.name.size();
    std::size_t position = bof.size() + globals.size() + sheetListSize + eof.size();
    std::string sheetList;
    std::string substreams;
    for (const XLSSheet& sheet : sheets) {
        const std::string sheetBOF =
            record(xls::beginOfFile, Fields().word(0x0600).word(0x0010).raw(std::string(12, '\0')).bytes());
        Fields sheetEntry;
        sheetEntry.doubleWord(static_cast<std::uint32_t>(position)).byte(sheet.visibility).byte(0);
        sheetEntry.byte(static_cast<std::uint32_t>(sheet.name.size())).byte(0).raw(sheet.name);
        sheetList += record(xls::boundSheet, sheetEntry.bytes());
        const std::string substream = sheetBOF + sheet.cells + eof;
        substreams += substream;
        position += substream.size();
    }
    return bof + std::string(globals) + sheetList + eof + substreams;
}

// A compound file (version 3, or 4 for streams past a few megabytes) holding one stream below
// its root; streams under 4096 bytes go to the mini stream.
inline std::string compoundFile(std::string_view stream, std::u16string_view name = u"Workbook")
{
    const bool isLarge = stream.size() > (std::size_t(4) << 20);
    const std::size_t sectorSize = isLarge ? 4096 : 512;
    const std::size_t perTable = sectorSize / 4;
    const bool isMini = stream.size() < 4096;
    const std::size_t streamSectors = isMini ? (((stream.size() + 63) / 64) * 64 + sectorSize - 1) / sectorSize
                                             : (stream.size() + sectorSize - 1) / sectorSize;
    const std::size_t fixedSectors = 1 + (isMini ? 1 : 0);
    std::size_t tableSectors = 1;
    while (tableSectors * perTable < tableSectors + fixedSectors + streamSectors)
        ++tableSectors;
    const std::size_t directorySector = tableSectors;
    const std::size_t miniTableSector = tableSectors + 1;
    const std::size_t firstStreamSector = tableSectors + fixedSectors;
    constexpr std::uint32_t endOfChain = 0xFFFFFFFE;
    constexpr std::uint32_t free = 0xFFFFFFFF;

    Fields header;
    header.raw("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1").raw(std::string(16, '\0'));
    header.word(0x3E).word(isLarge ? 4 : 3).word(0xFFFE).word(isLarge ? 12 : 9).word(6).raw(std::string(6, '\0'));
    header.doubleWord(0).doubleWord(static_cast<std::uint32_t>(tableSectors));
    header.doubleWord(static_cast<std::uint32_t>(directorySector)).doubleWord(0).doubleWord(4096);
    header.doubleWord(isMini ? static_cast<std::uint32_t>(miniTableSector) : endOfChain).doubleWord(isMini ? 1 : 0);
    header.doubleWord(endOfChain).doubleWord(0);
    for (std::size_t index = 0; index < 109; ++index)
        header.doubleWord(index < tableSectors ? static_cast<std::uint32_t>(index) : free);
    std::string file = header.bytes();
    file.resize(sectorSize, '\0');

    Fields table;
    for (std::size_t index = 0; index < tableSectors; ++index)
        table.doubleWord(0xFFFFFFFD);
    table.doubleWord(endOfChain);
    if (isMini)
        table.doubleWord(endOfChain);
    for (std::size_t index = 0; index < streamSectors; ++index)
        table.doubleWord(index + 1 == streamSectors ? endOfChain
                                                    : static_cast<std::uint32_t>(firstStreamSector + index + 1));
    std::string tableBytes = table.bytes();
    tableBytes.resize(tableSectors * sectorSize, '\xFF');
    file += tableBytes;

    const auto entry = [](std::u16string_view entryName, std::uint8_t type, std::uint32_t child, std::uint32_t start,
                          std::uint32_t size) {
        Fields units;
        for (const char16_t unit : entryName)
            units.word(unit);
        std::string bytes = units.bytes();
        bytes.resize(64, '\0');
        Fields fields;
        fields.raw(bytes).word(static_cast<std::uint32_t>(2 * (entryName.size() + 1))).byte(type).byte(1);
        fields.doubleWord(0xFFFFFFFF).doubleWord(0xFFFFFFFF).doubleWord(child).raw(std::string(36, '\0'));
        return fields.doubleWord(start).doubleWord(size).doubleWord(0).bytes();
    };
    const auto streamSize = static_cast<std::uint32_t>(stream.size());
    std::string directory =
        entry(u"Root Entry", 5, 1, isMini ? static_cast<std::uint32_t>(firstStreamSector) : endOfChain,
              isMini ? static_cast<std::uint32_t>(((stream.size() + 63) / 64) * 64) : 0);
    directory += entry(name, 2, 0xFFFFFFFF, isMini ? 0 : static_cast<std::uint32_t>(firstStreamSector), streamSize);
    directory.resize(sectorSize, '\0');
    file += directory;

    if (isMini) {
        Fields miniTable;
        const std::size_t miniSectors = (stream.size() + 63) / 64;
        for (std::size_t index = 0; index < miniSectors; ++index)
            miniTable.doubleWord(index + 1 == miniSectors ? endOfChain : static_cast<std::uint32_t>(index + 1));
        std::string miniBytes = miniTable.bytes();
        miniBytes.resize(sectorSize, '\xFF');
        file += miniBytes;
    }
    std::string data(stream);
    data.resize(streamSectors * sectorSize, '\0');
    return file + data;
}

}  // namespace rowlark::testing
