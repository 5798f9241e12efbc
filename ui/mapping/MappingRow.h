#pragma once

// One line of the mapping screen, for one mapping: its row-key and compare boxes, the column of File A
// with the chip of the comparison rule its values suggest, the choice of the column of File B by
// suggestion chip or drop-down list, and the comparison rule. It shows whichever
// mapping it is pointed at and reads everything else from the model on each refresh.

#include <array>
#include <cstddef>
#include <optional>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QList>
#include <QPushButton>
#include <QWidget>

#include "model/ComparisonModel.h"
#include "ui/mapping/ColumnOptionsModel.h"
#include "ui/mapping/RuleButton.h"
#include "ui/widgets/SuggestionChip.h"

namespace rowlark::ui::mapping {

// The shared drop-down entries, one list per kind of column.
struct ColumnChoices {
    ColumnOptionsModel* ordinary;
    ColumnOptionsModel* structured;
};

class MappingRow : public QWidget {
    Q_OBJECT

public:
    static constexpr int keyWidth = 36;
    static constexpr int compareWidth = 66;
    static constexpr int horizontalPadding = 24;
    // Room between the compare column and the left header, so the headings do not run together.
    static constexpr int leftCellLeadingPadding = 10;
    static constexpr int leftCellTrailingPadding = 12;
    static constexpr int chipSpacing = 6;

    MappingRow(model::ComparisonModel& model, ColumnChoices choices, QWidget* parent = nullptr);

    // Points the row at the mapping at `position` in the model's mappings and shows it.
    void showMapping(std::size_t position);
    void refresh();

    // The row's keyboard controls, in the order Tab visits them.
    QList<QWidget*> focusOrder() const;

    // The height of every row: room for the tallest content any row can have.
    static int uniformHeight();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildLeftCell();
    QWidget* buildRightCell();
    const records::ColumnMapping* mapping() const;
    ColumnOptionsModel* optionsFor(const records::ColumnMapping& mapping) const;
    void refreshLeftCell(const records::ColumnMapping& mapping);
    void refreshChips(const records::ColumnMapping& mapping);
    void refreshPicker(const records::ColumnMapping& mapping);
    void refreshRule(const records::ColumnMapping& mapping, const QString& source);
    void takeProposedRule();
    void chooseRule(const values::ComparisonRule& rule);
    void fitChips();
    void pickChip(std::size_t chip);
    void pickEntry(int row);
    void changeKey(bool value);
    void changeIncluded(bool value);
    bool copyWholeName();

    model::ComparisonModel& model_;
    const ColumnChoices choices_;
    std::optional<std::size_t> position_;
    QCheckBox* keyBox_;
    QCheckBox* compareBox_;
    QLabel* name_;
    QWidget* jsonCaption_;
    QLabel* derivedCaption_;
    QPushButton* proposalChip_;
    QWidget* chipStrip_;
    std::array<widgets::SuggestionChip*, 3> chips_;
    std::size_t chipCount_ = 0;
    QComboBox* picker_;
    QLabel* pickerLabel_;
    RuleButton* ruleButton_;
};

}  // namespace rowlark::ui::mapping
