#include "ui/results/ResultCounter.h"

#include <QHBoxLayout>
#include <QPainter>

#include "ui/results/ResultTexts.h"
#include "ui/widgets/ElidedLabel.h"
#include "ui/widgets/Styling.h"
#include "ui/widgets/Symbols.h"

namespace rowlark::ui::results {

namespace {

constexpr int dotSize = 6;
constexpr int dotSpace = dotSize + 7;

}  // namespace

ResultCounter::ResultCounter(const QColor& dotColor, QWidget* parent)
    : QWidget(parent)
    , dotColor_(dotColor)
{
    number_ = widgets::styledLabel(QString(), widgets::TextStyle::headline, false, this);
    number_->setObjectName(QStringLiteral("counterNumber"));
    // Long file names give way in the middle before they push the search field out of the window.
    label_ = new widgets::ElidedLabel(this);
    label_->setObjectName(QStringLiteral("counterLabel"));
    label_->setFont(widgets::styledFont(widgets::TextStyle::caption));
    label_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    QPalette faded = label_->palette();
    faded.setColor(QPalette::WindowText, widgets::secondaryColor(faded));
    label_->setPalette(faded);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(dotSpace, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(number_, 0, Qt::AlignBaseline);
    row->addWidget(label_, 0, Qt::AlignBaseline);
}

void ResultCounter::setCount(qint64 count, const QString& label)
{
    number_->setText(groupedNumber(count));
    label_->setText(label);
    setAccessibleName(number_->text() + QLatin1Char(' ') + label);
}

void ResultCounter::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(dotColor_);
    const QRect number = number_->geometry();
    painter.drawEllipse(QRectF(0, number.center().y() - dotSize / 2.0 + 1, dotSize, dotSize));
}

}  // namespace rowlark::ui::results
