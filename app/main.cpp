#include "appinfo.h"
#include "codecs.h"
#include "fatalstop.h"
#include "form1.h"
#include "icons.h"
#include "platform.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("bmp24to8"));
    QApplication::setApplicationVersion(appinfo::Version());
    QGuiApplication::setDesktopFileName(appinfo::DesktopId());
    QApplication::setWindowIcon(MainWindowIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(appinfo::Title());
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    platform::IgnoreFileSizeSignal();
    SetCodecFatalHandler(ShowFatalStop);
    // The window shows itself, fading in, from its own timer.
    Form1 window;
    return app.exec();
}
