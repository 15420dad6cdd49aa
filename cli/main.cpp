#include "appinfo.h"
#include "commandline.h"
#include "nativepath.h"
#include "platform.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    // No application object: the command line needs no event loop, and
    // starting one would cost more than converting a small picture.
    QCoreApplication::setApplicationName(QStringLiteral("bmp24to8-cli"));
    QCoreApplication::setApplicationVersion(appinfo::Version());
    platform::IgnoreFileSizeSignal();
    return RunCommandLine(platform::CommandLineArguments(argc, argv));
}
