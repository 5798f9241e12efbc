#include "ui/shell/FileSlot.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLocale>
#include <QPainter>
#include <QVBoxLayout>

#include "engine/workbook/FileImport.h"
#include "model/UTF8Text.h"
#include "ui/shell/DroppedFiles.h"
#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::shell {

namespace {

constexpr int spacing = 12;
constexpr int iconSize = 26;

QString pathText(const std::filesystem::path& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

bool isNumbers(const model::InputFile& file)
{
    return lowerExtension(file) == QStringLiteral("numbers");
}

// The card's main area: a flat button over its texts, as large as they are. A button takes its size
// from its own title, which this one has none of, and would clip the lines to that.
class CardArea : public QPushButton {
public:
    using QPushButton::QPushButton;

    QSize sizeHint() const override { return layout()->sizeHint(); }
    QSize minimumSizeHint() const override { return layout()->minimumSize(); }
};

}  // namespace

QString FileSlot::workbookHelp()
{
    // The limits are the importer's own; the help states them in fixed English digit groups.
    const QLocale english(QLocale::English);
    return tr("Imports cell data, not charts or layout. Numbers tables appear separately in the selector. "
              "Formulas are not recalculated; display formatting availability depends on the file "
              "format. Workbook limit: %1 MB, %2 rows, %3 columns and %4 million cells per selected "
              "sheet/table.")
        .arg(workbook::FileImport::maximumWorkbookBytes / 1048576)
        .arg(english.toString(static_cast<qlonglong>(workbook::FileImport::maximumRows)),
             english.toString(static_cast<qlonglong>(workbook::FileImport::maximumColumns)))
        .arg(workbook::FileImport::maximumCells / 1000000);
}

QString tableDetails(const table::Table& table)
{
    QString details = FileSlot::tr("%Ln row(s)", nullptr, static_cast<int>(table.rowCount())) + QStringLiteral(" · ") +
                      FileSlot::tr("%Ln column(s)", nullptr, static_cast<int>(table.columnCount()));
    if (table.derivedColumnCount() >= 1)
        details += FileSlot::tr(" · %1 from JSON").arg(table.derivedColumnCount());
    return details;
}

QString fileDetails(const model::InputFile& file)
{
    QString details = tableDetails(file.table);
    if (file.separator && *file.separator != csv::Separator::comma)
        details += QStringLiteral(" · ") + model::utf8Text(csv::title(*file.separator));
    return details;
}

QString separatorChoice(csv::Separator separator)
{
    switch (separator) {
    case csv::Separator::comma:
        return FileSlot::tr("Comma (,)");
    case csv::Separator::semicolon:
        return FileSlot::tr("Semicolon (;)");
    case csv::Separator::tab:
        return FileSlot::tr("Tab");
    case csv::Separator::pipe:
        return FileSlot::tr("Pipe (|)");
    }
    return {};
}

QString lowerExtension(const model::InputFile& file)
{
    const std::string name = file.path ? file.path->filename().string() : file.name;
    return QFileInfo(model::utf8Text(name)).suffix().toLower();
}

FileSlot::FileSlot(model::ComparisonModel& model, bool leftSide, QWidget* parent)
    : QFrame(parent)
    , model_(model)
    , leftSide_(leftSide)
{
    setObjectName(leftSide ? QStringLiteral("fileSlotA") : QStringLiteral("fileSlotB"));
    setMinimumHeight(68);
    setAcceptDrops(true);
    // A card may grow as tall as the other beside it: a row of two is only as tall as the shorter
    // of two fixed heights, which would clip the other's lines.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);

    mainArea_ = new CardArea(this);
    mainArea_->setObjectName(QStringLiteral("fileSlotButton"));
    mainArea_->setFlat(true);
    mainArea_->setCursor(Qt::PointingHandCursor);
    mainArea_->setStyleSheet(
        QStringLiteral("QPushButton { border: 2px solid transparent; border-radius: 6px; background: transparent; "
                       "text-align: left; }"
                       "QPushButton:focus { border-color: rgba(%1, %2, %3, 110); }")
            .arg(widgets::accentColor().red())
            .arg(widgets::accentColor().green())
            .arg(widgets::accentColor().blue()));
    mainArea_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    icon_ = new QLabel(mainArea_);
    icon_->setFixedSize(iconSize, iconSize);
    title_ = new widgets::ElidedLabel(mainArea_);
    title_->setObjectName(QStringLiteral("fileSlotTitle"));
    title_->setFont(widgets::styledFont(widgets::TextStyle::headline));
    details_ = new widgets::ElidedLabel(mainArea_, Qt::ElideRight);
    widgets::styleLabel(details_, widgets::TextStyle::callout, true);
    details_->setObjectName(QStringLiteral("fileSlotDetails"));
    workbookLine_ = widgets::styledLabel(QString(), widgets::TextStyle::caption, false, mainArea_);
    workbookLine_->setObjectName(QStringLiteral("fileSlotWorkbookLine"));
    workbookLine_->setToolTip(workbookHelp());

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->setContentsMargins(0, 0, 0, 0);
    texts->addWidget(title_);
    texts->addWidget(details_);
    texts->addWidget(workbookLine_);

    auto* content = new QHBoxLayout(mainArea_);
    content->setContentsMargins(0, 0, 0, 0);
    content->setSpacing(spacing);
    content->addWidget(icon_, 0, Qt::AlignVCenter);
    content->addLayout(texts, 1);
    for (QWidget* child :
         {static_cast<QWidget*>(icon_), static_cast<QWidget*>(title_), static_cast<QWidget*>(details_)})
        child->setAttribute(Qt::WA_TransparentForMouseEvents);

    sheetPicker_ = new QComboBox(this);
    sheetPicker_->setObjectName(QStringLiteral("fileSlotSheetPicker"));
    sheetPicker_->setMaximumWidth(150);
    sheetPicker_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    sheetPicker_->setMinimumContentsLength(8);

    // Beside the picker: every sheet compared with its counterpart in the other file.
    allSheets_ = new QPushButton(tr("All sheets"), this);
    allSheets_->setObjectName(QStringLiteral("fileSlotAllSheets"));
    allSheets_->setCheckable(true);
    allSheets_->setToolTip(tr("Compare every sheet with the sheet of the same name in the other file"));
    widgets::makeBordered(allSheets_, false);
    allSheets_->setStyleSheet(allSheets_->styleSheet() +
                              QStringLiteral("QPushButton:checked { background: %1; color: white; border-color: %1; }")
                                  .arg(widgets::accentColor().name()));

    // A CSV text read with the wrong separator shows one column; the user may read it with another.
    separatorPicker_ = new QComboBox(this);
    separatorPicker_->setObjectName(QStringLiteral("fileSlotSeparatorPicker"));
    separatorPicker_->setAccessibleName(tr("Separator"));
    separatorPicker_->setToolTip(tr("Read this file with another separator"));
    for (const csv::Separator separator : csv::allSeparators)
        separatorPicker_->addItem(separatorChoice(separator), static_cast<int>(separator));

    folder_ = new QLabel(this);
    folder_->setFixedSize(18, 18);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(spacing);
    row->addWidget(mainArea_, 1);
    row->addWidget(sheetPicker_, 0, Qt::AlignVCenter);
    row->addWidget(allSheets_, 0, Qt::AlignVCenter);
    row->addWidget(separatorPicker_, 0, Qt::AlignVCenter);
    row->addWidget(folder_, 0, Qt::AlignVCenter);

    connect(mainArea_, &QPushButton::clicked, this, [this] { model_.selectFile(leftSide_); });
    connect(sheetPicker_, &QComboBox::activated, this, &FileSlot::pickSheet);
    connect(separatorPicker_, &QComboBox::activated, this, &FileSlot::pickSeparator);
    connect(allSheets_, &QPushButton::clicked, this, &FileSlot::toggleAllSheets);
    // The other side decides too: both files must be workbooks of several sheets.
    connect(&model_, &model::ComparisonModel::fileChanged, this, &FileSlot::refreshAllSheets);
    connect(&model_, &model::ComparisonModel::sheetsChanged, this, &FileSlot::refreshAllSheets);
    connect(&model_, &model::ComparisonModel::fileChanged, this, [this](bool leftSide) {
        if (leftSide == leftSide_)
            refresh();
    });
    connect(&model_, &model::ComparisonModel::activityChanged, this, &FileSlot::followActivity);
    refresh();
}

const std::optional<model::InputFile>& FileSlot::file() const
{
    return leftSide_ ? model_.left() : model_.right();
}

void FileSlot::refresh()
{
    refreshIcon();
    const std::optional<model::InputFile>& side = file();
    if (!side) {
        title_->setText(leftSide_ ? tr("Choose first file…") : tr("Choose second file…"));
        details_->setText(tr("CSV, XLSX, XLS, ODS or Numbers"));
        workbookLine_->hide();
        sheetPicker_->hide();
        allSheets_->hide();
        separatorPicker_->hide();
        mainArea_->setToolTip(tr("Choose a local file"));
        mainArea_->setAccessibleName(title_->text());
        return;
    }
    title_->setText(model::utf8Text(side->name));
    details_->setText(fileDetails(*side));
    workbookLine_->setVisible(!side->sheets.empty());
    workbookLine_->setText(isNumbers(*side) ? tr("Numbers: select a table · saved values")
                                            : tr("Workbook: saved values · no formula recalculation"));
    mainArea_->setToolTip(side->path ? widgets::plainToolTip(pathText(*side->path)) : tr("Choose a local file"));
    mainArea_->setAccessibleName(title_->text());
    refreshSheets(*side);
    refreshSeparator(*side);
    // The workbook line came or went: the card's height follows its lines.
    mainArea_->updateGeometry();
}

void FileSlot::refreshIcon()
{
    const qreal ratio = devicePixelRatioF();
    icon_->setPixmap(widgets::symbolPixmap(file() ? widgets::Symbol::table : widgets::Symbol::documentAdd, iconSize,
                                           widgets::accentColor(), ratio));
    folder_->setPixmap(widgets::symbolPixmap(widgets::Symbol::folder, 18, widgets::secondaryColor(palette()), ratio));
}

void FileSlot::refreshSheets(const model::InputFile& side)
{
    sheetPicker_->setVisible(side.sheets.size() >= 2);
    sheetPicker_->setAccessibleName(isNumbers(side) ? tr("Table") : tr("Sheet"));
    sheetPicker_->clear();
    for (const workbook::SheetEntry& sheet : side.sheets) {
        sheetPicker_->addItem(model::utf8Text(sheet.name));
        sheetPicker_->setItemData(sheetPicker_->count() - 1, widgets::plainToolTip(model::utf8Text(sheet.name)),
                                  Qt::ToolTipRole);
    }
    showLoadedChoices();
}

void FileSlot::refreshSeparator(const model::InputFile& side)
{
    separatorPicker_->setVisible(side.separator && side.path);
    showLoadedChoices();
}

// The pickers show what the side was read with.
void FileSlot::showLoadedChoices()
{
    const std::optional<model::InputFile>& side = file();
    const bool hasSheet = side && side->sheet;
    sheetPicker_->setCurrentIndex(hasSheet ? sheetPicker_->findText(model::utf8Text(*side->sheet), Qt::MatchExactly)
                                           : -1);
    // A name longer than the picker is cut there; the tooltip holds it whole.
    sheetPicker_->setToolTip(hasSheet ? widgets::plainToolTip(model::utf8Text(*side->sheet)) : QString());
    const bool hasSeparator = side && side->separator;
    separatorPicker_->setCurrentIndex(hasSeparator ? separatorPicker_->findData(static_cast<int>(*side->separator))
                                                   : -1);
}

// Offered where both files are workbooks of two sheets or more; checked while every pair is shown.
void FileSlot::refreshAllSheets()
{
    const std::optional<model::InputFile>& other = leftSide_ ? model_.right() : model_.left();
    const std::optional<model::InputFile>& side = file();
    allSheets_->setVisible(side && other && side->path && other->path && side->sheets.size() >= 2 &&
                           other->sheets.size() >= 2);
    allSheets_->setChecked(model_.isAllSheets() || (model_.isBusy() && model_.operation() == allSheetsRun_));
}

// Checking compares every pair; unchecking keeps the pair shown as a comparison of one sheet each.
void FileSlot::toggleAllSheets(bool isChecked)
{
    if (isChecked) {
        model_.compareAllSheets();
        allSheetsRun_ = model_.operation();
    } else {
        model_.showOneSheet();
    }
    refreshAllSheets();
}

// An operation ended or gave way to another without replacing the side (a reload failed, was
// cancelled or was superseded): a sheet picked for it is not the sheet loaded.
void FileSlot::followActivity()
{
    if (!model_.isBusy() || model_.operation() != reload_)
        showLoadedChoices();
    refreshAllSheets();
}

// Starting a reload ends whatever operation ran, and that end put the loaded choices back; the
// picked one stays shown while its reload runs. A side without a file location reloads nothing.
void FileSlot::pickSheet(int position)
{
    if (position >= 0 && startReload(sheetPicker_->itemText(position), std::nullopt))
        sheetPicker_->setCurrentIndex(position);
    else
        showLoadedChoices();
}

void FileSlot::pickSeparator(int position)
{
    const auto separator = static_cast<csv::Separator>(separatorPicker_->itemData(position).toInt());
    if (position >= 0 && startReload(std::nullopt, separator))
        separatorPicker_->setCurrentIndex(position);
    else
        showLoadedChoices();
}

bool FileSlot::startReload(const std::optional<QString>& sheet, std::optional<csv::Separator> separator)
{
    const std::optional<model::InputFile>& side = file();
    if (!side || !side->path)
        return false;
    model_.load(pathText(*side->path), leftSide_, sheet, separator);
    reload_ = model_.operation();
    return true;
}

void FileSlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor outline = palette().color(QPalette::WindowText);
    outline.setAlphaF(0.12);
    painter.setPen(QPen(outline, 1));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}

void FileSlot::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refreshIcon();
}

void FileSlot::dragEnterEvent(QDragEnterEvent* event)
{
    if (!localFilePaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

// A dropped file is read exactly as one chosen in the open dialog.
void FileSlot::dropEvent(QDropEvent* event)
{
    const QStringList paths = localFilePaths(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    if (isSetupFile(paths.constFirst()))
        model_.openSetup(paths.constFirst());
    else
        model_.load(paths.constFirst(), leftSide_);
}

}  // namespace rowlark::ui::shell
