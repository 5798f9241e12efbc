#include "ui/mapping/MappingListAccessibility.h"

#include <QAccessibleWidget>

#include "ui/mapping/MappingList.h"

namespace rowlark::ui::mapping {

namespace {

class MappingListAccessible : public QAccessibleWidget {
public:
    explicit MappingListAccessible(MappingList* list)
        : QAccessibleWidget(list, QAccessible::List)
    {
    }

    int childCount() const override { return static_cast<int>(list()->openRows().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<MappingRow*> rows = list()->openRows();
        return index >= 0 && index < rows.size() ? QAccessible::queryAccessibleInterface(rows.at(index)) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* row = child ? qobject_cast<const MappingRow*>(child->object()) : nullptr;
        return row ? static_cast<int>(list()->openRows().indexOf(row)) : -1;
    }

private:
    MappingList* list() const { return static_cast<MappingList*>(widget()); }
};

class MappingRowAccessible : public QAccessibleWidget {
public:
    explicit MappingRowAccessible(MappingRow* row)
        : QAccessibleWidget(row, QAccessible::ListItem)
    {
    }

    // Qt places the row widgets in the list's viewport; to assistive technology they belong to the list.
    QAccessibleInterface* parent() const override
    {
        for (QWidget* above = widget()->parentWidget(); above; above = above->parentWidget())
            if (auto* list = qobject_cast<MappingList*>(above))
                return QAccessible::queryAccessibleInterface(list);
        return QAccessibleWidget::parent();
    }
};

QAccessibleInterface* mappingListFactory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String(MappingList::staticMetaObject.className()))
        return new MappingListAccessible(static_cast<MappingList*>(object));
    if (className == QLatin1String(MappingRow::staticMetaObject.className()))
        return new MappingRowAccessible(static_cast<MappingRow*>(object));
    return nullptr;
}

}  // namespace

void installMappingListAccessibility()
{
    static const bool isInstalled = [] {
        QAccessible::installFactory(mappingListFactory);
        return true;
    }();
    Q_UNUSED(isInstalled);
}

}  // namespace rowlark::ui::mapping
