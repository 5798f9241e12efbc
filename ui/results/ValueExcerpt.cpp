#include "ui/results/ValueExcerpt.h"

#include <algorithm>

#include "engine/text/Unicode.h"
#include "model/UTF8Text.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::results {

namespace {

const QChar ellipsis(0x2026);

// One stretch of the value to show, in bytes at character boundaries.
struct Part {
    std::size_t begin;
    std::size_t end;
};

std::size_t scalarsBack(std::string_view value, std::size_t position, qsizetype count)
{
    for (; count > 0 && position > 0; --count)
        text::previousScalar(value, position);
    return position;
}

std::size_t scalarsOn(std::string_view value, std::size_t position, qsizetype count)
{
    for (; count > 0 && position < value.size(); --count)
        text::nextScalar(value, position);
    return position;
}

// UTF-16 units of the UTF-8 bytes: two for a scalar of four bytes, one for any other.
qsizetype utf16Length(std::string_view bytes)
{
    qsizetype units = 0;
    for (const char byte : bytes)
        if (!text::isContinuationByte(byte))
            units += static_cast<unsigned char>(byte) >= 0xF0 ? 2 : 1;
    return units;
}

// The differing parts with their context, widened to whole characters and merged where they meet.
std::vector<Part> partsAround(std::string_view value, const std::vector<text::TextSpan>& spans)
{
    text::GraphemeCursor characters(value);
    const auto atCharacter = [&](std::size_t position, bool isStart) {
        if (position == 0 || position >= value.size() || characters.isBoundary(position))
            return position;
        return isStart ? characters.preceding(position) : characters.following(position);
    };
    std::vector<Part> parts;
    for (const text::TextSpan& span : spans) {
        const std::size_t begin = atCharacter(scalarsBack(value, span.begin, excerptContext), true);
        const std::size_t end = atCharacter(scalarsOn(value, span.end, excerptContext), false);
        if (!parts.empty() && begin <= parts.back().end)
            parts.back().end = std::max(parts.back().end, end);
        else
            parts.push_back({begin, end});
    }
    return parts;
}

}  // namespace

ValueExcerpt excerptAround(std::string_view value, const std::vector<text::TextSpan>& spans, qsizetype budget)
{
    ValueExcerpt excerpt;
    std::size_t shownUpTo = 0;
    auto span = spans.begin();
    for (const Part& part : partsAround(value, spans)) {
        if (part.begin > shownUpTo)
            excerpt.text += ellipsis;
        const qsizetype room = budget - excerpt.text.size();
        // As much of the part as the room takes; a part cut short ends the excerpt.
        const QString whole = widgets::decodedStart(value.substr(part.begin, part.end - part.begin), room);
        const QString shown = widgets::shortenedText(whole, room);
        const bool isCut = shown != whole;
        const qsizetype kept = shown.size() - (isCut ? 1 : 0);
        // The bytes behind what is shown: a mark is measured no further, however long its part.
        const std::size_t shownBytes =
            isCut ? static_cast<std::size_t>(shown.first(kept).toUtf8().size()) : part.end - part.begin;
        const qsizetype partStart = excerpt.text.size();
        excerpt.text += shown;
        for (; span != spans.end() && span->begin < part.end; ++span) {
            const std::size_t begin = std::min(span->begin - part.begin, shownBytes);
            const std::size_t end = std::min(span->end - part.begin, shownBytes);
            if (begin == end)
                continue;
            QTextLayout::FormatRange mark;
            mark.start = static_cast<int>(partStart + utf16Length(value.substr(part.begin, begin)));
            mark.length = static_cast<int>(utf16Length(value.substr(part.begin + begin, end - begin)));
            excerpt.marks << mark;
        }
        shownUpTo = isCut ? part.begin + shownBytes : part.end;
        if (isCut)
            return excerpt;
        if (excerpt.text.size() >= budget)
            break;
    }
    if (shownUpTo < value.size())
        excerpt.text += ellipsis;
    return excerpt;
}

}  // namespace rowlark::ui::results
