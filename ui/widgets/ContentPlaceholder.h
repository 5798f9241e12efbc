#pragma once

// A centred symbol, title and description standing in for content that is not there.

#include <QLabel>
#include <QWidget>

#include "ui/widgets/Symbols.h"

namespace rowlark::ui::widgets {

class ContentPlaceholder : public QWidget {
    Q_OBJECT

public:
    ContentPlaceholder(Symbol symbol, const QString& title, const QString& description, QWidget* parent = nullptr);

    void setTitle(const QString& title);
    void setDescription(const QString& description);

private:
    QLabel* title_;
    QLabel* description_;
};

}  // namespace rowlark::ui::widgets
