#include "appinfo.h"
#include "codecs.h"
#include "fatalstop.h"
#include "form1.h"
#include "icons.h"
#include "platform.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstring>

namespace {

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(appinfo::Title());
    parser.addHelpOption();
    parser.addVersionOption();
}

// --help and --version only print text, so they are answered before anything
// needs a display.
bool asksOnlyForText(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "-?", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("bmp24to8"));
    QCoreApplication::setApplicationVersion(appinfo::Version());
}

} // namespace

int main(int argc, char *argv[])
{
    if (asksOnlyForText(argc, argv)) {
        QCoreApplication app(argc, argv);
        nameApplication();
        QCommandLineParser parser;
        describe(parser);
        parser.process(app);   // prints the text and ends the program
        return 0;
    }

    QApplication app(argc, argv);
    nameApplication();
    QGuiApplication::setDesktopFileName(appinfo::DesktopId());
    QApplication::setWindowIcon(MainWindowIcon());

    QCommandLineParser parser;
    describe(parser);
    parser.process(app);

    platform::IgnoreFileSizeSignal();
    SetCodecFatalHandler(ShowFatalStop);
    // The window shows itself, fading in, from its own timer.
    Form1 window;
    return app.exec();
}
