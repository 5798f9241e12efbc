#include "ui/mapping/MappingText.h"

#include <algorithm>
#include <string_view>

#include <QCoreApplication>

#include "engine/records/Differences.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::mapping {

namespace {

std::string_view header(const std::optional<model::InputFile>& file, std::int64_t index)
{
    if (!file || index < 0 || static_cast<std::size_t>(index) >= file->table.headers().size())
        return {};
    return file->table.headers()[static_cast<std::size_t>(index)];
}

bool isIn(const std::set<std::size_t>& columns, std::int64_t index)
{
    return index >= 0 && columns.contains(static_cast<std::size_t>(index));
}

bool matches(const QString& text, const QString& search)
{
    return text.contains(search, Qt::CaseInsensitive);
}

}  // namespace

QString leftHeader(const model::ComparisonModel& model, std::int64_t leftIndex)
{
    return model::utf8Text(header(model.left(), leftIndex));
}

QString rightHeader(const model::ComparisonModel& model, std::int64_t rightIndex)
{
    return model::utf8Text(header(model.right(), rightIndex));
}

QString shownLeftHeader(const model::ComparisonModel& model, std::int64_t leftIndex)
{
    return widgets::boundedText(header(model.left(), leftIndex));
}

QString shownRightHeader(const model::ComparisonModel& model, std::int64_t rightIndex)
{
    return widgets::boundedText(header(model.right(), rightIndex));
}

bool isStructuredLeftColumn(const model::ComparisonModel& model, std::int64_t leftIndex)
{
    return model.left() && isIn(model.left()->table.structuredColumnIndices(), leftIndex);
}

bool isDerivedLeftColumn(const model::ComparisonModel& model, std::int64_t leftIndex)
{
    return model.left() && isIn(model.left()->table.derivedColumnIndices(), leftIndex);
}

QString displayName(const QString& source, std::int64_t leftIndex)
{
    return source.isEmpty() ? QString::fromStdString(records::columnName({}, leftIndex)) : source;
}

std::vector<records::HeaderSuggestion> candidates(const model::ComparisonModel& model, std::int64_t leftIndex)
{
    const auto& suggestions = model.suggestions();
    if (leftIndex < 0 || static_cast<std::size_t>(leftIndex) >= suggestions.size())
        return {};
    const auto& ranked = suggestions[static_cast<std::size_t>(leftIndex)];
    return {ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(ranked.size(), 3))};
}

QString strengthText(double score)
{
    return QString::number(static_cast<std::int64_t>(score * 100)) + QLatin1Char('%');
}

QString suggestionHelp(const std::string& reason)
{
    return QCoreApplication::translate("MappingText", "%1. Suggestion strength is a heuristic, not a probability.")
        .arg(widgets::boundedText(reason));
}

std::vector<std::size_t> visibleMappings(const model::ComparisonModel& model)
{
    const std::vector<records::ColumnMapping>& mappings = model.mappings();
    const QString search = model.mappingSearch().trimmed();
    std::vector<std::size_t> positions;
    positions.reserve(mappings.size());
    for (std::size_t position = 0; position < mappings.size(); ++position) {
        const records::ColumnMapping& mapping = mappings[position];
        if (search.isEmpty() || matches(leftHeader(model, mapping.leftIndex), search) ||
            (mapping.rightIndex && matches(rightHeader(model, *mapping.rightIndex), search)))
            positions.push_back(position);
    }
    return positions;
}

QString includedCountText(const model::ComparisonModel& model)
{
    const std::vector<records::ColumnMapping>& mappings = model.mappings();
    const auto compared = std::ranges::count_if(
        mappings, [](const records::ColumnMapping& mapping) { return mapping.rightIndex && mapping.isIncluded; });
    return QCoreApplication::translate("MappingText", "%1 of %2 included").arg(compared).arg(mappings.size());
}

bool hasMappedKey(const model::ComparisonModel& model)
{
    return std::ranges::any_of(
        model.mappings(), [](const records::ColumnMapping& mapping) { return mapping.isKey && mapping.rightIndex; });
}

}  // namespace rowlark::ui::mapping
