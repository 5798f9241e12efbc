// Renders the window's main screens to PNG files on the offscreen platform, for the README and for
// looking at the layout without a display: rowlark-screens OUTPUT_FOLDER

#include <cstdio>
#include <memory>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPainter>
#include <QTest>

#include "ComparisonModel.h"
#include "MainWindow.h"

namespace {

class NoDialogs : public rowlark::FileDialogs {
public:
    std::optional<QString> openFile(const QString&, const QStringList&) override { return std::nullopt; }
    std::optional<QString> saveFile(const QString&, const QString&) override { return std::nullopt; }
};

void settle()
{
    QTest::qWait(300);
}

bool save(const QPixmap& picture, const QDir& folder, const QString& name)
{
    const QString path = folder.filePath(name);
    const bool isSaved = picture.save(path);
    std::printf("%s %s\n", isSaved ? "wrote" : "could not write", qPrintable(path));
    return isSaved;
}

// The window with its alert drawn over the middle, as a window manager would place it.
QPixmap withAlert(QWidget& window)
{
    QPixmap picture = window.grab();
    const auto* alert = window.findChild<QMessageBox*>(QStringLiteral("errorAlert"));
    if (!alert)
        return picture;
    const QPixmap sheet = const_cast<QMessageBox*>(alert)->grab();
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QColor(0, 0, 0, 60));
    const QPoint topLeft((picture.width() / picture.devicePixelRatio() - sheet.width()) / 2,
                         (picture.height() / picture.devicePixelRatio() - sheet.height()) / 3);
    painter.drawPixmap(topLeft, sheet);
    return picture;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: rowlark-screens OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    rowlark::ComparisonModel model(std::make_shared<NoDialogs>());
    rowlark::ui::MainWindow window(model);
    window.show();
    settle();
    bool isComplete = save(window.grab(), folder, QStringLiteral("empty-state.png"));

    model.loadSample();
    if (!QTest::qWaitFor([&model] { return !model.isBusy(); }, 20000)) {
        std::fprintf(stderr, "the samples did not load\n");
        return 1;
    }
    settle();
    isComplete &= save(window.grab(), folder, QStringLiteral("mapping-samples.png"));

    model.setErrorMessage(QStringLiteral("The CSV contains an unclosed quoted field."));
    settle();
    isComplete &= save(withAlert(window), folder, QStringLiteral("error-alert.png"));
    return isComplete ? 0 : 1;
}
