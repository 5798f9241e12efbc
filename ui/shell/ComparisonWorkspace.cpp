#include "ui/shell/ComparisonWorkspace.h"

#include <utility>

#include <QHBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include "model/UTF8Text.h"
#include "ui/mapping/MappingView.h"
#include "ui/results/ResultsView.h"
#include "ui/shell/EmptyState.h"
#include "ui/shell/FileSlot.h"
#include "ui/shell/StatusBar.h"
#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::shell {

namespace {

constexpr int padding = 16;

// One part of a row of joined toggle buttons: the ends are rounded, the chosen part is filled.
void styleSegment(QPushButton* segment, bool isFirst, bool isLast)
{
    const QString left = isFirst ? QStringLiteral("6px") : QStringLiteral("0");
    const QString right = isLast ? QStringLiteral("6px") : QStringLiteral("0");
    segment->setStyleSheet(
        QStringLiteral("QPushButton { border: 1px solid palette(mid); %1 padding: 4px 10px; "
                       "background: palette(button); border-top-left-radius: %2; border-bottom-left-radius: %2; "
                       "border-top-right-radius: %3; border-bottom-right-radius: %3; }"
                       "QPushButton:checked { background: palette(base); font-weight: 600; }"
                       "QPushButton:checked:enabled { color: %4; }"
                       "QPushButton:disabled { color: palette(mid); }")
            .arg(isFirst ? QString() : QStringLiteral("border-left: none;"), left, right,
                 widgets::accentColor().name()));
}

}  // namespace

QString ComparisonWorkspace::errorTitle()
{
    return tr("Couldn’t complete that action");
}

QString tagline()
{
    return ComparisonWorkspace::tr("Compare records, wherever their rows land.");
}

QString privacyNote()
{
#ifdef Q_OS_MACOS
    return ComparisonWorkspace::tr("Files stay on this Mac");
#else
    return ComparisonWorkspace::tr("Files stay on this computer");
#endif
}

QString comparisonTime(double seconds)
{
    return ComparisonWorkspace::tr("Compared in %1 s").arg(QLocale().toString(seconds, 'f', 2));
}

ComparisonWorkspace::ComparisonWorkspace(model::ComparisonModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    setObjectName(QStringLiteral("comparisonWorkspace"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // The title band holds no control: a short window gives its room to the screens.
    for (QWidget* band : {buildHeader(), static_cast<QWidget*>(widgets::horizontalDivider(this))}) {
        column->addWidget(band);
        widgets::hideWhenCompact(band);
    }
    column->addWidget(buildFileRow());
    column->addWidget(buildScreenRow());
    column->addWidget(widgets::horizontalDivider(this));
    column->addWidget(buildContent(), 1);
    column->addWidget(widgets::horizontalDivider(this));
    column->addWidget(new StatusBar(model_, this));

    connect(&model_, &model::ComparisonModel::fileChanged, this, &ComparisonWorkspace::refreshScreen);
    connect(&model_, &model::ComparisonModel::tabChanged, this, &ComparisonWorkspace::refreshScreen);
    connect(&model_, &model::ComparisonModel::resultChanged, this, [this] {
        refreshScreen();
        refreshElapsed();
    });
    connect(&model_, &model::ComparisonModel::activityChanged, this, &ComparisonWorkspace::refreshAlert);
    addKeys();
    refreshScreen();
    refreshElapsed();
}

QWidget* ComparisonWorkspace::buildHeader()
{
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("workspaceHeader"));
    auto* symbol = widgets::symbolLabel(widgets::Symbol::compare, 36, widgets::accentColor(), header);
    auto* title = widgets::styledLabel(QStringLiteral("Rowlark"), widgets::TextStyle::title3, false, header);
    auto* taglineLabel = widgets::styledLabel(tagline(), widgets::TextStyle::callout, false, header);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(3);
    titles->addWidget(title);
    titles->addWidget(taglineLabel);

    auto* lock = widgets::symbolLabel(widgets::Symbol::lock, 14, widgets::secondaryColor(palette()), header);
    auto* note = widgets::styledLabel(privacyNote(), widgets::TextStyle::callout, true, header);
    note->setObjectName(QStringLiteral("privacyNote"));

    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(padding + 4, padding, padding + 4, padding);
    row->setSpacing(12);
    row->addWidget(symbol, 0, Qt::AlignVCenter);
    row->addLayout(titles);
    row->addStretch();
    row->addWidget(lock, 0, Qt::AlignVCenter);
    row->addSpacing(-6);
    row->addWidget(note, 0, Qt::AlignVCenter);
    return header;
}

QWidget* ComparisonWorkspace::buildFileRow()
{
    auto* fileRow = new QWidget(this);
    // As tall as its cards, which are as tall as their lines: the screens below give way instead.
    fileRow->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(fileRow);
    row->setContentsMargins(padding + 4, padding, padding + 4, 4);
    widgets::setCompactMargins(row, {padding + 4, 8, padding + 4, 0});
    row->setSpacing(12);
    row->addWidget(new FileSlot(model_, true, fileRow), 1);
    row->addWidget(buildSwapButton(fileRow), 0, Qt::AlignVCenter);
    row->addWidget(new FileSlot(model_, false, fileRow), 1);
    return fileRow;
}

// The arrows between the file slots: they show the direction of the comparison and turn it around.
QToolButton* ComparisonWorkspace::buildSwapButton(QWidget* fileRow)
{
    auto* swap = new QToolButton(fileRow);
    swap->setObjectName(QStringLiteral("swapFilesButton"));
    swap->setIcon(widgets::symbolIcon(widgets::Symbol::compare, widgets::secondaryColor(palette())));
    swap->setIconSize(QSize(18, 18));
    swap->setAutoRaise(true);
    swap->setToolTip(tr("Swap the first and the second file"));
    swap->setAccessibleName(tr("Swap files"));
    connect(swap, &QToolButton::clicked, this, [this] { model_.swapFiles(); });
    const auto refresh = [this, swap] { swap->setEnabled(model_.canSwapFiles()); };
    connect(&model_, &model::ComparisonModel::commandsChanged, swap, refresh);
    refresh();
    return swap;
}

QWidget* ComparisonWorkspace::buildScreenRow()
{
    auto* screenRow = new QWidget(this);
    tabPicker_ = new QWidget(screenRow);
    tabPicker_->setObjectName(QStringLiteral("workspacePicker"));
    tabPicker_->setAccessibleName(tr("Workspace"));
    tabPicker_->setFixedWidth(260);
    tabs_ = new QButtonGroup(tabPicker_);
    auto* segments = new QHBoxLayout(tabPicker_);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    for (const model::WorkspaceTab tab : model::allWorkspaceTabs) {
        auto* segment = new QPushButton(title(tab), tabPicker_);
        segment->setCheckable(true);
        styleSegment(segment, tab == model::allWorkspaceTabs.front(), tab == model::allWorkspaceTabs.back());
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        tabs_->addButton(segment, static_cast<int>(tab));
        segments->addWidget(segment);
    }
    connect(tabs_, &QButtonGroup::idClicked, this,
            [this](int id) { model_.setTab(static_cast<model::WorkspaceTab>(id)); });

    elapsed_ = widgets::styledLabel(QString(), widgets::TextStyle::callout, true, screenRow);
    elapsed_->setObjectName(QStringLiteral("elapsedLabel"));

    auto* row = new QHBoxLayout(screenRow);
    row->setContentsMargins(padding + 4, 10, padding + 4, 12);
    widgets::setCompactMargins(row, {padding + 4, 6, padding + 4, 6});
    row->addWidget(tabPicker_);
    row->addStretch();
    row->addWidget(elapsed_);
    return screenRow;
}

// Keys for moving around the window: the find key to the search of the screen shown, Alt with the
// number of a screen to that screen, while there is a result to switch between.
void ComparisonWorkspace::addKeys()
{
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, &ComparisonWorkspace::focusSearch);
    const std::pair<Qt::Key, model::WorkspaceTab> screenKeys[] = {
        {Qt::Key_1, model::WorkspaceTab::mapping},
        {Qt::Key_2, model::WorkspaceTab::results},
    };
    for (const auto& [number, tab] : screenKeys) {
        auto* key = new QShortcut(QKeySequence(Qt::ALT | number), this);
        connect(key, &QShortcut::activated, this, [this, tab = tab] {
            if (model_.summary())
                model_.setTab(tab);
        });
    }
}

// The cursor goes to the search field with its text selected, so that typing replaces the search.
void ComparisonWorkspace::focusSearch()
{
    QWidget* const shown = content_->currentWidget();
    QLineEdit* field = nullptr;
    if (shown == resultsScreen_)
        field = resultsScreen_->searchField();
    else if (shown == mappingScreen_)
        field = mappingScreen_->searchField();
    if (!field)
        return;
    field->setFocus(Qt::ShortcutFocusReason);
    field->selectAll();
}

void ComparisonWorkspace::openFiles(const QStringList& paths)
{
    emptyState_->loadDropped(paths);
}

QWidget* ComparisonWorkspace::buildContent()
{
    content_ = new QStackedWidget(this);
    content_->setObjectName(QStringLiteral("workspaceContent"));
    emptyState_ = new EmptyState(model_, content_);
    mappingScreen_ = new mapping::MappingView(model_, content_);
    resultsScreen_ = new results::ResultsView(model_, content_);
    content_->addWidget(emptyState_);
    content_->addWidget(mappingScreen_);
    content_->addWidget(resultsScreen_);
    return content_;
}

void ComparisonWorkspace::refreshScreen()
{
    QWidget* const shown = content_->currentWidget();
    if (!model_.left() || !model_.right())
        content_->setCurrentWidget(emptyState_);
    else
        content_->setCurrentWidget(model_.tab() == model::WorkspaceTab::mapping ? static_cast<QWidget*>(mappingScreen_)
                                                                                : resultsScreen_);
    // Results arrive after the user asked for them: the arrow keys should browse them at once.
    if (content_->currentWidget() == resultsScreen_ && shown != resultsScreen_)
        resultsScreen_->focusList();
    tabPicker_->setEnabled(model_.summary() != nullptr);
    tabs_->button(static_cast<int>(model_.tab()))->setChecked(true);
}

void ComparisonWorkspace::refreshElapsed()
{
    const std::optional<double> seconds = model_.elapsed();
    elapsed_->setVisible(seconds.has_value());
    elapsed_->setText(seconds ? comparisonTime(*seconds) : QString());
}

void ComparisonWorkspace::refreshAlert()
{
    const std::optional<QString>& message = model_.errorMessage();
    if (!message) {
        if (alert_)
            alert_->close();
        return;
    }
    if (!alert_) {
        alert_ = new QMessageBox(QMessageBox::Warning, errorTitle(), QString(), QMessageBox::Ok, this);
        alert_->setObjectName(QStringLiteral("errorAlert"));
        alert_->setAttribute(Qt::WA_DeleteOnClose);
        alert_->setWindowModality(Qt::WindowModal);
        // Closing the alert any way, OK included, dismisses the message.
        connect(alert_, &QMessageBox::finished, this, [this] { model_.setErrorMessage(std::nullopt); });
    }
    alert_->setText(errorTitle());
    alert_->setInformativeText(*message);
    // Messages quote file and sheet names; the box would guess their format, its informative line included.
    for (QLabel* label : alert_->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    alert_->show();
}

}  // namespace rowlark::ui::shell
