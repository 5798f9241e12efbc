#include "ui/mapping/MappingView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include "ui/mapping/MappingText.h"
#include "ui/mapping/SetupNotices.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::mapping {

namespace {

constexpr int bandPadding = 20;
constexpr int bottomBarPadding = 16;

// The column headings: caption-size, semibold, secondary text on a faint tint of the text colour.
class HeadingsBand : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QColor tint = palette().color(QPalette::WindowText);
        tint.setAlphaF(0.035);
        QPainter(this).fillRect(rect(), tint);
    }
};

QLabel* headingLabel(const QString& text, const QString& name, QWidget* parent)
{
    auto* label = widgets::styledLabel(text, widgets::TextStyle::caption, true, parent);
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

QString MappingView::normalizationHelp()
{
    return tr("Normalization can hide formatting differences. Original values are kept for inspection and export.");
}

MappingView::MappingView(model::ComparisonModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    setObjectName(QStringLiteral("mappingScreen"));
    ordinaryOptions_ = new ColumnOptionsModel(model_, false, this);
    structuredOptions_ = new ColumnOptionsModel(model_, true, this);
    rows_ = new MappingListModel(model_, this);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeaderBand());
    column->addWidget(new SetupNotices(model_, this));
    column->addWidget(buildColumnHeadings());
    column->addWidget(widgets::horizontalDivider(this));
    column->addWidget(buildList(), 1);
    column->addWidget(widgets::horizontalDivider(this));
    column->addWidget(buildBottomBar());
    column->addWidget(buildKeyWarning());

    connect(&model_, &model::ComparisonModel::fileChanged, this, &MappingView::refreshFiles);
    connect(&model_, &model::ComparisonModel::mappingChanged, this, &MappingView::followMappings);
    connect(&model_, &model::ComparisonModel::mappingSearchChanged, this, &MappingView::followSearch);
    connect(&model_, &model::ComparisonModel::activityChanged, this, &MappingView::followActivity);
    refreshFiles();
    followMappings();
    followSearch();
    followActivity();
}

QWidget* MappingView::buildHeaderBand()
{
    auto* band = new QWidget(this);
    auto* title = widgets::styledLabel(tr("Match your columns"), widgets::TextStyle::title3, false, band);
    title->setObjectName(QStringLiteral("mappingTitle"));
    // A narrow window shortens the subtitle rather than cutting it off.
    auto* subtitle = new widgets::ElidedLabel(band, Qt::ElideRight);
    widgets::styleLabel(subtitle, widgets::TextStyle::caption, true);
    subtitle->setText(tr("Choose a row key to match records in any order. Checked columns are compared."));
    subtitle->setObjectName(QStringLiteral("mappingSubtitle"));
    auto* titles = new QVBoxLayout;
    titles->setSpacing(3);
    titles->addWidget(title);
    titles->addWidget(subtitle);

    search_ = new QLineEdit(band);
    search_->setObjectName(QStringLiteral("mappingSearchField"));
    search_->setPlaceholderText(tr("Find a column…"));
    search_->setAccessibleName(tr("Find a column"));
    widgets::addClearButton(search_);
    search_->addAction(widgets::symbolIcon(widgets::Symbol::search, widgets::secondaryColor(palette())),
                       QLineEdit::LeadingPosition);
    search_->setFixedWidth(200);
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) { model_.setMappingSearch(text); });

    auto* reset = new QPushButton(tr("Reset suggestions"), band);
    reset->setObjectName(QStringLiteral("resetSuggestionsButton"));
    reset->setIcon(widgets::symbolIcon(widgets::Symbol::reset, palette().color(QPalette::ButtonText)));
    widgets::makeBordered(reset, false);
    connect(reset, &QPushButton::clicked, this, [this] { model_.analyze(); });

    auto* row = new QHBoxLayout(band);
    row->setContentsMargins(bandPadding, bandPadding, bandPadding, bandPadding);
    widgets::setCompactMargins(row, {bandPadding, 8, bandPadding, 8});
    row->setSpacing(12);
    row->addLayout(titles);
    row->addStretch();
    row->addWidget(search_, 0, Qt::AlignVCenter);
    row->addWidget(reset, 0, Qt::AlignVCenter);
    return band;
}

QWidget* MappingView::buildColumnHeadings()
{
    auto* band = new HeadingsBand(this);
    band->setObjectName(QStringLiteral("mappingHeadings"));
    auto* key = headingLabel(tr("KEY"), QStringLiteral("keyHeading"), band);
    key->setFixedWidth(MappingRow::keyWidth);
    key->setAlignment(Qt::AlignCenter);
    auto* compare = headingLabel(tr("COMPARE"), QStringLiteral("compareHeading"), band);
    compare->setFixedWidth(MappingRow::compareWidth);
    compare->setAlignment(Qt::AlignCenter);
    leftHeading_ = headingLabel(QString(), QStringLiteral("leftHeading"), band);
    leftHeading_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    leftHeading_->setContentsMargins(MappingRow::leftCellLeadingPadding, 0, MappingRow::leftCellTrailingPadding, 0);
    rightHeading_ = headingLabel(QString(), QStringLiteral("rightHeading"), band);
    rightHeading_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    headings_ = new QHBoxLayout(band);
    headings_->setContentsMargins(MappingRow::horizontalPadding, 10, MappingRow::horizontalPadding, 10);
    headings_->setSpacing(0);
    headings_->addWidget(key);
    headings_->addWidget(compare);
    headings_->addWidget(leftHeading_, 1);
    headings_->addWidget(rightHeading_, 1);
    return band;
}

QWidget* MappingView::buildList()
{
    listArea_ = new QStackedWidget(this);
    listArea_->setObjectName(QStringLiteral("mappingListArea"));
    list_ = new MappingList(model_, rows_, {ordinaryOptions_, structuredOptions_}, listArea_);
    emptyText_ = widgets::styledLabel(QString(), widgets::TextStyle::callout, true, listArea_);
    emptyText_->setObjectName(QStringLiteral("mappingEmptyText"));
    emptyText_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    emptyText_->setContentsMargins(40, 40, 40, 40);
    listArea_->addWidget(list_);
    listArea_->addWidget(emptyText_);
    connect(rows_, &QAbstractItemModel::modelReset, this, &MappingView::refreshListState);
    list_->verticalScrollBar()->installEventFilter(this);
    return listArea_;
}

QWidget* MappingView::buildBottomBar()
{
    auto* bar = new QWidget(this);
    ignoreCase_ = new QCheckBox(tr("Ignore letter case"), bar);
    ignoreCase_->setObjectName(QStringLiteral("ignoreCaseBox"));
    connect(ignoreCase_, &QCheckBox::clicked, this, [this](bool checked) { model_.setIgnoreCase(checked); });

    auto* note =
        widgets::styledLabel(tr("Trims whitespace; normalizes NULL/NA, phones, booleans and US country names."),
                             widgets::TextStyle::caption, true, bar);
    note->setObjectName(QStringLiteral("normalizationNote"));
    note->setToolTip(normalizationHelp());

    includedCount_ = widgets::styledLabel(QString(), widgets::TextStyle::callout, true, bar);
    includedCount_->setObjectName(QStringLiteral("includedCount"));

    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(bottomBarPadding, bottomBarPadding, bottomBarPadding, bottomBarPadding);
    widgets::setCompactMargins(row, {bottomBarPadding, 6, bottomBarPadding, 6});
    row->setSpacing(12);
    row->addWidget(ignoreCase_);
    row->addWidget(note);
    row->addStretch();
    row->addWidget(includedCount_);
    return bar;
}

QWidget* MappingView::buildKeyWarning()
{
    keyWarning_ = new QWidget(this);
    keyWarning_->setObjectName(QStringLiteral("noKeyWarning"));
    keyWarningIcon_ = new QLabel(keyWarning_);
    auto* text = widgets::styledLabel(tr("Select at least one mapped row key before comparing."),
                                      widgets::TextStyle::callout, false, keyWarning_);
    text->setObjectName(QStringLiteral("noKeyWarningText"));
    keyWarningText_ = text;
    paintKeyWarning();

    auto* row = new QHBoxLayout(keyWarning_);
    row->setContentsMargins(bandPadding, 0, bandPadding, 12);
    row->setSpacing(6);
    row->addWidget(keyWarningIcon_, 0, Qt::AlignVCenter);
    row->addWidget(text, 0, Qt::AlignVCenter);
    row->addStretch();
    return keyWarning_;
}

// In the warning colour of the window's palette, light or dark.
void MappingView::paintKeyWarning()
{
    const QColor color = widgets::warningColor(palette());
    QPalette warning = keyWarningText_->palette();
    warning.setColor(QPalette::WindowText, color);
    keyWarningText_->setPalette(warning);
    keyWarningIcon_->setPixmap(widgets::symbolPixmap(widgets::Symbol::key, 14, color, devicePixelRatioF()));
}

void MappingView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        paintKeyWarning();
}

// The rows are narrower than the headings by the scroll bar beside them, when it shows.
bool MappingView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_->verticalScrollBar() && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        alignHeadings();
    return QWidget::eventFilter(watched, event);
}

void MappingView::alignHeadings()
{
    const QScrollBar* bar = list_->verticalScrollBar();
    const int barWidth = bar->isVisibleTo(list_) ? bar->sizeHint().width() : 0;
    headings_->setContentsMargins(MappingRow::horizontalPadding, 10, MappingRow::horizontalPadding + barWidth, 10);
}

// Suggestions only ever arrive with a new list of mappings, which the rows show afresh from the key.
void MappingView::followMappings()
{
    rows_->followMappings();
    const std::vector<records::ColumnMapping>& mappings = model_.mappings();
    const std::optional<records::UUID> first = mappings.empty() ? std::nullopt : std::optional(mappings.front().id);
    if (first && first != firstMappingShown_)
        showKeyRow();
    firstMappingShown_ = first;
    refreshMappings();
    ignoreCase_->setChecked(model_.ignoreCase());
}

void MappingView::followSearch()
{
    if (search_->text() != model_.mappingSearch())
        search_->setText(model_.mappingSearch());
    rows_->followMappings();
}

void MappingView::followActivity()
{
    setEnabled(!model_.isBusy());
    refreshListState();
}

void MappingView::refreshFiles()
{
    ordinaryOptions_->reload();
    structuredOptions_->reload();
    rows_->reload();
    leftHeading_->setText(model_.leftName());
    rightHeading_->setText(model_.rightName());
}

// A new analysis (new files, swapped files, reset suggestions) lists its mappings from the first key
// row, where reviewing starts, rather than where the last list was scrolled to.
void MappingView::showKeyRow()
{
    const std::vector<records::ColumnMapping>& mappings = model_.mappings();
    for (int row = 0; row < rows_->rowCount(); ++row) {
        const std::optional<std::size_t> position = rows_->positionAt(row);
        if (position && *position < mappings.size() && mappings[*position].isKey) {
            list_->scrollTo(rows_->index(row), QAbstractItemView::PositionAtTop);
            return;
        }
    }
    list_->scrollToTop();
}

void MappingView::refreshMappings()
{
    includedCount_->setText(includedCountText(model_));
    keyWarning_->setVisible(!hasMappedKey(model_));
}

void MappingView::refreshListState()
{
    const bool isEmpty = rows_->rowCount() == 0;
    listArea_->setCurrentWidget(isEmpty ? static_cast<QWidget*>(emptyText_) : list_);
    if (model_.isBusy())
        emptyText_->setText(tr("Analyzing columns…"));
    else if (model_.mappings().empty())
        emptyText_->setText(tr("Column matching was cancelled. Reset suggestions to run it again."));
    else
        emptyText_->setText(tr("No columns match your search."));
}

}  // namespace rowlark::ui::mapping
