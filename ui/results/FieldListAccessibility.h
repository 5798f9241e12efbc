#pragma once

// What assistive technology reads of the inspector's painted field list: one list item per line,
// named by both captions and both values.

#include <QAccessibleWidget>

namespace rowlark::ui {

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

    // Forgets the items of the previous lines; called when the list shows new ones.
    void reset();

private:
    InspectorFieldList* list() const;

    mutable QHash<int, QAccessible::Id> items_;
};

}  // namespace rowlark::ui
