#pragma once

// The About box of the Help menu: the application's icon, name and version, and what it does.

#include <QDialog>

namespace rowlark::ui::shell {

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace rowlark::ui::shell
