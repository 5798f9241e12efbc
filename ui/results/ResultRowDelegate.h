#pragma once

// Draws one record of the result list: its status symbol, key, status and changed fields.

#include <QHash>
#include <QPixmap>
#include <QStyledItemDelegate>

namespace rowlark::ui::results {

class ResultRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int padding = 7;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QPixmap statusSymbol(int status, bool isSelected, const QStyleOptionViewItem& option) const;

    // Rendering the symbols is the dearest part of a row, and a page shows the same six again and again.
    mutable QHash<int, QPixmap> symbols_;
};

}  // namespace rowlark::ui::results
