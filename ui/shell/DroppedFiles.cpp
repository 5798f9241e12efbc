#include "ui/shell/DroppedFiles.h"

#include <QFile>
#include <QUrl>

#include "engine/setups/Setup.h"

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

bool isSetupFile(const QString& path)
{
    return setups::isSetupPath(QFile::encodeName(path).toStdString());
}

}  // namespace rowlark::ui::shell
