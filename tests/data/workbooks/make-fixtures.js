// Writes the workbooks the importer tests read, with the same spreadsheet-reader library the
// reader runs. Usage: node make-fixtures.js OUTPUT_FOLDER (the library is found through NODE_PATH).
"use strict";

const fs = require("fs");
const path = require("path");
const XLSX = require("xlsx");
const numbersTemplate = require("xlsx/dist/xlsx.zahl");

const folder = process.argv[2];
if (!folder) {
    console.error("usage: node make-fixtures.js OUTPUT_FOLDER");
    process.exit(1);
}
fs.mkdirSync(folder, { recursive: true });

function bookOf(sheets, properties) {
    const book = XLSX.utils.book_new();
    for (const [name, sheet] of sheets)
        XLSX.utils.book_append_sheet(book, sheet, name);
    if (properties)
        book.Workbook = { WBProps: properties };
    return book;
}

function write(name, book, bookType) {
    const options = { type: "buffer", bookType: bookType || path.extname(name).slice(1) };
    if (options.bookType === "numbers")
        options.numbers = numbersTemplate;
    fs.writeFileSync(path.join(folder, name), XLSX.write(book, options));
}

// A sheet with only its corner cells set: the used range is as large as wanted while the file
// stays small, which is how the limit fixtures reach millions of cells cheaply.
function cornerSheet(rows, columns) {
    const sheet = {};
    const last = XLSX.utils.encode_cell({ r: rows - 1, c: columns - 1 });
    sheet.A1 = { t: "s", v: "first" };
    sheet[last] = { t: "s", v: "last" };
    sheet["!ref"] = "A1:" + last;
    return sheet;
}

const people = [
    ["id", "name", "city", "amount"],
    ["1", "Ada", "Zürich", "12.5"],
    ["2", "Grace", "New York", "7"],
    ["3", "Linus", "Helsinki", "0"],
];
const peopleSheet = () => XLSX.utils.aoa_to_sheet(people);
const otherSheet = () => XLSX.utils.aoa_to_sheet([["code"], ["x1"]]);
for (const type of ["xlsx", "xls", "ods"])
    write("people." + type, bookOf([["People", peopleSheet()], ["Other", otherSheet()]]));
write("people.numbers", bookOf([["People", peopleSheet()]]));
// A visible, a hidden and a very hidden sheet, each with a header and a row.
const hiddenBook = bookOf(["Visible", "Hidden", "Very"].map((name) => [name, XLSX.utils.aoa_to_sheet([["id"], [name]])]));
hiddenBook.Workbook = { Sheets: [{ Hidden: 0 }, { Hidden: 1 }, { Hidden: 2 }] };
write("hidden-sheets.xls", hiddenBook);
fs.writeFileSync(path.join(folder, "people.csv"), people.map((row) => row.join(",")).join("\n") + "\n");
// A CSV file named as a workbook goes to the reader, which reads it as text.
fs.writeFileSync(path.join(folder, "people-csv.Xlsx"), people.map((row) => row.join(",")).join("\n") + "\n");

function datesSheet() {
    const sheet = XLSX.utils.aoa_to_sheet([["when"], [45356], [45356.5], [1234.5], [45356.25]]);
    sheet.A2.z = "yyyy-mm-dd";
    sheet.A3.z = "yyyy-mm-dd hh:mm";
    sheet.A4.z = "#,##0.00";
    sheet.A5.z = "m/d/yy h:mm:ss";
    return sheet;
}
write("dates.xlsx", bookOf([["Dates", datesSheet()]]));
const dates1904 = XLSX.utils.aoa_to_sheet([["when"], [45356 - 1462]]);
dates1904.A2.z = "yyyy-mm-dd";
write("dates-1904.xlsx", bookOf([["Dates", dates1904]], { date1904: true }));

const offset = XLSX.utils.aoa_to_sheet([["key", "value"], ["k1", "v1"], ["k2", "v2"]], { origin: "C3" });
offset["!ref"] = "C3:D5";
write("offset.xlsx", bookOf([["Offset", offset]]));

// Row 4 is blank between data rows; rows 6 and 7 are blank at the end of the used range.
const blankRows = XLSX.utils.aoa_to_sheet([["a", "b"], ["1", "2"], ["", ""], ["3", "4"], ["", ""], ["", ""]]);
blankRows["!ref"] = "A1:B7";
write("blank-rows.xlsx", bookOf([["Blank", blankRows]]));

const emptyHeader = XLSX.utils.aoa_to_sheet([["", ""], ["a", "b"], ["1", "2"]]);
write("empty-header.xlsx", bookOf([["Data", emptyHeader]]));
write("no-range.xlsx", bookOf([["Nothing", {}]]));

const json = XLSX.utils.aoa_to_sheet([
    ["id", "addr"],
    ["1", '{"city":"X","Street":"Y","ZIP":"Z"}'],
    ["2", "plain"],
]);
write("json.xlsx", bookOf([["Json", json]]));

const limits = {
    "rows-at-limit": [250000, 1],
    "rows-over-limit": [250001, 1],
    "columns-at-limit": [1, 10000],
    "columns-over-limit": [1, 10001],
    "cells-at-limit": [250000, 20],
    "cells-over-limit": [2500, 2001],
};
for (const [name, [rows, columns]] of Object.entries(limits))
    write(name + ".xlsx", bookOf([["Big", cornerSheet(rows, columns)]]));

// An OLE container with an encryption stream, as office programs write password-protected files.
const encrypted = XLSX.CFB.utils.cfb_new();
XLSX.CFB.utils.cfb_add(encrypted, "/EncryptionInfo", Buffer.from([4, 0, 4, 0, 0x40, 0, 0, 0]));
XLSX.CFB.utils.cfb_add(encrypted, "/EncryptedPackage", Buffer.alloc(4096, 7));
fs.writeFileSync(path.join(folder, "encrypted.xlsx"), XLSX.CFB.write(encrypted, { type: "buffer" }));

const intact = XLSX.write(bookOf([["People", peopleSheet()]]), { type: "buffer", bookType: "xlsx" });
fs.writeFileSync(path.join(folder, "damaged.xlsx"), intact.subarray(0, Math.floor(intact.length / 2)));

// A workbook of exactly the 64 MB import limit: a valid workbook with a stored padding entry.
const limitBytes = 64 * 1024 * 1024;
function paddedWorkbook(paddingBytes) {
    const container = XLSX.CFB.read(intact, { type: "buffer" });
    XLSX.CFB.utils.cfb_add(container, "/padding.bin", Buffer.alloc(paddingBytes, 0x20));
    return XLSX.CFB.write(container, { fileType: "zip", type: "buffer", compression: false });
}
const overhead = paddedWorkbook(1).length - 1;
const exact = paddedWorkbook(limitBytes - overhead);
if (exact.length !== limitBytes)
    throw new Error("the padded workbook has " + exact.length + " bytes");
fs.writeFileSync(path.join(folder, "exactly-64-mb.xlsx"), exact);

// A date stored as ISO text without a zone (t="d"), as some writers store dates; the library's
// writer has no such cell, so its sheet is edited into a written workbook.
const isoDateSheet = XLSX.utils.aoa_to_sheet([["when"], [1]]);
isoDateSheet.A2.z = "yyyy-mm-dd hh:mm:ss";
const isoDate = XLSX.CFB.read(XLSX.write(bookOf([["Dates", isoDateSheet]]), { type: "buffer", bookType: "xlsx" }),
    { type: "buffer" });
const isoSheet = XLSX.CFB.find(isoDate, "/xl/worksheets/sheet1.xml");
const isoText = isoSheet.content.toString();
const isoCell = /(<c r="A2"[^>]*)><v>1<\/v>/;
if (!isoCell.test(isoText))
    throw new Error("the date sheet has no cell A2 to edit");
isoSheet.content = Buffer.from(isoText.replace(isoCell, '$1 t="d"><v>2021-01-01T10:10:10</v>'));
fs.writeFileSync(path.join(folder, "iso-date.xlsx"), XLSX.CFB.write(isoDate, { fileType: "zip", type: "buffer" }));

// An XLS of 55,744 rows, as large as real exports get; reading it leaves the script engine with a
// few bytes it never frees at exit.
const manyRows = [["id", "name", "amount"]];
for (let row = 1; row < 55744; ++row)
    manyRows.push([row, "n" + row, row * 1.5]);
write("many-rows.xls", bookOf([["Rows", XLSX.utils.aoa_to_sheet(manyRows)]]));

// Every number format of the formatting cases under every value of them, as cells of a workbook:
// a row a format, its text first. The native reader and the library must show the same texts.
function caseLines(file) {
    return fs.readFileSync(path.join(__dirname, "..", "workbook", file), "utf8").split("\n")
        .filter((line) => line !== "" && !line.startsWith("#"));
}
const formatValues = caseLines("number-format-values.txt").filter((line) => /^-?[0-9.e+-]+$/.test(line)).map(Number);
const formatRows = [["format"].concat(formatValues.map((value, index) => "value " + index))];
for (const format of caseLines("number-formats.txt")) {
    const row = [format];
    for (const value of formatValues)
        row.push({ t: "n", v: value, z: format });
    formatRows.push(row);
}
for (let id = 1; id <= 81; ++id) {
    const format = XLSX.SSF.get_table()[id];
    if (format !== undefined)
        formatRows.push(["id " + id].concat(formatValues.map((value) => ({ t: "n", v: value, z: format }))));
}
write("formats.xlsx", bookOf([["Formats", XLSX.utils.aoa_to_sheet(formatRows)]]));
write("formats-1904.xlsx", bookOf([["Formats", XLSX.utils.aoa_to_sheet(formatRows)]], { date1904: true }));

// A shared string that starts with a plain text and goes on with rich-text runs (the library
// keeps only the plain text), and cells with CR LF and a lone CR inside.
const richSheet = XLSX.utils.aoa_to_sheet([["rich", "breaks", "lone"], ["plain", "one\r\ntwo", "three\rfour"]]);
const rich = XLSX.CFB.read(XLSX.write(bookOf([["Rich", richSheet]]), { type: "buffer", bookType: "xlsx", bookSST: true }),
    { type: "buffer" });
const strings = XLSX.CFB.find(rich, "/xl/sharedStrings.xml");
const stringsText = strings.content.toString();
if (!stringsText.includes("<si><t>plain</t></si>"))
    throw new Error("the shared strings have no plain text to edit");
strings.content = Buffer.from(stringsText.replace("<si><t>plain</t></si>",
    "<si><t>plain</t><r><t xml:space=\"preserve\"> and </t></r><r><rPr><b/></rPr><t>bold</t></r><rPh><t>ignored</t></rPh></si>"));
fs.writeFileSync(path.join(folder, "rich-text-and-line-breaks.xlsx"),
    XLSX.CFB.write(rich, { fileType: "zip", type: "buffer" }));

// A comment on a cell that holds nothing, outside the sheet's declared range: the library adds an
// empty cell there and widens the range to it.
const commentedSheet = XLSX.utils.aoa_to_sheet([["key", "value"], ["k1", "v1"]]);
commentedSheet.D4 = { t: "z", c: [{ a: "Reviewer", t: "check this" }] };
commentedSheet["!ref"] = "A1:D4";
const commented = XLSX.CFB.read(XLSX.write(bookOf([["Notes", commentedSheet]]), { type: "buffer", bookType: "xlsx" }),
    { type: "buffer" });
const commentedPart = XLSX.CFB.find(commented, "/xl/worksheets/sheet1.xml");
const commentedText = commentedPart.content.toString();
if (!commentedText.includes('<dimension ref="A1:D4"/>'))
    throw new Error("the commented sheet has no dimension to edit");
commentedPart.content = Buffer.from(commentedText.replace('<dimension ref="A1:D4"/>', '<dimension ref="A1:B2"/>'));
fs.writeFileSync(path.join(folder, "comment-outside-range.xlsx"), XLSX.CFB.write(commented, { fileType: "zip", type: "buffer" }));
