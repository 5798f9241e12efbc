#include "ui/results/RowInspector.h"

#include <set>

#include <QVBoxLayout>

#include "engine/results/RuleTexts.h"
#include "model/UTF8Text.h"
#include "ui/results/ResultTexts.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::results {

namespace {

std::optional<std::string_view> headerAt(const std::optional<model::InputFile>& file,
                                         const std::optional<std::int64_t>& index)
{
    if (!index || !file)
        return std::nullopt;
    const std::vector<std::string>& headers = file->table.headers();
    if (*index < 0 || static_cast<std::size_t>(*index) >= headers.size())
        return std::nullopt;
    return headers[static_cast<std::size_t>(*index)];
}

std::optional<std::string_view> cellAt(const std::optional<std::vector<std::string>>& row,
                                       const std::optional<std::int64_t>& index)
{
    if (!index || !row || *index < 0 || static_cast<std::size_t>(*index) >= row->size())
        return std::nullopt;
    return (*row)[static_cast<std::size_t>(*index)];
}

// A key as long as a whole value is titled by its start; the fields below hold all of it.
QString keyTitle(const records::RowDifference& row)
{
    return row.key.empty() ? RowInspector::tr("Empty row key") : widgets::shortenedText(row.key, captionTextLength);
}

}  // namespace

RowInspector::RowInspector(model::ComparisonModel& model, records::RowDifference row, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , row_(std::move(row))
{
    setObjectName(QStringLiteral("rowInspector"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    for (const records::CellDifference& cell : row_.cells)
        changedHeaderPairs_.emplace(cell.leftHeader, cell.rightHeader);

    list_ = new InspectorFieldList(this);
    list_->setObjectName(QStringLiteral("inspectorFields"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeaderBlock());
    // The inspector's base background would make the divider draw in the full text colour.
    QFrame* divider = widgets::horizontalDivider(this);
    divider->setForegroundRole(QPalette::WindowText);
    column->addWidget(divider);
    column->addWidget(list_, 1);

    connect(&model_, &model::ComparisonModel::fileChanged, this, &RowInspector::refresh);
    connect(&model_, &model::ComparisonModel::mappingChanged, this, &RowInspector::refresh);
    refresh();
}

QWidget* RowInspector::buildHeaderBlock()
{
    auto* block = new QWidget(this);
    block->setObjectName(QStringLiteral("inspectorHeader"));
    block->setAutoFillBackground(true);
    block->setBackgroundRole(QPalette::AlternateBase);

    auto* key = widgets::styledLabel(keyTitle(row_), widgets::TextStyle::title, false, block);
    key->setObjectName(QStringLiteral("inspectorKey"));
    QFont keyFont = key->font();
    keyFont.setWeight(QFont::DemiBold);
    key->setFont(keyFont);
    key->setWordWrap(true);
    key->setTextFormat(Qt::PlainText);
    key->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    status_ = widgets::styledLabel(QString(), widgets::TextStyle::callout, true, block);
    status_->setObjectName(QStringLiteral("inspectorStatus"));

    onlyChangedBox_ = new QCheckBox(tr("Changed fields only"), block);
    onlyChangedBox_->setObjectName(QStringLiteral("changedFieldsOnlyCheckbox"));
    onlyChangedBox_->setFont(widgets::styledFont(widgets::TextStyle::callout));
    onlyChangedBox_->setVisible(row_.status == records::DiffStatus::changed);
    connect(onlyChangedBox_, &QCheckBox::toggled, this, &RowInspector::setOnlyChangedFields);

    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(18, 18, 18, 18);
    widgets::setCompactMargins(column, {18, 8, 18, 8});
    column->setSpacing(6);
    column->addWidget(key);
    column->addWidget(status_);
    column->addWidget(onlyChangedBox_, 0, Qt::AlignLeft);
    return block;
}

void RowInspector::setOnlyChangedFields(bool value)
{
    if (onlyChangedFields_ == value)
        return;
    onlyChangedFields_ = value;
    onlyChangedBox_->setChecked(value);
    refresh();
}

std::vector<InspectorField> RowInspector::fields() const
{
    std::vector<InspectorField> lines;
    const std::vector<records::ColumnMapping>& mappings = model_.mappings();
    lines.reserve(mappings.size());
    for (const records::ColumnMapping& mapping : mappings)
        lines.push_back({lines.size(), mapping.leftIndex, mapping.rightIndex,
                         (mapping.isIncluded && mapping.rule.isComparing()) || mapping.isKey});
    if (const std::optional<model::InputFile>& right = model_.right()) {
        std::set<std::int64_t> used;
        for (const records::ColumnMapping& mapping : mappings)
            if (mapping.rightIndex)
                used.insert(*mapping.rightIndex);
        const auto columns = static_cast<std::int64_t>(right->table.headers().size());
        for (std::int64_t column = 0; column < columns; ++column)
            if (!used.contains(column))
                lines.push_back({lines.size(), std::nullopt, column, false});
    }
    if (onlyChangedFields_ && row_.status == records::DiffStatus::changed)
        std::erase_if(lines, [this](const InspectorField& line) { return !isChanged(line); });
    return lines;
}

bool RowInspector::isChanged(const InspectorField& field) const
{
    const std::optional<std::string_view> left = header(field, true);
    const std::optional<std::string_view> right = header(field, false);
    return left && right && changedHeaderPairs_.contains({*left, *right});
}

FieldSide RowInspector::fieldValue(std::optional<std::string_view> header, std::optional<std::string_view> value,
                                   bool changed, bool compared)
{
    FieldSide side;
    side.caption = header ? model::utf8Text(*header) : tr("No mapped column");
    side.isChanged = changed;
    side.isNotCompared = header && !compared;
    if (!value) {
        side.value = tr("Not present");
        side.isValueMissing = true;
    } else if (value->empty()) {
        side.value = tr("Empty");
        side.isValueMissing = true;
    } else {
        const QString start = widgets::decodedStart(*value, InspectorFieldList::shownValueLength);
        side.value = widgets::shortenedText(start, InspectorFieldList::shownValueLength);
        if (side.value != start)
            side.wholeValue = *value;
    }
    return side;
}

std::optional<std::string_view> RowInspector::header(const InspectorField& field, bool leftSide) const
{
    return leftSide ? headerAt(model_.left(), field.leftIndex) : headerAt(model_.right(), field.rightIndex);
}

std::optional<std::string_view> RowInspector::value(const InspectorField& field, bool leftSide) const
{
    return leftSide ? cellAt(row_.leftRow, field.leftIndex) : cellAt(row_.rightRow, field.rightIndex);
}

// A line of a mapping under a rule other than "As read" names the rule beside both headers, or
// on the side of a changed field whose value the rule could not read, that it was compared as read;
// an ignored column is there for the report only.
void RowInspector::noteRule(const InspectorField& field, FieldEntry& entry) const
{
    const std::vector<records::ColumnMapping>& mappings = model_.mappings();
    if (!field.leftIndex || field.id >= mappings.size() || !field.rightIndex)
        return;
    const records::ColumnMapping& mapping = mappings[field.id];
    if (mapping.rule == values::ComparisonRule())
        return;
    if (!field.compared && !mapping.rule.isComparing()) {
        for (FieldSide* side : {&entry.left, &entry.right}) {
            side->isNotCompared = false;
            side->note = tr("Report only");
        }
        return;
    }
    if (!field.compared)
        return;
    const QString rule = model::utf8Text(rowlark::results::ruleDescription(mapping.rule));
    const records::CellDifference* cell = changedCell(field);
    const QString unread = tr("Not read as a %1: compared as read")
                               .arg(model::utf8Text(rowlark::results::formatOnlyNoun(mapping.rule.kind)));
    entry.left.note = cell && !cell->isLeftValueRead ? unread : rule;
    entry.right.note = cell && !cell->isRightValueRead ? unread : rule;
}

const records::CellDifference* RowInspector::changedCell(const InspectorField& field) const
{
    const std::optional<std::string_view> left = header(field, true);
    const std::optional<std::string_view> right = header(field, false);
    if (!left || !right)
        return nullptr;
    const auto cell = std::ranges::find_if(row_.cells, [&](const records::CellDifference& candidate) {
        return candidate.leftHeader == *left && candidate.rightHeader == *right;
    });
    return cell == row_.cells.end() ? nullptr : &*cell;
}

void RowInspector::refresh()
{
    status_->setText(statusText(row_.status, model_.leftName(), model_.rightName()));
    const std::vector<InspectorField> lines = fields();
    std::vector<FieldEntry> entries;
    entries.reserve(lines.size());
    for (const InspectorField& field : lines) {
        const bool changed = isChanged(field);
        const std::optional<std::string_view> left = value(field, true);
        const std::optional<std::string_view> right = value(field, false);
        std::optional<EditedValues> edited;
        if (changed)
            edited = EditedValues{left.value_or(""), right.value_or(""), model_.ignoreCase()};
        FieldEntry entry{fieldValue(header(field, true), left, changed, field.compared),
                         fieldValue(header(field, false), right, changed, field.compared), changed, edited};
        noteRule(field, entry);
        entries.push_back(std::move(entry));
    }
    list_->setEntries(model_.leftName(), model_.rightName(), std::move(entries));
}

}  // namespace rowlark::ui::results
