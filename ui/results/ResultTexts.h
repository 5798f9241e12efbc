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

// "N changed fields · " followed by the File A names of the first three changed fields, and "…"
// after them when there are more; empty for a record without changed fields.
QString changedFieldsCaption(const records::RowDifference& row, const records::ComparisonSummary& summary);

// "K0007, Changed: city, price": a listed record as assistive technology reads it, its key, its
// status and, for a changed one, the File A names of its changed fields.
QString spokenRecord(const records::RowDifference& row, const records::ComparisonSummary& summary,
                     const QString& leftName, const QString& rightName);

// "Columns only in " followed by a file's name and the first headers of `headers`, with how many more
// there are; empty when there are none.
QString columnsOnlyIn(const QString& name, const std::vector<std::string>& headers);

// A number with the user's digit grouping (1,234).
QString groupedNumber(qint64 number);

}  // namespace rowlark::ui::results
