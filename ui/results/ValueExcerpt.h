#pragma once

// A value too long to show whole, shown around what differs in it: the parts that differ, each with
// some of the text before and after it, joined by "…" where the value goes on unseen. The parts come
// in order until the characters the inspector shows of a value are spent, so the first differing part
// always shows, however far into the value it lies.

#include <string_view>
#include <vector>

#include <QList>
#include <QString>
#include <QTextLayout>

#include "engine/text/TextDifference.h"

namespace rowlark::ui::results {

struct ValueExcerpt {
    QString text;
    QList<QTextLayout::FormatRange> marks;  // the differing parts, in `text`
};

// Characters kept before and after each differing part.
inline constexpr qsizetype excerptContext = 160;

// The excerpt of UTF-8 `value` around `spans` (its differing parts, in order), of at most about
// `budget` UTF-16 units. The work is bounded by the budget and the number of parts, not by the
// length of the value.
ValueExcerpt excerptAround(std::string_view value, const std::vector<text::TextSpan>& spans, qsizetype budget);

}  // namespace rowlark::ui::results
