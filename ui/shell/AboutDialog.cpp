#include "ui/shell/AboutDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "RowlarkVersion.h"
#include "ui/shell/ComparisonWorkspace.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::shell {

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(tr("About Rowlark"));

    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().pixmap(96));
    auto* name = widgets::styledLabel(QStringLiteral("Rowlark"), widgets::TextStyle::title, false, this);
    auto* versionLabel =
        widgets::styledLabel(tr("Version %1").arg(QLatin1String(version)), widgets::TextStyle::callout, true, this);
    versionLabel->setObjectName(QStringLiteral("aboutVersion"));
    auto* line = widgets::styledLabel(tagline(), widgets::TextStyle::callout, false, this);
    auto* note = widgets::styledLabel(privacyNote(), widgets::TextStyle::callout, true, this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(32, 24, 32, 16);
    column->setSpacing(6);
    column->addWidget(icon, 0, Qt::AlignHCenter);
    column->addWidget(name, 0, Qt::AlignHCenter);
    column->addWidget(versionLabel, 0, Qt::AlignHCenter);
    column->addSpacing(10);
    column->addWidget(line, 0, Qt::AlignHCenter);
    column->addWidget(note, 0, Qt::AlignHCenter);
    column->addSpacing(14);
    column->addWidget(buttons, 0, Qt::AlignHCenter);
}

}  // namespace rowlark::ui::shell
