#include "records/ResultFilter.h"

#include <utility>

namespace rowlark {
namespace {

constexpr std::array<std::pair<ResultFilter, std::string_view>, 5> filterRawValues = {{
    {ResultFilter::all, "all"},
    {ResultFilter::changed, "changed"},
    {ResultFilter::onlyLeft, "onlyLeft"},
    {ResultFilter::onlyRight, "onlyRight"},
    {ResultFilter::emptyValues, "emptyValues"},
}};

}  // namespace

std::string_view rawValue(ResultFilter filter)
{
    for (const auto& [candidate, raw] : filterRawValues)
        if (candidate == filter)
            return raw;
    return {};
}

std::optional<ResultFilter> resultFilterFromRawValue(std::string_view raw)
{
    for (const auto& [filter, candidate] : filterRawValues)
        if (candidate == raw)
            return filter;
    return std::nullopt;
}

std::string title(ResultFilter filter, std::string_view leftName, std::string_view rightName)
{
    switch (filter) {
    case ResultFilter::all:
        return "All differences";
    case ResultFilter::changed:
        return "Changed rows";
    case ResultFilter::onlyLeft:
        return "Only in " + std::string(leftName);
    case ResultFilter::onlyRight:
        return "Only in " + std::string(rightName);
    case ResultFilter::emptyValues:
        return "Empty values";
    }
    return {};
}

}  // namespace rowlark
