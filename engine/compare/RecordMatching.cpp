#include "engine/compare/RecordMatching.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <optional>
#include <span>
#include <string_view>

#include "engine/compare/ComparableColumns.h"
#include "engine/compare/KeyGroups.h"
#include "engine/table/Parallel.h"
#include "engine/table/Prefetch.h"

namespace rowlark::compare {
namespace {

// Enough pieces for an even share per core even when some keys hold many rows.
constexpr std::size_t matchingTaskCount = 64;

struct ActiveColumns {
    std::vector<std::size_t> left;
    std::vector<std::size_t> right;
    std::vector<std::size_t> keyPositions;
    std::vector<values::ComparisonRule> rules;
    std::vector<std::optional<values::ComparisonRule>> proposedRules;
    bool hasKeyMapping = false;
};

std::size_t checkedColumn(std::int64_t index, const table::Table& table, std::string_view fileLabel)
{
    if (index < 0 || static_cast<std::uint64_t>(index) >= table.columnCount())
        throw InvalidMappingError("The column mapping does not fit " + std::string(fileLabel) +
                                  ": it names column index " + std::to_string(index) + ", but the file has " +
                                  std::to_string(table.columnCount()) + " columns.");
    return static_cast<std::size_t>(index);
}

// The compared column pairs in mapping order, and which of them form the key.
ActiveColumns activeColumns(const std::vector<records::ColumnMapping>& mappings, const table::Table& left,
                            const table::Table& right)
{
    ActiveColumns active;
    for (const records::ColumnMapping& mapping : mappings) {
        if (!mapping.rightIndex || !(mapping.isKey || (mapping.isIncluded && mapping.rule.isComparing())))
            continue;
        if (mapping.isKey)
            active.keyPositions.push_back(active.left.size());
        active.left.push_back(checkedColumn(mapping.leftIndex, left, "File A"));
        active.right.push_back(checkedColumn(*mapping.rightIndex, right, "File B"));
        // A key column is always compared, so "Ignore" reads as read there.
        active.rules.push_back(mapping.rule.isComparing() ? mapping.rule : values::ComparisonRule());
        active.proposedRules.push_back(mapping.proposedRule);
    }
    active.hasKeyMapping = !active.keyPositions.empty();
    if (!active.hasKeyMapping && !active.left.empty())
        active.keyPositions.push_back(0);
    return active;
}

struct MatchedKeys {
    std::vector<records::RowDifference> differences;
    std::int64_t matchingRows = 0;
    std::int64_t ambiguousDuplicateKeyGroups = 0;
    std::vector<std::int64_t> changedRecordsByColumn;  // by position among the compared columns
    std::vector<std::int64_t> formatOnlyByColumn;      // likewise: changes that the proposed rule undoes
};

// The proposed rules of the positions whose proposal differs from the rule applied, on both sides.
class ProposedRules {
public:
    ProposedRules(const ComparableColumns& left, const ComparableColumns& right,
                  const std::vector<std::optional<values::ComparisonRule>>& proposed)
        : sides_{&left, &right}
        , rules_(proposed.size())
    {
        for (std::size_t position = 0; position < proposed.size(); ++position) {
            if (!proposed[position] || *proposed[position] == left.rule(position).rule())
                continue;
            for (std::size_t side = 0; side < 2; ++side)
                rules_[position][side] =
                    SideRule(sides_[side]->table(), sides_[side]->column(position), *proposed[position], side, 1);
        }
    }

    // Whether the cells at `position` of the two rows are equal under the position's proposed rule,
    // when it has one that differs from the rule applied.
    bool undoesChange(std::size_t leftRow, std::size_t rightRow, std::size_t position) const
    {
        const auto& rules = rules_[position];
        if (rules[0].rule().kind == values::RuleKind::asRead)
            return false;
        thread_local NormalizationBuffer leftBuffer;
        thread_local NormalizationBuffer rightBuffer;
        return sides_[0]->formUnder(rules[0], leftRow, position, leftBuffer) ==
               sides_[1]->formUnder(rules[1], rightRow, position, rightBuffer);
    }

private:
    std::array<const ComparableColumns*, 2> sides_;
    // As read where nothing different is proposed.
    std::vector<std::array<SideRule, 2>> rules_;
};

// The forms of the rows of one key on one side, each normalized once: ordering the rows compares
// them many times. Only the positions outside the key are kept, since the key is the same
// throughout.
class GroupForms {
public:
    void fill(const ComparableColumns& side, std::span<const std::uint32_t> rows)
    {
        side_ = &side;
        rows_ = rows;
        codes_.clear();
        texts_.clear();
        NormalizationBuffer buffer;
        for (const std::uint32_t row : rows)
            for (const std::size_t position : side.valuePositions()) {
                const std::string_view cell = side.cell(row, position);
                const std::string_view form = side.form(row, position, buffer);
                if (form.data() == cell.data() && form.size() == cell.size()) {
                    codes_.push_back(0);
                } else {
                    texts_.emplace_back(form);
                    codes_.push_back(static_cast<std::uint32_t>(texts_.size()));
                }
            }
    }

    std::size_t size() const { return rows_.size(); }
    std::uint32_t row(std::size_t index) const { return rows_[index]; }

    // Lexicographic order of row `index` here and row `otherIndex` of `other`, a group of the same
    // key.
    std::strong_ordering order(std::size_t index, const GroupForms& other, std::size_t otherIndex) const
    {
        for (std::size_t part = 0; part < side_->valuePositions().size(); ++part) {
            const auto order = form(index, part).compare(other.form(otherIndex, part)) <=> 0;
            if (order != 0)
                return order;
        }
        return std::strong_ordering::equal;
    }

private:
    std::string_view form(std::size_t index, std::size_t part) const
    {
        const std::uint32_t code = codes_[index * side_->valuePositions().size() + part];
        return code == 0 ? side_->cell(rows_[index], side_->valuePositions()[part])
                         : std::string_view(texts_[code - 1]);
    }

    const ComparableColumns* side_ = nullptr;
    std::span<const std::uint32_t> rows_;
    // Per row and position outside the key: 0 for the cell as read, else one more than the index
    // of its form in texts_.
    std::vector<std::uint32_t> codes_;
    std::vector<std::string> texts_;
};

// Pairs and compares the rows of one key after another. Holds scratch lists, so each task makes
// its own.
class RecordMatcher {
public:
    RecordMatcher(const ComparableColumns& left, const ComparableColumns& right, const KeyGroups& groups,
                  const ProposedRules& proposedRules)
        : left_(left)
        , right_(right)
        , groups_(groups)
        , proposedRules_(proposedRules)
    {
    }

    void matchKey(std::uint32_t key, MatchedKeys& result)
    {
        key_ = key;
        displayKey_.reset();
        const auto leftRows = groups_.rows(0, key);
        const auto rightRows = groups_.rows(1, key);
        if (leftRows.size() == 1 && rightRows.size() == 1) {
            // The usual case: one row each, nothing to choose.
            pair(leftRows[0], rightRows[0], result);
            return;
        }
        pairIdentical(leftRows, rightRows, result);
        const std::size_t paired = std::min(leftLeftovers_.size(), rightLeftovers_.size());
        if (paired >= 1 && (leftLeftovers_.size() >= 2 || rightLeftovers_.size() >= 2))
            ++result.ambiguousDuplicateKeyGroups;
        for (std::size_t i = 0; i < paired; ++i)
            pair(leftLeftovers_[i], rightLeftovers_[i], result);
        for (std::size_t i = paired; i < leftLeftovers_.size(); ++i)
            result.differences.push_back(oneSided(records::DiffStatus::onlyLeft, leftLeftovers_[i]));
        for (std::size_t i = paired; i < rightLeftovers_.size(); ++i)
            result.differences.push_back(oneSided(records::DiffStatus::onlyRight, rightLeftovers_[i]));
    }

private:
    // Pairs rows with identical signatures, the first ones in file order; the rest of each side are
    // left over, ordered by signature and then by file position.
    void pairIdentical(std::span<const std::uint32_t> leftRows, std::span<const std::uint32_t> rightRows,
                       MatchedKeys& result)
    {
        leftForms_.fill(left_, leftRows);
        rightForms_.fill(right_, rightRows);
        sortBySignature(leftForms_, leftSorted_);
        sortBySignature(rightForms_, rightSorted_);
        leftLeftovers_.clear();
        rightLeftovers_.clear();
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < leftSorted_.size() || j < rightSorted_.size()) {
            const auto order = i == leftSorted_.size() ? std::strong_ordering::greater
                               : j == rightSorted_.size()
                                   ? std::strong_ordering::less
                                   : leftForms_.order(leftSorted_[i], rightForms_, rightSorted_[j]);
            if (order < 0) {
                leftLeftovers_.push_back(leftForms_.row(leftSorted_[i++]));
            } else if (order > 0) {
                rightLeftovers_.push_back(rightForms_.row(rightSorted_[j++]));
            } else {
                const std::size_t leftEnd = runEnd(leftSorted_, i, leftForms_);
                const std::size_t rightEnd = runEnd(rightSorted_, j, rightForms_);
                const std::size_t identical = std::min(leftEnd - i, rightEnd - j);
                result.matchingRows += static_cast<std::int64_t>(identical);
                for (std::size_t k = i + identical; k < leftEnd; ++k)
                    leftLeftovers_.push_back(leftForms_.row(leftSorted_[k]));
                for (std::size_t k = j + identical; k < rightEnd; ++k)
                    rightLeftovers_.push_back(rightForms_.row(rightSorted_[k]));
                i = leftEnd;
                j = rightEnd;
            }
        }
    }

    // The group's rows by signature, then file position; as indices into the group.
    static void sortBySignature(const GroupForms& forms, std::vector<std::uint32_t>& sorted)
    {
        sorted.resize(forms.size());
        std::iota(sorted.begin(), sorted.end(), 0);
        std::sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
            const auto order = forms.order(a, forms, b);
            return order < 0 || (order == 0 && a < b);
        });
    }

    static std::size_t runEnd(const std::vector<std::uint32_t>& sorted, std::size_t start, const GroupForms& forms)
    {
        std::size_t end = start + 1;
        while (end < sorted.size() && forms.order(sorted[start], forms, sorted[end]) == 0)
            ++end;
        return end;
    }

    // A pair whose compared values are all equal is matching; any other is a changed record.
    void pair(std::uint32_t leftRow, std::uint32_t rightRow, MatchedKeys& result)
    {
        std::vector<records::CellDifference> cells;
        for (std::size_t position = 0; position < left_.width(); ++position) {
            if (equalAt(left_, leftRow, right_, rightRow, position))
                continue;
            const std::size_t leftColumn = left_.column(position);
            const std::size_t rightColumn = right_.column(position);
            cells.push_back({
                .id = records::UUID::random(),
                .leftHeader = left_.table().headers()[leftColumn],
                .rightHeader = right_.table().headers()[rightColumn],
                .leftValue = std::string(left_.table().cell(leftRow, leftColumn)),
                .rightValue = std::string(right_.table().cell(rightRow, rightColumn)),
                .column = position,
                .isLeftValueRead = left_.isRead(leftRow, position),
                .isRightValueRead = right_.isRead(rightRow, position),
            });
            ++result.changedRecordsByColumn[position];
            if (proposedRules_.undoesChange(leftRow, rightRow, position))
                ++result.formatOnlyByColumn[position];
        }
        if (cells.empty()) {
            ++result.matchingRows;
            return;
        }
        records::RowDifference difference = recordDifference(records::DiffStatus::changed);
        difference.leftRow = left_.table().rowStrings(leftRow);
        difference.rightRow = right_.table().rowStrings(rightRow);
        difference.cells = std::move(cells);
        result.differences.push_back(std::move(difference));
    }

    records::RowDifference oneSided(records::DiffStatus status, std::uint32_t row)
    {
        records::RowDifference difference = recordDifference(status);
        if (status == records::DiffStatus::onlyLeft)
            difference.leftRow = left_.table().rowStrings(row);
        else
            difference.rightRow = right_.table().rowStrings(row);
        return difference;
    }

    records::RowDifference recordDifference(records::DiffStatus status)
    {
        records::RowDifference difference;
        difference.id = records::UUID::random();
        difference.key = displayKey();
        difference.status = status;
        return difference;
    }

    // The key's forms joined with " • ", built once per key that has differences.
    const std::string& displayKey()
    {
        if (!displayKey_) {
            const ComparableColumns& forms = groups_.representativeSide(key_);
            const std::size_t row = groups_.representativeRow(key_);
            std::string display;
            for (std::size_t part = 0; part < forms.keyPositions().size(); ++part) {
                if (part > 0)
                    display += records::keySeparator;
                display += forms.keyForm(row, part);
            }
            displayKey_ = std::move(display);
        }
        return *displayKey_;
    }

    const ComparableColumns& left_;
    const ComparableColumns& right_;
    const KeyGroups& groups_;
    const ProposedRules& proposedRules_;
    std::uint32_t key_ = 0;
    std::optional<std::string> displayKey_;
    GroupForms leftForms_;
    GroupForms rightForms_;
    std::vector<std::uint32_t> leftSorted_;
    std::vector<std::uint32_t> rightSorted_;
    std::vector<std::uint32_t> leftLeftovers_;
    std::vector<std::uint32_t> rightLeftovers_;
};

// Keys decided together by the one-to-one pass: enough rows of the other side in flight to hide
// the latency of reading them, few enough that their cache lines stay until they are compared.
constexpr std::size_t prefetchBatchKeys = 32;

// The keys that the one-to-one pass leaves to the ordered pass, and how many it settled as matching
// rows.
struct PlainMatches {
    std::vector<std::uint32_t> otherKeys;
    std::int64_t count = 0;
};

// Finds the keys with one row on each side whose compared values are all equal: most keys of a
// typical comparison, which only need counting. Deciding them in key-number order reads the left
// table in file order; the ordered pass then only sorts and visits the other keys. The right rows
// come in no useful order, so each batch of them is fetched ahead in two steps, where their cells
// lie and then their texts, before it is compared. Both rows have the key, so only the other
// positions are compared.
PlainMatches plainMatches(const KeyGroups& groups, const ComparableColumns& left, const ComparableColumns& right,
                          unsigned workers)
{
    const std::size_t taskCount = std::min(groups.keyCount(), matchingTaskCount);
    std::vector<PlainMatches> parts(taskCount);
    table::runInParallel(taskCount, workers, [&](std::size_t task) {
        struct Candidate {
            std::uint32_t key;
            std::uint32_t leftRow;
            std::uint32_t rightRow;
        };
        struct Batch {
            std::array<Candidate, prefetchBatchKeys> candidates;
            std::size_t count = 0;
        };
        PlainMatches& part = parts[task];
        const std::size_t begin = groups.keyCount() * task / taskCount;
        const std::size_t end = groups.keyCount() * (task + 1) / taskCount;
        const std::size_t batchCount = (end - begin + prefetchBatchKeys - 1) / prefetchBatchKeys;
        // Three batches in flight: one whose cell places are fetched, one whose texts are, and one
        // being compared, so that every fetch has a whole batch's work to arrive.
        std::array<Batch, 3> batches;
        const auto collect = [&](std::size_t index) {
            Batch& batch = batches[index % batches.size()];
            batch.count = 0;
            const std::size_t first = begin + index * prefetchBatchKeys;
            for (std::size_t key = first; key < std::min(end, first + prefetchBatchKeys); ++key) {
                const auto leftRows = groups.rows(0, key);
                const auto rightRows = groups.rows(1, key);
                if (leftRows.size() == 1 && rightRows.size() == 1) {
                    batch.candidates[batch.count++] = {static_cast<std::uint32_t>(key), leftRows[0], rightRows[0]};
                    right.prefetchCellPlaces(rightRows[0]);
                } else {
                    part.otherKeys.push_back(static_cast<std::uint32_t>(key));
                }
            }
        };
        const auto fetchTexts = [&](std::size_t index) {
            const Batch& batch = batches[index % batches.size()];
            for (const Candidate& candidate : std::span(batch.candidates).first(batch.count))
                right.prefetchCellTexts(candidate.rightRow);
        };
        const auto compare = [&](std::size_t index) {
            const Batch& batch = batches[index % batches.size()];
            for (const auto& [key, leftRow, rightRow] : std::span(batch.candidates).first(batch.count)) {
                if (equalValues(left, leftRow, right, rightRow))
                    ++part.count;
                else
                    part.otherKeys.push_back(key);
            }
        };
        for (std::size_t step = 0; step < batchCount + 2; ++step) {
            if (step < batchCount)
                collect(step);
            if (step >= 1 && step <= batchCount)
                fetchTexts(step - 1);
            if (step >= 2)
                compare(step - 2);
        }
    });
    PlainMatches all;
    std::size_t otherCount = 0;
    for (const PlainMatches& part : parts)
        otherCount += part.otherKeys.size();
    all.otherKeys.reserve(otherCount);
    for (const PlainMatches& part : parts) {
        all.otherKeys.insert(all.otherKeys.end(), part.otherKeys.begin(), part.otherKeys.end());
        all.count += part.count;
    }
    return all;
}

// The records of both sides matched key by key, in key order, and counted into `summary`, whose
// `columns` list the compared columns.
void matchRecords(const ComparableColumns& leftForms, const ComparableColumns& rightForms, const KeyGroups& groups,
                  const ActiveColumns& active, unsigned workers, records::ComparisonSummary& summary)
{
    ProposedRules proposedRules(leftForms, rightForms, active.proposedRules);
    const PlainMatches plain = plainMatches(groups, leftForms, rightForms, workers);
    const std::vector<std::uint32_t> order = groups.sortedKeys(plain.otherKeys, workers);

    // Contiguous ranges of the key order, joined in order afterwards.
    const std::size_t taskCount = std::min(order.size(), matchingTaskCount);
    std::vector<MatchedKeys> parts(taskCount);
    table::runInParallel(taskCount, workers, [&](std::size_t task) {
        RecordMatcher matcher(leftForms, rightForms, groups, proposedRules);
        parts[task].changedRecordsByColumn.resize(leftForms.width());
        parts[task].formatOnlyByColumn.resize(leftForms.width());
        const std::size_t begin = order.size() * task / taskCount;
        const std::size_t end = order.size() * (task + 1) / taskCount;
        for (std::size_t i = begin; i < end; ++i)
            matcher.matchKey(order[i], parts[task]);
    });

    summary.leftRows = static_cast<std::int64_t>(leftForms.rowCount());
    summary.rightRows = static_cast<std::int64_t>(rightForms.rowCount());
    summary.matchingRows = plain.count;
    std::size_t differenceCount = 0;
    for (const MatchedKeys& part : parts)
        differenceCount += part.differences.size();
    summary.differences.reserve(differenceCount);
    for (MatchedKeys& part : parts) {
        std::move(part.differences.begin(), part.differences.end(), std::back_inserter(summary.differences));
        summary.matchingRows += part.matchingRows;
        summary.ambiguousDuplicateKeyGroups += part.ambiguousDuplicateKeyGroups;
        for (std::size_t position = 0; position < part.changedRecordsByColumn.size(); ++position) {
            summary.columns[position].changedRecords += part.changedRecordsByColumn[position];
            summary.columns[position].formatOnlyRecords += part.formatOnlyByColumn[position];
        }
    }
}

// The compared column pairs, in mapping order, none changed yet.
std::vector<records::ColumnChanges> comparedColumns(const ActiveColumns& active, const table::Table& left,
                                                    const table::Table& right)
{
    std::vector<records::ColumnChanges> columns;
    columns.reserve(active.left.size());
    for (std::size_t position = 0; position < active.left.size(); ++position)
        columns.push_back({
            .leftIndex = static_cast<std::int64_t>(active.left[position]),
            .rightIndex = static_cast<std::int64_t>(active.right[position]),
            .leftHeader = left.headers()[active.left[position]],
            .rightHeader = right.headers()[active.right[position]],
            .rule = active.rules[position],
            .proposedRule = active.proposedRules[position],
        });
    return columns;
}

// The names of the columns of `table` that `isPaired` does not hold, in column order.
std::vector<std::string> unpairedHeaders(const table::Table& table, const std::vector<bool>& isPaired)
{
    std::vector<std::string> headers;
    for (std::size_t column = 0; column < table.columnCount(); ++column)
        if (!isPaired[column])
            headers.push_back(records::columnName(table.headers()[column], static_cast<std::int64_t>(column)));
    return headers;
}

// Fills the summary's lists of the columns that no mapping pairs with a column of the other file.
void listColumnsInOneFile(const std::vector<records::ColumnMapping>& mappings, const table::Table& left,
                          const table::Table& right, records::ComparisonSummary& summary)
{
    std::vector<bool> isLeftPaired(left.columnCount());
    std::vector<bool> isRightPaired(right.columnCount());
    const auto isInside = [](std::int64_t index, const std::vector<bool>& columns) {
        return index >= 0 && static_cast<std::uint64_t>(index) < columns.size();
    };
    for (const records::ColumnMapping& mapping : mappings) {
        if (!mapping.rightIndex || !isInside(mapping.leftIndex, isLeftPaired) ||
            !isInside(*mapping.rightIndex, isRightPaired))
            continue;
        isLeftPaired[static_cast<std::size_t>(mapping.leftIndex)] = true;
        isRightPaired[static_cast<std::size_t>(*mapping.rightIndex)] = true;
    }
    summary.leftOnlyColumns = unpairedHeaders(left, isLeftPaired);
    summary.rightOnlyColumns = unpairedHeaders(right, isRightPaired);
}

// Compares, and when `keys` is given measures both tables' keys into it.
records::ComparisonSummary compareMeasuringKeys(const table::Table& left, const table::Table& right,
                                                const std::vector<records::ColumnMapping>& mappings, bool ignoreCase,
                                                unsigned workers, ComparisonWithKeys* keys)
{
    const ActiveColumns active = activeColumns(mappings, left, right);
    ComparableColumns leftForms(left, active.left, active.keyPositions, ignoreCase, workers, active.rules, 0);
    ComparableColumns rightForms(right, active.right, active.keyPositions, ignoreCase, workers, active.rules, 1);
    pairPositions(leftForms, rightForms);
    const KeyGroups groups(leftForms, &rightForms, workers);
    leftForms.releaseKeyCodes();
    rightForms.releaseKeyCodes();
    if (keys && active.hasKeyMapping) {
        keys->leftKeys = KeyDiagnostics(leftForms, groups, 0);
        keys->rightKeys = KeyDiagnostics(rightForms, groups, 1);
    } else if (keys) {
        keys->leftKeys = KeyDiagnostics(left, {}, ignoreCase, workers);
        keys->rightKeys = KeyDiagnostics(right, {}, ignoreCase, workers);
    }
    records::ComparisonSummary summary;
    summary.columns = comparedColumns(active, left, right);
    listColumnsInOneFile(mappings, left, right, summary);
    matchRecords(leftForms, rightForms, groups, active, workers, summary);
    return summary;
}

}  // namespace

records::ComparisonSummary compare(const table::Table& left, const table::Table& right,
                                   const std::vector<records::ColumnMapping>& mappings, bool ignoreCase,
                                   unsigned workers)
{
    return compareMeasuringKeys(left, right, mappings, ignoreCase, workers, nullptr);
}

ComparisonWithKeys compareWithKeyDiagnostics(const table::Table& left, const table::Table& right,
                                             const std::vector<records::ColumnMapping>& mappings, bool ignoreCase,
                                             unsigned workers)
{
    ComparisonWithKeys result;
    result.summary = compareMeasuringKeys(left, right, mappings, ignoreCase, workers, &result);
    return result;
}

}  // namespace rowlark::compare
