// What assistive technology and the eye find of the window's controls: names that say what a control
// is for, the screen picker as the tab bar it is, the keyboard's place in the result list, and
// warnings that can be read on light and dark windows alike.

#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QTabBar>
#include <QToolButton>

#include "tests/ui/ResultsTesting.h"
#include "ui/mapping/MappingList.h"
#include "ui/results/ResultPageModel.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::testing {
namespace {

using AccessibilityTest = ResultsTest;

QString spokenName(QObject* object)
{
    QAccessibleInterface* element = QAccessible::queryAccessibleInterface(object);
    return element ? element->text(QAccessible::Name) : QString();
}

// A drop-down list is called by what it is for; its entry is its value.
TEST_F(AccessibilityTest, DropDownListsAreNamedByWhatTheyAreFor)
{
    loadSamples();
    auto* list = find<mapping::MappingList>("mappingList");
    QComboBox* price = list->rowWidget(2)->findChild<QComboBox*>("matchPicker");
    ASSERT_NE(price, nullptr);
    QAccessibleInterface* element = QAccessible::queryAccessibleInterface(price);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->role(), QAccessible::ComboBox);
    EXPECT_EQ(element->text(QAccessible::Name), "Match for price");
    EXPECT_EQ(element->text(QAccessible::Value), "price");
    EXPECT_TRUE(element->state().expandable);
    ASSERT_EQ(element->childCount(), 1);
    EXPECT_EQ(element->child(0)->object(), price->view());
    EXPECT_EQ(spokenName(find<QComboBox>("resultFilterPicker")), "Show");

    QComboBox unnamed;
    unnamed.addItem(QStringLiteral("only entry"));
    EXPECT_EQ(spokenName(&unnamed), "only entry") << "a list without a name is called by its entry";
}

TEST_F(AccessibilityTest, SearchFieldsHaveANamedClearButton)
{
    for (const char* name : {"mappingSearchField", "resultSearchField"}) {
        auto* field = find<QLineEdit>(name);
        field->setText(QStringLiteral("x"));
        QStringList buttons;
        for (QToolButton* button : field->findChildren<QToolButton*>())
            buttons << spokenName(button);
        EXPECT_TRUE(buttons.contains("Clear search")) << name << ": " << buttons.join(", ").toStdString();
        field->clear();
    }
}

// The screen picker is a tab bar, with a tab for each screen, that the arrow keys switch.
TEST_F(AccessibilityTest, ScreenPickerIsATabBar)
{
    compareSamples();
    auto* picker = find<QTabBar>("workspacePicker");
    QAccessibleInterface* element = QAccessible::queryAccessibleInterface(picker);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->role(), QAccessible::PageTabList);
    QStringList tabs;
    for (int index = 0; index < element->childCount(); ++index)
        if (element->child(index)->role() == QAccessible::PageTab)
            tabs << element->child(index)->text(QAccessible::Name);
    EXPECT_EQ(tabs, QStringList({"Map columns", "Results"}));
    EXPECT_EQ(model.tab(), model::WorkspaceTab::results);
    picker->setFocus();
    QTest::keyClick(picker, Qt::Key_Left);
    EXPECT_EQ(model.tab(), model::WorkspaceTab::mapping);
    EXPECT_EQ(screenName(), "mappingScreen");
}

// A listed record is read with its status and its changed fields.
TEST_F(AccessibilityTest, ResultsAreReadWithTheirStatusAndChangedFields)
{
    compareFiles("id,a,b,c,d,e\n1,1,1,1,1,1\n2,1,1,1,1,1\n", "id,a,b,c,d,e\n1,2,1,2,1,1\n3,1,1,1,1,1\n");
    const QAbstractItemModel* page = find<QListView>("resultList")->model();
    QStringList spoken;
    for (int row = 0; row < page->rowCount(); ++row)
        spoken << page->index(row, 0).data(Qt::AccessibleTextRole).toString();
    EXPECT_EQ(spoken, QStringList({"1, Changed: a, c", "2, Only in before.csv", "3, Only in after.csv"}));

    model.setSelectedRowID(std::nullopt);
    compareFiles("id,a,b,c,d,e\n1,1,1,1,1,1\n", "id,a,b,c,d,e\n1,2,2,2,2,2\n");
    EXPECT_EQ(page->index(0, 0).data(Qt::AccessibleTextRole).toString(), "1, Changed: a, b, c, and 2 more");
}

// The keyboard's place shows on the selected record as well as on any other.
TEST_F(AccessibilityTest, KeyboardFocusShowsInTheResultList)
{
    compareSamples();
    auto* list = find<QListView>("resultList");
    const QModelIndex selected = list->currentIndex();
    ASSERT_TRUE(list->selectionModel()->isSelected(selected));
    const auto drawn = [&](QStyle::State focus) {
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.rect = QRect(0, 0, 300, 70);
        option.state = QStyle::State_Enabled | QStyle::State_Selected | focus;
        QImage image(option.rect.size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        list->itemDelegate()->paint(&painter, option, selected);
        return image;
    };
    EXPECT_NE(drawn(QStyle::State_HasFocus), drawn(QStyle::State_None));
}

// Warning texts read at 4.5 : 1 at the least against light and dark windows.
TEST(WarningColor, ReadsOnLightAndDarkWindows)
{
    for (const QColor& window : {QColor(Qt::white), QColor(0xef, 0xef, 0xef), QColor(0x35, 0x35, 0x35),
                                 QColor(0x1e, 0x1e, 0x1e), QColor(0x80, 0x80, 0x80), QColor(Qt::black)}) {
        QPalette palette;
        palette.setColor(QPalette::Window, window);
        EXPECT_GE(widgets::contrastRatio(widgets::warningColor(palette), window), 4.5) << window.name().toStdString();
    }
    EXPECT_NEAR(widgets::contrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(widgets::contrastRatio(Qt::white, Qt::white), 1.0, 1e-9);
}

TEST_F(AccessibilityTest, WarningsAreDrawnInTheReadableColour)
{
    compareFiles("id,v\n1,a\n1,b\n", "id,v\n1,a\n");
    auto* warning = find<QLabel>("keyWarningText");
    ASSERT_TRUE(warning->isVisibleTo(&window));
    const QColor text = warning->palette().color(QPalette::WindowText);
    EXPECT_GE(widgets::contrastRatio(text, warning->palette().color(QPalette::Window)), 4.5);

    QPalette dark = window.palette();
    dark.setColor(QPalette::Window, QColor(0x2a, 0x2a, 0x2a));
    dark.setColor(QPalette::WindowText, Qt::white);
    window.setPalette(dark);
    const QColor darkText = warning->palette().color(QPalette::WindowText);
    EXPECT_GE(widgets::contrastRatio(darkText, QColor(0x2a, 0x2a, 0x2a)), 4.5);
}

}  // namespace
}  // namespace rowlark::ui::testing
