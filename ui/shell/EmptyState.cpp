#include "ui/shell/EmptyState.h"

#include <utility>

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

    connect(chooseFirst_, &QPushButton::clicked, this, [this] { model_.selectFile(true); });
    connect(trySamples_, &QPushButton::clicked, this, [this] { model_.loadSample(); });
    connect(&model_, &model::ComparisonModel::fileChanged, this, [this](bool leftSide) {
        if (leftSide)
            hasLeftArrived_ = true;
    });
    connect(&model_, &model::ComparisonModel::activityChanged, this, &EmptyState::followActivity);
    followActivity();
}

void EmptyState::followActivity()
{
    chooseFirst_->setEnabled(!model_.isBusy());
    trySamples_->setEnabled(!model_.isBusy());
    // The step that finishes a load announces its file and the end of its activity together; the
    // second load starts after that step.
    if (!model_.isBusy() && pendingRight_)
        QMetaObject::invokeMethod(this, &EmptyState::continueDroppedLoad, Qt::QueuedConnection);
}

void EmptyState::loadDropped(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    pendingRight_.reset();
    if (isSetupFile(paths.constFirst())) {
        model_.openSetup(paths.constFirst());
        return;
    }
    if (paths.size() >= 2)
        pendingRight_ = paths.at(1);
    hasLeftArrived_ = false;
    model_.load(paths.constFirst(), true);
}

// A failed or cancelled first load drops the second, so that nothing happens behind the alert.
void EmptyState::continueDroppedLoad()
{
    std::optional<QString> right = std::exchange(pendingRight_, std::nullopt);
    if (right && hasLeftArrived_)
        model_.load(*right, false);
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
