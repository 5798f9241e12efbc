#pragma once

// The window's symbols: small line drawings bundled with the program, tinted to the colour each place
// needs so that they follow the light or dark palette.

#include <QColor>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QString>

namespace rowlark::ui::widgets {

enum class Symbol {
    compare,
    lock,
    documentAdd,
    table,
    folder,
    info,
    exportReport,
    tables,
    reset,
    key,
    braces,
    checkmark,
    pencil,
    pencilCircle,
    minusCircle,
    plusCircle,
    warning,
    checkmarkCircle,
    sidebar,
    chevronLeft,
    chevronRight,
    search,
};

// The symbol drawn `size` device-independent pixels square in `color`, sharp at `devicePixelRatio`.
QPixmap symbolPixmap(Symbol symbol, int size, const QColor& color, qreal devicePixelRatio);

// An icon for buttons: the symbol in `color`, and in the palette's disabled text colour when disabled.
QIcon symbolIcon(Symbol symbol, const QColor& color);

// A label that shows only the symbol, `size` pixels square.
QLabel* symbolLabel(Symbol symbol, int size, const QColor& color, QWidget* parent = nullptr);

// The blue every accent of the window is drawn in.
QColor accentColor();
// The colours of the result statuses and warnings: matching, changed (and every warning), only in File A.
QColor greenColor();
QColor orangeColor();
QColor redColor();
// The colour of secondary text: the palette's text colour, faded.
QColor secondaryColor(const QPalette& palette);

// The orange of warnings as text and symbols on the palette's window: darkened on a light window and
// lightened on a dark one until it reads at 4.5 : 1 at the least.
QColor warningColor(const QPalette& palette);
// The contrast ratio of two opaque colours as the Web Content Accessibility Guidelines define it, 1 to 21.
double contrastRatio(const QColor& first, const QColor& second);

}  // namespace rowlark::ui::widgets
