#include "ui/shell/ComparisonWorkspace.h"

#include <utility>

#include <QHBoxLayout>
#include <QLocale>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include "model/UTF8Text.h"
#include "ui/mapping/MappingView.h"
#include "ui/results/ResultsView.h"
#include "ui/shell/EmptyState.h"
#include "ui/shell/FileSlot.h"
#include "ui/shell/StatusBar.h"
#include "ui/widgets/ComboBoxAccessibility.h"
#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::shell {

namespace {

constexpr int padding = 16;

// The screens as joined segments: the ends rounded, the chosen one filled.
QString segmentStyle()
{
    return QStringLiteral(
               "QTabBar::tab { border: 1px solid palette(mid); padding: 4px 10px; background: palette(button); "
               "min-width: 107px; }"
               "QTabBar::tab:first { border-top-left-radius: 6px; border-bottom-left-radius: 6px; }"
               "QTabBar::tab:last { border-left: none; border-top-right-radius: 6px; "
               "border-bottom-right-radius: 6px; }"
               "QTabBar::tab:selected { background: palette(base); font-weight: 600; }"
               "QTabBar::tab:selected:enabled { color: %1; }"
               "QTabBar::tab:disabled { color: palette(mid); }"
               "QTabBar:focus QTabBar::tab:selected { border: 2px solid %1; }")
        .arg(widgets::accentColor().name());
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
    widgets::installComboBoxAccessibility();

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
    connect(&model_, &model::ComparisonModel::sheetsChanged, this, &ComparisonWorkspace::refreshScreen);
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
    // A tab bar to assistive technology and the keyboard (the arrow keys switch screens), drawn as
    // joined segments.
    tabPicker_ = new QTabBar(screenRow);
    tabPicker_->setObjectName(QStringLiteral("workspacePicker"));
    tabPicker_->setAccessibleName(tr("Workspace"));
    tabPicker_->setDrawBase(false);
    tabPicker_->setExpanding(true);
    tabPicker_->setStyleSheet(segmentStyle());
    for (const model::WorkspaceTab tab : model::allWorkspaceTabs)
        tabPicker_->addTab(title(tab));
    tabPicker_->setFixedWidth(260);
    connect(tabPicker_, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0 && model_.tab() != model::allWorkspaceTabs.at(static_cast<std::size_t>(index)))
            model_.setTab(model::allWorkspaceTabs.at(static_cast<std::size_t>(index)));
    });

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
            if (model_.hasResults())
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
    tabPicker_->setEnabled(model_.hasResults());
    tabPicker_->setCurrentIndex(static_cast<int>(model_.tab()));
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
