#include "engine/text/CodePage.h"

#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <memory>

namespace rowlark::text {
namespace {

// ICU's names for the single-byte code pages old workbooks declare.
const char* converterName(int codePage)
{
    switch (codePage) {
    case 437:
        return "ibm-437";
    case 737:
        return "ibm-737";
    case 850:
        return "ibm-850";
    case 852:
        return "ibm-852";
    case 857:
        return "ibm-857";
    case 861:
        return "ibm-861";
    case 865:
        return "ibm-865";
    case 866:
        return "ibm-866";
    case 874:
        return "windows-874";
    case 1250:
        return "windows-1250";
    case 1251:
        return "windows-1251";
    case 1252:
        return "windows-1252";
    case 1253:
        return "windows-1253";
    case 1254:
        return "windows-1254";
    case 1255:
        return "windows-1255";
    case 1256:
        return "windows-1256";
    case 1257:
        return "windows-1257";
    case 1258:
        return "windows-1258";
    case 10000:
        return "macintosh";
    case 28591:
        return "ISO-8859-1";
    default:
        return nullptr;
    }
}

struct ConverterClose {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};

}  // namespace

std::optional<std::string> decodeUTF16(std::u16string_view units)
{
    const icu::UnicodeString text(false, units.data(), static_cast<int32_t>(units.size()));
    if (!text.isBogus()) {
        for (int32_t index = 0; index < text.length(); index = text.moveIndex32(index, 1)) {
            const UChar32 scalar = text.char32At(index);
            if (scalar >= 0xD800 && scalar <= 0xDFFF)
                return std::nullopt;
        }
    }
    std::string utf8;
    text.toUTF8String(utf8);
    return utf8;
}

std::optional<std::array<std::optional<char16_t>, 256>> codePageCharacters(int codePage)
{
    const char* name = converterName(codePage);
    if (!name)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UConverter, ConverterClose> converter(ucnv_open(name, &status));
    if (U_FAILURE(status))
        return std::nullopt;
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    std::array<std::optional<char16_t>, 256> characters;
    for (int byte = 0; byte < 256; ++byte) {
        const char single = static_cast<char>(byte);
        UChar units[2];
        status = U_ZERO_ERROR;
        ucnv_reset(converter.get());
        const int32_t length = ucnv_toUChars(converter.get(), units, 2, &single, 1, &status);
        if (U_SUCCESS(status) && length == 1)
            characters[std::size_t(byte)] = units[0];
    }
    return characters;
}

}  // namespace rowlark::text
