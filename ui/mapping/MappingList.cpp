#include "ui/mapping/MappingList.h"

#include <algorithm>

#include <QAccessible>
#include <QApplication>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "ui/mapping/MappingListAccessibility.h"

namespace rowlark::ui::mapping {

namespace {

// Makes a MappingRow for every open row; rows are opened by the list itself, never by an edit trigger.
class MappingRowDelegate : public QStyledItemDelegate {
public:
    MappingRowDelegate(model::ComparisonModel& model, ColumnChoices choices, QObject* parent)
        : QStyledItemDelegate(parent)
        , model_(model)
        , choices_(choices)
        , height_(MappingRow::uniformHeight())
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return new MappingRow(model_, choices_, parent);
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QVariant position = index.data(MappingListModel::positionRole);
        if (position.isValid())
            static_cast<MappingRow*>(editor)->showMapping(position.toULongLong());
    }

    // The rows write to the model themselves, as each control is used.
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        editor->setGeometry(option.rect);
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return {0, height_}; }

    // A row about to open is blank for a moment, never a half-drawn copy of itself.
    void paint(QPainter*, const QStyleOptionViewItem&, const QModelIndex&) const override {}

protected:
    // The rows' own controls handle their keys and focus; the item-editing conventions do not apply.
    bool eventFilter(QObject*, QEvent*) override { return false; }

private:
    model::ComparisonModel& model_;
    const ColumnChoices choices_;
    const int height_;
};

}  // namespace

MappingList::MappingList(model::ComparisonModel& model, MappingListModel* rows, ColumnChoices choices, QWidget* parent)
    : QListView(parent)
    , rows_(rows)
{
    setObjectName(QStringLiteral("mappingList"));
    installMappingListAccessibility();
    setAccessibleName(tr("Columns"));
    setItemDelegate(new MappingRowDelegate(model, choices, this));
    setModel(rows_);
    setUniformItemSizes(true);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(NoSelection);
    setEditTriggers(NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    viewport()->setBackgroundRole(QPalette::Window);
    verticalScrollBar()->setSingleStep(MappingRow::uniformHeight() / 3);

    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &MappingList::openVisibleRows);
    connect(rows_, &QAbstractItemModel::modelReset, this, [this] {
        // The view has closed every row widget on the reset.
        firstOpen_ = 0;
        lastOpen_ = -1;
        openVisibleRows();
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { revealFocusedRow(now); });
}

MappingRow* MappingList::rowWidget(int row) const
{
    return qobject_cast<MappingRow*>(indexWidget(rows_->index(row)));
}

QList<MappingRow*> MappingList::openRows() const
{
    QList<MappingRow*> open;
    for (int row = firstOpen_; row <= lastOpen_; ++row)
        if (MappingRow* widget = rowWidget(row))
            open.append(widget);
    return open;
}

void MappingList::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    openVisibleRows();
}

void MappingList::openVisibleRows()
{
    const int count = rows_->rowCount();
    int first = 0;
    int last = -1;
    if (count > 0) {
        const QModelIndex top = indexAt(QPoint(0, 0));
        const QModelIndex bottom = indexAt(QPoint(0, viewport()->height() - 1));
        first = std::max(0, (top.isValid() ? top.row() : 0) - spareRows);
        last = std::min(count - 1, (bottom.isValid() ? bottom.row() : count - 1) + spareRows);
    }
    if (first == firstOpen_ && last == lastOpen_)
        return;
    for (int row = firstOpen_; row <= lastOpen_; ++row) {
        if (row < first || row > last)
            closeRow(row);
    }
    for (int row = first; row <= last; ++row) {
        if (row < firstOpen_ || row > lastOpen_)
            openPersistentEditor(rows_->index(row));
    }
    firstOpen_ = first;
    lastOpen_ = last;
    orderFocusChain(first, last);
    // Assistive technology sees the open rows as the list's items.
    QAccessibleEvent reorder(this, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&reorder);
}

void MappingList::closeRow(int row)
{
    // A closing row that holds the focus would hand it to the next row in the chain, which would then
    // scroll back into view against the user's scrolling; the list keeps it instead.
    const MappingRow* widget = rowWidget(row);
    if (widget && widget->isAncestorOf(QApplication::focusWidget()))
        setFocus(Qt::OtherFocusReason);
    closePersistentEditor(rows_->index(row));
}

// Rows open in whatever order scrolling brings them; Tab must still visit them top to bottom, right
// after the controls above the list and before those below it.
void MappingList::orderFocusChain(int first, int last)
{
    QWidget* previous = controlAbove();
    for (int row = first; row <= last; ++row) {
        const MappingRow* widget = rowWidget(row);
        if (!widget)
            continue;
        for (QWidget* control : widget->focusOrder()) {
            setTabOrder(previous, control);
            previous = control;
        }
    }
}

// The list takes no focus itself, and Qt chains no control after a widget that takes none: the rows
// follow the last control that Tab reaches before the list.
QWidget* MappingList::controlAbove() const
{
    QWidget* control = previousInFocusChain();
    while (control != this && (isAncestorOf(control) || !(control->focusPolicy() & Qt::TabFocus)))
        control = control->previousInFocusChain();
    return control;
}

void MappingList::revealFocusedRow(QWidget* focused)
{
    if (!focused || !viewport()->isAncestorOf(focused))
        return;
    for (int row = firstOpen_; row <= lastOpen_; ++row) {
        const MappingRow* widget = rowWidget(row);
        if (widget && widget->isAncestorOf(focused)) {
            scrollTo(rows_->index(row));
            return;
        }
    }
}

}  // namespace rowlark::ui::mapping
