#pragma once

// One ranked suggestion of the mapping screen as a capsule button: a check mark when it is the chosen
// column, the column's header (shortened in the middle when the room runs out) and its strength.

#include <QAbstractButton>

namespace rowlark::ui::widgets {

class SuggestionChip : public QAbstractButton {
    Q_OBJECT

public:
    explicit SuggestionChip(QWidget* parent = nullptr);

    void setSuggestion(const QString& header, const QString& strength, bool isSelected);
    QString header() const { return text(); }
    QString strength() const { return strength_; }
    bool isSelected() const { return isSelected_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int fixedPartsWidth() const;
    QString shownHeader(int width) const;

    QString strength_;
    bool isSelected_ = false;
};

}  // namespace rowlark::ui::widgets
