#pragma once

// The words the results screen and the inspector use for a difference.

#include <string_view>

#include <QString>
#include <QStringView>

#include "records/Differences.h"

namespace rowlark::ui {

// A one-line caption shows a few hundred characters at most, so no caption takes more of a value.
constexpr qsizetype captionTextLength = 400;

// "Only in " followed by a file's name.
QString onlyIn(const QString& name);

// "Changed", or "Only in " followed by the name of the one file that holds the record.
QString statusText(DiffStatus status, const QString& leftName, const QString& rightName);

// "N changed fields · " followed by the left headers of the first three changed fields; empty for a
// record without changed fields.
QString changedFieldsCaption(const RowDifference& row);

// `text` when it has at most `limit` UTF-16 units; otherwise its start cut at the last character boundary
// within `limit`, followed by "…". Only that start is ever looked at, so a value of megabytes costs no
// more than a short one.
QString shortenedText(QStringView text, qsizetype limit);
QString shortenedText(std::string_view utf8, qsizetype limit);

// As much of UTF-8 `utf8` as shortening it to `limit` looks at: all of it, or more than `limit` + 1
// units, so that its shortened form always differs from it.
QString decodedStart(std::string_view utf8, qsizetype limit);

// A number with the user's digit grouping (1,234).
QString groupedNumber(qint64 number);

}  // namespace rowlark::ui
