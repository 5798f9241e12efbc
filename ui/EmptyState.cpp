#include "EmptyState.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "Styling.h"
#include "Symbols.h"

namespace rowlark::ui {

EmptyState::EmptyState(ComparisonModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setObjectName(QStringLiteral("emptyState"));

    auto* symbol = symbolLabel(Symbol::tables, 54, secondaryColor(palette()), this);
    auto* title = styledLabel(QStringLiteral("Two files. A clearer picture."), TextStyle::largeTitle, false, this);
    title->setObjectName(QStringLiteral("emptyStateTitle"));
    auto* message = styledLabel(QStringLiteral("Choose CSV, Excel, Numbers or LibreOffice files,\nmatch columns, "
                                               "and inspect changed or missing records."),
                                TextStyle::callout, true, this);
    message->setAlignment(Qt::AlignCenter);

    chooseFirst_ = new QPushButton(QStringLiteral("Choose first file…"), this);
    chooseFirst_->setObjectName(QStringLiteral("chooseFirstFileButton"));
    makeProminent(chooseFirst_, true);
    trySamples_ = new QPushButton(QStringLiteral("Try sample files"), this);
    trySamples_->setObjectName(QStringLiteral("trySampleFilesButton"));
    trySamples_->setMinimumHeight(chooseFirst_->sizeHint().height());

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
    const auto refresh = [this] {
        chooseFirst_->setEnabled(!model_.isBusy());
        trySamples_->setEnabled(!model_.isBusy());
    };
    connect(&model_, &ComparisonModel::changed, this, [refresh](ComparisonModel::Field field) {
        if (field == ComparisonModel::Field::isBusy)
            refresh();
    });
    refresh();
}

}  // namespace rowlark::ui
