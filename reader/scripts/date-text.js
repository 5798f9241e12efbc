// Defines __dateText(value, isDate1904): the text a date cell shows, 2024-03-05 or
// 2024-03-05T14:07:09, empty outside the date range. Runs before the other scripts.
function __dateText(value, isDate1904) {
    function twoDigits(number) {
        return number < 10 ? "0" + number : String(number);
    }
    var date = XLSX.SSF.parse_date_code(value, { date1904: isDate1904 });
    if (!date)
        return "";
    var day = String(date.y || 0) + "-" + twoDigits(date.m || 0) + "-" + twoDigits(date.d || 0);
    var hours = date.H || 0;
    var minutes = date.M || 0;
    var seconds = Math.floor(date.S || 0);
    if (hours === 0 && minutes === 0 && seconds === 0)
        return day;
    return day + "T" + twoDigits(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(seconds);
}
