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
