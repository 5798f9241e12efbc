#include "ui/shell/EmptyState.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/shell/DroppedFiles.h"
#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::shell {

EmptyState::EmptyState(model::ComparisonModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    setObjectName(QStringLiteral("emptyState"));
    setAcceptDrops(true);

    auto* symbol = widgets::symbolLabel(widgets::Symbol::tables, 54, widgets::secondaryColor(palette()), this);
    auto* title =
        widgets::styledLabel(tr("Two files. A clearer picture."), widgets::TextStyle::largeTitle, false, this);
    title->setObjectName(QStringLiteral("emptyStateTitle"));
    auto* message = widgets::styledLabel(tr("Choose CSV, Excel, Numbers or LibreOffice files,\nmatch columns, "
                                            "and inspect changed or missing records."),
                                         widgets::TextStyle::callout, true, this);
    message->setAlignment(Qt::AlignCenter);

    chooseFirst_ = new QPushButton(tr("Choose first file…"), this);
    chooseFirst_->setObjectName(QStringLiteral("chooseFirstFileButton"));
    widgets::makeProminent(chooseFirst_, true);
    trySamples_ = new QPushButton(tr("Try sample files"), this);
    trySamples_->setObjectName(QStringLiteral("trySampleFilesButton"));
    widgets::makeBordered(trySamples_, true);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addStretch();
    buttons->addWidget(chooseFirst_);
    buttons->addWidget(trySamples_);
    buttons->addStretch();

    auto* column = new QVBoxLayout(this);
    column->setSpacing(16);
    column->addStretch();
    column->addWidget(symbol, 0, Qt::AlignHCenter);
    column->addWidget(title, 0, Qt::AlignHCenter);
    column->addWidget(message, 0, Qt::AlignHCenter);
    column->addSpacing(4);
    column->addLayout(buttons);
    column->addStretch();

    connect(chooseFirst_, &QPushButton::clicked, this, [this] { model_.selectFile(isLeftSideMissing()); });
    connect(trySamples_, &QPushButton::clicked, this, [this] { model_.loadSample(); });
    connect(&model_, &model::ComparisonModel::fileChanged, this, &EmptyState::refreshChoice);
    connect(&model_, &model::ComparisonModel::activityChanged, this, &EmptyState::followActivity);
    followActivity();
    refreshChoice();
}

void EmptyState::followActivity()
{
    chooseFirst_->setEnabled(!model_.isBusy());
    trySamples_->setEnabled(!model_.isBusy());
}

bool EmptyState::isLeftSideMissing() const
{
    return !model_.left() || model_.right();
}

void EmptyState::refreshChoice()
{
    chooseFirst_->setText(isLeftSideMissing() ? tr("Choose first file…") : tr("Choose second file…"));
}

void EmptyState::loadDropped(const QStringList& paths)
{
    if (!paths.isEmpty() && isSetupFile(paths.constFirst())) {
        model_.openSetup(paths.constFirst());
        return;
    }
    if (paths.size() >= 2)
        model_.loadFiles(paths.at(0), paths.at(1));
    else if (!paths.isEmpty())
        model_.load(paths.constFirst(), isLeftSideMissing());
}

void EmptyState::dragEnterEvent(QDragEnterEvent* event)
{
    if (!localFilePaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void EmptyState::dropEvent(QDropEvent* event)
{
    const QStringList paths = localFilePaths(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    loadDropped(paths);
}

}  // namespace rowlark::ui::shell
