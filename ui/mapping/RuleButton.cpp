#include "ui/mapping/RuleButton.h"

#include <QActionGroup>

#include "engine/results/RuleTexts.h"
#include "model/UTF8Text.h"
#include "ui/mapping/RuleOptionsDialog.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::mapping {

namespace {

constexpr std::array<values::RuleKind, 7> kindOrder{
    values::RuleKind::asRead, values::RuleKind::number, values::RuleKind::date,   values::RuleKind::dateTime,
    values::RuleKind::yesNo,  values::RuleKind::text,   values::RuleKind::ignore,
};

QString menuTitle(values::RuleKind kind)
{
    const QString title = model::utf8Text(results::ruleTitle(kind));
    return kind == values::RuleKind::ignore ? RuleButton::tr("%1 (report only)").arg(title) : title;
}

}  // namespace

bool hasOptions(values::RuleKind kind)
{
    return kind == values::RuleKind::number || kind == values::RuleKind::date || kind == values::RuleKind::dateTime ||
           kind == values::RuleKind::text;
}

RuleButton::RuleButton(QWidget* parent)
    : QToolButton(parent)
{
    setObjectName(QStringLiteral("ruleButton"));
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("ruleMenu"));
    auto* group = new QActionGroup(menu_);
    for (std::size_t index = 0; index < kindOrder.size(); ++index) {
        const values::RuleKind kind = kindOrder[index];
        QAction* action = menu_->addAction(menuTitle(kind), this, [this, kind] { chooseKind(kind); });
        action->setCheckable(true);
        group->addAction(action);
        kinds_[index] = action;
    }
    menu_->addSeparator();
    options_ = menu_->addAction(tr("Tolerance and options…"), this, &RuleButton::editOptions);
    options_->setObjectName(QStringLiteral("ruleOptionsAction"));
    setMenu(menu_);
}

void RuleButton::setRule(const values::ComparisonRule& rule, bool isKey, const QString& leftName,
                         const QString& rightName)
{
    rule_ = rule;
    leftName_ = leftName;
    rightName_ = rightName;
    const QString description = model::utf8Text(results::ruleDescription(rule));
    setText(fontMetrics().elidedText(description, Qt::ElideRight, sizeHint().width() - 28));
    setToolTip(widgets::plainToolTip(tr("Compared: %1").arg(description)));
    setAccessibleDescription(description);
    for (std::size_t index = 0; index < kindOrder.size(); ++index) {
        kinds_[index]->setChecked(kindOrder[index] == rule.kind);
        kinds_[index]->setVisible(!(isKey && kindOrder[index] == values::RuleKind::ignore));
    }
    options_->setEnabled(hasOptions(rule.kind));
}

QSize RuleButton::sizeHint() const
{
    const QSize base = QToolButton::sizeHint();
    return {fontMetrics().horizontalAdvance(QStringLiteral("Date and time within 0.5 s")) + 28, base.height()};
}

void RuleButton::chooseKind(values::RuleKind kind)
{
    if (kind == rule_.kind)
        return;
    emit ruleChosen(values::ComparisonRule::of(kind));
}

void RuleButton::editOptions()
{
    if (const std::optional<values::ComparisonRule> edited = editRuleOptions(rule_, leftName_, rightName_, this))
        if (*edited != rule_)
            emit ruleChosen(*edited);
}

}  // namespace rowlark::ui::mapping
