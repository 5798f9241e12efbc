#include "engine/workbook/format/NumberFormat.h"

// The format texts of the built-in format ids, as the library's XLSX reader knows them.

namespace rowlark::workbook {

std::optional<std::string_view> builtInNumberFormat(int id)
{
    switch (id) {
    case 0:
    case 23:
    case 24:
    case 25:
    case 26:
        return "General";
    case 1:
    case 59:
        return "0";
    case 2:
    case 60:
        return "0.00";
    case 3:
    case 61:
        return "#,##0";
    case 4:
    case 62:
        return "#,##0.00";
    case 5:
    case 63:
        return "\"$\"#,##0_);\\(\"$\"#,##0\\)";
    case 6:
    case 64:
        return "\"$\"#,##0_);[Red]\\(\"$\"#,##0\\)";
    case 7:
    case 65:
        return "\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)";
    case 8:
    case 66:
        return "\"$\"#,##0.00_);[Red]\\(\"$\"#,##0.00\\)";
    case 9:
    case 67:
        return "0%";
    case 10:
    case 68:
        return "0.00%";
    case 11:
        return "0.00E+00";
    case 12:
    case 69:
        return "# ?/?";
    case 13:
    case 70:
        return "# ?\?/?\?";
    case 14:
    case 27:
    case 28:
    case 29:
    case 30:
    case 31:
    case 36:
        return "m/d/yy";
    case 50:
    case 51:
    case 52:
    case 53:
    case 54:
    case 55:
    case 57:
    case 58:
    case 71:
    case 72:
        return "m/d/yy";
    case 15:
    case 73:
        return "d-mmm-yy";
    case 16:
    case 74:
        return "d-mmm";
    case 17:
    case 75:
        return "mmm-yy";
    case 18:
        return "h:mm AM/PM";
    case 19:
        return "h:mm:ss AM/PM";
    case 20:
    case 76:
        return "h:mm";
    case 21:
    case 32:
    case 33:
    case 34:
    case 35:
    case 77:
        return "h:mm:ss";
    case 22:
    case 78:
        return "m/d/yy h:mm";
    case 37:
        return "#,##0 ;(#,##0)";
    case 38:
        return "#,##0 ;[Red](#,##0)";
    case 39:
        return "#,##0.00;(#,##0.00)";
    case 40:
        return "#,##0.00;[Red](#,##0.00)";
    case 41:
        return "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)";
    case 42:
        return "_(\"$\"* #,##0_);_(\"$\"* (#,##0);_(\"$\"* \"-\"_);_(@_)";
    case 43:
        return "_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"?\?_);_(@_)";
    case 44:
        return "_(\"$\"* #,##0.00_);_(\"$\"* (#,##0.00);_(\"$\"* \"-\"?\?_);_(@_)";
    case 45:
    case 79:
        return "mm:ss";
    case 46:
    case 80:
        return "[h]:mm:ss";
    case 47:
    case 81:
        return "mmss.0";
    case 48:
        return "##0.0E+0";
    case 49:
        return "@";
    case 56:
        return "\"\xE4\xB8\x8A\xE5\x8D\x88/\xE4\xB8\x8B\xE5\x8D\x88 "
               "\"hh\"\xE6\x99\x82\"mm\"\xE5\x88\x86\"ss\"\xE7\xA7\x92 \"";
    default:
        return std::nullopt;
    }
}

}  // namespace rowlark::workbook
