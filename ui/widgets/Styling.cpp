#include "ui/widgets/Styling.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QPalette>
#include <QTextBoundaryFinder>
#include <QTextDocument>

#include "model/UTF8Text.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::widgets {

namespace {

// One UTF-16 unit takes at most three bytes of UTF-8.
constexpr qsizetype utf8BytesPerUnit = 3;

struct StyleMetrics {
    qreal scale;
    QFont::Weight weight;
};

StyleMetrics metrics(TextStyle style)
{
    switch (style) {
    case TextStyle::largeTitle:
        return {2.1, QFont::DemiBold};
    case TextStyle::title:
        return {1.6, QFont::Normal};
    case TextStyle::title3:
        return {1.5, QFont::DemiBold};
    case TextStyle::headline:
        return {1.05, QFont::DemiBold};
    case TextStyle::callout:
        return {1.0, QFont::Normal};
    case TextStyle::caption:
        return {0.88, QFont::Normal};
    }
    return {1.0, QFont::Normal};
}

}  // namespace

QFont styledFont(TextStyle style)
{
    QFont font = QApplication::font();
    const StyleMetrics styleMetrics = metrics(style);
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * styleMetrics.scale);
    else
        font.setPixelSize(qRound(font.pixelSize() * styleMetrics.scale));
    font.setWeight(styleMetrics.weight);
    return font;
}

QFont emphasizedFont(TextStyle style)
{
    QFont font = styledFont(style);
    font.setWeight(QFont::DemiBold);
    return font;
}

QLabel* styledLabel(const QString& text, TextStyle style, bool isSecondary, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    styleLabel(label, style, isSecondary);
    return label;
}

void styleLabel(QLabel* label, TextStyle style, bool isSecondary)
{
    label->setTextFormat(Qt::PlainText);
    label->setFont(styledFont(style));
    if (isSecondary) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, secondaryColor(palette));
        label->setPalette(palette);
    }
}

QString plainToolTip(const QString& text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text) : text;
}

QString shortenedText(QStringView text, qsizetype limit)
{
    if (text.size() <= limit)
        return text.toString();
    // Whether a character ends at the cut depends only on what comes before it and the unit after it.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text.first(limit + 1).toString());
    characters.setPosition(limit);
    const qsizetype cut = characters.isAtBoundary() ? limit : std::max<qsizetype>(0, characters.toPreviousBoundary());
    return text.first(cut).toString() + QChar(0x2026);
}

QString decodedStart(std::string_view utf8, qsizetype limit)
{
    // A sequence cut at the end decodes to one stand-in, so three more units' worth of bytes keep two
    // real units past the limit.
    const auto decoded = static_cast<std::size_t>(utf8BytesPerUnit * (limit + 3));
    return model::utf8Text(utf8.substr(0, std::min(utf8.size(), decoded)));
}

QString shortenedText(std::string_view utf8, qsizetype limit)
{
    return shortenedText(decodedStart(utf8, limit), limit);
}

void addClearButton(QLineEdit* field)
{
    field->setClearButtonEnabled(true);
    // Qt names the clear button's action so; the button shows the action's text to assistive technology.
    if (auto* clear = field->findChild<QAction*>(QStringLiteral("_q_qlineeditclearaction"))) {
        clear->setText(QCoreApplication::translate("Styling", "Clear search"));
        clear->setToolTip(clear->text());
    }
}

namespace {

QFrame* divider(QFrame::Shape shape, QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Plain);
    QPalette palette = line->palette();
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.15);
    palette.setColor(QPalette::WindowText, color);
    line->setPalette(palette);
    return line;
}

QString buttonPadding(bool isLarge)
{
    return isLarge ? QStringLiteral("8px 18px") : QStringLiteral("5px 14px");
}

}  // namespace

QFrame* horizontalDivider(QWidget* parent)
{
    return divider(QFrame::HLine, parent);
}

QFrame* verticalDivider(QWidget* parent)
{
    return divider(QFrame::VLine, parent);
}

void makeBordered(QPushButton* button, bool isLarge)
{
    button->setStyleSheet(QStringLiteral("QPushButton { background: palette(button); border: 1px solid palette(mid); "
                                         "border-radius: 7px; padding: %1; }"
                                         "QPushButton:hover { background: palette(light); }"
                                         "QPushButton:focus { border: 2px solid %2; }"
                                         "QPushButton:disabled { color: palette(mid); }")
                              .arg(buttonPadding(isLarge), accentColor().name()));
}

void makeProminent(QPushButton* button, bool isLarge)
{
    const QColor accent = accentColor();
    const QString padding = buttonPadding(isLarge);
    button->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: 7px; "
                       "padding: %2; font-weight: 600; }"
                       "QPushButton:hover { background: %3; }"
                       "QPushButton:pressed { background: %4; }"
                       "QPushButton:focus { border: 2px solid %4; }"
                       "QPushButton:disabled { background: palette(midlight); color: palette(mid); }")
            .arg(accent.name(), padding, accent.lighter(110).name(), accent.darker(120).name()));
    button->setIconSize(QSize(16, 16));
}

namespace {

constexpr char compactProperty[] = "rowlarkIsCompact";
constexpr char usualMarginsProperty[] = "rowlarkUsualMargins";
constexpr char compactMarginsProperty[] = "rowlarkCompactMargins";
constexpr char hiddenWhenCompactProperty[] = "rowlarkHiddenWhenCompact";

void applyMargins(QLayout* layout, bool isCompact)
{
    const char* property = isCompact ? compactMarginsProperty : usualMarginsProperty;
    layout->setContentsMargins(layout->property(property).value<QMargins>());
}

}  // namespace

bool isCompact(const QWidget* widget)
{
    return widget->window()->property(compactProperty).toBool();
}

void setCompactMargins(QLayout* layout, const QMargins& compact)
{
    layout->setProperty(usualMarginsProperty, QVariant::fromValue(layout->contentsMargins()));
    layout->setProperty(compactMarginsProperty, QVariant::fromValue(compact));
    if (layout->parentWidget())
        applyMargins(layout, isCompact(layout->parentWidget()));
}

void hideWhenCompact(QWidget* widget)
{
    widget->setProperty(hiddenWhenCompactProperty, true);
    widget->setHidden(isCompact(widget));
}

void setCompact(QWidget* window, bool isCompact)
{
    if (window->property(compactProperty).toBool() == isCompact)
        return;
    window->setProperty(compactProperty, isCompact);
    for (QLayout* layout : window->findChildren<QLayout*>())
        if (layout->property(compactMarginsProperty).isValid())
            applyMargins(layout, isCompact);
    for (QWidget* widget : window->findChildren<QWidget*>())
        if (widget->property(hiddenWhenCompactProperty).toBool())
            widget->setHidden(isCompact);
}

}  // namespace rowlark::ui::widgets
