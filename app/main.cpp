#include "form1.h"
#include "icons.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("bmp24to8"));
    QApplication::setApplicationDisplayName(QStringLiteral("Picture converter 24 to 8 bit BMP"));
    QApplication::setApplicationVersion(QStringLiteral(BMP24TO8_VERSION));
    QApplication::setWindowIcon(MainWindowIcon());

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    Form1 window;
    window.show();
    return app.exec();
}
