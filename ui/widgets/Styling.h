#pragma once

// Shared looks of the window: text sizes relative to the system font, dividers and prominent buttons.

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QString>

namespace rowlark::ui {

enum class TextStyle { largeTitle, title, title3, headline, callout, caption };

// The application font scaled for `style`, with the weight that style carries.
QFont styledFont(TextStyle style);

// A label in `style`; `isSecondary` fades its colour.
QLabel* styledLabel(const QString& text, TextStyle style, bool isSecondary, QWidget* parent = nullptr);

// A thin horizontal line between the bands of the window.
QFrame* horizontalDivider(QWidget* parent = nullptr);

// The accent-filled button of a screen's main action; `isLarge` adds room around its title.
void makeProminent(QPushButton* button, bool isLarge);

// A secondary action beside a prominent one: outlined, of the same height.
void makeBordered(QPushButton* button, bool isLarge);

}  // namespace rowlark::ui
