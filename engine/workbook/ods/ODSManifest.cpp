#include "engine/workbook/ods/ODSManifest.h"

#include "engine/text/Encoding.h"

namespace rowlark::workbook {
namespace {

bool isEncryptionTag(std::string_view name)
{
    return name == "encryption-data" || name == "algorithm" || name == "start-key-generation" ||
           name == "key-derivation";
}

}  // namespace

std::optional<bool> isEncryptedManifest(std::string_view manifest)
{
    if (!text::isValidUTF8(manifest))
        return std::nullopt;
    for (std::size_t open = manifest.find('<'); open != std::string_view::npos; open = manifest.find('<', open + 1)) {
        const std::size_t at = open + 1 + (manifest.substr(open + 1, 1) == "/");
        const std::size_t nameEnd = manifest.find_first_of(" \t\r\n\f\v?<>/", at);
        if (nameEnd == std::string_view::npos)
            break;
        std::string_view name = manifest.substr(at, nameEnd - at);
        if (const std::size_t colon = name.find(':'); colon != std::string_view::npos)
            name = name.substr(colon + 1);
        if (isEncryptionTag(name))
            return true;
    }
    return false;
}

}  // namespace rowlark::workbook
