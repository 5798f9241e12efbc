#pragma once

// Engine text is UTF-8 in standard strings; the model and the views turn it into QString here only.

#include <string_view>

#include <QString>

namespace rowlark::model {

inline QString utf8Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace rowlark::model
