#include <ostream>
#include <string>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QScrollBar>

#include "tests/ui/ResultsTesting.h"
#include "ui/results/ValueExcerpt.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::results {

// Names a value of the inspector in failures instead of dumping its bytes.
void PrintTo(const InspectorFieldList::Slot& slot, std::ostream* stream)
{
    *stream << "line " << slot.entry << (slot.leftSide ? ", left" : ", right");
}

}  // namespace rowlark::ui::results

namespace rowlark::ui::testing {
namespace {

// The parts of `text` that the marks cover.
QStringList markedParts(const QString& text, const QList<QTextLayout::FormatRange>& marks)
{
    QStringList parts;
    for (const QTextLayout::FormatRange& mark : marks)
        parts << text.mid(mark.start, mark.length);
    return parts;
}

class RowInspectorTest : public ResultsTest {
protected:
    results::InspectorFieldList* fieldList() const
    {
        return inspector()->findChild<results::InspectorFieldList*>(QStringLiteral("inspectorFields"));
    }

    // The marked parts of one side of a line of the inspector.
    QStringList markedTexts(std::size_t entry, bool leftSide) const
    {
        const QString& value = leftSide ? entries()[entry].left.value : entries()[entry].right.value;
        return markedParts(value, fieldList()->editMarks(entry, leftSide));
    }
};

TEST_F(RowInspectorTest, CellBeyondTheEndOfAShortRowIsNotPresent)
{
    loadSamples();
    records::RowDifference row;
    row.id = records::UUID::random();
    row.key = "SK-009";
    row.status = records::DiffStatus::changed;
    row.leftRow = std::vector<std::string>{"SK-009", ""};
    row.rightRow = std::vector<std::string>{"SK-009", "Lamp", "1.00", "Oslo", "New"};
    row.cells.push_back({records::UUID::random(), "name", "name", "", "Lamp"});
    results::RowInspector shortRow(model, row);
    const std::vector<results::FieldEntry>& lines =
        shortRow.findChild<results::InspectorFieldList*>(QStringLiteral("inspectorFields"))->entries();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1].left.value, QStringLiteral("Empty"));
    EXPECT_TRUE(lines[1].isChanged);
    EXPECT_EQ(lines[2].left.value, QStringLiteral("Not present"));
    EXPECT_EQ(lines[2].right.value, QStringLiteral("1.00"));
    EXPECT_FALSE(lines[2].isChanged);
}

TEST_F(RowInspectorTest, VeryLongValueIsShownCutAndCopiedWholeByKeyboard)
{
    const std::string token(1'000'000, 'q');
    compareFiles("id,notes\n1," + token + "\n", "id,notes\n1,short\n");
    fieldList()->grab();
    EXPECT_EQ(entries()[1].left.value,
              QString(results::InspectorFieldList::shownValueLength, QLatin1Char('q')) + QChar(0x2026));
    QAccessibleInterface* line = QAccessible::queryAccessibleInterface(fieldList())->child(1);
    EXPECT_LT(line->text(QAccessible::Name).size(), 2 * results::InspectorFieldList::shownValueLength);

    QApplication::clipboard()->clear();
    fieldList()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(fieldList(), Qt::Key_Down);
    QTest::keyClick(fieldList(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(token));
}

// Once drawn, a changed field marks the words that differ on both sides, counted in the UTF-16 text
// shown (here after a character that takes two units) and cut where a shortened value is cut.
TEST_F(RowInspectorTest, ChangedFieldMarksTheDifferingWordsOfBothValues)
{
    const std::string word(10'000, 'z');
    compareFiles("id,dessert,notes\n1,\U0001F600 crème brûlée,start " + word + "a\n",
                 "id,dessert,notes\n1,\U0001F600 crème brulée,start " + word + "b\n");
    fieldList()->grab();
    EXPECT_EQ(markedTexts(0, true), QStringList());
    EXPECT_EQ(markedTexts(1, true), QStringList(QStringLiteral("brûlée")));
    EXPECT_EQ(markedTexts(1, false), QStringList(QStringLiteral("brulée")));
    const QStringList shownPart(QString(results::InspectorFieldList::shownValueLength - 6, QLatin1Char('z')));
    EXPECT_TRUE(markedTexts(2, true) == shownPart);
    EXPECT_TRUE(markedTexts(2, false) == shownPart);
}

// A long value that differs past the start the inspector shows is shown around what differs: each
// differing part with the text around it, "…" where the value goes on unseen. Its note says so whole
// however narrow the column, and copying the value still takes all of it.
TEST_F(RowInspectorTest, ChangesPastTheShownStartAreShownAroundWhatDiffers)
{
    std::string before(20'000, 'q');
    before[8'000] = 'a';
    before[15'000] = 'b';
    std::string after = before;
    after[8'000] = 'X';
    after[15'000] = 'Y';
    compareFiles("id,notes\n1," + before + "\n", "id,notes\n1," + after + "\n");
    fieldList()->grab();
    const QString context(results::excerptContext, QLatin1Char('q'));
    const QString gap(QChar(0x2026));
    const results::FieldEntry& notes = entries()[1];
    EXPECT_TRUE(notes.right.isExcerpt);
    EXPECT_EQ(notes.right.value, gap + context + "X" + context + gap + context + "Y" + context + gap);
    EXPECT_EQ(notes.left.value, gap + context + "a" + context + gap + context + "b" + context + gap);
    EXPECT_EQ(markedTexts(1, true), QStringList({"a", "b"}));
    EXPECT_EQ(markedTexts(1, false), QStringList({"X", "Y"}));
    EXPECT_EQ(results::InspectorFieldList::noteText(notes.right),
              "Shown around what differs · copying takes the whole value");

    QApplication::clipboard()->clear();
    fieldList()->selectValue(1, false);
    fieldList()->copySelection();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(after));

    fieldList()->setFixedWidth(240);
    fieldList()->grab();
    const QRect note = fieldList()->noteRect(1, false);
    ASSERT_FALSE(note.isEmpty());
    EXPECT_TRUE(fieldList()->entryRect(1).contains(note));
    EXPECT_GT(note.height(), QFontMetrics(widgets::styledFont(widgets::TextStyle::caption)).height())
        << "the note wraps in a narrow column rather than being cut";
}

TEST(ValueExcerpts, ShowEachDifferingPartWithTheTextAroundIt)
{
    const QString gap(QChar(0x2026));
    const auto repeated = [](qsizetype count, char character) { return QString(count, QLatin1Char(character)); };
    const qsizetype context = results::excerptContext;
    struct Case {
        const char* what;
        std::string value;
        std::vector<text::TextSpan> spans;
        QString text;
        QStringList marked;
        qsizetype budget = results::InspectorFieldList::shownValueLength;
    };
    const std::string plain(10'000, 'a');
    // Characters of three scalars: the text around a part, counted in scalars, ends inside one.
    std::string accented;
    for (int character = 0; character < 600; ++character)
        accented += "e\u0301\u0323";
    const std::vector<Case> cases = {
        {"a part at the start has no gap before it",
         plain,
         {{100, 101}},
         repeated(100 + 1 + context, 'a') + gap,
         {"a"}},
        {"parts whose text around them meets are one",
         plain,
         {{5'000, 5'001}, {5'100, 5'102}},
         gap + repeated(context + 102 + context, 'a') + gap,
         {"a", "aa"}},
        {"a part at the end has no gap after it", plain, {{9'999, 10'000}}, gap + repeated(context + 1, 'a'), {"a"}},
        {"a part longer than the room is cut there",
         plain,
         {{2'000, 10'000}},
         gap + repeated(context + 300 - 1, 'a') + gap,
         {repeated(300 - 1, 'a')},
         context + 300},
        {"characters are kept whole",
         accented,
         {{1'500, 1'505}},
         gap + QString::fromUtf8(accented.substr(1'230, 545)) + gap,
         {QStringLiteral("e\u0301\u0323")}},
        {"positions count UTF-16 units",
         "\U0001F600b" + plain,
         {{4, 5}},
         QStringLiteral("\U0001F600b") + repeated(context, 'a') + gap,
         {"b"}},
    };
    for (const Case& test : cases) {
        const results::ValueExcerpt excerpt = results::excerptAround(test.value, test.spans, test.budget);
        EXPECT_EQ(excerpt.text, test.text) << test.what;
        EXPECT_EQ(markedParts(excerpt.text, excerpt.marks), test.marked) << test.what;
    }
}

TEST_F(RowInspectorTest, ArrowKeysMoveBetweenValuesAndTheFocusedOneIsReadAndCopied)
{
    compareSamples();
    fieldList()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(fieldList()->hasFocus());
    EXPECT_EQ(fieldList()->currentValue(), (results::InspectorFieldList::Slot{0, true}));
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Right})
        QTest::keyClick(fieldList(), key);
    EXPECT_EQ(fieldList()->currentValue(), (results::InspectorFieldList::Slot{2, false}));
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

// A value the list shows whole is selected exactly as read: all of a long one, and its line breaks.
TEST_F(RowInspectorTest, SelectedValueIsTheCellAsRead)
{
    for (const std::string& cell : {std::string(4000, 'q'), std::string("\"first line\r\nsecond line\"")}) {
        compareFiles("id,notes\n1," + cell + "\n", "id,notes\n1,short\n");
        const QString asRead = QString::fromStdString(model.summary()->differences[0].leftRow->at(1));
        const QString written = QString::fromStdString(cell).remove(QLatin1Char('"'));
        ASSERT_TRUE(asRead.startsWith(written.left(10)));
        ASSERT_EQ(asRead.count(QLatin1Char('\n')), written.count(QLatin1Char('\n')));
        EXPECT_EQ(entries()[1].left.value, asRead);
        fieldList()->selectValue(1, true);
        EXPECT_EQ(fieldList()->selectedText(), asRead);
    }
}

// A record taller than the view scrolls to its last line; the next record opens at its top, and
// assistive technology finds every line of it.
TEST_F(RowInspectorTest, ATallRecordScrollsAndTheNextOneOpensAtItsTop)
{
    window.resize(1000, 700);
    window.show();
    // Records 1 and 2 of sixty fields, each value PREFIX and its column's number.
    const auto twoRecords = [](const std::string& prefix) {
        std::string header = "id";
        std::string values;
        for (int column = 0; column < 60; ++column) {
            header += ",field_" + std::to_string(column);
            values += "," + prefix + std::to_string(column);
        }
        return header + "\n1" + values + "\n2" + values + "\n";
    };
    compareFiles(twoRecords("a"), twoRecords("b"));
    selectDifference(0);
    QScrollBar* bar = fieldList()->verticalScrollBar();
    ASSERT_TRUE(QTest::qWaitFor([bar] { return bar->maximum() > 0; }, 5000));
    bar->setValue(bar->maximum());
    EXPECT_EQ(bar->value(), bar->maximum());
    selectDifference(1);
    EXPECT_TRUE(QTest::qWaitFor([this] { return fieldList()->verticalScrollBar()->value() == 0; }, 5000));
    EXPECT_GT(fieldList()->verticalScrollBar()->maximum(), 0);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(fieldList());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->childCount(), 61);
    EXPECT_TRUE(list->child(60)->text(QAccessible::Name).startsWith(QStringLiteral("field_59: ")));
}

// Assistive technology reads every line; their numbering, not seen in the list itself, is in order.
TEST_F(RowInspectorTest, AssistiveTechnologyReadsEveryLineNumberedInOrder)
{
    compareSamples();
    const std::vector<results::InspectorField> fields = inspector()->fields();
    for (std::size_t i = 0; i < fields.size(); ++i)
        EXPECT_EQ(fields[i].id, i);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(fieldList());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_EQ(list->childCount(), 5);
    QAccessibleInterface* price = list->child(2);
    EXPECT_EQ(price->role(), QAccessible::ListItem);
    EXPECT_EQ(price->text(QAccessible::Name), QStringLiteral("price: 45.00; price: 49.00; changed"));
    EXPECT_EQ(list->indexOfChild(price), 2);

    QTest::mouseClick(inspector()->findChild<QCheckBox*>(QStringLiteral("changedFieldsOnlyCheckbox")), Qt::LeftButton);
    EXPECT_EQ(list->childCount(), 2);
    EXPECT_TRUE(list->child(1)->text(QAccessible::Name).startsWith(QStringLiteral("notes: ")));
}

// A value is selected whole by a double click on it; the stand-ins "Empty" and "Not present" are not.
TEST_F(RowInspectorTest, DoubleClickSelectsAValueWholeButNeverAStandIn)
{
    compareSamples();
    const auto doubleClickedRightValues = [this] {
        fieldList()->grab();
        QStringList selected;
        const QSize size = fieldList()->viewport()->size();
        for (int y = 0; y < size.height(); y += 4) {
            QTest::mouseDClick(fieldList()->viewport(), Qt::LeftButton, {}, QPoint(size.width() * 3 / 4, y));
            selected << fieldList()->selectedText();
        }
        return selected;
    };
    EXPECT_THAT(doubleClickedRightValues(), ::testing::Contains(QStringLiteral("49.00")));
    model.setSelectedRowID(model.summary()->differences[1].id);
    EXPECT_THAT(doubleClickedRightValues(), ::testing::Not(::testing::Contains(QStringLiteral("Not present"))));
}

// Both forms of a text are cut alike, and never inside a character.
TEST(ShortenedText, CutsAtACharacterBoundaryWithAnEllipsis)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("abcdefgh"), QStringLiteral("abcdefgh")},
        {QStringLiteral("abcdefghi"), QStringLiteral("abcdefgh…")},
        {QStringLiteral("abcdefge\u0301x"), QStringLiteral("abcdefg…")},
        {QStringLiteral("abcdefg\U0001F600x"), QStringLiteral("abcdefg…")},
        {QStringLiteral("éééééééééééééééééééé"), QStringLiteral("éééééééé…")},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(widgets::shortenedText(text, 8), expected) << text.toStdString();
        EXPECT_EQ(widgets::shortenedText(text.toStdString(), 8), expected) << text.toStdString();
    }
}

}  // namespace
}  // namespace rowlark::ui::testing
