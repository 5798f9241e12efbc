# Writes a workbook with openpyxl and the CSV file pandas writes from it (read_excel, then to_csv):
# the same 10,000 records, each value written differently on the two sides. Rate shows 1.65% in
# the workbook and 0.0165 in the CSV, Timestamp 2024-03-05T12:00:00 and 2024-03-05 12:00:00,
# Count 63490 and 63490.0 (a column with empty cells is a float column in pandas), Amount 9100.30
# and 9100.3. The same records as an ODS workbook whose paragraphs show fewer digits than the
# values hold: Rate 1.7% for 0.0165 and Amount $9,100 for 9100.3. Usage: python3
# make-rule-fixtures.py OUTPUT_FOLDER
import csv
import datetime
import os
import random
import sys

import openpyxl
from odf.opendocument import OpenDocumentSpreadsheet
from odf.table import Table, TableCell, TableRow
from odf.text import P
from openpyxl.cell import WriteOnlyCell

folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
generator = random.Random(20240305)
headers = ["id", "Name", "Rate", "Timestamp", "Count", "Amount"]
records = []
for index in range(1, 10001):
    rate = generator.randrange(1, 500) / 10000
    moment = datetime.datetime(2024, 1, 1) + datetime.timedelta(seconds=generator.randrange(0, 366 * 86400))
    count = generator.randrange(0, 100000) if index % 5 != 0 else None
    amount = generator.randrange(0, 1000000) / 100
    records.append([index, "sensor %d" % (index % 97), rate, moment, count, amount])

formats = {2: "0.00%", 3: 'yyyy-mm-dd"T"hh:mm:ss', 5: "0.00"}
book = openpyxl.Workbook(write_only=True)
sheet = book.create_sheet("Readings")
sheet.append(headers)
for record in records:
    cells = []
    for column, value in enumerate(record):
        cell = WriteOnlyCell(sheet, value=value)
        if column in formats:
            cell.number_format = formats[column]
        cells.append(cell)
    sheet.append(cells)
book.save(os.path.join(folder, "readings.xlsx"))


# What to_csv writes for a value of a column of that type: Python's shortest float text, floats
# for a column of integers with gaps, the timestamp with a space, nothing for a gap.
def pandas_text(value, is_float_column):
    if value is None:
        return ""
    if isinstance(value, datetime.datetime):
        return str(value)
    if is_float_column:
        return repr(float(value))
    return str(value)


with open(os.path.join(folder, "readings-pandas.csv"), "w", newline="", encoding="utf-8") as file:
    writer = csv.writer(file, lineterminator="\n")
    writer.writerow(headers)
    for record in records:
        writer.writerow([pandas_text(value, column in (2, 4, 5)) for column, value in enumerate(record)])


# A cell of the ODS sheet: a number, date or text with the text a number style would show.
def ods_cell(value, column):
    if value is None:
        return TableCell()
    if isinstance(value, str):
        element = TableCell(valuetype="string")
        text = value
    elif isinstance(value, datetime.datetime):
        element = TableCell(valuetype="date", datevalue=value.isoformat())
        text = value.strftime("%m/%d/%Y %H:%M")
    elif column == 2:
        element = TableCell(valuetype="percentage", value=repr(value))
        text = "%.1f%%" % (value * 100)
    elif column == 5:
        element = TableCell(valuetype="currency", currency="USD", value=repr(value))
        text = "${:,.0f}".format(value)
    else:
        element = TableCell(valuetype="float", value=str(value))
        text = str(value)
    element.addElement(P(text=text))
    return element


document = OpenDocumentSpreadsheet()
readings = Table(name="Readings")
for values in [headers] + records:
    row = TableRow()
    for column, value in enumerate(values):
        row.addElement(ods_cell(value, column))
    readings.addElement(row)
document.spreadsheet.addElement(readings)
document.save(os.path.join(folder, "readings.ods"))
