#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "tests/ui/ResultsTesting.h"
#include "ui/mapping/MappingList.h"
#include "ui/mapping/MappingRow.h"
#include "ui/mapping/RuleButton.h"
#include "ui/mapping/RuleOptionsDialog.h"
#include "ui/results/ResultTexts.h"

namespace rowlark::ui::testing {
namespace {

class RulesScreenTest : public ResultsTest {
protected:
    // The open row of the mapping of left column `leftIndex`.
    mapping::MappingRow* row(std::size_t leftIndex) const
    {
        const auto rows = find<mapping::MappingList>(QStringLiteral("mappingList"))->openRows();
        return leftIndex < static_cast<std::size_t>(rows.size()) ? rows[static_cast<qsizetype>(leftIndex)] : nullptr;
    }
    mapping::RuleButton* ruleButton(std::size_t leftIndex) const
    {
        return row(leftIndex)->findChild<mapping::RuleButton*>(QStringLiteral("ruleButton"));
    }
    QPushButton* proposalChip(std::size_t leftIndex) const
    {
        return row(leftIndex)->findChild<QPushButton*>(QStringLiteral("proposalChip"));
    }
    QStringList formatOnlyTexts() const
    {
        QStringList texts;
        for (const QLabel* label : window.findChildren<QLabel*>(QStringLiteral("formatOnlyText")))
            if (label->isVisibleTo(&window))
                texts << label->text();
        return texts;
    }
};

TEST_F(RulesScreenTest, aProposalIsAChipThatOneClickTakes)
{
    loadFiles("id,price,when\n1,45.00,2024-03-05\n2,12.00,2024-03-06\n",
              "id,price,when\n1,45,2024-03-05 00:00:00\n2,12.0,2024-03-06T10:00:00\n");
    ASSERT_NE(row(1), nullptr);
    EXPECT_EQ(ruleButton(1)->text(), "As read");
    EXPECT_EQ(ruleButton(1)->accessibleName(), "Comparison rule for price");
    ASSERT_TRUE(proposalChip(1)->isVisibleTo(row(1)));
    EXPECT_EQ(proposalChip(1)->text(), "Compare as numbers");
    EXPECT_EQ(proposalChip(1)->accessibleName(), "Compare as numbers: price");
    EXPECT_EQ(proposalChip(2)->text(), "Compare as dates and times");

    QTest::mouseClick(proposalChip(1), Qt::LeftButton);
    EXPECT_EQ(model.mappings()[1].rule.kind, values::RuleKind::number);
    EXPECT_EQ(ruleButton(1)->text(), "Number");
    EXPECT_FALSE(proposalChip(1)->isVisibleTo(row(1)));
    EXPECT_TRUE(row(1)->focusOrder().contains(ruleButton(1)));
}

TEST_F(RulesScreenTest, theRuleMenuOffersEveryRuleButIgnoreForTheKey)
{
    loadFiles("id,name\n1,Ann\n", "id,name\n1,ann\n");
    ASSERT_TRUE(model.mappings()[0].isKey);
    QMenu* keyMenu = ruleButton(0)->menu();
    QStringList visible;
    for (const QAction* action : keyMenu->actions())
        if (action->isVisible() && !action->isSeparator())
            visible << action->text();
    EXPECT_EQ(visible,
              QStringList({"As read", "Number", "Date", "Date and time", "Yes/no", "Text", "Tolerance and options…"}));

    const auto action = [&](const QString& text) -> QAction* {
        for (QAction* candidate : ruleButton(1)->menu()->actions())
            if (candidate->text() == text)
                return candidate;
        ADD_FAILURE() << text.toStdString();
        return nullptr;
    };
    action("Text")->trigger();
    EXPECT_EQ(model.mappings()[1].rule.kind, values::RuleKind::text);
    action("Ignore (report only)")->trigger();
    EXPECT_EQ(model.mappings()[1].rule.kind, values::RuleKind::ignore);
    EXPECT_EQ(ruleButton(1)->text(), "Ignore");
}

TEST_F(RulesScreenTest, theOptionsDialogEditsTolerancesOrdersAndTextOptions)
{
    mapping::RuleOptionsDialog number(values::ComparisonRule::fromText("number:rel=0.001"), "a.csv", "b.csv");
    const QList<QLineEdit*> fields = number.findChildren<QLineEdit*>();
    ASSERT_EQ(fields.size(), 2);
    EXPECT_EQ(fields[0]->accessibleName(), "Absolute tolerance");
    EXPECT_EQ(fields[1]->text(), "0.001");
    fields[0]->setText(" 0.010 ");
    fields[1]->clear();
    ASSERT_TRUE(number.editedRule());
    EXPECT_EQ(number.editedRule()->text(), "number:abs=0.01");
    QPushButton* ok = number.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    fields[0]->setText("-1");
    EXPECT_FALSE(number.editedRule());
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_TRUE(number.findChild<QLabel*>(QStringLiteral("ruleOptionsProblem"))->isVisibleTo(&number));
    fields[0]->setText("1e-3");
    EXPECT_TRUE(ok->isEnabled());

    mapping::RuleOptionsDialog dates(values::ComparisonRule::fromText("datetime"), "a.csv", "b.csv");
    const QList<QComboBox*> orders = dates.findChildren<QComboBox*>();
    ASSERT_EQ(orders.size(), 2);
    EXPECT_EQ(orders[1]->accessibleName(), "Day order in b.csv");
    orders[1]->setCurrentIndex(2);
    dates.findChildren<QLineEdit*>().front()->setText("90");
    EXPECT_EQ(dates.editedRule()->text(), "datetime:seconds=90,order=auto/mdy");

    mapping::RuleOptionsDialog text(values::ComparisonRule::fromText("text:space"), "a.csv", "b.csv");
    const QList<QCheckBox*> boxes = text.findChildren<QCheckBox*>();
    ASSERT_EQ(boxes.size(), 3);
    EXPECT_TRUE(boxes[1]->isChecked());
    boxes[0]->setChecked(true);
    boxes[1]->setChecked(false);
    boxes[2]->setChecked(true);
    EXPECT_EQ(text.editedRule()->text(), "text:case,punct");
}

// A workbook and the CSV file pandas wrote from it: every change is the same value written
// differently, and one click on the results screen compares them as such.
TEST_F(RulesScreenTest, oneClickComparesTheWorkbookAndItsPandasCopyAsEqual)
{
    const std::string fixtures = ROWLARK_WORKBOOK_FIXTURES;
    model.load(QString::fromStdString(fixtures + "/readings.xlsx"), true);
    waitUntilIdle();
    model.load(QString::fromStdString(fixtures + "/readings-pandas.csv"), false);
    waitUntilIdle();
    compareLoaded();
    ASSERT_TRUE(model.summary());
    EXPECT_EQ(model.summary()->matchingRows, 0);
    const QString all = results::groupedNumber(10000);
    EXPECT_EQ(formatOnlyTexts(),
              QStringList({"Rate: " + all + " of " + all + " are the same number written differently",
                           "Timestamp: " + all + " of " + all + " are the same date and time written differently",
                           "Count: " + results::groupedNumber(8000) + " of " + results::groupedNumber(8000) +
                               " are the same number written differently",
                           "Amount: " + results::groupedNumber(1000) + " of " + results::groupedNumber(1000) +
                               " are the same number written differently"}));
    auto* forAll = find<QPushButton>(QStringLiteral("formatOnlyAllAction"));
    EXPECT_EQ(forAll->text(), "Compare all as proposed");

    QTest::mouseClick(forAll, Qt::LeftButton);
    waitUntilIdle();
    ASSERT_TRUE(model.summary());
    EXPECT_EQ(model.summary()->matchingRows, 10000);
    EXPECT_TRUE(model.summary()->differences.empty());
    EXPECT_EQ(screenName(), "resultsScreen");
    EXPECT_TRUE(formatOnlyTexts().isEmpty());
}

// Past four columns, the box counts the rest; one action compares them all when they share a rule.
TEST_F(RulesScreenTest, columnsPastTheFourthAreCountedAndOneActionTakesThemAll)
{
    compareFiles("id,a,b,c,d,e\n1,1.0,2.0,3.0,4.0,5.0\n", "id,a,b,c,d,e\n1,1,2,3,4,5\n");
    EXPECT_EQ(formatOnlyTexts().size(), 4);
    QStringList captions;
    for (const QLabel* label : window.findChildren<QLabel*>())
        if (label->isVisibleTo(&window) && label->text().contains(QStringLiteral("more column")))
            captions << label->text();
    EXPECT_EQ(captions, QStringList{"1 more column is written differently."});
    auto* forAll = find<QPushButton>(QStringLiteral("formatOnlyAllAction"));
    EXPECT_EQ(forAll->text(), "Compare all as numbers");
    QTest::mouseClick(forAll, Qt::LeftButton);
    waitUntilIdle();
    ASSERT_TRUE(model.summary());
    EXPECT_EQ(model.summary()->matchingRows, 1);
    for (std::size_t column = 1; column < model.mappings().size(); ++column)
        EXPECT_EQ(model.mappings()[column].rule.kind, values::RuleKind::number) << column;
}

TEST_F(RulesScreenTest, theInspectorNamesTheRuleAndWhatItCouldNotRead)
{
    compareFiles("id,amount,note\n1,1.50,x\n2,n/a,y\n", "id,amount,note\n1,1.5,x2\n2,7,y\n");
    auto* action = find<QPushButton>(QStringLiteral("formatOnlyAction"));
    EXPECT_EQ(action->text(), "Compare as numbers");
    EXPECT_EQ(action->accessibleName(), "amount: Compare as numbers");
    QTest::mouseClick(action, Qt::LeftButton);
    waitUntilIdle();
    ASSERT_TRUE(model.summary());
    ASSERT_EQ(model.summary()->differences.size(), 2u);
    selectDifference(0);
    ASSERT_NE(inspector(), nullptr);
    const std::vector<results::FieldEntry>& first = entries();
    ASSERT_GE(first.size(), 3u);
    EXPECT_FALSE(first[1].isChanged) << "1.50 and 1.5 are equal as numbers";
    EXPECT_EQ(first[1].left.note, "Number");
    EXPECT_EQ(first[1].left.value, "1.50");
    EXPECT_TRUE(first[2].isChanged);
    EXPECT_TRUE(first[2].left.note.isEmpty());
    selectDifference(1);
    const std::vector<results::FieldEntry>& second = entries();
    EXPECT_TRUE(second[1].isChanged);
    EXPECT_EQ(second[1].left.note, "Not read as a number: compared as read");
    EXPECT_EQ(second[1].right.note, "Number");
}

}  // namespace
}  // namespace rowlark::ui::testing
