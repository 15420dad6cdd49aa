#include "appinfo.h"
#include "form1.h"
#include "icons.h"
#include "nativepath.h"
#include "bmp24to8/platform.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(appinfo::Title());
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PATH"),
                                 QStringLiteral("A picture to highlight in its folder, or a folder to open."),
                                 QStringLiteral("[PATH]"));
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

// Prints --help's or --version's text; a standard output that cannot take it
// (closed, full) fails the program, as it would any other.
int printText(const QByteArray &text)
{
    errno = 0;
    if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) == size_t(text.size()) && std::fflush(stdout) == 0)
        return 0;
    std::fprintf(stderr, "bmp24to8: write error: %s\n", std::strerror(errno != 0 ? errno : EIO));
    return 1;
}

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("bmp24to8"));
    QCoreApplication::setApplicationVersion(appinfo::Version());
}

} // namespace

int main(int argc, char *argv[])
{
    platform::PrepareStandardStreams();
    if (asksOnlyForText(argc, argv)) {
        QCoreApplication app(argc, argv);
        nameApplication();
        QCommandLineParser parser;
        describe(parser);
        if (!parser.parse(QCoreApplication::arguments())) {
            std::fprintf(stderr, "%s\n", qPrintable(parser.errorText()));
            return 1;
        }
        QString text = QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion()
            + QLatin1Char('\n');
        if (!parser.isSet(QStringLiteral("version"))) {
            // Qt's own usage line names the program by the path it was started with.
            text = parser.helpText();
            text.replace(0, text.indexOf(QLatin1Char('\n')), QStringLiteral("Usage: bmp24to8 [options] [PATH]"));
        }
        return printText(text.toLocal8Bit());
    }

    QApplication app(argc, argv);
    nameApplication();
    QGuiApplication::setDesktopFileName(appinfo::DesktopId());
    QApplication::setWindowIcon(MainWindowIcon());

    QCommandLineParser parser;
    describe(parser);
    // File names as the file system stores them, whatever their encoding.
    parser.process(qtfiles::CommandLineArguments(argc, argv));

    platform::IgnoreFileSizeSignal();
    // Ended by a signal while a file is written, the window leaves no
    // temporary file behind.
    platform::CatchSignals(platform::Interrupt::EndsAtOnce);
    // The window shows itself, fading in, from its own timer.
    Form1 window;
    // "Open with" from a file manager passes a picture; of several, the first
    // that exists counts, and each missing one before it is reported.
    QStringList missing;
    QString opened;
    for (const QString &path : parser.positionalArguments()) {
        if (window.startAt(path)) {
            opened = path;
            break;
        }
        missing << path;
    }
    for (const QString &path : missing) {
        std::fprintf(stderr, "bmp24to8: %s: no such file or folder; %s\n", qtfiles::NativePath(path).constData(),
                     opened.isEmpty() ? "starting in the current folder" : ("opening " + qtfiles::NativePath(opened)).constData());
        // A file manager shows no standard error: the window says it too.
        Reported({bmp24to8::Failure::CannotOpen}, path, QString(), window);
    }
    return app.exec();
}
