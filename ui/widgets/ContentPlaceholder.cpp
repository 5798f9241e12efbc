#include "ui/widgets/ContentPlaceholder.h"

#include <QVBoxLayout>

#include "ui/widgets/Styling.h"

namespace rowlark::ui::widgets {

ContentPlaceholder::ContentPlaceholder(Symbol symbol, const QString& title, const QString& description, QWidget* parent)
    : QWidget(parent)
{
    auto* icon = symbolLabel(symbol, 40, secondaryColor(palette()), this);
    title_ = styledLabel(title, TextStyle::title3, false, this);
    title_->setObjectName(QStringLiteral("placeholderTitle"));
    title_->setAlignment(Qt::AlignCenter);
    title_->setWordWrap(true);
    description_ = styledLabel(description, TextStyle::callout, true, this);
    description_->setObjectName(QStringLiteral("placeholderDescription"));
    description_->setAlignment(Qt::AlignCenter);
    description_->setWordWrap(true);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(10);
    column->addStretch();
    column->addWidget(icon, 0, Qt::AlignHCenter);
    column->addSpacing(4);
    // Wrapped labels take the whole width and centre their lines; squeezed by an alignment they would
    // wrap at their narrowest.
    column->addWidget(title_);
    column->addWidget(description_);
    column->addStretch();
}

void ContentPlaceholder::setTitle(const QString& title)
{
    title_->setText(title);
}

void ContentPlaceholder::setDescription(const QString& description)
{
    description_->setText(description);
}

}  // namespace rowlark::ui::widgets
