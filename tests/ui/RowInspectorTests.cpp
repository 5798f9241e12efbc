#include <algorithm>
#include <ostream>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>

#include "ResultsTesting.h"
#include "results/ResultTexts.h"
#include "widgets/Styling.h"

namespace rowlark::ui {

// Names a value of the inspector in failures instead of dumping its bytes.
void PrintTo(const InspectorFieldList::Slot& slot, std::ostream* stream)
{
    *stream << "line " << slot.entry << (slot.leftSide ? ", left" : ", right");
}

}  // namespace rowlark::ui

namespace rowlark::ui::testing {
namespace {

class RowInspectorTest : public ResultsTest {
protected:
    QCheckBox* onlyChanged() const
    {
        return inspector()->findChild<QCheckBox*>(QStringLiteral("changedFieldsOnlyCheckbox"));
    }
    QString key() const { return inspector()->findChild<QLabel*>(QStringLiteral("inspectorKey"))->text(); }
    QString status() const { return inspector()->findChild<QLabel*>(QStringLiteral("inspectorStatus"))->text(); }
    QStringList changedCaptions() const
    {
        QStringList captions;
        for (const FieldEntry& entry : entries())
            if (entry.left.isChanged && entry.right.isChanged && entry.isChanged)
                captions << entry.left.caption;
        return captions;
    }
    QStringList leftCaptions() const
    {
        QStringList captions;
        for (const FieldEntry& entry : entries())
            captions << entry.left.caption;
        return captions;
    }
    InspectorFieldList* fieldList() const
    {
        return inspector()->findChild<InspectorFieldList*>(QStringLiteral("inspectorFields"));
    }
    void unmap(const char* leftHeader)
    {
        const std::vector<std::string>& headers = model.left()->table.headers();
        for (const ColumnMapping& mapping : model.mappings())
            if (headers[static_cast<std::size_t>(mapping.leftIndex)] == leftHeader)
                model.map(mapping.id, std::nullopt);
    }
};

TEST_F(RowInspectorTest, ChangedSampleRecordMarksPriceAndNotes)
{
    compareSamples();
    EXPECT_EQ(key(), QStringLiteral("SK-001"));
    EXPECT_EQ(status(), QStringLiteral("Changed"));
    EXPECT_EQ(leftCaptions(), QStringList({QStringLiteral("sku"), QStringLiteral("name"), QStringLiteral("price"),
                                           QStringLiteral("city"), QStringLiteral("notes")}));
    EXPECT_EQ(changedCaptions(), QStringList({QStringLiteral("price"), QStringLiteral("notes")}));
    EXPECT_EQ(entries()[2].left.value, QStringLiteral("45.00"));
    EXPECT_EQ(entries()[2].right.value, QStringLiteral("49.00"));
    EXPECT_FALSE(entries()[0].left.isNotCompared);
}

TEST_F(RowInspectorTest, ChangedFieldsOnlyKeepsTheChangedLines)
{
    compareSamples();
    ASSERT_TRUE(onlyChanged()->isVisible());
    EXPECT_FALSE(onlyChanged()->isChecked());
    QTest::mouseClick(onlyChanged(), Qt::LeftButton);
    EXPECT_TRUE(inspector()->onlyChangedFields());
    EXPECT_EQ(leftCaptions(), QStringList({QStringLiteral("price"), QStringLiteral("notes")}));
    QTest::mouseClick(onlyChanged(), Qt::LeftButton);
    EXPECT_EQ(entries().size(), 5u);
}

TEST_F(RowInspectorTest, HeadingNamesBothFiles)
{
    compareSamples();
    EXPECT_EQ(fieldList()->leftHeading(), QStringLiteral("catalog-before.csv"));
    EXPECT_EQ(fieldList()->rightHeading(), QStringLiteral("catalog-after.csv"));
}

TEST_F(RowInspectorTest, RecordOnlyInFileAHasNothingOnTheRightAndNoCheckbox)
{
    compareSamples();
    selectDifference(1);
    EXPECT_EQ(key(), QStringLiteral("SK-002"));
    EXPECT_EQ(status(), QStringLiteral("Only in catalog-before.csv"));
    EXPECT_FALSE(onlyChanged()->isVisible());
    ASSERT_EQ(entries().size(), 5u);
    for (const FieldEntry& entry : entries()) {
        EXPECT_EQ(entry.right.value, QStringLiteral("Not present"));
        EXPECT_TRUE(entry.right.isValueMissing);
        EXPECT_FALSE(entry.left.isValueMissing);
        EXPECT_FALSE(entry.isChanged);
    }
    EXPECT_EQ(entries()[1].left.value, QStringLiteral("Notebook"));
}

TEST_F(RowInspectorTest, EmptyCellReadsEmpty)
{
    compareSamples();
    selectDifference(2);
    EXPECT_EQ(key(), QStringLiteral("SK-003"));
    const FieldEntry& city = entries()[3];
    EXPECT_EQ(city.left.value, QStringLiteral("Empty"));
    EXPECT_TRUE(city.left.isValueMissing);
    EXPECT_EQ(city.right.value, QStringLiteral("Portland"));
    EXPECT_TRUE(city.isChanged);
}

TEST_F(RowInspectorTest, UnusedRightColumnComesLastAndMappingWithoutRightColumnShowsNothingThere)
{
    loadFiles("id,value,legacy\n1,x,old\n", "id,value,warehouse\n1,y,north\n");
    unmap("legacy");
    compareLoaded();
    ASSERT_NE(inspector(), nullptr);
    ASSERT_EQ(entries().size(), 4u);
    const FieldEntry& legacy = entries()[2];
    EXPECT_EQ(legacy.left.caption, QStringLiteral("legacy"));
    EXPECT_EQ(legacy.left.value, QStringLiteral("old"));
    EXPECT_EQ(legacy.right.caption, QStringLiteral("No mapped column"));
    EXPECT_EQ(legacy.right.value, QStringLiteral("Not present"));
    EXPECT_FALSE(legacy.right.isNotCompared);

    const FieldEntry& warehouse = entries()[3];
    EXPECT_EQ(warehouse.left.caption, QStringLiteral("No mapped column"));
    EXPECT_EQ(warehouse.left.value, QStringLiteral("Not present"));
    EXPECT_EQ(warehouse.right.caption, QStringLiteral("warehouse"));
    EXPECT_TRUE(warehouse.right.isNotCompared);
    EXPECT_EQ(warehouse.right.value, QStringLiteral("north"));
    EXPECT_FALSE(warehouse.isChanged);
}

TEST_F(RowInspectorTest, UncheckedMappingIsNotComparedOnBothSides)
{
    loadFiles("id,value,note\n1,x,a\n", "id,value,note\n1,y,b\n");
    for (const ColumnMapping& mapping : model.mappings())
        if (mapping.leftIndex == 2)
            model.setIncluded(mapping.id, false);
    compareLoaded();
    const FieldEntry& note = entries()[2];
    EXPECT_TRUE(note.left.isNotCompared);
    EXPECT_TRUE(note.right.isNotCompared);
    EXPECT_FALSE(note.isChanged);
    EXPECT_EQ(changedCaptions(), QStringList({QStringLiteral("value")}));
}

TEST_F(RowInspectorTest, CellBeyondTheEndOfAShortRowIsNotPresent)
{
    loadSamples();
    RowDifference row;
    row.id = Uuid::random();
    row.key = "SK-009";
    row.status = DiffStatus::changed;
    row.leftRow = std::vector<std::string>{"SK-009", ""};
    row.rightRow = std::vector<std::string>{"SK-009", "Lamp", "1.00", "Oslo", "New"};
    row.cells.push_back({Uuid::random(), "name", "name", "", "Lamp"});
    RowInspector shortRow(model, row);
    const std::vector<FieldEntry>& lines =
        shortRow.findChild<InspectorFieldList*>(QStringLiteral("inspectorFields"))->entries();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1].left.value, QStringLiteral("Empty"));
    EXPECT_TRUE(lines[1].isChanged);
    EXPECT_EQ(lines[2].left.value, QStringLiteral("Not present"));
    EXPECT_EQ(lines[2].right.value, QStringLiteral("1.00"));
    EXPECT_FALSE(lines[2].isChanged);
}

TEST_F(RowInspectorTest, RecordWithoutKeyIsTitledEmptyRowKey)
{
    compareFiles("id,name\n,a\n", "id,name\n,b\n");
    EXPECT_EQ(key(), QStringLiteral("Empty row key"));
}

TEST_F(RowInspectorTest, LongValueIsKeptWholeAndCanBeCopied)
{
    const std::string longValue(4000, 'q');
    compareFiles("id,notes\n1," + longValue + "\n", "id,notes\n1,short\n");
    const FieldEntry& notes = entries()[1];
    EXPECT_FALSE(notes.left.isShortened());
    EXPECT_EQ(notes.left.value, QString::fromStdString(longValue));
    fieldList()->selectValue(1, true);
    EXPECT_EQ(fieldList()->selectedText(), QString::fromStdString(longValue));
}

TEST_F(RowInspectorTest, VeryLongValueIsShownCutAndCopiedWholeByKeyboard)
{
    const std::string token(1'000'000, 'q');
    compareFiles("id,notes\n1," + token + "\n", "id,notes\n1,short\n");
    fieldList()->grab();
    EXPECT_EQ(entries()[1].left.value, QString(InspectorFieldList::shownValueLength, QLatin1Char('q')) + QChar(0x2026));
    QAccessibleInterface* line = QAccessible::queryAccessibleInterface(fieldList())->child(1);
    EXPECT_LT(line->text(QAccessible::Name).size(), 2 * InspectorFieldList::shownValueLength);

    QApplication::clipboard()->clear();
    fieldList()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(fieldList(), Qt::Key_Down);
    QTest::keyClick(fieldList(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(token));
}

TEST_F(RowInspectorTest, ArrowKeysMoveBetweenValuesAndTheFocusedOneIsReadAndCopied)
{
    compareSamples();
    fieldList()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(fieldList()->hasFocus());
    EXPECT_EQ(fieldList()->currentValue(), (InspectorFieldList::Slot{0, true}));
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Right})
        QTest::keyClick(fieldList(), key);
    EXPECT_EQ(fieldList()->currentValue(), (InspectorFieldList::Slot{2, false}));
    QAccessibleInterface* focused = QAccessible::queryAccessibleInterface(fieldList())->focusChild();
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(focused->text(QAccessible::Name), QStringLiteral("price: 49.00"));
    EXPECT_TRUE(focused->state().focused);
    EXPECT_EQ(focused->parent()->indexOfChild(focused), 1);

    QApplication::clipboard()->clear();
    QTest::keyClick(fieldList(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("49.00"));
    QTest::keyClick(fieldList(), Qt::Key_Up);
    QTest::keyClick(fieldList(), Qt::Key_Left);
    QTest::keyClick(fieldList(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Desk lamp"));
}

TEST_F(RowInspectorTest, ValueOnSeveralLinesIsCopiedAsRead)
{
    compareFiles("id,notes\n1,\"first line\r\nsecond line\"\n", "id,notes\n1,other\n");
    fieldList()->selectValue(1, true);
    const QString asRead = QString::fromStdString(model.summary()->differences[0].leftRow->at(1));
    ASSERT_TRUE(asRead.contains(QLatin1Char('\n')));
    EXPECT_EQ(fieldList()->selectedText(), asRead);
}

TEST_F(RowInspectorTest, CopyKeyPutsTheSelectedValueOnTheClipboard)
{
    compareSamples();
    QApplication::clipboard()->clear();
    fieldList()->setFocus();
    fieldList()->selectValue(4, false);
    QTest::keyClick(fieldList(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("Matte finish. Includes a three-metre cable and an adjustable arm."));
}

TEST_F(RowInspectorTest, StandInTextsAreNotSelectable)
{
    compareSamples();
    selectDifference(1);
    fieldList()->grab();
    const int width = fieldList()->viewport()->width();
    for (int y = 0; y < fieldList()->viewport()->height(); y += 4) {
        QTest::mouseDClick(fieldList()->viewport(), Qt::LeftButton, {}, QPoint(width * 3 / 4, y));
        EXPECT_NE(fieldList()->selectedText(), QStringLiteral("Not present"));
    }
}

TEST_F(RowInspectorTest, AssistiveTechnologyReadsEveryLine)
{
    compareSamples();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(fieldList());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_EQ(list->childCount(), 5);
    QAccessibleInterface* price = list->child(2);
    EXPECT_EQ(price->role(), QAccessible::ListItem);
    EXPECT_EQ(price->text(QAccessible::Name), QStringLiteral("price: 45.00; price: 49.00; changed"));
    EXPECT_EQ(list->indexOfChild(price), 2);

    QTest::mouseClick(onlyChanged(), Qt::LeftButton);
    EXPECT_EQ(list->childCount(), 2);
    EXPECT_TRUE(list->child(1)->text(QAccessible::Name).startsWith(QStringLiteral("notes: ")));
}

TEST_F(RowInspectorTest, DoubleClickOnAValueSelectsItWhole)
{
    compareSamples();
    fieldList()->grab();
    const FieldEntry& price = entries()[2];
    ASSERT_EQ(price.right.value, QStringLiteral("49.00"));
    const int width = fieldList()->viewport()->width();
    bool selected = false;
    for (int y = 0; y < fieldList()->viewport()->height() && !selected; y += 4) {
        QTest::mouseDClick(fieldList()->viewport(), Qt::LeftButton, {}, QPoint(width * 3 / 4, y));
        selected = fieldList()->selectedText() == price.right.value;
    }
    EXPECT_TRUE(selected);
}

TEST_F(RowInspectorTest, InspectorFollowsTheFieldListOfTheModel)
{
    compareSamples();
    const std::vector<InspectorField> fields = inspector()->fields();
    ASSERT_EQ(fields.size(), 5u);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(fields[i].id, i);
        EXPECT_EQ(fields[i].leftIndex, static_cast<std::int64_t>(i));
        EXPECT_TRUE(fields[i].compared);
    }
}

struct ShortenedCase {
    const char* name;
    QString text;
    QString expected;
};

class ShortenedTextTest : public ::testing::TestWithParam<ShortenedCase> {};

constexpr qsizetype shortLimit = 8;

// Both forms of the text are cut alike, and never inside a character.
TEST_P(ShortenedTextTest, CutsAtACharacterBoundaryWithAnEllipsis)
{
    const ShortenedCase& test = GetParam();
    EXPECT_EQ(shortenedText(test.text, shortLimit), test.expected);
    EXPECT_EQ(shortenedText(test.text.toStdString(), shortLimit), test.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ShortenedTextTest,
    ::testing::Values(
        ShortenedCase{"fitting", QStringLiteral("abcdefgh"), QStringLiteral("abcdefgh")},
        ShortenedCase{"one over", QStringLiteral("abcdefghi"), QStringLiteral("abcdefgh…")},
        ShortenedCase{"combining mark at the cut", QStringLiteral("abcdefge\u0301x"), QStringLiteral("abcdefg…")},
        ShortenedCase{"surrogate pair at the cut", QStringLiteral("abcdefg\U0001F600x"), QStringLiteral("abcdefg…")},
        ShortenedCase{"long multibyte text", QStringLiteral("éééééééééééééééééééé"), QStringLiteral("éééééééé…")}),
    [](const ::testing::TestParamInfo<ShortenedCase>& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

struct FieldValueCase {
    std::optional<std::string> header;
    std::optional<std::string> value;
    bool changed;
    bool compared;
    FieldSide expected;
};

// Names the case in test listings and failures instead of dumping its bytes.
void PrintTo(const FieldValueCase& test, std::ostream* stream)
{
    *stream << "header " << test.header.value_or("(none)") << ", value " << test.value.value_or("(none)")
            << (test.changed ? ", changed" : "") << (test.compared ? ", compared" : ", not compared");
}

class FieldValueTest : public ::testing::TestWithParam<FieldValueCase> {};

TEST_P(FieldValueTest, DrawsCaptionAndValue)
{
    const FieldValueCase& test = GetParam();
    const FieldSide side = RowInspector::fieldValue(test.header, test.value, test.changed, test.compared);
    EXPECT_EQ(side.caption, test.expected.caption);
    EXPECT_EQ(side.isChanged, test.expected.isChanged);
    EXPECT_EQ(side.isNotCompared, test.expected.isNotCompared);
    EXPECT_EQ(side.value, test.expected.value);
    EXPECT_EQ(side.isValueMissing, test.expected.isValueMissing);
}

INSTANTIATE_TEST_SUITE_P(
    Sides, FieldValueTest,
    ::testing::Values(
        FieldValueCase{
            "price", "45.00", true, true, {QStringLiteral("price"), true, false, QStringLiteral("45.00"), false}},
        FieldValueCase{
            "price", "", false, true, {QStringLiteral("price"), false, false, QStringLiteral("Empty"), true}},
        FieldValueCase{"note", "a", false, false, {QStringLiteral("note"), false, true, QStringLiteral("a"), false}},
        FieldValueCase{std::nullopt,
                       std::nullopt,
                       false,
                       false,
                       {QStringLiteral("No mapped column"), false, false, QStringLiteral("Not present"), true}},
        FieldValueCase{"city",
                       std::nullopt,
                       false,
                       true,
                       {QStringLiteral("city"), false, false, QStringLiteral("Not present"), true}}));

}  // namespace
}  // namespace rowlark::ui::testing
