#include "engine/records/ResultFilter.h"

namespace rowlark::records {

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

}  // namespace rowlark::records
