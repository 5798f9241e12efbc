#pragma once

// The words the results screen and the inspector use for a difference.

#include <string>
#include <string_view>
#include <vector>

#include <QString>
#include <QStringView>

#include "engine/records/Differences.h"

namespace rowlark::ui::results {

// A one-line caption shows a few hundred characters at most, so no caption takes more of a value.
constexpr qsizetype captionTextLength = 400;

// "Only in " followed by a file's name.
QString onlyIn(const QString& name);

// "Changed", or "Only in " followed by the name of the one file that holds the record.
QString statusText(records::DiffStatus status, const QString& leftName, const QString& rightName);

// "N changed fields · " followed by the left headers of the first three changed fields; empty for a
// record without changed fields.
QString changedFieldsCaption(const records::RowDifference& row);

// "Columns only in " followed by a file's name and the first headers of `headers`, with how many more
// there are; empty when there are none.
QString columnsOnlyIn(const QString& name, const std::vector<std::string>& headers);

// A number with the user's digit grouping (1,234).
QString groupedNumber(qint64 number);

}  // namespace rowlark::ui::results
