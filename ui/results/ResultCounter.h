#pragma once

// One count of the summary bar: a coloured dot, the number and what it counts.

#include <QColor>
#include <QLabel>
#include <QWidget>

#include "ui/widgets/ElidedLabel.h"

namespace rowlark::ui::results {

class ResultCounter : public QWidget {
    Q_OBJECT

public:
    ResultCounter(const QColor& dotColor, QWidget* parent = nullptr);

    void setCount(qint64 count, const QString& label);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor dotColor_;
    QLabel* number_;
    widgets::ElidedLabel* label_;
};

}  // namespace rowlark::ui::results
