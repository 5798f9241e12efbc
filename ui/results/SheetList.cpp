#include "ui/results/SheetList.h"

#include <array>

#include <QHeaderView>
#include <QSignalBlocker>

#include "model/UTF8Text.h"
#include "ui/results/ResultTexts.h"
#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::results {

namespace {

constexpr int pairRole = Qt::UserRole;
constexpr int mostLinesShown = 6;

enum Column { sheetColumn, changedColumn, onlyLeftColumn, onlyRightColumn, sheetColumns };

QString hiddenMark(const model::SheetListEntry& entry)
{
    const bool isLeftHidden = entry.left && entry.left->isHidden;
    const bool isRightHidden = entry.right && entry.right->isHidden;
    if (isLeftHidden && (isRightHidden || !entry.right))
        return SheetList::tr(" (hidden)");
    if (isRightHidden && !entry.left)
        return SheetList::tr(" (hidden)");
    if (isLeftHidden)
        return SheetList::tr(" (hidden in File A)");
    if (isRightHidden)
        return SheetList::tr(" (hidden in File B)");
    return {};
}

}  // namespace

QString pairName(const model::SheetListEntry& entry)
{
    QString name;
    if (entry.left && entry.right && entry.left->name != entry.right->name)
        name = model::utf8Text(entry.left->name) + QStringLiteral(" → ") + model::utf8Text(entry.right->name);
    else
        name = model::utf8Text(entry.left ? entry.left->name : entry.right->name);
    return name + hiddenMark(entry);
}

SheetList::SheetList(model::ComparisonModel& model, QWidget* parent)
    : QTreeWidget(parent)
    , model_(model)
{
    setObjectName(QStringLiteral("sheetList"));
    setAccessibleName(tr("Sheets"));
    setColumnCount(sheetColumns);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(sheetColumn, QHeaderView::Stretch);
    for (const int column : {changedColumn, onlyLeftColumn, onlyRightColumn})
        header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { choose(item); });
    connect(&model_, &model::ComparisonModel::sheetsChanged, this, &SheetList::refresh);
    connect(&model_, &model::ComparisonModel::resultChanged, this, &SheetList::refresh);
    refresh();
}

// Lines are rebuilt only when their number changes: a choice made on a line comes back here while
// that line is still being chosen.
void SheetList::refresh()
{
    const QSignalBlocker quiet(this);
    setHeaderLabels({tr("Sheet"), tr("Changed"), onlyIn(model_.leftName()), onlyIn(model_.rightName())});
    const std::vector<model::SheetListEntry> entries = model_.sheetList();
    if (static_cast<std::size_t>(topLevelItemCount()) != entries.size()) {
        clear();
        for (std::size_t line = 0; line < entries.size(); ++line)
            new QTreeWidgetItem(this);
    }
    for (std::size_t line = 0; line < entries.size(); ++line)
        fill(topLevelItem(static_cast<int>(line)), entries[line]);
    const int lines = std::min(topLevelItemCount(), mostLinesShown);
    const int lineHeight = topLevelItemCount() > 0 ? sizeHintForRow(0) : fontMetrics().height();
    setFixedHeight(header()->sizeHint().height() + lines * lineHeight + 2 * frameWidth() + 2);
    refreshChosen();
}

void SheetList::fill(QTreeWidgetItem* item, const model::SheetListEntry& entry) const
{
    const QColor secondary = widgets::secondaryColor(palette());
    for (int column = 0; column < sheetColumns; ++column) {
        item->setText(column, QString());
        item->setData(column, Qt::ForegroundRole, QVariant());
    }
    item->setText(sheetColumn, pairName(entry));
    item->setToolTip(sheetColumn, widgets::plainToolTip(item->text(sheetColumn)));
    item->setIcon(sheetColumn, QIcon());
    item->setData(sheetColumn, Qt::AccessibleDescriptionRole, QVariant());
    if (!entry.pair) {
        item->setText(changedColumn, entry.left ? tr("only in File A") : tr("only in File B"));
        item->setTextAlignment(changedColumn, Qt::AlignLeft | Qt::AlignVCenter);
        item->setForeground(sheetColumn, secondary);
        item->setForeground(changedColumn, secondary);
        item->setData(sheetColumn, pairRole, QVariant());
        item->setFlags(Qt::ItemIsEnabled);
        return;
    }
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setData(sheetColumn, pairRole, static_cast<qulonglong>(*entry.pair));
    const std::array<std::int64_t, 3> counts = {entry.changed, entry.onlyLeft, entry.onlyRight};
    const std::array<int, 3> columns = {changedColumn, onlyLeftColumn, onlyRightColumn};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        item->setText(columns[i], entry.isCompared ? groupedNumber(counts[i]) : QStringLiteral("—"));
        item->setTextAlignment(columns[i], Qt::AlignRight | Qt::AlignVCenter);
    }
    if (!entry.problem.isEmpty()) {
        item->setIcon(sheetColumn, widgets::symbolIcon(widgets::Symbol::warning, widgets::orangeColor()));
        item->setToolTip(sheetColumn, widgets::plainToolTip(entry.problem));
        item->setData(sheetColumn, Qt::AccessibleDescriptionRole, entry.problem);
    }
}

void SheetList::refreshChosen()
{
    const std::optional<std::size_t>& chosen = model_.chosenPair();
    for (int row = 0; row < topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = topLevelItem(row);
        const QVariant pair = item->data(sheetColumn, pairRole);
        if (chosen && pair.isValid() && pair.toULongLong() == *chosen) {
            const QSignalBlocker quiet(this);
            setCurrentItem(item);
            scrollToItem(item);
            return;
        }
    }
}

void SheetList::choose(QTreeWidgetItem* item)
{
    const QVariant pair = item ? item->data(sheetColumn, pairRole) : QVariant();
    if (pair.isValid())
        model_.choosePair(static_cast<std::size_t>(pair.toULongLong()));
    // A choice the model refused (while it works) shows the pair still shown.
    refreshChosen();
}

}  // namespace rowlark::ui::results
