#pragma once

// The program's texts are written in English; the English translation supplies the singular and
// plural forms of the texts that hold a count ("1 result", "2 results"), which tr() picks by number.

class QCoreApplication;

namespace rowlark::model {

// Installs the translation in `application`, which keeps it; before any text is made.
void installTranslations(QCoreApplication& application);

}  // namespace rowlark::model
