#include "ui/shell/StatusBar.h"

#include <QHBoxLayout>

#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::shell {

QString StatusBar::defaultNotice()
{
    return tr("CSV · Excel · Numbers · LibreOffice · No file uploads");
}

StatusBar::StatusBar(model::ComparisonModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    setObjectName(QStringLiteral("statusBar"));
    leftPart_ = new QStackedWidget(this);
    busyPart_ = buildBusyPart();
    idlePart_ = buildIdlePart();
    leftPart_->addWidget(busyPart_);
    leftPart_->addWidget(idlePart_);
    leftPart_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    mainButton_ = new QPushButton(this);
    mainButton_->setObjectName(QStringLiteral("mainActionButton"));
    widgets::makeProminent(mainButton_, true);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 10, 16, 10);
    widgets::setCompactMargins(row, {16, 5, 16, 5});
    row->addWidget(leftPart_, 1);
    row->addSpacing(16);
    row->addWidget(mainButton_, 0, Qt::AlignVCenter);

    connect(mainButton_, &QPushButton::clicked, this, &StatusBar::runMainAction);
    connect(cancel_, &QPushButton::clicked, this, [this] { model_.cancel(); });
    // Escape presses Cancel from anywhere in the window, while there is something to cancel.
    cancelShortcut_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    cancelShortcut_->setContext(Qt::WindowShortcut);
    connect(cancelShortcut_, &QShortcut::activated, cancel_, &QPushButton::click);
    connect(&model_, &model::ComparisonModel::activityChanged, this, &StatusBar::refresh);
    connect(&model_, &model::ComparisonModel::tabChanged, this, &StatusBar::refreshMainButton);
    connect(&model_, &model::ComparisonModel::commandsChanged, this, &StatusBar::refreshMainButton);
    refresh();
}

QWidget* StatusBar::buildBusyPart()
{
    auto* part = new QWidget(this);
    auto* progress = new QProgressBar(part);
    progress->setObjectName(QStringLiteral("busyIndicator"));
    progress->setRange(0, 0);
    progress->setTextVisible(false);
    progress->setFixedSize(72, 8);
    progress->setAccessibleName(tr("Working"));
    busyLabel_ = widgets::styledLabel(QString(), widgets::TextStyle::callout, false, part);
    busyLabel_->setObjectName(QStringLiteral("busyLabel"));
    cancel_ = new QPushButton(tr("Cancel"), part);
    cancel_->setObjectName(QStringLiteral("cancelButton"));

    auto* row = new QHBoxLayout(part);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(progress, 0, Qt::AlignVCenter);
    row->addWidget(busyLabel_, 0, Qt::AlignVCenter);
    row->addWidget(cancel_, 0, Qt::AlignVCenter);
    row->addStretch();
    return part;
}

QWidget* StatusBar::buildIdlePart()
{
    auto* part = new QWidget(this);
    auto* info = widgets::symbolLabel(widgets::Symbol::info, 16, widgets::secondaryColor(palette()), part);
    notice_ = widgets::styledLabel(QString(), widgets::TextStyle::callout, true, part);
    notice_->setObjectName(QStringLiteral("noticeLabel"));
    notice_->setWordWrap(true);
    notice_->setMaximumHeight(notice_->fontMetrics().lineSpacing() * 2 + 2);
    notice_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    auto* row = new QHBoxLayout(part);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(info, 0, Qt::AlignVCenter);
    row->addWidget(notice_, 1, Qt::AlignVCenter);
    return part;
}

void StatusBar::refresh()
{
    leftPart_->setCurrentWidget(model_.isBusy() ? busyPart_ : idlePart_);
    cancel_->setEnabled(model_.isBusy());
    cancelShortcut_->setEnabled(model_.isBusy());
    busyLabel_->setText(model_.busyLabel());
    notice_->setText(model_.notice().isEmpty() ? defaultNotice() : model_.notice());
    refreshMainButton();
}

void StatusBar::refreshMainButton()
{
    if (model_.tab() == model::WorkspaceTab::mapping) {
        mainButton_->setText(tr("Compare files"));
        mainButton_->setIcon(widgets::symbolIcon(widgets::Symbol::compare, Qt::white));
        mainButton_->setEnabled(model_.canCompare());
    } else {
        mainButton_->setText(tr("Export filtered report…"));
        mainButton_->setIcon(widgets::symbolIcon(widgets::Symbol::exportReport, Qt::white));
        mainButton_->setEnabled(model_.canExport());
    }
}

void StatusBar::runMainAction()
{
    if (model_.tab() == model::WorkspaceTab::mapping)
        model_.compare();
    else
        model_.exportReport();
}

}  // namespace rowlark::ui::shell
