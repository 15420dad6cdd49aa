#include "commandline.h"

#include "conversionhost.h"
#include "convertfile.h"
#include "failure.h"
#include "nativepath.h"
#include "picture.h"
#include "platform.h"
#include "statusline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>

#include <cstdio>
#include <new>

namespace {

const QString kStandardStream = QStringLiteral("-");

void printLine(std::FILE *stream, const QString &line)
{
    // File names go out as the bytes they were typed as.
    std::fputs(platform::NativePath(line).constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// The command line's own words for the engine's progress texts.
QString StepText(const QString &engineText)
{
    if (engineText == QLatin1String("Compatibility"))
        return QStringLiteral("reordering palette");
    if (engineText.endsWith(QLatin1String(" 4-bit")))
        return QStringLiteral("packing to 4 bits ") + engineText.chopped(6);
    return QStringLiteral("reading ") + engineText;
}

// Runs the engine for the command line. Options are fixed for the whole run;
// Ctrl+C asks the engine to stop, as the window's Abort button does.
class CommandLineHost final : public ConversionHost
{
public:
    CommandLineHost(bool fourBit, PalettePlacement placement, bool showProgress)
        : fourBit_(fourBit), placement_(placement), showProgress_(showProgress) {}

    bool fourBitWanted() const override { return fourBit_; }
    PalettePlacement palettePlacement() const override { return placement_; }
    bool abortRequested() const override { return platform::InterruptRequested(); }
    bool yield() override { return true; }

    void startFile(int number, int count, const QString &path)
    {
        number_ = number;
        count_ = count;
        name_ = path;
        setProgressText(QStringLiteral("0 %"));
    }

    void setProgressText(const QString &text) override { showStep(StepText(text)); }

    void showStep(const QString &step)
    {
        if (showProgress_)
            status_.show(number_, count_, name_, step);
    }

    void AppendError(const QString &message) override
    {
        status_.clear();
        printLine(stderr, message);
    }

    void finish() { status_.clear(); }

private:
    bool fourBit_;
    PalettePlacement placement_;
    bool showProgress_;
    StatusLine status_;
    int number_ = 0;
    int count_ = 0;
    QString name_;
};

int usageError(const QString &program, const QString &message)
{
    printLine(stderr, QStringLiteral("%1: %2").arg(program, message));
    printLine(stderr, QStringLiteral("Usage: %1 [options] --dest DIR FILE...").arg(program));
    printLine(stderr, QStringLiteral("Try '%1 --help' for more information.").arg(program));
    return ExitUsage;
}

// Where one FILE's picture goes.
struct Job
{
    QString source;             // as typed; "-" is standard input
    QString destination;        // a path, "-" for standard output, empty when only checking
};

QString FileName(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Two FILEs of one run must not write the same file: the second would silently
// replace the first. File names are compared as the file system compares them.
QString DestinationKey(const QString &destination)
{
    const QString key = QDir::cleanPath(QDir::current().absoluteFilePath(destination));
#ifdef Q_OS_WIN
    return key.toCaseFolded();
#else
    return key;
#endif
}

bool ReadStandardInput(QByteArray &bytes)
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    bytes = input.readAll();
    return input.error() == QFileDevice::NoError;
}

bool WriteStandardOutput(const QByteArray &bytes)
{
    QFile output;
    return output.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered) && output.write(bytes) == bytes.size()
        && output.flush();
}

// Converts, writes or checks one FILE; false when it was not converted.
bool RunJob(const Job &job, bool checkOnly, CommandLineHost &host)
{
    Picture picture;
    ConvertOutcome outcome;
    if (job.source == kStandardStream) {
        QByteArray bytes;
        if (!ReadStandardInput(bytes)) {
            host.AppendError(FailureLine({Failure::CannotOpen}, job.source, QString()));
            return false;
        }
        outcome = PrepareBytes(bytes, job.source, picture, host);
    } else {
        outcome = PrepareFile(job.source, picture, host);
    }
    if (outcome != ConvertOutcome::Written)
        return false;

    if (checkOnly) {
        host.finish();
        printLine(stdout, QStringLiteral("%1: %2 colours, %3-bit").arg(job.source).arg(picture.colourCount)
                                                                   .arg(picture.fourBitMode ? 4 : 8));
        return true;
    }
    host.showStep(QStringLiteral("writing"));
    if (job.destination == kStandardStream) {
        host.finish();
        if (WriteStandardOutput(EncodedPicture(picture)))
            return true;
        host.AppendError(FailureLine({Failure::CannotWrite}, job.source, job.destination));
        return false;
    }
    return WritePicture(picture, job.source, job.destination, host) == ConvertOutcome::Written;
}

// Standard input and output are held whole in memory; when they do not fit,
// that FILE is refused like a picture too large to index, and the run goes on.
bool RunJobSafely(const Job &job, bool checkOnly, CommandLineHost &host)
{
    try {
        return RunJob(job, checkOnly, host);
    } catch (const std::bad_alloc &) {
        host.AppendError(FailureLine({Failure::NotEnoughMemory}, job.source, job.destination));
        return false;
    }
}

QString HelpText(const QCommandLineParser &parser, const QString &program)
{
    // Qt's own usage line names the program by the path it was started with.
    QString help = parser.helpText();
    help.replace(0, help.indexOf(QLatin1Char('\n')),
                 QStringLiteral("Usage: %1 [options] --dest DIR FILE...\n"
                                "       %1 [options] --output PATH FILE\n"
                                "       %1 [options] --check FILE...")
                     .arg(program));
    return help;
}

} // namespace

int RunCommandLine(const QStringList &arguments)
{
    const QString program = QCoreApplication::applicationName();
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Converts 24-bit BMP pictures into palettized BMPs without any loss: 8 bits per pixel\n"
        "for at most 256 colours, 4 bits per pixel for at most 16. Pictures with more colours\n"
        "are refused. Each FILE is written to DIR under its own name. A FILE of - is read from\n"
        "standard input; --dest - writes to standard output. One of --dest, --output and\n"
        "--check is required."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption noFourBitOption(QStringLiteral("no-four-bit"),
        QStringLiteral("Always write 8 bits per pixel, even for pictures of at most 16 colours."));
    const QCommandLineOption placementOption(QStringLiteral("placement"),
        QStringLiteral("Where the two darkest colours go: none (order of first appearance), dos (darkest at "
                       "index 0, second-darkest at 1), boot (darkest at 1, second-darkest at 0; the default)."),
        QStringLiteral("none|dos|boot"), QStringLiteral("boot"));
    const QCommandLineOption destOption(QStringLiteral("dest"),
        QStringLiteral("The folder that receives the converted files, under their own names; - writes the "
                       "one FILE to standard output."),
        QStringLiteral("DIR"));
    const QCommandLineOption outputOption({QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Writes the one FILE to PATH."), QStringLiteral("PATH"));
    const QCommandLineOption checkOption(QStringLiteral("check"),
        QStringLiteral("Writes nothing: prints, for each FILE that would be converted, its number of colours "
                       "and whether it would have 8 or 4 bits per pixel."));
    parser.addOption(noFourBitOption);
    parser.addOption(placementOption);
    parser.addOption(destOption);
    parser.addOption(outputOption);
    parser.addOption(checkOption);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("24-bit BMP pictures to convert; - for standard input."),
                                 QStringLiteral("FILE..."));

    if (!parser.parse(arguments))
        return usageError(program, parser.errorText());
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(HelpText(parser, program).toLocal8Bit().constData(), stdout);
        return ExitConverted;
    }
    if (parser.isSet(versionOption)) {
        std::printf("%s %s\n", qPrintable(program), qPrintable(QCoreApplication::applicationVersion()));
        return ExitConverted;
    }

    const QString placementName = parser.value(placementOption);
    static const QHash<QString, PalettePlacement> placements = {{QStringLiteral("none"), PalettePlacement::None},
                                                                {QStringLiteral("dos"), PalettePlacement::Dos},
                                                                {QStringLiteral("boot"), PalettePlacement::BootScreen}};
    if (!placements.contains(placementName))
        return usageError(program, QStringLiteral("--placement must be none, dos or boot, not '%1'.").arg(placementName));
    const PalettePlacement placement = placements.value(placementName);
    const bool checkOnly = parser.isSet(checkOption);
    const bool toFolder = parser.isSet(destOption) && parser.value(destOption) != kStandardStream;
    const bool toStandardOutput = parser.isSet(destOption) && !toFolder;
    const bool toOutput = parser.isSet(outputOption);
    if (int(checkOnly) + int(parser.isSet(destOption)) + int(toOutput) > 1)
        return usageError(program, QStringLiteral("--dest, --output and --check go one at a time."));
    if (!checkOnly && !parser.isSet(destOption) && !toOutput)
        return usageError(program, QStringLiteral("Missing --dest DIR (or --output PATH, or --check)."));
    const QString destination = toFolder ? parser.value(destOption) : QString();
    if (toFolder && !platform::IsFolder(destination))
        return usageError(program, QStringLiteral("'%1' is not a folder.").arg(destination));
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(program, QStringLiteral("No FILE to convert."));
    if ((toOutput || toStandardOutput) && files.size() > 1)
        return usageError(program, QStringLiteral("--output and --dest - take exactly one FILE."));
    if (toFolder && files.contains(kStandardStream))
        return usageError(program, QStringLiteral("Standard input has no name to write under in DIR: use --output PATH or --dest -."));

    CommandLineHost host(!parser.isSet(noFourBitOption), placement, platform::StandardErrorIsTerminal());
    int status = ExitConverted;
    QList<Job> jobs;
    QSet<QString> claimed;
    for (const QString &file : files) {
        Job job{file, toFolder ? QDir(destination).filePath(FileName(file))
                      : toOutput ? parser.value(outputOption) : toStandardOutput ? kStandardStream : QString()};
        if (toFolder) {
            const QString key = DestinationKey(job.destination);
            if (claimed.contains(key)) {
                printLine(stderr, QStringLiteral("Duplicate destination - ") + job.destination);
                status = ExitSomeFailed;
                continue;
            }
            claimed.insert(key);
        }
        jobs << job;
    }

    platform::CatchInterrupt();
    qsizetype converted = 0;
    for (qsizetype i = 0; i < jobs.size() && !platform::InterruptRequested(); ++i) {
        host.startFile(int(i + 1), int(jobs.size()), jobs.at(i).source);
        if (RunJobSafely(jobs.at(i), checkOnly, host))
            ++converted;
        else
            status = ExitSomeFailed;
    }
    host.finish();
    if (platform::InterruptRequested()) {
        printLine(stderr, QStringLiteral("%1: interrupted; %2 of %3 files not converted")
                              .arg(program).arg(files.size() - converted).arg(files.size()));
        platform::EndAsInterrupted();
    }
    return status;
}
