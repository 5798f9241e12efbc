#include "ui/shell/DroppedFiles.h"

#include <QUrl>

namespace rowlark::ui::shell {

QStringList localFilePaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

}  // namespace rowlark::ui::shell
