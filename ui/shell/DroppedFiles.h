#pragma once

// Files dragged onto the window from a file manager.

#include <QMimeData>
#include <QStringList>

namespace rowlark::ui::shell {

// The local files a drag carries, in the order given; links to other places are left out.
QStringList localFilePaths(const QMimeData* data);

}  // namespace rowlark::ui::shell
