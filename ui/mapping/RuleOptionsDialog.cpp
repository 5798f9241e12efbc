#include "ui/mapping/RuleOptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/results/RuleTexts.h"
#include "model/UTF8Text.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::mapping {

namespace {

QLineEdit* toleranceField(const std::optional<values::Decimal>& value, const QString& name, QWidget* parent)
{
    auto* field = new QLineEdit(value ? model::utf8Text(value->text()) : QString(), parent);
    field->setPlaceholderText(RuleOptionsDialog::tr("None"));
    field->setAccessibleName(name);
    return field;
}

QComboBox* dayOrderBox(values::DayOrder order, const QString& name, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->addItem(RuleOptionsDialog::tr("As its values decide"), static_cast<int>(values::DayOrder::undecided));
    box->addItem(RuleOptionsDialog::tr("Day first (31/12/2024)"), static_cast<int>(values::DayOrder::dayFirst));
    box->addItem(RuleOptionsDialog::tr("Month first (12/31/2024)"), static_cast<int>(values::DayOrder::monthFirst));
    box->setCurrentIndex(box->findData(static_cast<int>(order)));
    box->setAccessibleName(name);
    return box;
}

// The tolerance typed into `field`: none when it is empty; false when it is not a number of 0 or more.
bool readTolerance(const QLineEdit* field, std::optional<values::Decimal>& tolerance)
{
    const QString text = field->text().trimmed();
    if (text.isEmpty()) {
        tolerance.reset();
        return true;
    }
    tolerance = values::Decimal::fromPlainText(text.toStdString());
    return tolerance && !tolerance->isNegative;
}

}  // namespace

RuleOptionsDialog::RuleOptionsDialog(const values::ComparisonRule& rule, const QString& leftName,
                                     const QString& rightName, QWidget* parent)
    : QDialog(parent)
    , rule_(rule)
{
    setObjectName(QStringLiteral("ruleOptionsDialog"));
    setWindowTitle(tr("%1 options").arg(model::utf8Text(results::ruleTitle(rule.kind))));
    auto* form = new QFormLayout;
    if (rule.kind == values::RuleKind::number) {
        absolute_ = toleranceField(rule.absoluteTolerance, tr("Absolute tolerance"), this);
        relative_ = toleranceField(rule.relativeTolerance, tr("Relative tolerance"), this);
        form->addRow(tr("Equal within"), absolute_);
        form->addRow(tr("Or within this share of the larger value (0.001 is 0.1%)"), relative_);
    }
    if (rule.kind == values::RuleKind::dateTime) {
        seconds_ = toleranceField(rule.secondsTolerance, tr("Tolerance in seconds"), this);
        form->addRow(tr("Equal within seconds"), seconds_);
    }
    if (rule.readsDates()) {
        leftOrder_ = dayOrderBox(rule.chosenDayOrders[0], tr("Day order in %1").arg(leftName), this);
        rightOrder_ = dayOrderBox(rule.chosenDayOrders[1], tr("Day order in %1").arg(rightName), this);
        form->addRow(tr("Day order in %1").arg(leftName), leftOrder_);
        form->addRow(tr("Day order in %1").arg(rightName), rightOrder_);
    }
    if (rule.kind == values::RuleKind::text) {
        ignoresCase_ = new QCheckBox(tr("Ignore letter case"), this);
        ignoresSpace_ = new QCheckBox(tr("Ignore all white space"), this);
        ignoresPunctuation_ = new QCheckBox(tr("Ignore punctuation"), this);
        ignoresCase_->setChecked(rule.ignoresCase);
        ignoresSpace_->setChecked(rule.ignoresSpace);
        ignoresPunctuation_->setChecked(rule.ignoresPunctuation);
        form->addRow(ignoresCase_);
        form->addRow(ignoresSpace_);
        form->addRow(ignoresPunctuation_);
    }
    problem_ = widgets::styledLabel(tr("A tolerance is a number of 0 or more, such as 0.01."),
                                    widgets::TextStyle::caption, true, this);
    problem_->setObjectName(QStringLiteral("ruleOptionsProblem"));
    problem_->hide();
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QLineEdit* field : {absolute_, relative_, seconds_})
        if (field)
            connect(field, &QLineEdit::textChanged, this, &RuleOptionsDialog::check);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons_);
}

std::optional<values::ComparisonRule> RuleOptionsDialog::editedRule() const
{
    values::ComparisonRule rule = rule_;
    if ((absolute_ && !readTolerance(absolute_, rule.absoluteTolerance)) ||
        (relative_ && !readTolerance(relative_, rule.relativeTolerance)) ||
        (seconds_ && !readTolerance(seconds_, rule.secondsTolerance)))
        return std::nullopt;
    if (leftOrder_)
        rule.chosenDayOrders = {static_cast<values::DayOrder>(leftOrder_->currentData().toInt()),
                                static_cast<values::DayOrder>(rightOrder_->currentData().toInt())};
    if (ignoresCase_) {
        rule.ignoresCase = ignoresCase_->isChecked();
        rule.ignoresSpace = ignoresSpace_->isChecked();
        rule.ignoresPunctuation = ignoresPunctuation_->isChecked();
    }
    return rule;
}

void RuleOptionsDialog::check()
{
    const bool isValid = editedRule().has_value();
    problem_->setVisible(!isValid);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(isValid);
}

std::optional<values::ComparisonRule> editRuleOptions(const values::ComparisonRule& rule, const QString& leftName,
                                                      const QString& rightName, QWidget* parent)
{
    RuleOptionsDialog dialog(rule, leftName, rightName, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.editedRule();
}

}  // namespace rowlark::ui::mapping
