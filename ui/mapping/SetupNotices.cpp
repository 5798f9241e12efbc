#include "ui/mapping/SetupNotices.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::mapping {

SetupNotices::SetupNotices(model::ComparisonModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , lines_(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("setupNotices"));
    auto* icon = widgets::symbolLabel(widgets::Symbol::warning, 14, widgets::orangeColor(), this);
    auto* title = widgets::styledLabel(tr("What of the setup no longer fits these files"), widgets::TextStyle::callout,
                                       false, this);
    title->setObjectName(QStringLiteral("setupNoticesTitle"));
    QPalette orange = title->palette();
    orange.setColor(QPalette::WindowText, widgets::orangeColor());
    title->setPalette(orange);
    auto* dismiss = new QPushButton(tr("Dismiss"), this);
    dismiss->setObjectName(QStringLiteral("dismissSetupNotices"));
    widgets::makeBordered(dismiss, false);

    lines_->setObjectName(QStringLiteral("setupNoticesText"));
    lines_->setReadOnly(true);
    lines_->setFrameShape(QFrame::NoFrame);
    lines_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    lines_->setFont(widgets::styledFont(widgets::TextStyle::callout));
    lines_->setAccessibleName(tr("Setup notices"));

    auto* heading = new QHBoxLayout;
    heading->setSpacing(6);
    heading->addWidget(icon, 0, Qt::AlignVCenter);
    heading->addWidget(title, 1, Qt::AlignVCenter);
    heading->addWidget(dismiss, 0, Qt::AlignVCenter);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 10, 20, 10);
    column->setSpacing(4);
    column->addLayout(heading);
    column->addWidget(lines_);

    connect(dismiss, &QPushButton::clicked, this, [this] { model_.dismissSetupNotices(); });
    connect(&model_, &model::ComparisonModel::mappingChanged, this, &SetupNotices::refresh);
    refresh();
}

void SetupNotices::refresh()
{
    const std::vector<QString>& notices = model_.setupNotices();
    QStringList text;
    for (const QString& notice : notices)
        text << notice;
    if (lines_->toPlainText() != text.join(QLatin1Char('\n')))
        lines_->setPlainText(text.join(QLatin1Char('\n')));
    const int shown = std::clamp(static_cast<int>(notices.size()), 1, shownLines);
    lines_->setFixedHeight(shown * lines_->fontMetrics().lineSpacing() +
                           2 * static_cast<int>(lines_->document()->documentMargin()) + 2);
    setVisible(!notices.empty());
}

}  // namespace rowlark::ui::mapping
