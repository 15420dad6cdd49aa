#include "appinfo.h"
#include "commandline.h"
#include "nativepath.h"
#include "platform.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bmp24to8-cli"));
    QCoreApplication::setApplicationVersion(appinfo::Version());
    platform::IgnoreFileSizeSignal();
    return RunCommandLine(platform::CommandLineArguments(argc, argv));
}
