#include "model/Translations.h"

#include <QCoreApplication>
#include <QTranslator>

namespace rowlark::model {

void installTranslations(QCoreApplication& application)
{
    auto* english = new QTranslator(&application);
    if (english->load(QStringLiteral(":/i18n/rowlark_en.qm")))
        QCoreApplication::installTranslator(english);
}

}  // namespace rowlark::model
