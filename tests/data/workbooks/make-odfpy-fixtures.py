# Writes an ODS workbook with a second writer, odfpy, for the native reader to agree with the
# library on: every value type with its own display text, repeated cells and rows, spans, spaces,
# tabs and line breaks in paragraphs, several paragraphs in a cell, and a cell whose text differs
# from its value. Usage: python3 make-odfpy-fixtures.py OUTPUT_FOLDER
import os
import sys

from odf.opendocument import OpenDocumentSpreadsheet
from odf.style import Style, TableProperties
from odf.table import CoveredTableCell, Table, TableCell, TableRow
from odf.text import LineBreak, P, S, Span, Tab

folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)


def cell(text=None, repeated=None, **value):
    attributes = dict(value)
    if repeated:
        attributes["numbercolumnsrepeated"] = repeated
    element = TableCell(**attributes)
    if text is not None:
        element.addElement(P(text=text))
    return element


def element_of(paragraph):
    element = TableCell()
    element.addElement(paragraph)
    return element


def row(*cells, repeated=None):
    element = TableRow(numberrowsrepeated=repeated) if repeated else TableRow()
    for item in cells:
        element.addElement(item)
    return element


document = OpenDocumentSpreadsheet()
values = Table(name="Values")
values.addElement(row(cell("kind"), cell("value"), cell("shown")))
values.addElement(row(cell("float"), cell("1.5", valuetype="float", value="1.5"), cell("one and a half")))
values.addElement(row(cell("percentage"), cell("12.5%", valuetype="percentage", value="0.125"), cell("")))
values.addElement(row(cell("currency"), cell("$3.00", valuetype="currency", currency="USD", value="3"), cell("")))
values.addElement(row(cell("date"), cell("05/03/2024", valuetype="date", datevalue="2024-03-05"), cell("")))
values.addElement(row(cell("date and time"), cell("x", valuetype="date", datevalue="2024-03-05T14:07:09"), cell("")))
values.addElement(row(cell("time"), cell("14:07", valuetype="time", timevalue="PT14H07M09S"), cell("")))
values.addElement(row(cell("boolean"), cell("TRUE", valuetype="boolean", booleanvalue="true"), cell("")))
values.addElement(row(cell("string"), cell("text", valuetype="string"), cell("")))
values.addElement(row(cell("repeated"), cell("r", repeated=3)))
values.addElement(row(cell("blank rows follow")))
values.addElement(row(cell(), repeated=4))
values.addElement(row(cell("after blanks"), cell("42", valuetype="float", value="42")))
values.addElement(row(cell("repeated row"), cell("same"), repeated=2))
values.addElement(row(cell("covered"), cell("merged", numbercolumnsspanned=2), CoveredTableCell()))
document.spreadsheet.addElement(values)

texts = Table(name="Texts")
texts.addElement(row(cell("rule"), cell("text")))
spaced = P(text="a")
spaced.addElement(S(c=3))
spaced.addText("b")
spaced.addElement(Tab())
spaced.addText("c")
spaced.addElement(LineBreak())
spaced.addText("d")
styled = P(text="plain ")
styled.addElement(Span(text="span"))
styled.addText(" & <more>")
two = TableCell()
two.addElement(P(text="first paragraph"))
two.addElement(P(text="second paragraph"))
for name, paragraph in (("spaces, tab, line break", spaced), ("span and escapes", styled)):
    element = TableCell()
    element.addElement(paragraph)
    texts.addElement(row(cell(name), element))
texts.addElement(row(cell("two paragraphs"), two))
texts.addElement(row(cell("non-ASCII"), cell("Zürich – 東京 😀")))
document.spreadsheet.addElement(texts)

document.save(os.path.join(folder, "odfpy-values.ods"))

# What the native reader shows as LibreOffice does where the library does not: the cells a merge
# covers keep their columns, empty lines and spaces at the ends (no-break spaces too) are kept,
# times show their duration (fractions of a second too), dates before 1900-03-01 their own date,
# a "General" number its value where its paragraph is cut to a column's width, past the largest
# double INF.
mends = OpenDocumentSpreadsheet()
mended = Table(name="Mends")
mended.addElement(row(cell("merged"), cell("a", numbercolumnsspanned=3), CoveredTableCell(numbercolumnsrepeated=2),
                      cell("after")))
lines = TableCell()
for text in ("x", None, "y"):
    lines.addElement(P(text=text) if text else P())
spaces = P(text="end")
spaces.addElement(S(c=2))
mended.addElement(row(cell("lines"), lines, element_of(spaces), cell("\u00a0nbsp\u00a0")))
mended.addElement(row(cell("time"), cell(valuetype="time", timevalue="PT02H57M46.6S"),
                      cell("2:57:47 AM", valuetype="time", timevalue="PT02H57M46.6S"),
                      cell(valuetype="time", timevalue="PT66H00M00S")))
mended.addElement(row(cell("date"), cell("12/31/99", valuetype="date", datevalue="1899-12-31T06:00:00"),
                      cell("2/28/00", valuetype="date", datevalue="1900-02-28"),
                      cell("x", valuetype="date", datevalue="2024-03-05T14:07:09.75")))
mended.addElement(row(cell("number"), cell("0.333333333", valuetype="float", value="0.3333333333333333"),
                      cell("I.NF", valuetype="float", value="INF"), cell("", valuetype="float", value="0.1")))
mends.spreadsheet.addElement(mended)
mends.save(os.path.join(folder, "odfpy-mends.ods"))

# The numbers of number-format-values.txt as values without paragraphs, which show as "General"
# shows them, in the texts make-openpyxl-fixtures.py writes into general-numbers.xlsx.
here = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(here, "..", "workbook", "number-format-values.txt"), encoding="utf-8") as file:
    lines = [line.strip() for line in file if line.strip() and not line.startswith("#")]
general = OpenDocumentSpreadsheet()
numbers = Table(name="General")
numbers.addElement(row(cell("value")))
for line in lines:
    try:
        value = float(line)
    except ValueError:
        continue
    # openpyxl turns the largest doubles into one past them; general-numbers.xlsx leaves them out.
    if abs(value) < 1e308:
        numbers.addElement(row(cell(valuetype="float", value="%.16g" % value)))
general.spreadsheet.addElement(numbers)
general.save(os.path.join(folder, "general-numbers.ods"))

# A visible sheet, a sheet whose table style hides it, and one whose table style shows it.
hidden = OpenDocumentSpreadsheet()
styles = {}
for name, display in (("shown", "true"), ("hidden", "false")):
    style = Style(name=name, family="table")
    style.addElement(TableProperties(display=display))
    hidden.automaticstyles.addElement(style)
    styles[name] = style
for title, style in (("Visible", None), ("Hidden", styles["hidden"]), ("Shown", styles["shown"])):
    sheet = Table(name=title, stylename=style) if style else Table(name=title)
    sheet.addElement(row(cell("id")))
    sheet.addElement(row(cell(title)))
    hidden.spreadsheet.addElement(sheet)
hidden.save(os.path.join(folder, "hidden-sheets.ods"))
