#include "ui/shell/MainWindow.h"

#include <optional>

#include <QApplication>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

#include "model/UTF8Text.h"
#include "ui/shell/AboutDialog.h"
#include "ui/shell/ComparisonWorkspace.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::shell {

namespace {

// "before.csv ⇄ after.csv — Rowlark": the names of the loaded files, File A first; "Rowlark" alone
// while neither is loaded.
QString windowTitleNaming(const std::optional<QString>& firstName, const std::optional<QString>& secondName)
{
    QStringList names;
    for (const std::optional<QString>& name : {firstName, secondName})
        if (name)
            names << *name;
    const QString application = QStringLiteral("Rowlark");
    if (names.isEmpty())
        return application;
    QString title = names.join(QStringLiteral(" ⇄ ")) + QStringLiteral(" — ") + application;
    // The window reads "[*]" as the place of its modified mark; doubled, it shows as written.
    return title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

}  // namespace

MainWindow::MainWindow(model::ComparisonModel& model, QWidget* parent)
    : QMainWindow(parent)
    , model_(model)
    , workspace_(new ComparisonWorkspace(model_, this))
{
    setObjectName(QStringLiteral("mainWindow"));
    setCentralWidget(workspace_);
    buildFileMenu();
    buildHelpMenu();
    fitScreen();
    resize(QSize(1320, 850 + menuBar()->sizeHint().height()).boundedTo(availableSize()));
    connect(&model_, &model::ComparisonModel::commandsChanged, this, &MainWindow::refreshCommands);
    connect(&model_, &model::ComparisonModel::fileChanged, this, &MainWindow::refreshTitle);
    refreshCommands();
    refreshTitle();
}

QAction* MainWindow::addCommand(QMenu* menu, const QString& name, const QString& title, const QKeySequence& shortcut)
{
    QAction* action = menu->addAction(title);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    return action;
}

void MainWindow::buildFileMenu()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    // Qt::CTRL is the Command key on macOS and Ctrl elsewhere.
    QAction* openFirst =
        addCommand(file, QStringLiteral("openFirstFileAction"), tr("Open first file…"), QKeySequence::Open);
    QAction* openSecond = addCommand(file, QStringLiteral("openSecondFileAction"), tr("Open second file…"),
                                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    file->addSeparator();
    compare_ =
        addCommand(file, QStringLiteral("compareAction"), tr("Compare files"), QKeySequence(Qt::CTRL | Qt::Key_Return));
    compare_->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    export_ = addCommand(file, QStringLiteral("exportAction"), tr("Export filtered report…"),
                         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    exportAllSheets_ = addCommand(file, QStringLiteral("exportAllSheetsAction"), tr("Export all sheets…"), {});
    file->addSeparator();
    QAction* openSetup = addCommand(file, QStringLiteral("openSetupAction"), tr("Open Setup…"), {});
    saveSetup_ = addCommand(file, QStringLiteral("saveSetupAction"), tr("Save Setup…"), {});
    file->addSeparator();
    QAction* quit = addCommand(file, QStringLiteral("quitAction"), tr("&Quit"), QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);

    connect(openFirst, &QAction::triggered, this, [this] { model_.selectFile(true); });
    connect(openSecond, &QAction::triggered, this, [this] { model_.selectFile(false); });
    connect(compare_, &QAction::triggered, this, [this] { model_.compare(); });
    connect(export_, &QAction::triggered, this, [this] { model_.exportReport(); });
    connect(exportAllSheets_, &QAction::triggered, this, [this] { model_.exportAllSheets(); });
    connect(openSetup, &QAction::triggered, this, [this] { model_.selectSetup(); });
    connect(saveSetup_, &QAction::triggered, this, [this] { model_.saveSetup(); });
    connect(quit, &QAction::triggered, qApp, &QApplication::quit, Qt::QueuedConnection);
}

void MainWindow::buildHelpMenu()
{
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    QAction* about = addCommand(help, QStringLiteral("aboutAction"), tr("About Rowlark"), {});
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);
}

void MainWindow::showAbout()
{
    auto* about = new AboutDialog(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}

void MainWindow::openFiles(const QStringList& paths)
{
    workspace_->openFiles(paths);
}

void MainWindow::refreshTitle()
{
    const auto nameOf = [](const std::optional<model::InputFile>& file) {
        return file ? std::optional<QString>(model::utf8Text(file->name)) : std::nullopt;
    };
    setWindowTitle(windowTitleNaming(nameOf(model_.left()), nameOf(model_.right())));
}

// The room a window has on its screen, its frame left out.
QSize MainWindow::availableSize() const
{
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    return screen()->availableGeometry().size().shrunkBy(frame);
}

// About 800 × 600 at the least, less on a screen that has less room (a laptop at twice the scale).
void MainWindow::fitScreen()
{
    setMinimumSize(leastSize.boundedTo(availableSize()));
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    widgets::setCompact(this, height() < compactBelowHeight);
}

// A window has its own native window, and with it its screen, once it is shown.
void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    fitScreen();
    connect(windowHandle(), &QWindow::screenChanged, this, &MainWindow::fitScreen, Qt::UniqueConnection);
}

void MainWindow::refreshCommands()
{
    compare_->setEnabled(model_.canCompare());
    export_->setEnabled(model_.canExport());
    exportAllSheets_->setEnabled(model_.canExportAllSheets());
    saveSetup_->setEnabled(model_.canSaveSetup());
}

}  // namespace rowlark::ui::shell
