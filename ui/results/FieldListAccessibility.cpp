#include "ui/results/FieldListAccessibility.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWindow>

#include "ui/results/InspectorFieldList.h"

namespace rowlark::ui::results {

namespace {

enum Part : qint64 { line, leftValue, rightValue, partCount };

qint64 itemKey(std::size_t entry, Part part)
{
    return static_cast<qint64>(entry) * partCount + part;
}

QString describe(const InspectorFieldList& list, std::size_t entry, bool leftSide)
{
    const FieldEntry& line = list.entries()[entry];
    const FieldSide& side = leftSide ? line.left : line.right;
    QString text = side.caption + QStringLiteral(": ") + side.value;
    if (side.isNotCompared)
        text += QCoreApplication::translate("FieldListAccessibility", " (Not compared)");
    if (!side.note.isEmpty())
        text += QStringLiteral(" (") + side.note + QStringLiteral(")");
    return text;
}

FieldListAccessible* listInterface(InspectorFieldList* list)
{
    return list ? dynamic_cast<FieldListAccessible*>(QAccessible::queryAccessibleInterface(list)) : nullptr;
}

// What the items of one list have in common: they belong to a line that may be gone.
class ListPartAccessible : public QAccessibleInterface {
public:
    ListPartAccessible(InspectorFieldList* list, std::size_t entry)
        : list_(list)
        , entry_(entry)
    {
    }

    bool isValid() const override { return list_ && entry_ < list_->entries().size(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return list_ ? list_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}

protected:
    QRect globalRect(const QRect& area) const
    {
        return QRect(list_->viewport()->mapToGlobal(area.topLeft()), area.size());
    }
    bool isInView(const QRect& area) const { return list_ && area.intersects(list_->viewport()->rect()); }

    QPointer<InspectorFieldList> list_;
    std::size_t entry_;
};

class ValueItemAccessible : public ListPartAccessible {
public:
    ValueItemAccessible(InspectorFieldList* list, std::size_t entry, bool leftSide)
        : ListPartAccessible(list, entry)
        , isLeftSide_(leftSide)
    {
    }

    QAccessibleInterface* parent() const override
    {
        FieldListAccessible* owner = listInterface(list_);
        return owner && isValid() ? owner->child(static_cast<int>(entry_)) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::StaticText; }

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name && isValid() ? describe(*list_, entry_, isLeftSide_) : QString();
    }

    QRect rect() const override { return isValid() ? globalRect(area()) : QRect(); }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.readOnly = true;
        state.focusable = true;
        state.selectable = true;
        state.focused =
            isValid() && list_->hasFocus() && list_->currentValue() == InspectorFieldList::Slot{entry_, isLeftSide_};
        state.invisible = !isValid() || !isInView(area());
        state.offscreen = state.invisible;
        return state;
    }

private:
    // The value's half of its line.
    QRect area() const
    {
        const QRect line = list_->entryRect(entry_);
        const int half = line.width() / 2;
        return isLeftSide_ ? line.adjusted(0, 0, -half, 0) : line.adjusted(half, 0, 0, 0);
    }

    bool isLeftSide_;
};

class FieldItemAccessible : public ListPartAccessible {
public:
    using ListPartAccessible::ListPartAccessible;

    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_); }
    int childCount() const override { return isValid() ? 2 : 0; }
    QAccessibleInterface* child(int index) const override
    {
        FieldListAccessible* owner = listInterface(list_);
        return owner && isValid() && (index == 0 || index == 1) ? owner->valueItem(entry_, index == 0) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* item) const override
    {
        for (int index = 0; index < childCount(); ++index)
            if (child(index) == item)
                return index;
        return -1;
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QString text(QAccessible::Text kind) const override
    {
        if (kind != QAccessible::Name || !isValid())
            return {};
        QString text = describe(*list_, entry_, true) + QStringLiteral("; ") + describe(*list_, entry_, false);
        if (list_->entries()[entry_].isChanged)
            text += QCoreApplication::translate("FieldListAccessibility", "; changed");
        return text;
    }

    QRect rect() const override { return isValid() ? globalRect(list_->entryRect(entry_)) : QRect(); }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.readOnly = true;
        state.selectable = true;
        state.invisible = !isValid() || !isInView(list_->entryRect(entry_));
        state.offscreen = state.invisible;
        return state;
    }
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

QAccessibleInterface* FieldListAccessible::item(qint64 key, const std::function<QAccessibleInterface*()>& make) const
{
    auto found = items_.constFind(key);
    if (found != items_.constEnd())
        return QAccessible::accessibleInterface(*found);
    QAccessibleInterface* made = make();
    items_.insert(key, QAccessible::registerAccessibleInterface(made));
    return made;
}

int FieldListAccessible::childCount() const
{
    return static_cast<int>(list()->entries().size());
}

QAccessibleInterface* FieldListAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    const auto entry = static_cast<std::size_t>(index);
    return item(itemKey(entry, line), [&] { return new FieldItemAccessible(list(), entry); });
}

QAccessibleInterface* FieldListAccessible::valueItem(std::size_t entry, bool leftSide) const
{
    if (entry >= list()->entries().size())
        return nullptr;
    return item(itemKey(entry, leftSide ? leftValue : rightValue),
                [&] { return new ValueItemAccessible(list(), entry, leftSide); });
}

int FieldListAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface*>(child));
    for (auto found = items_.constBegin(); found != items_.constEnd(); ++found)
        if (found.value() == id && found.key() % partCount == line)
            return static_cast<int>(found.key() / partCount);
    return -1;
}

QAccessibleInterface* FieldListAccessible::childAt(int x, int y) const
{
    const QPoint point = list()->viewport()->mapFromGlobal(QPoint(x, y));
    const std::optional<std::size_t> entry = list()->entryAt(point);
    return entry ? child(static_cast<int>(*entry)) : nullptr;
}

QAccessibleInterface* FieldListAccessible::focusChild() const
{
    const std::optional<InspectorFieldList::Slot> current = list()->currentValue();
    return current && list()->hasFocus() ? valueItem(current->entry, current->leftSide) : nullptr;
}

void FieldListAccessible::reset()
{
    for (const QAccessible::Id id : std::as_const(items_))
        QAccessible::deleteAccessibleInterface(id);
    items_.clear();
}

}  // namespace rowlark::ui::results
