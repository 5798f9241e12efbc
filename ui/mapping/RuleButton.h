#pragma once

// The comparison rule of one mapping row: a button that names the rule ("As read", "Number within
// 0.01") and opens a menu of the rules, with the tolerance and options of the rule chosen behind
// "Tolerance and options…". Space, Return or the Down key open the menu, as for any menu button.

#include <array>

#include <QMenu>
#include <QToolButton>

#include "engine/values/ComparisonRule.h"

namespace rowlark::ui::mapping {

class RuleButton : public QToolButton {
    Q_OBJECT

public:
    explicit RuleButton(QWidget* parent = nullptr);

    // `isKey`: a key column is always compared, so "Ignore" is not offered. The names are the files'
    // for the day order options.
    void setRule(const values::ComparisonRule& rule, bool isKey, const QString& leftName, const QString& rightName);
    const values::ComparisonRule& rule() const { return rule_; }

    QSize sizeHint() const override;

signals:
    void ruleChosen(const values::ComparisonRule& rule);

private:
    void chooseKind(values::RuleKind kind);
    void editOptions();

    values::ComparisonRule rule_;
    QString leftName_;
    QString rightName_;
    QMenu* menu_;
    std::array<QAction*, 7> kinds_{};
    QAction* options_;
};

// Whether a rule of this kind has a tolerance or options to set.
bool hasOptions(values::RuleKind kind);

}  // namespace rowlark::ui::mapping
