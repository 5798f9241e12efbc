#pragma once

// Small XLSX workbooks of several sheets written for tests: each sheet a grid of texts, the first
// row its headers; a sheet may be hidden, and a sheet without rows is one the importer refuses.

#include <string>
#include <vector>

#include "tests/support/ZIPWriting.h"

namespace rowlark::testing {

struct WorkbookSheet {
    std::string name;
    std::vector<std::vector<std::string>> rows;
    bool isHidden = false;
};

inline std::string xmlEscaped(const std::string& text)
{
    std::string escaped;
    for (const char character : text) {
        switch (character) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += character;
        }
    }
    return escaped;
}

inline std::string sheetXML(const WorkbookSheet& sheet)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet "
                      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
    for (std::size_t row = 0; row < sheet.rows.size(); ++row) {
        xml += "<row r=\"" + std::to_string(row + 1) + "\">";
        for (std::size_t column = 0; column < sheet.rows[row].size() && column < 26; ++column)
            xml += "<c r=\"" + std::string(1, static_cast<char>('A' + column)) + std::to_string(row + 1) +
                   "\" t=\"str\"><v>" + xmlEscaped(sheet.rows[row][column]) + "</v></c>";
        xml += "</row>";
    }
    return xml + "</sheetData></worksheet>";
}

// The bytes of an XLSX file holding `sheets` in order.
inline std::string xlsxWorkbook(const std::vector<WorkbookSheet>& sheets)
{
    const std::string relationshipType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    std::string workbook = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook "
                           "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"" +
                           relationshipType + "\"><sheets>";
    std::string relationships = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
                                "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    std::string types = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
                        "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
                        "Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>";
    std::vector<std::string> names;
    std::vector<std::string> contents;
    for (std::size_t position = 0; position < sheets.size(); ++position) {
        const std::string number = std::to_string(position + 1);
        workbook += "<sheet name=\"" + xmlEscaped(sheets[position].name) + "\" sheetId=\"" + number + "\"" +
                    (sheets[position].isHidden ? " state=\"hidden\"" : "") + " r:id=\"rId" + number + "\"/>";
        relationships += "<Relationship Id=\"rId" + number + "\" Type=\"" + relationshipType +
                         "/worksheet\" Target=\"worksheets/sheet" + number + ".xml\"/>";
        names.push_back("xl/worksheets/sheet" + number + ".xml");
        contents.push_back(sheetXML(sheets[position]));
    }
    workbook += "</sheets></workbook>";
    relationships += "</Relationships>";
    types += "</Types>";
    const std::string packageRelationships =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" +
        relationshipType + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    std::vector<StoredPart> parts = {{"[Content_Types].xml", types},
                                     {"_rels/.rels", packageRelationships},
                                     {"xl/workbook.xml", workbook},
                                     {"xl/_rels/workbook.xml.rels", relationships}};
    for (std::size_t position = 0; position < names.size(); ++position)
        parts.push_back({names[position], contents[position]});
    return storedArchive(parts);
}

}  // namespace rowlark::testing
