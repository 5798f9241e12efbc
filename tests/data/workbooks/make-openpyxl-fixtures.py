# Writes workbooks with a second writer, openpyxl, whose XML differs from the spreadsheet-reader
# library's own (inline styles order, shared strings, dates stored as numbers with their formats),
# for the native reader to agree with the library on. Usage: python3 make-openpyxl-fixtures.py OUTPUT_FOLDER
import datetime
import os
import sys

import openpyxl
from openpyxl.styles.numbers import BUILTIN_FORMATS

folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
here = os.path.dirname(os.path.abspath(__file__))


def case_lines(name):
    with open(os.path.join(here, "..", "workbook", name), encoding="utf-8") as file:
        return [line.rstrip("\n") for line in file if line.strip() and not line.startswith("#")]


def numbers(lines):
    values = []
    for line in lines:
        try:
            values.append(float(line))
        except ValueError:
            pass
    return values


# openpyxl writes 16 significant digits, which turns the largest double into one past it.
values = [value for value in numbers(case_lines("number-format-values.txt")) if abs(value) < 1e308]
# Past about 330 formats of its own a workbook runs out of the ids the library moves large ids to.
formats = case_lines("number-formats.txt")[:220] + [BUILTIN_FORMATS[id] for id in sorted(BUILTIN_FORMATS)]


def write(name, is1904):
    book = openpyxl.Workbook()
    book.epoch = openpyxl.utils.datetime.CALENDAR_MAC_1904 if is1904 else openpyxl.utils.datetime.CALENDAR_WINDOWS_1900
    sheet = book.active
    sheet.title = "Formats"
    sheet.append(["format"] + ["value %d" % index for index in range(len(values))])
    for format in formats:
        row = sheet.max_row + 1
        sheet.cell(row=row, column=1, value=format)
        for column, value in enumerate(values, start=2):
            cell = sheet.cell(row=row, column=column, value=value)
            cell.number_format = format
    texts = book.create_sheet("Texts")
    texts.append(["kind", "value"])
    texts.append(["line break", "one\ntwo"])
    texts.append(["carriage return", "one\r\ntwo"])
    texts.append(["escape-like", "_x0041_ & <tag>"])
    texts.append(["boolean", True])
    texts.append(["formula", "=1+1"])
    texts.append(["date", datetime.datetime(2024, 3, 5, 14, 7, 9)])
    texts.append(["day", datetime.date(1900, 3, 1)])
    book.save(os.path.join(folder, name))


write("openpyxl-formats.xlsx", False)
write("openpyxl-formats-1904.xlsx", True)

# The numbers of number-format-values.txt in the General format, each as the 16 significant
# digits openpyxl writes; make-odfpy-fixtures.py writes the same texts into general-numbers.ods.
general = openpyxl.Workbook()
general.active.title = "General"
general.active.append(["value"])
for value in values:
    general.active.append([float("%.16g" % value)])
general.save(os.path.join(folder, "general-numbers.xlsx"))


# Sheets past the limits of a native read, each its own used range with a cell at each corner:
# 1,048,577 rows, 16,385 columns, and 104 × 500,000 = 52,000,000 cells. Written as XML directly,
# a few cells each.
def write_sparse(name, last):
    import zipfile

    cells = '<row r="1"><c r="A1" t="inlineStr"><is><t>first</t></is></c></row>'
    column, row = last
    cells += '<row r="%d"><c r="%s%d" t="inlineStr"><is><t>last</t></is></c></row>' % (row, column, row)
    parts = {
        "[Content_Types].xml": '<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/>'
        '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
        '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
        "</Types>",
        "_rels/.rels": '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>'
        "</Relationships>",
        "xl/workbook.xml": '<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
        'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Wide" sheetId="1" r:id="rId1"/></sheets></workbook>',
        "xl/_rels/workbook.xml.rels": '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>'
        "</Relationships>",
        "xl/worksheets/sheet1.xml": '<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
        '<dimension ref="A1:%s%d"/><sheetData>%s</sheetData></worksheet>' % (column, row, cells),
    }
    with zipfile.ZipFile(os.path.join(folder, name), "w", zipfile.ZIP_DEFLATED) as archive:
        for part, text in parts.items():
            archive.writestr(part, text)


write_sparse("native-rows-over-limit.xlsx", ("A", 1048577))
write_sparse("native-columns-over-limit.xlsx", ("XFE", 1))
write_sparse("native-cells-over-limit.xlsx", ("CZ", 500000))

# A visible, a hidden and a very hidden sheet, each with a header and a row.
hidden = openpyxl.Workbook()
hidden.active.title = "Visible"
for title, state in (("Hidden", "hidden"), ("Very", "veryHidden")):
    hidden.create_sheet(title).sheet_state = state
for sheet in hidden.worksheets:
    sheet.append(["id"])
    sheet.append([sheet.title])
hidden.save(os.path.join(folder, "hidden-sheets.xlsx"))


# Two workbooks for comparing every sheet: sheets that pair by name, by name ignoring case and
# spaces (hidden ones among them), and sheets in one workbook only.
def write_book(name, sheets):
    book = openpyxl.Workbook()
    book.remove(book.active)
    for title, state, rows in sheets:
        sheet = book.create_sheet(title)
        sheet.sheet_state = state
        for row in rows:
            sheet.append(row)
    book.save(os.path.join(folder, name))


orders = [["id", "item", "qty"], ["1", "apple", "3"], ["2", "pear", "5"], ["3", "plum", "7"]]
customers = [["id", "name"], ["10", "Ada"], ["11", "Grace"]]
write_book("sheets-a.xlsx", [
    ("Orders", "visible", orders),
    ("Customers", "visible", customers),
    ("Lookup", "hidden", [["code", "label"], ["A", "alpha"], ["B", "beta"]]),
    ("Notes", "visible", [["note"], ["kept in A only"]]),
])
write_book("sheets-b.xlsx", [
    ("Archive", "visible", [["id"], ["1"]]),
    (" orders", "visible", [["id", "item", "qty"], ["1", "apple", "3"], ["2", "pear", "6"], ["4", "fig", "1"]]),
    ("Customers", "visible", customers),
    ("LOOKUP", "veryHidden", [["code", "label"], ["A", "alpha"], ["B", "bravo"]]),
    ("Extra", "visible", [["x"], ["1"]]),
])
