// Formats the pairs in __formatRequest, a JSON array of [format text, value] pairs, and answers
// with the JSON array of their texts: each the text a cell with that value and format shows when
// read, so the library's own fallback where it fails to format the value. A pair
// [null, value, isDate1904] asks for the text of a date cell instead.
(function () {
    var pairs = JSON.parse(__formatRequest);
    var texts = new Array(pairs.length);
    for (var i = 0; i < pairs.length; ++i) {
        var format = pairs[i][0], value = pairs[i][1], text;
        if (format === null) {
            texts[i] = __dateText(value, pairs[i][2]);
            continue;
        }
        try {
            text = XLSX.SSF.format(format, value);
        } catch (e) {
            var type = typeof value === "number" ? "n" : typeof value === "boolean" ? "b" : "s";
            text = XLSX.utils.format_cell({ t: type, v: value, z: format });
        }
        texts[i] = String(text);
    }
    return JSON.stringify(texts);
})()
