#pragma once

// A one-line label that keeps its whole text (for `text()` and accessibility) but draws it shortened
// with "…" when the width runs out: in the middle by default, as file names are told apart by both
// ends; at the end for a sentence. A shortened text shows whole in the label's tooltip.

#include <QLabel>

namespace rowlark::ui::widgets {

class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr, Qt::TextElideMode mode = Qt::ElideMiddle);

    QSize minimumSizeHint() const override;
    // Whether the text is drawn shortened at the label's width.
    bool isElided() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    Qt::TextElideMode mode_;
};

}  // namespace rowlark::ui::widgets
