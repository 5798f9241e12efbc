#pragma once

// Files dragged onto the window from a file manager.

#include <QMimeData>
#include <QStringList>

namespace rowlark::ui::shell {

// The local files a drag carries, in the order given; links to other places are left out.
QStringList localFilePaths(const QMimeData* data);

// Whether the file is a saved comparison setup (.rowlark), which opens as a whole comparison
// wherever it is dropped or however it is opened.
bool isSetupFile(const QString& path);

}  // namespace rowlark::ui::shell
