// Reads one sheet of the workbook in __workbookBytes with the spreadsheet-reader library (the
// global XLSX) and answers with the payload JSON text:
// { "sheetNames": [...], "sheetsHidden": [...], "rows": [[...], ...] }.
// Failures it detects itself are thrown as errors whose message the importer recognises:
// SHEET_NOT_FOUND, and WORKSHEET_TOO_LARGE followed by the limit passed (rows, columns or cells of
// a used range, or text when the cells' texts together pass __maxTextUnits). Before it converts
// the cells of a used range it tells the helper their number (__allowCellWork), which grants
// processor time for them.
(function () {
    // The sheet list alone (bookSheets) leaves out the sheets' properties, and with them which
    // sheets are hidden: the sheet list is read with the rest of the workbook.
    var workbook = XLSX.read(__workbookBytes, {
        type: "array",
        bookSheets: false,
        cellDates: false,
        cellText: true,
        cellNF: true
    });
    var sheetNames = workbook.SheetNames || [];

    // Whether each sheet is hidden or very hidden, in the order of the names: the workbook's
    // sheet properties, found by name where their order differs.
    var sheetProperties = (workbook.Workbook && workbook.Workbook.Sheets) || [];
    var sheetsHidden = sheetNames.map(function (name, index) {
        var properties = sheetProperties[index];
        if (!properties || (properties.name != null && properties.name !== name)) {
            properties = null;
            for (var i = 0; i < sheetProperties.length; ++i)
                if (sheetProperties[i] && sheetProperties[i].name === name)
                    properties = sheetProperties[i];
        }
        return !!(properties && properties.Hidden);
    });
    if (__namesOnly)
        return JSON.stringify({ sheetNames: sheetNames, sheetsHidden: sheetsHidden });

    var sheetName = __selectedSheet !== null ? __selectedSheet : sheetNames[0];
    if (sheetNames.indexOf(sheetName) < 0)
        throw new Error("SHEET_NOT_FOUND");
    var sheet = workbook.Sheets[sheetName];
    if (!sheet || !sheet["!ref"])
        return JSON.stringify({ sheetNames: sheetNames, sheetsHidden: sheetsHidden, rows: [] });

    // The limit the range passes, or null.
    function exceededLimit(range) {
        var rows = range.e.r - range.s.r + 1;
        var columns = range.e.c - range.s.c + 1;
        return rows > __maxRows ? "rows" : columns > __maxColumns ? "columns" : rows * columns > __maxCells ? "cells" : null;
    }

    // A declared range can be far larger than the cells a sheet holds (A1:XFD1048576 around a
    // few cells): past the limits, the range of the cells actually present decides.
    function presentRange(declared) {
        var present = null;
        for (var address in sheet) {
            if (address.charAt(0) === "!")
                continue;
            var cell = XLSX.utils.decode_cell(address);
            if (cell.r < declared.s.r || cell.r > declared.e.r || cell.c < declared.s.c || cell.c > declared.e.c)
                continue;
            if (!present) {
                present = { s: { r: cell.r, c: cell.c }, e: { r: cell.r, c: cell.c } };
                continue;
            }
            present.s.r = Math.min(present.s.r, cell.r);
            present.s.c = Math.min(present.s.c, cell.c);
            present.e.r = Math.max(present.e.r, cell.r);
            present.e.c = Math.max(present.e.c, cell.c);
        }
        return present;
    }

    var range = XLSX.utils.decode_range(sheet["!ref"]);
    if (exceededLimit(range)) {
        range = presentRange(range);
        if (!range)
            return JSON.stringify({ sheetNames: sheetNames, sheetsHidden: sheetsHidden, rows: [] });
        if (exceededLimit(range))
            throw new Error("WORKSHEET_TOO_LARGE " + exceededLimit(range));
    }
    var rowCount = range.e.r - range.s.r + 1;
    var columnCount = range.e.c - range.s.c + 1;
    __allowCellWork(rowCount * columnCount);

    var isDate1904 = !!(workbook.Workbook && workbook.Workbook.WBProps && workbook.Workbook.WBProps.date1904);

    // XML text as the library decodes it: entities, character references (one UTF-16 unit
    // each) and the _xHHHH_ escapes of workbooks.
    function unescaped(text) {
        var entities = { "&quot;": "\"", "&apos;": "'", "&gt;": ">", "&lt;": "<", "&amp;": "&" };
        return text.replace(/&(?:quot|apos|gt|lt|amp|#x?([\da-fA-F]+));/ig, function (match, code) {
            return entities[match] || String.fromCharCode(parseInt(code, match.indexOf("x") > -1 ? 16 : 10)) || match;
        }).replace(/_x([\da-fA-F]{4})_/ig, function (match, code) {
            return String.fromCharCode(parseInt(code, 16));
        });
    }

    // The library keeps only the first text of a shared string that starts with a plain text and
    // goes on with rich-text runs; every run's text is kept here, phonetic runs left out.
    function richText(cell) {
        if (cell.t !== "s" || typeof cell.r !== "string" || !/^\s*<(?:\w+:)?t[^>]*>/.test(cell.r) ||
            !/<(?:\w+:)?r>/.test(cell.r) || (cell.z != null && cell.z !== "General"))
            return null;
        var texts = cell.r.replace(/<(?:\w+:)?rPh.*?>([\s\S]*?)<\/(?:\w+:)?rPh>/g, "")
            .match(/<(?:\w+:)?t[^>]*>([^<]*)<\/(?:\w+:)?t>/g) || [];
        return unescaped(texts.join("").replace(/<[^>]*>/g, ""));
    }

    function displayValue(cell) {
        if (!cell)
            return "";
        if (cell.t === "n" && cell.z != null && XLSX.SSF.is_date(cell.z))
            return __dateText(cell.v, isDate1904);
        var runs = richText(cell);
        if (runs !== null)
            return runs;
        if (cell.w != null)
            return String(cell.w);
        return String(XLSX.utils.format_cell(cell));
    }

    // Cell addresses are the column letters followed by the row number, exactly what
    // encode_cell gives; the column letters are worked out once instead of once per cell.
    var columnNames = [];
    for (var c = range.s.c; c <= range.e.c; ++c)
        columnNames.push(XLSX.utils.encode_cell({ r: 0, c: c }).replace(/[0-9]+$/, ""));

    // The texts of all cells together are bounded too: many cells can show one long shared text.
    var textUnits = 0;
    var rows = [];
    for (var r = range.s.r; r <= range.e.r; ++r) {
        var rowNumber = String(r + 1);
        var row = new Array(columnCount);
        for (var i = 0; i < columnCount; ++i) {
            var text = displayValue(sheet[columnNames[i] + rowNumber]);
            textUnits += text.length;
            if (textUnits > __maxTextUnits)
                throw new Error("WORKSHEET_TOO_LARGE text");
            row[i] = text;
        }
        rows.push(row);
    }

    function isBlankRow(row) {
        for (var i = 0; i < row.length; ++i)
            if (row[i] !== "")
                return false;
        return true;
    }
    while (rows.length > 0 && isBlankRow(rows[rows.length - 1]))
        rows.pop();

    return JSON.stringify({ sheetNames: sheetNames, sheetsHidden: sheetsHidden, rows: rows });
})()
