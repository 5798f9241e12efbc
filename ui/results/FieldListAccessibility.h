#pragma once

// What assistive technology reads of the inspector's painted field list: one list item per line,
// named by both captions and both values, holding one item per value, so the value the keyboard is on
// can take the focus and be read alone. Long values are read as far as the list shows them.

#include <cstddef>
#include <functional>

#include <QAccessibleWidget>

namespace rowlark::ui::results {

class InspectorFieldList;

// Makes the field list answer accessibility queries with its lines; safe to call more than once.
void installFieldListAccessibility();

class FieldListAccessible : public QAccessibleWidget {
public:
    explicit FieldListAccessible(InspectorFieldList* list);
    ~FieldListAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // The item of one side of one line.
    QAccessibleInterface* valueItem(std::size_t entry, bool leftSide) const;

    // Forgets the items of the previous lines; called when the list shows new ones.
    void reset();

private:
    InspectorFieldList* list() const;
    QAccessibleInterface* item(qint64 key, const std::function<QAccessibleInterface*()>& make) const;

    // Items by line and part (the line, its left value, its right value), made when first asked for.
    mutable QHash<qint64, QAccessible::Id> items_;
};

}  // namespace rowlark::ui::results
