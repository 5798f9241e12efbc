#include "ui/widgets/Symbols.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>

// The symbols are compiled into the static ui library, whose resources a program must register
// itself; this cannot sit inside a namespace.
static void registerSymbolResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace rowlark::ui::widgets {

namespace {

QString resourcePath(Symbol symbol)
{
    switch (symbol) {
    case Symbol::compare:
        return QStringLiteral(":/icons/compare.svg");
    case Symbol::lock:
        return QStringLiteral(":/icons/lock.svg");
    case Symbol::documentAdd:
        return QStringLiteral(":/icons/document-add.svg");
    case Symbol::table:
        return QStringLiteral(":/icons/table.svg");
    case Symbol::folder:
        return QStringLiteral(":/icons/folder.svg");
    case Symbol::info:
        return QStringLiteral(":/icons/info.svg");
    case Symbol::exportReport:
        return QStringLiteral(":/icons/export.svg");
    case Symbol::tables:
        return QStringLiteral(":/icons/tables.svg");
    case Symbol::reset:
        return QStringLiteral(":/icons/reset.svg");
    case Symbol::key:
        return QStringLiteral(":/icons/key.svg");
    case Symbol::braces:
        return QStringLiteral(":/icons/braces.svg");
    case Symbol::checkmark:
        return QStringLiteral(":/icons/checkmark.svg");
    case Symbol::pencil:
        return QStringLiteral(":/icons/pencil.svg");
    case Symbol::pencilCircle:
        return QStringLiteral(":/icons/pencil-circle.svg");
    case Symbol::minusCircle:
        return QStringLiteral(":/icons/minus-circle.svg");
    case Symbol::plusCircle:
        return QStringLiteral(":/icons/plus-circle.svg");
    case Symbol::warning:
        return QStringLiteral(":/icons/warning.svg");
    case Symbol::checkmarkCircle:
        return QStringLiteral(":/icons/checkmark-circle.svg");
    case Symbol::sidebar:
        return QStringLiteral(":/icons/sidebar.svg");
    case Symbol::chevronLeft:
        return QStringLiteral(":/icons/chevron-left.svg");
    case Symbol::chevronRight:
        return QStringLiteral(":/icons/chevron-right.svg");
    case Symbol::search:
        return QStringLiteral(":/icons/search.svg");
    }
    return {};
}

}  // namespace

QPixmap symbolPixmap(Symbol symbol, int size, const QColor& color, qreal devicePixelRatio)
{
    static const bool isRegistered = (registerSymbolResources(), true);
    Q_UNUSED(isRegistered);
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QSvgRenderer renderer(resourcePath(symbol));
    renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    // The drawings are black; keeping their coverage and replacing the colour tints them.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon symbolIcon(Symbol symbol, const QColor& color)
{
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    const QColor disabled = QApplication::palette().color(QPalette::Disabled, QPalette::ButtonText);
    QIcon icon;
    for (const int size : {16, 20, 24}) {
        icon.addPixmap(symbolPixmap(symbol, size, color, ratio), QIcon::Normal);
        icon.addPixmap(symbolPixmap(symbol, size, disabled, ratio), QIcon::Disabled);
    }
    return icon;
}

QLabel* symbolLabel(Symbol symbol, int size, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(parent);
    const qreal ratio = parent ? parent->devicePixelRatioF() : 1.0;
    label->setPixmap(symbolPixmap(symbol, size, color, ratio));
    label->setFixedSize(size, size);
    return label;
}

QColor accentColor()
{
    return QColor(0x0a, 0x7a, 0xff);
}

QColor greenColor()
{
    return QColor(0x28, 0xa7, 0x45);
}

QColor orangeColor()
{
    return QColor(0xf0, 0x8a, 0x00);
}

QColor redColor()
{
    return QColor(0xe0, 0x3a, 0x3e);
}

QColor secondaryColor(const QPalette& palette)
{
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.6);
    return color;
}

namespace {

double relativeLuminance(const QColor& color)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) + 0.0722 * linear(color.blueF());
}

}  // namespace

double contrastRatio(const QColor& first, const QColor& second)
{
    const double lighter = std::max(relativeLuminance(first), relativeLuminance(second));
    const double darker = std::min(relativeLuminance(first), relativeLuminance(second));
    return (lighter + 0.05) / (darker + 0.05);
}

// The orange mixed step by step toward white or black, whichever stands further from the window.
QColor warningColor(const QPalette& palette)
{
    constexpr double leastContrast = 4.5;
    const QColor window = palette.color(QPalette::Window);
    const QColor extreme =
        contrastRatio(Qt::white, window) > contrastRatio(Qt::black, window) ? QColor(Qt::white) : QColor(Qt::black);
    const QColor orange = orangeColor();
    QColor color = orange;
    for (int step = 1; step <= 20 && contrastRatio(color, window) < leastContrast; ++step) {
        const double share = step / 20.0;
        color = QColor::fromRgbF(static_cast<float>(orange.redF() + (extreme.redF() - orange.redF()) * share),
                                 static_cast<float>(orange.greenF() + (extreme.greenF() - orange.greenF()) * share),
                                 static_cast<float>(orange.blueF() + (extreme.blueF() - orange.blueF()) * share));
    }
    return color;
}

}  // namespace rowlark::ui::widgets
