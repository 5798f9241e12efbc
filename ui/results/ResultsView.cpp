#include "ui/results/ResultsView.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QShortcut>
#include <QVBoxLayout>

#include "ui/results/ColumnChangesPanel.h"
#include "ui/results/ResultCounter.h"
#include "ui/results/ResultPageModel.h"
#include "ui/results/ResultRowDelegate.h"
#include "ui/results/ResultTexts.h"
#include "ui/results/RowInspector.h"
#include "ui/results/SheetList.h"
#include "ui/widgets/ContentPlaceholder.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::results {

namespace {

constexpr int margin = 20;
constexpr int listMinimumWidth = 300;
constexpr int listDefaultWidth = 480;
constexpr int paneMinimumWidth = 260;
constexpr int paneDefaultWidth = 350;
constexpr qsizetype columnChipLength = 40;

const QKeySequence previousPageKeys(Qt::CTRL | Qt::Key_PageUp);
const QKeySequence nextPageKeys(Qt::CTRL | Qt::Key_PageDown);

std::int64_t groupSize(const rowlark::results::ResultIndex* index, records::ResultFilter filter)
{
    return index ? static_cast<std::int64_t>(index->positions(filter).size()) : 0;
}

void paintText(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

QString withShortcut(const QString& tip, const QKeySequence& keys)
{
    return QStringLiteral("%1 (%2)").arg(tip, keys.toString(QKeySequence::NativeText));
}

}  // namespace

ResultsView::ResultsView(model::ComparisonModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    setObjectName(QStringLiteral("resultsScreen"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // Above the results of the chosen pair of sheets, the sheets to choose from.
    sheets_ = new QWidget(this);
    sheetList_ = new SheetList(model_, sheets_);
    auto* exportAll = new QPushButton(tr("Export all sheets…"), sheets_);
    exportAll->setObjectName(QStringLiteral("exportAllSheetsButton"));
    exportAll->setToolTip(tr("One Excel workbook: a Summary sheet, then a worksheet for each pair"));
    widgets::makeBordered(exportAll, false);
    connect(exportAll, &QPushButton::clicked, this, [this] { model_.exportAllSheets(); });
    connect(&model_, &model::ComparisonModel::commandsChanged, exportAll,
            [this, exportAll] { exportAll->setEnabled(model_.canExportAllSheets()); });
    auto* sheetsRow = new QHBoxLayout(sheets_);
    sheetsRow->setContentsMargins(margin, 12, margin, 2);
    widgets::setCompactMargins(sheetsRow, {margin, 6, margin, 0});
    sheetsRow->addWidget(sheetList_, 1);
    sheetsRow->addWidget(exportAll, 0, Qt::AlignTop);
    column->addWidget(sheets_);
    column->addWidget(buildSummaryBar());
    column->addWidget(buildFilterBar());
    column->addWidget(buildWarning(QStringLiteral("keyWarning"), widgets::Symbol::key, true, keyWarningText_));
    keyWarning_ = keyWarningText_->parentWidget();
    column->addWidget(
        buildWarning(QStringLiteral("ambiguityWarning"), widgets::Symbol::warning, true, ambiguityWarningText_));
    ambiguityWarning_ = ambiguityWarningText_->parentWidget();
    column->addWidget(
        buildWarning(QStringLiteral("columnsInOneFile"), widgets::Symbol::info, false, columnsInOneFileText_));
    columnsInOneFile_ = columnsInOneFileText_->parentWidget();
    column->addSpacing(6);
    column->addWidget(widgets::horizontalDivider(this));
    column->addWidget(buildBody(), 1);

    connect(&model_, &model::ComparisonModel::fileChanged, this, &ResultsView::followResult);
    connect(&model_, &model::ComparisonModel::resultChanged, this, &ResultsView::followResult);
    connect(&model_, &model::ComparisonModel::filterChanged, this, &ResultsView::followFilter);
    connect(&model_, &model::ComparisonModel::pageChanged, this, &ResultsView::followPage);
    connect(&model_, &model::ComparisonModel::selectedRowChanged, this, &ResultsView::followSelectedRow);
    connect(&model_, &model::ComparisonModel::sheetsChanged, this, &ResultsView::refreshSheets);
    followResult();
    refreshSheets();
}

void ResultsView::focusList()
{
    list_->setFocus(Qt::OtherFocusReason);
}

QWidget* ResultsView::buildSummaryBar()
{
    auto* bar = new QWidget(this);
    matching_ = new ResultCounter(widgets::greenColor(), bar);
    matching_->setObjectName(QStringLiteral("matchingCounter"));
    changed_ = new ResultCounter(widgets::orangeColor(), bar);
    changed_->setObjectName(QStringLiteral("changedCounter"));
    onlyLeft_ = new ResultCounter(widgets::redColor(), bar);
    onlyLeft_->setObjectName(QStringLiteral("onlyLeftCounter"));
    onlyRight_ = new ResultCounter(widgets::accentColor(), bar);
    onlyRight_->setObjectName(QStringLiteral("onlyRightCounter"));
    // Only the counters that carry a file name give way when the names are long.
    for (ResultCounter* counter : {matching_, changed_})
        counter->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);

    search_ = new QLineEdit(bar);
    search_->setObjectName(QStringLiteral("resultSearchField"));
    search_->setPlaceholderText(tr("Search keys and values…"));
    search_->setAccessibleName(tr("Search keys and values"));
    search_->setFixedWidth(240);
    widgets::addClearButton(search_);
    search_->addAction(widgets::symbolIcon(widgets::Symbol::search, widgets::secondaryColor(palette())),
                       QLineEdit::LeadingPosition);
    search_->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid palette(mid); border-radius: 7px; "
                                          "padding: 4px 4px; background: palette(base); }"
                                          "QLineEdit:focus { border: 2px solid %1; padding: 3px 3px; }")
                               .arg(widgets::accentColor().name()));
    // Every change counts, the clear button's too; the model's own query coming back is not an edit.
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text != model_.query())
            model_.setQuery(text);
    });

    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(margin, 14, margin, 10);
    widgets::setCompactMargins(row, {margin, 6, margin, 4});
    row->setSpacing(28);
    for (ResultCounter* counter : {matching_, changed_, onlyLeft_, onlyRight_})
        row->addWidget(counter, 0, Qt::AlignVCenter);
    row->addStretch();
    row->addWidget(search_, 0, Qt::AlignVCenter);
    return bar;
}

QWidget* ResultsView::buildFilterBar()
{
    auto* bar = new QWidget(this);
    auto* show = new QLabel(tr("Show"), bar);
    filterPicker_ = new QComboBox(bar);
    filterPicker_->setObjectName(QStringLiteral("resultFilterPicker"));
    filterPicker_->setAccessibleName(tr("Show"));
    filterPicker_->setMaximumWidth(480);
    filterPicker_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    filterPicker_->setMinimumContentsLength(14);
    show->setBuddy(filterPicker_);
    for (std::size_t i = 0; i < records::allResultFilters.size(); ++i)
        filterPicker_->addItem(QString());
    connect(filterPicker_, &QComboBox::activated, this, [this](int choice) {
        const records::ResultFilter filter = records::allResultFilters.at(static_cast<std::size_t>(choice));
        if (filter != model_.filter())
            model_.setFilter(filter);
    });

    filtering_ = new QProgressBar(bar);
    filtering_->setObjectName(QStringLiteral("filteringIndicator"));
    filtering_->setAccessibleName(tr("Filtering"));
    filtering_->setRange(0, 0);
    filtering_->setTextVisible(false);
    filtering_->setFixedSize(32, 6);
    QSizePolicy keepsRoom = filtering_->sizePolicy();
    keepsRoom.setRetainSizeWhenHidden(true);
    filtering_->setSizePolicy(keepsRoom);

    resultCount_ = widgets::styledLabel(QString(), widgets::TextStyle::callout, true, bar);
    resultCount_->setObjectName(QStringLiteral("resultCount"));

    // The column the list is narrowed to; a click on it shows every column again.
    changedColumn_ = new QPushButton(bar);
    changedColumn_->setObjectName(QStringLiteral("changedColumnChip"));
    changedColumn_->setToolTip(tr("Show the records of every column"));
    changedColumn_->setCursor(Qt::PointingHandCursor);
    QColor chipFill = widgets::accentColor();
    chipFill.setAlphaF(0.16);
    changedColumn_->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: palette(window-text); border: 1px solid transparent; "
                       "border-radius: 10px; padding: 2px 10px; }"
                       "QPushButton:hover { border-color: %2; }"
                       "QPushButton:focus { border: 2px solid %2; padding: 1px 9px; }")
            .arg(chipFill.name(QColor::HexArgb), widgets::accentColor().name()));
    connect(changedColumn_, &QPushButton::clicked, this, [this] { model_.setChangedColumn(std::nullopt); });

    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(margin, 0, margin, 10);
    widgets::setCompactMargins(row, {margin, 0, margin, 4});
    row->setSpacing(10);
    row->addWidget(show);
    row->addWidget(filterPicker_);
    row->addSpacing(4);
    row->addWidget(filtering_, 0, Qt::AlignVCenter);
    row->addWidget(resultCount_);
    row->addWidget(changedColumn_);
    row->addStretch();
    return bar;
}

// A line of the warning colour, or of the secondary colour when it only informs.
QWidget* ResultsView::buildWarning(const QString& name, widgets::Symbol symbol, bool isWarning, QLabel*& text)
{
    auto* line = new QWidget(this);
    line->setObjectName(name);
    text = widgets::styledLabel(QString(), widgets::TextStyle::callout, false, line);
    text->setObjectName(name + QStringLiteral("Text"));
    text->setWordWrap(true);
    auto* icon = new QLabel(line);
    warningLines_.push_back({icon, text, symbol, isWarning});
    paintWarning(warningLines_.back());

    auto* row = new QHBoxLayout(line);
    row->setContentsMargins(margin, 0, margin, 6);
    row->setSpacing(8);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(text, 1);
    return line;
}

void ResultsView::paintWarning(const WarningLine& line)
{
    const QColor color = line.isWarning ? widgets::warningColor(palette()) : widgets::secondaryColor(palette());
    paintText(line.text, color);
    line.icon->setPixmap(widgets::symbolPixmap(line.symbol, 14, color, devicePixelRatioF()));
}

// The warnings keep their contrast when the window turns light or dark.
void ResultsView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        for (const WarningLine& line : warningLines_)
            paintWarning(line);
}

// The changes by column beside the list, outside the content's placeholders: a column chosen there
// stays in view, to choose another or show every column again, even when nothing matches.
QWidget* ResultsView::buildBody()
{
    auto* body = new QWidget(this);
    auto* row = new QHBoxLayout(body);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(new ColumnChangesPanel(model_, body));
    row->addWidget(buildContent(), 1);
    return body;
}

QWidget* ResultsView::buildContent()
{
    content_ = new QStackedWidget(this);
    content_->setObjectName(QStringLiteral("resultsContent"));
    noDifferences_ = new widgets::ContentPlaceholder(
        widgets::Symbol::checkmarkCircle, tr("No differences in the compared columns"),
        tr("All matched records agree under your selected normalization rules. Unchecked and "
           "unmapped columns were not compared."),
        content_);
    noDifferences_->setObjectName(QStringLiteral("noDifferencesPlaceholder"));
    noResults_ = new widgets::ContentPlaceholder(widgets::Symbol::search, QString(), QString(), content_);
    noResults_->setObjectName(QStringLiteral("noResultsPlaceholder"));
    pairNotCompared_ = new widgets::ContentPlaceholder(widgets::Symbol::warning, QString(), QString(), content_);
    pairNotCompared_->setObjectName(QStringLiteral("pairNotComparedPlaceholder"));

    // The inspector beside the list takes the width the list does not need, and the user may narrow
    // it; where the two do not fit side by side, it goes below the list.
    split_ = new QSplitter(Qt::Horizontal, content_);
    split_->setObjectName(QStringLiteral("resultsSplit"));
    split_->setChildrenCollapsible(false);
    split_->setHandleWidth(3);
    split_->setStyleSheet(QStringLiteral("QSplitter::handle { background: palette(midlight); }"));
    split_->addWidget(buildResultList());
    split_->addWidget(buildInspectorPane());
    split_->setStretchFactor(0, 0);
    split_->setStretchFactor(1, 1);
    split_->setSizes({listDefaultWidth, paneDefaultWidth});
    split_->installEventFilter(this);

    content_->addWidget(noDifferences_);
    content_->addWidget(noResults_);
    content_->addWidget(pairNotCompared_);
    content_->addWidget(split_);
    return content_;
}

QWidget* ResultsView::buildResultList()
{
    auto* side = new QWidget(split_);
    side->setMinimumWidth(listMinimumWidth);
    page_ = new ResultPageModel(this);
    list_ = new QListView;
    list_->setObjectName(QStringLiteral("resultList"));
    list_->setAccessibleName(tr("Results"));
    list_->setModel(page_);
    list_->setItemDelegate(new ResultRowDelegate(list_));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Rows shorten their lines to the list's width, which a narrower window only narrows.
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setUniformItemSizes(false);
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { selectRow(current); });

    // The rows sit inset on the list's background, clear of the dividers around it.
    auto* well = new QWidget(side);
    well->setAutoFillBackground(true);
    well->setBackgroundRole(QPalette::Base);
    auto* inset = new QVBoxLayout(well);
    inset->setContentsMargins(9, 6, 4, 6);
    inset->addWidget(list_);

    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(well, 1);
    column->addWidget(widgets::horizontalDivider(side));
    column->addWidget(buildPagingBar());
    return side;
}

QWidget* ResultsView::buildPagingBar()
{
    auto* bar = new QWidget(this);
    previous_ = new QPushButton(
        widgets::symbolIcon(widgets::Symbol::chevronLeft, palette().color(QPalette::ButtonText)), tr("Previous"), bar);
    previous_->setObjectName(QStringLiteral("previousPageButton"));
    previous_->setToolTip(withShortcut(tr("Previous page"), previousPageKeys));
    next_ = new QPushButton(widgets::symbolIcon(widgets::Symbol::chevronRight, palette().color(QPalette::ButtonText)),
                            tr("Next"), bar);
    next_->setObjectName(QStringLiteral("nextPageButton"));
    next_->setToolTip(withShortcut(tr("Next page"), nextPageKeys));
    // The chevron points the way the button pages, so it sits after the title.
    next_->setLayoutDirection(Qt::RightToLeft);
    for (QPushButton* button : {previous_, next_})
        widgets::makeBordered(button, false);
    pageLabel_ = new QLabel(bar);
    pageLabel_->setObjectName(QStringLiteral("pageLabel"));

    connect(previous_, &QPushButton::clicked, this, [this] { model_.changePage(-1); });
    connect(next_, &QPushButton::clicked, this, [this] { model_.changePage(+1); });
    auto* previousKeys = new QShortcut(previousPageKeys, this);
    previousKeys->setContext(Qt::WidgetWithChildrenShortcut);
    connect(previousKeys, &QShortcut::activated, previous_, &QPushButton::click);
    auto* nextKeys = new QShortcut(nextPageKeys, this);
    nextKeys->setContext(Qt::WidgetWithChildrenShortcut);
    connect(nextKeys, &QShortcut::activated, next_, &QPushButton::click);

    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(12, 12, 12, 12);
    widgets::setCompactMargins(row, {12, 4, 12, 4});
    row->addWidget(previous_);
    row->addStretch();
    row->addWidget(pageLabel_);
    row->addStretch();
    row->addWidget(next_);
    return bar;
}

QWidget* ResultsView::buildInspectorPane()
{
    inspectorPane_ = new QStackedWidget(split_);
    inspectorPane_->setObjectName(QStringLiteral("inspectorPane"));
    inspectorPane_->setMinimumWidth(paneMinimumWidth);
    selectRecord_ = new widgets::ContentPlaceholder(widgets::Symbol::sidebar, tr("Select a record"),
                                                    tr("Full values appear here, without clipping."), inspectorPane_);
    selectRecord_->setObjectName(QStringLiteral("selectRecordPlaceholder"));
    inspectorPane_->addWidget(selectRecord_);
    return inspectorPane_;
}

bool ResultsView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == split_ && event->type() == QEvent::Resize)
        placeInspector();
    return QWidget::eventFilter(watched, event);
}

void ResultsView::placeInspector()
{
    const bool isBeside = split_->width() >= listMinimumWidth + paneDefaultWidth;
    const Qt::Orientation orientation = isBeside ? Qt::Horizontal : Qt::Vertical;
    if (split_->orientation() == orientation)
        return;
    split_->setOrientation(orientation);
    split_->setStretchFactor(0, isBeside ? 0 : 1);
    if (isBeside)
        split_->setSizes({listDefaultWidth, split_->width() - listDefaultWidth});
    else
        split_->setSizes({split_->height() / 2, split_->height() - split_->height() / 2});
}

void ResultsView::followResult()
{
    refreshCounters();
    refreshFilterPicker();
    refreshWarnings();
    refreshPage();
    refreshInspector();
    refreshContent();
}

// The list keeps its page, and so its scroll position, until the filter run delivers a new one.
void ResultsView::followFilter()
{
    refreshFilterPicker();
    refreshSearch();
    refreshFilterStatus();
    refreshContent();
}

void ResultsView::followPage()
{
    refreshPage();
    refreshContent();
}

void ResultsView::followSelectedRow()
{
    refreshListSelection();
    refreshInspector();
    refreshContent();
}

void ResultsView::refreshCounters()
{
    const records::ComparisonSummary* summary = model_.summary().get();
    const rowlark::results::ResultIndex* index = model_.index().get();
    matching_->setCount(summary ? summary->matchingRows : 0, tr("Matching"));
    changed_->setCount(groupSize(index, records::ResultFilter::changed), tr("Changed"));
    onlyLeft_->setCount(groupSize(index, records::ResultFilter::onlyLeft), onlyIn(model_.leftName()));
    onlyRight_->setCount(groupSize(index, records::ResultFilter::onlyRight), onlyIn(model_.rightName()));
}

void ResultsView::refreshFilterPicker()
{
    const std::string leftName = model_.leftName().toStdString();
    const std::string rightName = model_.rightName().toStdString();
    for (std::size_t i = 0; i < records::allResultFilters.size(); ++i)
        filterPicker_->setItemText(static_cast<int>(i),
                                   QString::fromStdString(title(records::allResultFilters[i], leftName, rightName)));
    const auto chosen = std::find(records::allResultFilters.begin(), records::allResultFilters.end(), model_.filter());
    filterPicker_->setCurrentIndex(static_cast<int>(chosen - records::allResultFilters.begin()));
}

void ResultsView::refreshSearch()
{
    if (search_->text() != model_.query())
        search_->setText(model_.query());
}

void ResultsView::refreshFilterStatus()
{
    filtering_->setVisible(model_.isFiltering());
    const auto count = static_cast<qint64>(model_.filteredIndices().size());
    resultCount_->setText(tr("%Ln result(s)", nullptr, static_cast<int>(count)));
    refreshChangedColumn();
}

void ResultsView::refreshChangedColumn()
{
    const records::ComparisonSummary* summary = model_.summary().get();
    const std::optional<std::size_t>& column = model_.changedColumn();
    const bool isNarrowed = summary && column && *column < summary->columns.size();
    changedColumn_->setVisible(isNarrowed);
    if (!isNarrowed)
        return;
    const records::ColumnChanges& changes = summary->columns[*column];
    const QString header =
        widgets::shortenedText(records::columnName(changes.leftHeader, changes.leftIndex), columnChipLength)
            .simplified();
    changedColumn_->setText(tr("Changed in %1  \u2715").arg(header));
    changedColumn_->setAccessibleName(tr("Changed in %1. Show the records of every column").arg(header));
}

void ResultsView::refreshWarnings()
{
    keyWarningText_->setText(model_.keyWarning());
    keyWarning_->setVisible(!model_.keyWarning().isEmpty());
    const records::ComparisonSummary* summary = model_.summary().get();
    const std::int64_t ambiguous = summary ? summary->ambiguousDuplicateKeyGroups : 0;
    ambiguityWarningText_->setText(
        tr("%n duplicate-key group(s) have ambiguous pairings. Review them or add another key column.", nullptr,
           static_cast<int>(ambiguous)));
    ambiguityWarning_->setVisible(ambiguous >= 1);
    // A dropped or added column is never silent.
    QStringList inOneFile;
    if (summary)
        for (const QString& line : {columnsOnlyIn(model_.leftName(), summary->leftOnlyColumns),
                                    columnsOnlyIn(model_.rightName(), summary->rightOnlyColumns)})
            if (!line.isEmpty())
                inOneFile << line;
    columnsInOneFileText_->setText(inOneFile.join(QLatin1Char('\n')));
    columnsInOneFile_->setVisible(!inOneFile.isEmpty());
}

std::int64_t ResultsView::pageCount() const
{
    const auto count = static_cast<std::int64_t>(model_.filteredIndices().size());
    return std::max<std::int64_t>(1, (count + model::ComparisonModel::pageSize - 1) / model::ComparisonModel::pageSize);
}

void ResultsView::refreshPage()
{
    const std::vector<std::size_t> positions = rowlark::results::ResultIndex::page(
        model_.filteredIndices(), model_.pageNumber(), model::ComparisonModel::pageSize);
    page_->setPage(model_.summary(), positions, model_.leftName(), model_.rightName());
    list_->scrollToTop();
    refreshListSelection();

    const std::int64_t pages = pageCount();
    pageLabel_->setText(tr("Page %1 of %2").arg(model_.pageNumber() + 1).arg(pages));
    previous_->setEnabled(model_.pageNumber() > 0);
    next_->setEnabled(model_.pageNumber() + 1 < pages);
    refreshFilterStatus();
}

void ResultsView::refreshListSelection()
{
    const std::optional<records::UUID>& id = model_.selectedRowID();
    const std::optional<int> row = id ? page_->rowOf(*id) : std::nullopt;
    QItemSelectionModel* selection = list_->selectionModel();
    if (!row) {
        selection->clear();
        return;
    }
    const QModelIndex index = page_->index(*row);
    if (selection->currentIndex() != index || !selection->isSelected(index))
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    list_->scrollTo(index);
}

void ResultsView::selectRow(const QModelIndex& current)
{
    if (current.isValid())
        model_.setSelectedRowID(page_->difference(current.row()).id);
}

const records::RowDifference* ResultsView::selectedDifference() const
{
    const std::optional<records::UUID>& id = model_.selectedRowID();
    const records::ComparisonSummary* summary = model_.summary().get();
    if (!id || !summary)
        return nullptr;
    // The record usually sits on the page in view; a filter or page change may have taken it away.
    if (const std::optional<int> row = page_->rowOf(*id))
        return &page_->difference(*row);
    for (const records::RowDifference& difference : summary->differences)
        if (difference.id == *id)
            return &difference;
    return nullptr;
}

void ResultsView::refreshInspector()
{
    const records::RowDifference* difference = selectedDifference();
    if (inspector_ && difference && inspector_->row().id == difference->id)
        return;
    if (inspector_) {
        delete inspector_;
        inspector_ = nullptr;
    }
    if (!difference) {
        inspectorPane_->setCurrentWidget(selectRecord_);
        return;
    }
    inspector_ = new RowInspector(model_, *difference, inspectorPane_);
    inspectorPane_->addWidget(inspector_);
    inspectorPane_->setCurrentWidget(inspector_);
    placeAfterPagingBar(inspector_);
}

// A new widget joins the end of the window's focus chain, after the status bar; Tab should reach the
// inspector beside the list right after the list's paging bar.
void ResultsView::placeAfterPagingBar(QWidget* pane)
{
    QList<QWidget*> controls;
    for (QWidget* control = pane->nextInFocusChain(); pane->isAncestorOf(control);
         control = control->nextInFocusChain())
        if (control->focusPolicy() & Qt::TabFocus)
            controls.append(control);
    QWidget* previous = next_;
    for (QWidget* control : controls) {
        setTabOrder(previous, control);
        previous = control;
    }
}

void ResultsView::refreshSheets()
{
    sheets_->setVisible(model_.isAllSheets());
    refreshContent();
}

// The problem of the pair of sheets shown, or that it waits to be compared again.
void ResultsView::showPairNotCompared()
{
    QString problem;
    for (const model::SheetListEntry& entry : model_.sheetList())
        if (entry.pair && entry.pair == model_.chosenPair())
            problem = entry.problem;
    if (!model_.chosenPair()) {
        pairNotCompared_->setTitle(tr("No sheets to compare"));
        pairNotCompared_->setDescription(tr("No sheet of one file has a counterpart in the other."));
    } else if (problem.isEmpty()) {
        pairNotCompared_->setTitle(tr("Not compared since the mapping changed"));
        pairNotCompared_->setDescription(tr("Compare files to see the results of these sheets."));
    } else {
        pairNotCompared_->setTitle(tr("These sheets were not compared"));
        pairNotCompared_->setDescription(widgets::boundedText(problem));
    }
    content_->setCurrentWidget(pairNotCompared_);
}

void ResultsView::refreshContent()
{
    const records::ComparisonSummary* summary = model_.summary().get();
    if (!summary && model_.isAllSheets()) {
        showPairNotCompared();
    } else if (summary && summary->differences.empty()) {
        content_->setCurrentWidget(noDifferences_);
    } else if (model_.filteredIndices().empty() && !model_.isFiltering()) {
        const QString query = model_.query().trimmed();
        noResults_->setTitle(query.isEmpty() ? tr("No results")
                                             : tr("No results for “%1”").arg(widgets::boundedText(query)));
        noResults_->setDescription(query.isEmpty() ? tr("No records match this filter.")
                                                   : tr("Check the spelling or try a new search."));
        content_->setCurrentWidget(noResults_);
    } else {
        content_->setCurrentWidget(split_);
    }
}

}  // namespace rowlark::ui::results
