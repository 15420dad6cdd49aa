#include "commandline.h"

#include "conversionhost.h"
#include "convertfile.h"
#include "platform.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t interruptRequested = 0;

extern "C" void onInterrupt(int)
{
    interruptRequested = 1;
}

void printError(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// Runs the engine for the command line. Options are fixed for the whole run;
// Ctrl+C asks the engine to stop, as the window's Abort button does.
class CommandLineHost final : public ConversionHost
{
public:
    CommandLineHost(bool fourBit, const QString &placement, bool showProgress)
        : fourBit_(fourBit), placement_(placement), showProgress_(showProgress) {}

    int check1Value() const override { return fourBit_ ? 1 : 0; }
    bool option1Selected() const override { return placement_ == QLatin1String("none"); }
    bool option2Selected() const override { return placement_ == QLatin1String("dos"); }
    bool abortRequested() const override { return interruptRequested != 0; }
    bool yield() override { return true; }

    void startFile(int number, int count, const QString &path)
    {
        prefix_ = QStringLiteral("[%1/%2] %3 ").arg(number).arg(count).arg(QFileInfo(path).fileName());
        if (showProgress_)
            draw(prefix_);
    }

    void setProgressText(const QString &text) override
    {
        if (showProgress_)
            draw(prefix_ + text);
    }

    void AppendError(const QString &message) override
    {
        clearLine();
        printError(message);
    }

    void finish() { clearLine(); }

private:
    void draw(const QString &line)
    {
        const QByteArray bytes = line.toLocal8Bit();
        // Blanks over whatever is left of a longer previous line.
        const QByteArray blanks(qMax<qsizetype>(0, shownWidth_ - bytes.size()), ' ');
        std::fprintf(stderr, "\r%s%s", bytes.constData(), blanks.constData());
        std::fflush(stderr);
        shownWidth_ = bytes.size();
    }

    void clearLine()
    {
        if (shownWidth_ == 0)
            return;
        std::fprintf(stderr, "\r%s\r", QByteArray(shownWidth_, ' ').constData());
        std::fflush(stderr);
        shownWidth_ = 0;
    }

    bool fourBit_;
    QString placement_;
    bool showProgress_;
    QString prefix_;
    qsizetype shownWidth_ = 0;
};

int usageError(const QString &program, const QString &message)
{
    printError(QStringLiteral("%1: %2").arg(program, message));
    printError(QStringLiteral("Usage: %1 [--no-four-bit] [--placement none|dos|boot] --dest DIR FILE...").arg(program));
    printError(QStringLiteral("Try '%1 --help' for more information.").arg(program));
    return ExitUsage;
}

} // namespace

int RunCommandLine(const QStringList &arguments)
{
    const QString program = QCoreApplication::applicationName();
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Converts 24-bit BMP pictures into palettized BMPs without any loss: 8 bits per pixel\n"
        "for at most 256 colours, 4 bits per pixel for at most 16. Pictures with more colours\n"
        "are refused. Each FILE is written to DIR under its own name."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption noFourBitOption(QStringLiteral("no-four-bit"),
        QStringLiteral("Always write 8 bits per pixel, even for pictures of at most 16 colours."));
    const QCommandLineOption placementOption(QStringLiteral("placement"),
        QStringLiteral("Where the two darkest colours go: none (order of first appearance), dos (darkest at "
                       "index 0, second-darkest at 1), boot (darkest at 1, second-darkest at 0; the default)."),
        QStringLiteral("none|dos|boot"), QStringLiteral("boot"));
    const QCommandLineOption destOption(QStringLiteral("dest"),
        QStringLiteral("The folder that receives the converted files."), QStringLiteral("DIR"));
    parser.addOption(noFourBitOption);
    parser.addOption(placementOption);
    parser.addOption(destOption);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("24-bit BMP pictures to convert."),
                                 QStringLiteral("FILE..."));

    if (!parser.parse(arguments))
        return usageError(program, parser.errorText());
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return ExitConverted;
    }
    if (parser.isSet(versionOption)) {
        std::printf("%s %s\n", qPrintable(program), qPrintable(QCoreApplication::applicationVersion()));
        return ExitConverted;
    }

    const QString placement = parser.value(placementOption);
    if (placement != QLatin1String("none") && placement != QLatin1String("dos") && placement != QLatin1String("boot"))
        return usageError(program, QStringLiteral("--placement must be none, dos or boot, not '%1'.").arg(placement));
    if (!parser.isSet(destOption))
        return usageError(program, QStringLiteral("Missing --dest DIR."));
    const QString destination = parser.value(destOption);
    if (!QFileInfo(destination).isDir())
        return usageError(program, QStringLiteral("'%1' is not a folder.").arg(destination));
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(program, QStringLiteral("No FILE to convert."));

    CommandLineHost host(!parser.isSet(noFourBitOption), placement, platform::StandardErrorIsTerminal());
    const auto previousHandler = std::signal(SIGINT, onInterrupt);
    const QDir destinationDir(destination);
    int status = ExitConverted;
    for (qsizetype i = 0; i < files.size() && !host.abortRequested(); ++i) {
        const QString &file = files.at(i);
        host.startFile(int(i + 1), int(files.size()), file);
        if (ConvertFile(file, destinationDir.filePath(QFileInfo(file).fileName()), host) != ConvertOutcome::Written)
            status = ExitSomeFailed;
    }
    host.finish();
    std::signal(SIGINT, previousHandler);
    return status;
}
