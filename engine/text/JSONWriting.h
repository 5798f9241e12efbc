#pragma once

// Keys and strings of std::string_view for rapidjson's writers, which take a pointer and a length.

#include <rapidjson/rapidjson.h>

#include <string_view>

namespace rowlark::text {

template<typename Writer> void writeJSONKey(Writer& writer, std::string_view name)
{
    writer.Key(name.data(), static_cast<rapidjson::SizeType>(name.size()));
}

template<typename Writer> void writeJSONString(Writer& writer, std::string_view text)
{
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

}  // namespace rowlark::text
