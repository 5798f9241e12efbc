#include "ui/mapping/MappingRow.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "engine/results/RuleTexts.h"
#include "model/UTF8Text.h"
#include "ui/mapping/MappingText.h"
#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::mapping {

namespace {

constexpr int verticalPadding = 13;
constexpr int leftCellSpacing = 5;
constexpr int rightCellSpacing = 8;
constexpr int captionIconSize = 12;

// A box centred in a column of fixed width, as the column headings above are.
QWidget* centredCell(QCheckBox* box, int width, QWidget* parent)
{
    auto* cell = new QWidget(parent);
    cell->setFixedWidth(width);
    auto* layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(box, 0, Qt::AlignHCenter | Qt::AlignTop);
    return cell;
}

// A capsule in the accent colour: an action on the column's values, apart from the suggestion chips.
QString proposalChipStyle()
{
    const QColor accent = widgets::accentColor();
    return QStringLiteral("QPushButton { border: 1px solid rgba(%1, %2, %3, 110); border-radius: 10px; "
                          "padding: 3px 9px; color: %4; background: rgba(%1, %2, %3, 24); }"
                          "QPushButton:hover { background: rgba(%1, %2, %3, 44); }"
                          "QPushButton:focus { border: 2px solid %4; }")
        .arg(accent.red())
        .arg(accent.green())
        .arg(accent.blue())
        .arg(accent.name());
}

int comboHeight()
{
    QComboBox combo;
    combo.addItem(ColumnOptionsModel::notMapped());
    return combo.sizeHint().height();
}

}  // namespace

MappingRow::MappingRow(model::ComparisonModel& model, ColumnChoices choices, QWidget* parent)
    : QWidget(parent)
    , model_(model)
    , choices_(choices)
{
    setObjectName(QStringLiteral("mappingRow"));

    keyBox_ = new QCheckBox(this);
    keyBox_->setObjectName(QStringLiteral("keyBox"));
    compareBox_ = new QCheckBox(this);
    compareBox_->setObjectName(QStringLiteral("compareBox"));

    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding + 1);
    line->setSpacing(0);
    line->addWidget(centredCell(keyBox_, keyWidth, this), 0, Qt::AlignTop);
    line->addWidget(centredCell(compareBox_, compareWidth, this), 0, Qt::AlignTop);
    line->addWidget(buildLeftCell(), 1, Qt::AlignTop);
    line->addWidget(buildRightCell(), 1, Qt::AlignTop);

    connect(keyBox_, &QCheckBox::clicked, this, &MappingRow::changeKey);
    connect(compareBox_, &QCheckBox::clicked, this, &MappingRow::changeIncluded);
    connect(picker_, &QComboBox::activated, this, &MappingRow::pickEntry);
}

QWidget* MappingRow::buildLeftCell()
{
    auto* cell = new QWidget(this);
    cell->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    name_ = new QLabel(cell);
    name_->setObjectName(QStringLiteral("leftName"));
    name_->setTextFormat(Qt::PlainText);
    // The name can be reached with Tab, selected with the keyboard and copied like any text.
    name_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    name_->setFocusPolicy(Qt::StrongFocus);
    name_->installEventFilter(this);
    name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    jsonCaption_ = new QWidget(cell);
    jsonCaption_->setObjectName(QStringLiteral("jsonCaption"));
    auto* braces = new QLabel(jsonCaption_);
    braces->setObjectName(QStringLiteral("jsonCaptionIcon"));
    braces->setPixmap(widgets::symbolPixmap(widgets::Symbol::braces, captionIconSize,
                                            widgets::secondaryColor(palette()), devicePixelRatioF()));
    auto* jsonText =
        widgets::styledLabel(tr("JSON object · map its fields below"), widgets::TextStyle::caption, true, jsonCaption_);
    jsonText->setObjectName(QStringLiteral("jsonCaptionText"));
    auto* jsonLine = new QHBoxLayout(jsonCaption_);
    jsonLine->setContentsMargins(0, 0, 0, 0);
    jsonLine->setSpacing(4);
    jsonLine->addWidget(braces);
    jsonLine->addWidget(jsonText);
    jsonLine->addStretch();

    derivedCaption_ = widgets::styledLabel(tr("Extracted from JSON"), widgets::TextStyle::caption, true, cell);
    derivedCaption_->setObjectName(QStringLiteral("derivedCaption"));

    proposalChip_ = new QPushButton(cell);
    proposalChip_->setObjectName(QStringLiteral("proposalChip"));
    proposalChip_->setCursor(Qt::PointingHandCursor);
    proposalChip_->setFont(widgets::emphasizedFont(widgets::TextStyle::caption));
    proposalChip_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    proposalChip_->setStyleSheet(proposalChipStyle());
    proposalChip_->hide();
    connect(proposalChip_, &QPushButton::clicked, this, &MappingRow::takeProposedRule);

    auto* stack = new QVBoxLayout(cell);
    stack->setContentsMargins(leftCellLeadingPadding, 0, leftCellTrailingPadding, 0);
    stack->setSpacing(leftCellSpacing);
    stack->addWidget(name_);
    stack->addWidget(jsonCaption_);
    stack->addWidget(derivedCaption_);
    stack->addWidget(proposalChip_, 0, Qt::AlignLeft);
    return cell;
}

QWidget* MappingRow::buildRightCell()
{
    auto* cell = new QWidget(this);
    cell->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    chipStrip_ = new QWidget(cell);
    chipStrip_->setObjectName(QStringLiteral("chipStrip"));
    chipStrip_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* strip = new QHBoxLayout(chipStrip_);
    strip->setContentsMargins(0, 0, 0, 0);
    strip->setSpacing(chipSpacing);
    for (std::size_t chip = 0; chip < chips_.size(); ++chip) {
        chips_[chip] = new widgets::SuggestionChip(chipStrip_);
        strip->addWidget(chips_[chip]);
        connect(chips_[chip], &widgets::SuggestionChip::clicked, this, [this, chip] { pickChip(chip); });
    }
    strip->addStretch();
    chipStrip_->installEventFilter(this);

    picker_ = new QComboBox(cell);
    picker_->setObjectName(QStringLiteral("matchPicker"));
    // Measuring every entry of a wide file would cost more than the whole row.
    picker_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    picker_->setMinimumContentsLength(12);
    picker_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    picker_->setMaxVisibleItems(16);
    // Some platforms name a drop-down list by its entry and announce what it is for through the label
    // whose buddy it is: a label that is never shown serves them.
    pickerLabel_ = new QLabel(cell);
    pickerLabel_->setObjectName(QStringLiteral("matchPickerLabel"));
    pickerLabel_->setTextFormat(Qt::PlainText);
    pickerLabel_->setBuddy(picker_);
    pickerLabel_->hide();

    ruleButton_ = new RuleButton(cell);
    connect(ruleButton_, &RuleButton::ruleChosen, this, &MappingRow::chooseRule);
    auto* choices = new QHBoxLayout;
    choices->setContentsMargins(0, 0, 0, 0);
    choices->setSpacing(chipSpacing);
    choices->addWidget(picker_, 1);
    choices->addWidget(ruleButton_);

    auto* stack = new QVBoxLayout(cell);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(rightCellSpacing);
    stack->addWidget(chipStrip_);
    stack->addLayout(choices);
    return cell;
}

int MappingRow::uniformHeight()
{
    const QFontMetrics body(QApplication::font());
    const QFontMetrics caption(widgets::styledFont(widgets::TextStyle::caption));
    const widgets::SuggestionChip chip;
    QPushButton proposal(QStringLiteral("Compare as numbers"));
    proposal.setFont(widgets::emphasizedFont(widgets::TextStyle::caption));
    proposal.setStyleSheet(proposalChipStyle());
    const int leftCell =
        body.height() + leftCellSpacing + std::max({caption.height(), captionIconSize, proposal.sizeHint().height()});
    const int rightCell =
        chip.sizeHint().height() + rightCellSpacing + std::max(comboHeight(), RuleButton().sizeHint().height());
    return 2 * verticalPadding + std::max(leftCell, rightCell) + 1;
}

void MappingRow::showMapping(std::size_t position)
{
    position_ = position;
    refresh();
}

const records::ColumnMapping* MappingRow::mapping() const
{
    const std::vector<records::ColumnMapping>& mappings = model_.mappings();
    return position_ && *position_ < mappings.size() ? &mappings[*position_] : nullptr;
}

ColumnOptionsModel* MappingRow::optionsFor(const records::ColumnMapping& mapping) const
{
    return isStructuredLeftColumn(model_, mapping.leftIndex) ? choices_.structured : choices_.ordinary;
}

void MappingRow::refresh()
{
    const records::ColumnMapping* shown = mapping();
    if (!shown)
        return;
    const QString source = shownLeftHeader(model_, shown->leftIndex);
    const bool isMapped = shown->rightIndex.has_value();
    setAccessibleName(displayName(source, shown->leftIndex));
    keyBox_->setAccessibleName(tr("Row key for %1").arg(source));
    keyBox_->setChecked(shown->isKey);
    keyBox_->setEnabled(isMapped);
    compareBox_->setAccessibleName(tr("Compare %1").arg(source));
    compareBox_->setChecked(isMapped && shown->isIncluded);
    compareBox_->setEnabled(isMapped && !shown->isKey);
    const QString pickerName = tr("Match for %1").arg(source);
    picker_->setAccessibleName(pickerName);
    // A buddy's text marks its shortcut letter with "&"; the name has none.
    pickerLabel_->setText(QString(pickerName).replace(QLatin1Char('&'), QStringLiteral("&&")));
    refreshLeftCell(*shown);
    refreshChips(*shown);
    refreshPicker(*shown);
    refreshRule(*shown, source);
}

void MappingRow::refreshRule(const records::ColumnMapping& mapping, const QString& source)
{
    ruleButton_->setAccessibleName(tr("Comparison rule for %1").arg(source));
    ruleButton_->setRule(mapping.rule, mapping.isKey, model_.leftName(), model_.rightName());
    ruleButton_->setEnabled(mapping.rightIndex.has_value());
    const bool isProposing = mapping.rightIndex && mapping.proposedRule && *mapping.proposedRule != mapping.rule;
    if (isProposing) {
        const QString action = model::utf8Text(rowlark::results::proposalAction(mapping.proposedRule->kind));
        proposalChip_->setText(action);
        proposalChip_->setAccessibleName(tr("%1: %2").arg(action, source));
        proposalChip_->setToolTip(widgets::plainToolTip(
            tr("Every sampled value of both columns reads as %1. Click to compare them so; values that read alike "
               "then count as equal.")
                .arg(model::utf8Text(rowlark::results::formatOnlyNoun(mapping.proposedRule->kind)))));
    }
    proposalChip_->setVisible(isProposing);
}

void MappingRow::refreshLeftCell(const records::ColumnMapping& mapping)
{
    name_->setText(displayName(shownLeftHeader(model_, mapping.leftIndex), mapping.leftIndex));
    QFont font = QApplication::font();
    font.setWeight(mapping.isKey ? QFont::DemiBold : QFont::Normal);
    name_->setFont(font);
    const bool isStructured = isStructuredLeftColumn(model_, mapping.leftIndex);
    jsonCaption_->setVisible(isStructured);
    derivedCaption_->setVisible(!isStructured && isDerivedLeftColumn(model_, mapping.leftIndex));
}

void MappingRow::refreshChips(const records::ColumnMapping& mapping)
{
    const std::vector<records::HeaderSuggestion> shown = candidates(model_, mapping.leftIndex);
    chipCount_ = shown.size();
    for (std::size_t chip = 0; chip < shown.size(); ++chip) {
        const records::HeaderSuggestion& suggestion = shown[chip];
        chips_[chip]->setSuggestion(shownRightHeader(model_, suggestion.rightIndex), strengthText(suggestion.score),
                                    mapping.rightIndex == suggestion.rightIndex);
        chips_[chip]->setToolTip(widgets::plainToolTip(suggestionHelp(suggestion.reason)));
    }
    fitChips();
}

// Every chip when all fit beside each other; otherwise only the best one, shortened as needed.
void MappingRow::fitChips()
{
    int needed = chipCount_ > 0 ? -chipSpacing : 0;
    for (std::size_t chip = 0; chip < chipCount_; ++chip)
        needed += chips_[chip]->sizeHint().width() + chipSpacing;
    const bool isAllFitting = needed <= chipStrip_->width();
    for (std::size_t chip = 0; chip < chips_.size(); ++chip)
        chips_[chip]->setVisible(chip < chipCount_ && (chip == 0 || isAllFitting));
    chipStrip_->setFixedHeight(chips_[0]->sizeHint().height());
}

void MappingRow::refreshPicker(const records::ColumnMapping& mapping)
{
    ColumnOptionsModel* options = optionsFor(mapping);
    if (picker_->model() != options)
        picker_->setModel(options);
    picker_->setCurrentIndex(options->rowOf(mapping.rightIndex));
}

QList<QWidget*> MappingRow::focusOrder() const
{
    QList<QWidget*> order{keyBox_, compareBox_, name_, proposalChip_};
    for (widgets::SuggestionChip* chip : chips_)
        order.append(chip);
    order.append(picker_);
    order.append(ruleButton_);
    return order;
}

void MappingRow::pickChip(std::size_t chip)
{
    const records::ColumnMapping* shown = mapping();
    if (!shown)
        return;
    const std::vector<records::HeaderSuggestion> suggestions = candidates(model_, shown->leftIndex);
    if (chip < suggestions.size())
        model_.map(shown->id, suggestions[chip].rightIndex);
    refresh();
}

void MappingRow::pickEntry(int row)
{
    const records::ColumnMapping* shown = mapping();
    if (!shown)
        return;
    model_.map(shown->id, optionsFor(*shown)->columnAt(row));
    refresh();
}

void MappingRow::takeProposedRule()
{
    if (const records::ColumnMapping* shown = mapping(); shown && shown->proposedRule)
        model_.setRule(shown->id, *shown->proposedRule);
    refresh();
}

void MappingRow::chooseRule(const values::ComparisonRule& rule)
{
    if (const records::ColumnMapping* shown = mapping())
        model_.setRule(shown->id, rule);
    refresh();
}

void MappingRow::changeKey(bool value)
{
    if (const records::ColumnMapping* shown = mapping())
        model_.setKey(shown->id, value);
    refresh();
}

void MappingRow::changeIncluded(bool value)
{
    if (const records::ColumnMapping* shown = mapping())
        model_.setIncluded(shown->id, value);
    refresh();
}

// The chips are fitted whenever the room beside them changes.
bool MappingRow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == chipStrip_ && event->type() == QEvent::Resize)
        fitChips();
    if (watched == name_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
        return copyWholeName();
    return QWidget::eventFilter(watched, event);
}

// The name shows only the start of an enormous header; copying all that is shown copies the whole header.
bool MappingRow::copyWholeName()
{
    const records::ColumnMapping* shown = mapping();
    if (!shown || name_->selectedText() != name_->text())
        return false;
    QGuiApplication::clipboard()->setText(displayName(leftHeader(model_, shown->leftIndex), shown->leftIndex));
    return true;
}

// The divider below each row.
void MappingRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor line = palette().color(QPalette::WindowText);
    line.setAlphaF(0.1);
    painter.fillRect(QRect(0, height() - 1, width(), 1), line);
}

}  // namespace rowlark::ui::mapping
