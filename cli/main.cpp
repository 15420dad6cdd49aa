#include "commandline.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bmp24to8-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BMP24TO8_VERSION));
    return RunCommandLine(QCoreApplication::arguments());
}
