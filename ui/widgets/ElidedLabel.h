#pragma once

// A one-line label that keeps its whole text (for `text()` and accessibility) but draws it shortened
// in the middle with "…" when the width runs out, as file names are told apart by both ends.

#include <QLabel>

namespace rowlark::ui::widgets {

class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace rowlark::ui::widgets
