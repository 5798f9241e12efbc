#pragma once

// Shared looks of the window: text sizes relative to the system font, dividers and prominent buttons.

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMargins>
#include <QPushButton>
#include <QString>
#include <QStringView>

#include <string_view>

namespace rowlark::ui::widgets {

enum class TextStyle { largeTitle, title, title3, headline, callout, caption };

// The application font scaled for `style`, with the weight that style carries.
QFont styledFont(TextStyle style);
// The style's font in semibold, for the name or count that leads a line.
QFont emphasizedFont(TextStyle style);

// A label in `style`; `isSecondary` fades its colour. Its text is always plain, as labels show names and
// values from the files and the user, which must never be taken for markup.
QLabel* styledLabel(const QString& text, TextStyle style, bool isSecondary, QWidget* parent = nullptr);
// Gives a label of another kind the look of styledLabel.
void styleLabel(QLabel* label, TextStyle style, bool isSecondary);

// Hover help that shows `text` as written: tooltips guess their format, so a text from a file or the user
// that would pass for markup goes in escaped.
QString plainToolTip(const QString& text);

// The most characters a one-line text shows; longer texts are cut, so that laying out or eliding an
// enormous name or value costs no more than a long one.
inline constexpr qsizetype shownTextLength = 200;

// `text` when it has at most `limit` UTF-16 units; otherwise its start cut at the last character boundary
// within `limit`, followed by "…". Only that start is ever looked at, so a value of megabytes costs no
// more than a short one.
QString shortenedText(QStringView text, qsizetype limit);
QString shortenedText(std::string_view utf8, qsizetype limit);

// As much of UTF-8 `utf8` as shortening it to `limit` looks at: all of it, or more than `limit` + 1
// units, so that its shortened form always differs from it.
QString decodedStart(std::string_view utf8, qsizetype limit);

// `text` as one line shows it: shortened to `shownTextLength`.
inline QString boundedText(QStringView text)
{
    return shortenedText(text, shownTextLength);
}
inline QString boundedText(std::string_view utf8)
{
    return shortenedText(utf8, shownTextLength);
}

// Gives a search field the button that clears it, named for assistive technology and its tooltip
// (Qt's own button has no name).
void addClearButton(QLineEdit* field);

// A thin horizontal line between the bands of the window.
QFrame* horizontalDivider(QWidget* parent = nullptr);
// A thin vertical line between panes side by side.
QFrame* verticalDivider(QWidget* parent = nullptr);

// The accent-filled button of a screen's main action; `isLarge` adds room around its title.
void makeProminent(QPushButton* button, bool isLarge);

// A secondary action beside a prominent one: outlined, of the same height.
void makeBordered(QPushButton* button, bool isLarge);

// A short window (a small laptop screen, or a large one at twice the scale) lays its bands out
// tighter: a layout given compact margins takes them while its window is short, and its usual
// margins, those it has now, otherwise; a widget that only decorates is hidden meanwhile.
void setCompactMargins(QLayout* layout, const QMargins& compact);
void hideWhenCompact(QWidget* widget);
// Applies the window's shortness to every layout and widget in it so marked.
void setCompact(QWidget* window, bool isCompact);
bool isCompact(const QWidget* widget);

}  // namespace rowlark::ui::widgets
