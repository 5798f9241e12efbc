#include "engine/setups/SetupApplication.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "engine/edits/MappingEdits.h"
#include "engine/values/ComparisonRule.h"
#include "engine/workbook/ImportError.h"

namespace rowlark::setups {
namespace {

constexpr std::string_view noticePrefix = "Setup: ";

std::optional<ColumnName> nameOf(const std::vector<std::string>& headers, const std::optional<std::int64_t>& index)
{
    if (!index || *index < 0 || static_cast<std::size_t>(*index) >= headers.size())
        return std::nullopt;
    return columnName(headers, *index);
}

std::vector<std::int64_t> keyColumns(const std::vector<records::ColumnMapping>& mappings)
{
    std::vector<std::int64_t> keys;
    for (const records::ColumnMapping& mapping : mappings)
        if (mapping.isKey)
            keys.push_back(mapping.leftIndex);
    return keys;
}

// Puts the setup's entries on a mapping one at a time and says what did not fit.
class Application {
public:
    Application(const Setup& setup, const table::Table& left, const table::Table& right,
                std::vector<records::ColumnMapping> proposed)
        : setup_(setup)
        , left_(left)
        , right_(right)
        , proposedKey_(keyColumns(proposed))
        , proposed_(proposed)
    {
        applied_.mappings = std::move(proposed);
    }

    AppliedSetup apply()
    {
        for (const MappingEntry& entry : setup_.mappings)
            applyEntry(entry);
        keepProposalsOfNewColumns();
        applyKey();
        applyResultsView();
        applied_.ignoreCase = setup_.ignoreCase;
        return std::move(applied_);
    }

private:
    void notice(const std::string& text) { applied_.notices.push_back(std::string(noticePrefix) + text); }

    records::ColumnMapping* mappingOf(std::int64_t leftIndex)
    {
        const auto found = std::ranges::find(applied_.mappings, leftIndex, &records::ColumnMapping::leftIndex);
        return found == applied_.mappings.end() ? nullptr : &*found;
    }

    std::optional<std::int64_t> proposedRight(std::int64_t leftIndex) const
    {
        const auto found = std::ranges::find(proposed_, leftIndex, &records::ColumnMapping::leftIndex);
        return found == proposed_.end() ? std::nullopt : found->rightIndex;
    }

    // The File B column of the entry, or none with a notice saying why.
    std::optional<std::int64_t> rightColumn(const MappingEntry& entry, std::int64_t leftIndex)
    {
        if (!entry.right)
            return std::nullopt;
        const std::string leftName = shownName(entry.left);
        const std::string rightName = shownName(*entry.right);
        const std::string unmapped =
            entry.right->header == entry.left.header ? "left unmapped" : leftName + " of File A left unmapped";
        const std::optional<std::int64_t> rightIndex = findColumn(right_.headers(), *entry.right);
        if (!rightIndex) {
            notice(rightName + " is not in File B; " + unmapped);
            return std::nullopt;
        }
        if (claimed_.contains(*rightIndex)) {
            notice(rightName + " of File B is set up for two File A columns; " + unmapped);
            return std::nullopt;
        }
        if (!edits::MappingEdits::canPair(left_, right_, leftIndex, *rightIndex)) {
            notice(leftName + " of File A and " + rightName +
                   " of File B cannot be paired, as only JSON-object columns pair with each other; " + unmapped);
            return std::nullopt;
        }
        return rightIndex;
    }

    void applyEntry(const MappingEntry& entry)
    {
        const std::string leftName = shownName(entry.left);
        if (entry.isKey)
            hasSetupKey_ = true;
        const std::optional<std::int64_t> leftIndex = findColumn(left_.headers(), entry.left);
        records::ColumnMapping* mapping = leftIndex ? mappingOf(*leftIndex) : nullptr;
        if (!mapping) {
            notice(leftName + " is not in File A; its setup is not applied");
            isKeyMissing_ = isKeyMissing_ || entry.isKey;
            return;
        }
        if (!setUp_.insert(*leftIndex).second) {
            notice(leftName + " of File A is set up twice; the first setup is used");
            return;
        }
        const std::optional<std::int64_t> rightIndex = rightColumn(entry, *leftIndex);
        if (rightIndex)
            claimed_.insert(*rightIndex);
        mapping->rightIndex = rightIndex;
        mapping->isManual = rightIndex != proposedRight(*leftIndex);
        mapping->isIncluded = entry.isIncluded;
        mapping->isKey = false;
        if (entry.isKey && rightIndex)
            setupKey_.push_back(*leftIndex);
        isKeyMissing_ = isKeyMissing_ || (entry.isKey && !rightIndex);
        mapping->rule = ruleOf(entry, leftName);
    }

    // The entry's rule; a text this version cannot read is named, and the values compared as read.
    values::ComparisonRule ruleOf(const MappingEntry& entry, const std::string& leftName)
    {
        if (!entry.rule)
            return {};
        try {
            return values::ComparisonRule::fromText(*entry.rule);
        } catch (const values::RuleTextError&) {
            notice("the comparison rule " + quotedText(*entry.rule) + " of " + leftName +
                   " cannot be read by this version of Rowlark; its values are compared as read");
            return {};
        }
    }

    // File A columns the setup does not name keep their proposal, unless a setup column took its
    // File B column.
    void keepProposalsOfNewColumns()
    {
        for (records::ColumnMapping& mapping : applied_.mappings) {
            if (setUp_.contains(mapping.leftIndex))
                continue;
            const std::string name = shownName(columnName(left_.headers(), mapping.leftIndex));
            if (mapping.rightIndex && claimed_.contains(*mapping.rightIndex)) {
                mapping.rightIndex.reset();
                mapping.isKey = false;
                notice(name + " of File A is not in the setup, and the File B column proposed for it is set up for "
                              "another; left unmapped");
            } else {
                notice(name + " of File A is not in the setup; the proposed mapping is used");
            }
        }
    }

    void applyKey()
    {
        std::vector<std::int64_t> key = setupKey_;
        if (!hasSetupKey_ || isKeyMissing_) {
            if (hasSetupKey_) {
                notice("the key cannot be applied as it was saved; the proposed key is used");
                applied_.isKeyApplied = false;
            }
            key = proposedKey_;
        }
        for (records::ColumnMapping& mapping : applied_.mappings)
            mapping.isKey = false;
        for (const std::int64_t leftIndex : key) {
            records::ColumnMapping* mapping = mappingOf(leftIndex);
            if (mapping && mapping->rightIndex) {
                mapping->isKey = true;
                mapping->isIncluded = true;
            }
        }
    }

    void applyResultsView()
    {
        applied_.filter = setup_.results.filter;
        applied_.search = setup_.results.search;
        if (!setup_.results.changedColumn)
            return;
        applied_.changedColumn = findColumn(left_.headers(), *setup_.results.changedColumn);
        if (!applied_.changedColumn)
            notice(shownName(*setup_.results.changedColumn) +
                   " that narrowed the results is not in File A; the results are not narrowed to one column");
    }

    const Setup& setup_;
    const table::Table& left_;
    const table::Table& right_;
    const std::vector<std::int64_t> proposedKey_;
    const std::vector<records::ColumnMapping> proposed_;
    AppliedSetup applied_;
    std::set<std::int64_t> setUp_;    // File A columns the setup named
    std::set<std::int64_t> claimed_;  // File B columns the setup mapped
    std::vector<std::int64_t> setupKey_;
    bool hasSetupKey_ = false;
    bool isKeyMissing_ = false;
};

FileEntry fileEntry(const std::filesystem::path& path, const std::optional<std::string>& sheet,
                    const std::filesystem::path& setupPath)
{
    return {storedPath(path, setupPath), sheet};
}

}  // namespace

Setup capture(const SetupSources& sources, const std::filesystem::path& setupPath)
{
    Setup setup;
    setup.left = fileEntry(sources.leftPath, sources.leftSheet, setupPath);
    setup.right = fileEntry(sources.rightPath, sources.rightSheet, setupPath);
    setup.ignoreCase = sources.ignoreCase;
    for (const records::ColumnMapping& mapping : sources.mappings) {
        const std::optional<ColumnName> left = nameOf(sources.leftHeaders, mapping.leftIndex);
        if (!left)
            continue;
        const std::optional<std::string> rule =
            mapping.rule.kind == values::RuleKind::asRead ? std::nullopt : std::optional(mapping.rule.text());
        setup.mappings.push_back(
            {*left, nameOf(sources.rightHeaders, mapping.rightIndex), mapping.isKey, mapping.isIncluded, rule});
    }
    setup.results = {sources.filter, sources.search, nameOf(sources.leftHeaders, sources.changedColumn)};
    return setup;
}

AppliedSetup apply(const Setup& setup, const table::Table& left, const table::Table& right,
                   std::vector<records::ColumnMapping> proposed)
{
    return Application(setup, left, right, std::move(proposed)).apply();
}

SideRead readSide(const std::optional<std::string>& sheet, std::string_view sideName,
                  const std::function<workbook::ImportedTable(const std::optional<std::string>& sheet)>& read)
{
    try {
        return {read(sheet), std::nullopt};
    } catch (const workbook::ImportError& error) {
        if (!sheet || error.kind() != workbook::ImportError::Kind::sheetNotFound)
            throw;
    }
    SideRead first{read(std::nullopt), std::nullopt};
    first.notice = std::string(noticePrefix) + "sheet " + quotedText(*sheet) + " is not in " + std::string(sideName) +
                   "; its first sheet, " + quotedText(first.imported.sheet.value_or("")) + ", is compared";
    return first;
}

}  // namespace rowlark::setups
