#pragma once

// The tolerance and options of a comparison rule: the absolute and relative tolerance of numbers,
// the tolerance in seconds of dates and times, the day order of each file's slashed dates where its
// values do not decide it, and what text comparisons leave out.

#include <optional>

#include <QDialog>
#include <QString>

#include "engine/values/ComparisonRule.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace rowlark::ui::mapping {

class RuleOptionsDialog : public QDialog {
    Q_OBJECT

public:
    RuleOptionsDialog(const values::ComparisonRule& rule, const QString& leftName, const QString& rightName,
                      QWidget* parent = nullptr);

    // The rule with the options entered, or none while a tolerance is not a number of 0 or more.
    std::optional<values::ComparisonRule> editedRule() const;

private:
    void check();

    values::ComparisonRule rule_;
    QLineEdit* absolute_ = nullptr;
    QLineEdit* relative_ = nullptr;
    QLineEdit* seconds_ = nullptr;
    QComboBox* leftOrder_ = nullptr;
    QComboBox* rightOrder_ = nullptr;
    QCheckBox* ignoresCase_ = nullptr;
    QCheckBox* ignoresSpace_ = nullptr;
    QCheckBox* ignoresPunctuation_ = nullptr;
    QLabel* problem_;
    QDialogButtonBox* buttons_;
};

// Shows the dialog; the edited rule, or none when it was cancelled.
std::optional<values::ComparisonRule> editRuleOptions(const values::ComparisonRule& rule, const QString& leftName,
                                                      const QString& rightName, QWidget* parent);

}  // namespace rowlark::ui::mapping
