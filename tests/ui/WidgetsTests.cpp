#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/SuggestionChip.h"

namespace rowlark::ui::testing {
namespace {

// How many pixels of the widget's picture differ from its top-left one, the background.
int inkedPixels(QWidget& widget)
{
    const QImage picture = widget.grab().toImage();
    int inked = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            inked += picture.pixel(x, y) != picture.pixel(0, 0) ? 1 : 0;
    return inked;
}

TEST(ElidedLabel, PaintsItsTextWholeOrShortened)
{
    widgets::ElidedLabel label;
    label.setText(QStringLiteral("quarterly-customer-export-2026-11-30.csv"));
    label.resize(label.fontMetrics().horizontalAdvance(label.text()) + 10, label.fontMetrics().height() + 4);
    const int whole = inkedPixels(label);
    EXPECT_GT(whole, 0);
    label.resize(label.fontMetrics().horizontalAdvance(QStringLiteral("quarterly…csv")), label.height());
    const int shortened = inkedPixels(label);
    EXPECT_GT(shortened, 0);
    EXPECT_LT(shortened, whole);
    EXPECT_EQ(label.text(), QStringLiteral("quarterly-customer-export-2026-11-30.csv"));

    label.setText({});
    EXPECT_EQ(inkedPixels(label), 0);
}

TEST(SuggestionChip, PaintsHeaderAndStrengthAndMarksTheChosenOne)
{
    widgets::SuggestionChip chip;
    chip.setSuggestion(QStringLiteral("customer_id"), QStringLiteral("98%"), false);
    chip.resize(chip.sizeHint());
    const QImage plain = chip.grab().toImage();
    chip.setSuggestion(QStringLiteral("customer_id"), QStringLiteral("98%"), true);
    EXPECT_TRUE(chip.isSelected());
    EXPECT_NE(chip.grab().toImage(), plain);
    EXPECT_GT(inkedPixels(chip), 0);
}

}  // namespace
}  // namespace rowlark::ui::testing
