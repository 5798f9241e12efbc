#include "results/FieldListAccessibility.h"

#include <QPointer>
#include <QWindow>

#include "results/InspectorFieldList.h"

namespace rowlark::ui {

namespace {

QString describe(const FieldSide& side)
{
    QString text = side.caption + QStringLiteral(": ") + side.value;
    if (side.isNotCompared)
        text += QStringLiteral(" (Not compared)");
    return text;
}

class FieldItemAccessible : public QAccessibleInterface {
public:
    FieldItemAccessible(InspectorFieldList* list, int index)
        : list_(list)
        , index_(index)
    {
    }

    bool isValid() const override
    {
        return list_ && index_ >= 0 && static_cast<std::size_t>(index_) < list_->entries().size();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return list_ ? list_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind != QAccessible::Name || !isValid())
            return {};
        const FieldEntry& entry = list_->entries()[static_cast<std::size_t>(index_)];
        QString text = describe(entry.left) + QStringLiteral("; ") + describe(entry.right);
        if (entry.isChanged)
            text += QStringLiteral("; changed");
        return text;
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect area = list_->entryRect(static_cast<std::size_t>(index_));
        return QRect(list_->viewport()->mapToGlobal(area.topLeft()), area.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.readOnly = true;
        state.selectable = true;
        const QRect area = isValid() ? list_->entryRect(static_cast<std::size_t>(index_)) : QRect();
        state.invisible = !area.intersects(list_ ? list_->viewport()->rect() : QRect());
        state.offscreen = state.invisible;
        return state;
    }

private:
    QPointer<InspectorFieldList> list_;
    int index_;
};

QAccessibleInterface* fieldListFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String(InspectorFieldList::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new FieldListAccessible(static_cast<InspectorFieldList*>(object));
    return nullptr;
}

}  // namespace

void installFieldListAccessibility()
{
    static const bool isInstalled = [] {
        QAccessible::installFactory(fieldListFactory);
        return true;
    }();
    Q_UNUSED(isInstalled);
}

FieldListAccessible::FieldListAccessible(InspectorFieldList* list)
    : QAccessibleWidget(list, QAccessible::List)
{
}

FieldListAccessible::~FieldListAccessible()
{
    reset();
}

InspectorFieldList* FieldListAccessible::list() const
{
    return static_cast<InspectorFieldList*>(widget());
}

int FieldListAccessible::childCount() const
{
    return static_cast<int>(list()->entries().size());
}

QAccessibleInterface* FieldListAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    auto found = items_.constFind(index);
    if (found != items_.constEnd())
        return QAccessible::accessibleInterface(*found);
    QAccessibleInterface* item = new FieldItemAccessible(list(), index);
    items_.insert(index, QAccessible::registerAccessibleInterface(item));
    return item;
}

int FieldListAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface*>(child));
    for (auto item = items_.constBegin(); item != items_.constEnd(); ++item)
        if (item.value() == id)
            return item.key();
    return -1;
}

QAccessibleInterface* FieldListAccessible::childAt(int x, int y) const
{
    const QPoint point = list()->viewport()->mapFromGlobal(QPoint(x, y));
    const std::optional<std::size_t> entry = list()->entryAt(point);
    return entry ? child(static_cast<int>(*entry)) : nullptr;
}

void FieldListAccessible::reset()
{
    for (const QAccessible::Id id : std::as_const(items_))
        QAccessible::deleteAccessibleInterface(id);
    items_.clear();
}

}  // namespace rowlark::ui
