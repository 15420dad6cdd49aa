// Writes the main window's icon as PNG files, one per size, for the desktop's
// icon theme: FOLDER/<size>.png.
//
//   iconexport FOLDER
#include "icons.h"

#include <QDir>
#include <QGuiApplication>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral(".")))
        return 1;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        if (!MainWindowIcon().pixmap(size, size).save(folder.filePath(QStringLiteral("%1.png").arg(size))))
            return 1;
    }
    return 0;
}
