// The command-line front end, run as a separate process the way a user runs it.
#include "fakehost.h"
#include "identity.h"
#include "testbmp.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>

using namespace bmp24to8;
#endif

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;

    Run run(const QStringList &arguments, const QByteArray &input = {}, const QString &program = QStringLiteral(CLI_PATH))
    {
        QProcess process;
        process.setWorkingDirectory(dir_.path());
        process.start(program, arguments);
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000))
            return {};
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

    QString path(const QString &name) const { return dir_.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("out")));
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("src/sub")));
        QVERIFY(WriteFileBytes(path(QStringLiteral("src/good.bmp")),
                               MakeSource({.width = 3, .height = 2, .pixel = [](int x, int) { return DistinctColour(x); }})));
        QVERIFY(WriteFileBytes(path(QStringLiteral("src/bad.bmp")), "not a picture"));
        QVERIFY(WriteFileBytes(path(QStringLiteral("afile")), "x"));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("complaint");
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate"), QStringLiteral("--dest"),
                                                       QStringLiteral("out"), QStringLiteral("src/good.bmp")}
                                        << QByteArray("frobnicate");
        QTest::newRow("missing --dest") << QStringList{QStringLiteral("src/good.bmp")} << QByteArray("--dest");
        QTest::newRow("no FILE") << QStringList{QStringLiteral("--dest"), QStringLiteral("out")} << QByteArray("FILE");
        QTest::newRow("DIR missing") << QStringList{QStringLiteral("--dest"), QStringLiteral("nowhere"), QStringLiteral("src/good.bmp")}
                                     << QByteArray("'nowhere' does not exist.");
        QTest::newRow("DIR is a file") << QStringList{QStringLiteral("--dest"), QStringLiteral("afile"), QStringLiteral("src/good.bmp")}
                                       << QByteArray("'afile' is not a folder");
        QTest::newRow("bad placement") << QStringList{QStringLiteral("--placement"), QStringLiteral("left"), QStringLiteral("--dest"),
                                                      QStringLiteral("out"), QStringLiteral("src/good.bmp")}
                                       << QByteArray("none, dos or boot");
        QTest::newRow("--dest without value") << QStringList{QStringLiteral("src/good.bmp"), QStringLiteral("--dest")}
                                              << QByteArray("dest");
        QTest::newRow("--output with --dest") << QStringList{"-o", "out/x.bmp", "--dest", "out", "src/good.bmp"}
                                              << QByteArray("one at a time");
        QTest::newRow("--check with --dest") << QStringList{"--check", "--dest", "out", "src/good.bmp"}
                                             << QByteArray("one at a time");
        QTest::newRow("two FILEs, --output") << QStringList{"-o", "out/x.bmp", "src/good.bmp", "src/bad.bmp"}
                                             << QByteArray("exactly one FILE");
        QTest::newRow("two FILEs, --dest -") << QStringList{"--dest", "-", "src/good.bmp", "src/bad.bmp"}
                                             << QByteArray("exactly one FILE");
        QTest::newRow("standard input into DIR") << QStringList{"--dest", "out", "-"} << QByteArray("Standard input");
        QTest::newRow("value for a switch") << QStringList{"--check=yes", "src/good.bmp"}
                                            << QByteArray("Unexpected value after '--check'.");
        QTest::newRow("-o without value") << QStringList{"src/good.bmp", "-o"} << QByteArray("Missing value after '-o'.");
        QTest::newRow("standard input twice") << QStringList{"--check", "-", "-"} << QByteArray("read only once");
        QTest::newRow("- and /dev/stdin") << QStringList{"--check", "-", "/dev/stdin"} << QByteArray("read only once (- is /dev/stdin)");
        QTest::newRow("/dev/fd/0 and -") << QStringList{"--check", "/dev/fd/0", "-"} << QByteArray("read only once (/dev/fd/0 is -)");
        QTest::newRow("empty --output") << QStringList{"-o", "", "src/good.bmp"} << QByteArray("empty");
        QTest::newRow("a FILE that starts with a dash")
            << QStringList{"--check", "-dash.bmp"}
            << QByteArray("Unknown option '-dash.bmp' (put -- before file names that start with a dash).");
        QTest::newRow("two unknown options") << QStringList{"--frob", "-z", "--check", "src/good.bmp"}
                                             << QByteArray("Unknown options: frob, z.");
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, complaint);
        const Run result = run(arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.contains(complaint), result.err.constData());
        QVERIFY(result.err.contains("Usage: bmp24to8-cli"));
        QVERIFY(QDir(path(QStringLiteral("out"))).isEmpty());
    }

    void helpAndVersion()
    {
        const Run help = run({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        // The usage names the program, not the path it was started from, and
        // says that a destination (or --check) is required.
        QVERIFY2(help.out.startsWith("Usage: bmp24to8-cli [options] --dest DIR FILE...\n"), help.out.constData());
        QVERIFY(help.out.contains("One of --dest, --output and --check is required."));
        for (const char *word : {"--no-four-bit", "--placement", "--dest", "FILE"})
            QVERIFY2(help.out.contains(word), word);
        // The manual page names every option that --help lists.
        QFile manual(QStringLiteral(MAN_PAGE));
        QVERIFY(manual.open(QIODevice::ReadOnly));
        const QByteArray page = manual.readAll().replace("\\-", "-");
        static const QRegularExpression longOption(QStringLiteral("--[a-z-]+"));
        for (const QRegularExpressionMatch &match : longOption.globalMatch(QString::fromUtf8(help.out)))
            QVERIFY2(page.contains(match.captured().toUtf8()), qPrintable(match.captured()));
        const Run version = run({QStringLiteral("--version")});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, "bmp24to8-cli " + QByteArray(identity::kVersion.data(), identity::kVersion.size()) + "\n");
    }

    // Failures are reported one line each, with the source path as typed, and
    // the good files are still converted.
    void mixedBatch()
    {
        QDir(path(QStringLiteral("out"))).removeRecursively();
        QDir(dir_.path()).mkdir(QStringLiteral("out"));
        const Run result = run({QStringLiteral("--no-four-bit"), QStringLiteral("--placement"), QStringLiteral("none"),
                                QStringLiteral("--dest"), QStringLiteral("out"), QStringLiteral("src/bad.bmp"),
                                QStringLiteral("src/sub/../good.bmp"), QStringLiteral("src/missing.bmp")});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QByteArray());
        QCOMPARE(result.err, QByteArray("File Not BMP - src/bad.bmp\nCannot open file - src/missing.bmp\n"));
        QVERIFY(!QFile::exists(path(QStringLiteral("out/bad.bmp"))));
        const SampleSource good{.width = 3, .height = 2, .pixel = [](int x, int) { return DistinctColour(x); }};
        QCOMPARE(CompareWithSource(path(QStringLiteral("out/good.bmp")), good), QString());
        QCOMPARE(ReadFileBytes(path(QStringLiteral("out/good.bmp"))).size(), 1078 + 8);
    }

    void allConvertedIsQuiet()
    {
        const Run result = run({QStringLiteral("--dest"), path(QStringLiteral("out")), path(QStringLiteral("src/good.bmp"))});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QByteArray());
        QCOMPARE(result.out, QByteArray());
    }

    void optionsTakeEffect_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("bits");     // 0 when refused
        QTest::newRow("defaults: four-bit, boot placement refuses all black") << QStringList() << 1 << 0;
        QTest::newRow("dos placement") << QStringList{QStringLiteral("--placement"), QStringLiteral("dos")} << 0 << 4;
        QTest::newRow("dos placement, 8-bit") << QStringList{QStringLiteral("--placement"), QStringLiteral("dos"),
                                                             QStringLiteral("--no-four-bit")} << 0 << 8;
        QTest::newRow("none, 8-bit") << QStringList{QStringLiteral("--no-four-bit"), QStringLiteral("--placement"),
                                                    QStringLiteral("none")} << 0 << 8;
    }
    void optionsTakeEffect()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(int, bits);
        QVERIFY(WriteFileBytes(path(QStringLiteral("src/black.bmp")), MakeSource({.width = 4, .height = 4})));
        const QString output = path(QStringLiteral("out/black.bmp"));
        QFile::remove(output);
        const Run result = run(options + QStringList{QStringLiteral("--dest"), QStringLiteral("out"), QStringLiteral("src/black.bmp")});
        QCOMPARE(result.exitCode, exitCode);
        if (bits == 0) {
            QCOMPARE(result.err, QByteArray("Try different optimization - src/black.bmp\n"));
            QVERIFY(!QFile::exists(output));
            return;
        }
        QCOMPARE(result.err, QByteArray());
        QCOMPARE(int(ReadFileBytes(output).at(28)), bits);
    }

    // A file name that starts with a dash follows "--"; a refused file in the
    // middle of a batch does not stop the files after it.
    void awkwardNamesAndABadFileMidBatch()
    {
        QDir(path(QStringLiteral("out3"))).removeRecursively();
        QDir(dir_.path()).mkdir(QStringLiteral("out3"));
        const SampleSource many{.width = 20, .height = 20, .pixel = [](int x, int y) { return DistinctColour(x + 20 * y); }};
        QVERIFY(WriteFileBytes(path(QStringLiteral("-first one.bmp")), MakeSource({.width = 2, .height = 2})));
        QVERIFY(WriteFileBytes(path(QStringLiteral("many colours.bmp")), MakeSource(many)));
        QVERIFY(WriteFileBytes(path(QStringLiteral("žluťoučký.bmp")), MakeSource({.width = 3, .height = 1})));
        const Run result = run({QStringLiteral("--placement"), QStringLiteral("dos"), QStringLiteral("--dest"), QStringLiteral("out3"),
                                QStringLiteral("--"), QStringLiteral("-first one.bmp"), QStringLiteral("many colours.bmp"),
                                QStringLiteral("žluťoučký.bmp")});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(QString::fromLocal8Bit(result.err),
                 QStringLiteral("Too many different colors at 8. row and 17. column of many colours.bmp Lossless conversion not possible.\n"));
        QCOMPARE(QDir(path(QStringLiteral("out3"))).entryList(QDir::Files),
                 (QStringList{QStringLiteral("-first one.bmp"), QStringLiteral("žluťoučký.bmp")}));
    }

    void streamsOutputAndCheck_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("input");         // a file sent to standard input
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");        // "<good>": the converted good.bmp
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("pipe to standard output") << QStringList{"--dest", "-", "-"} << "src/good.bmp" << 0
                                                 << QByteArray("<good>") << QByteArray();
        QTest::newRow("file to standard output") << QStringList{"--dest", "-", "src/good.bmp"} << "" << 0
                                                 << QByteArray("<good>") << QByteArray();
        QTest::newRow("refused: nothing on standard output") << QStringList{"--dest", "-", "src/bad.bmp"} << "" << 1
                                                             << QByteArray() << QByteArray("File Not BMP - src/bad.bmp\n");
        QTest::newRow("refused from standard input") << QStringList{"--dest", "-", "-"} << "src/bad.bmp" << 1
                                                     << QByteArray() << QByteArray("File Not BMP - -\n");
        QTest::newRow("--output") << QStringList{"-o", "out/output.bmp", "src/good.bmp"} << "" << 0 << QByteArray()
                                  << QByteArray();
        QTest::newRow("--check") << QStringList{"--check", "src/good.bmp", "src/bad.bmp", "src/black.bmp"} << "" << 1
                                 << QByteArray("src/good.bmp: 3 colours, 4-bit\n")
                                 << QByteArray("File Not BMP - src/bad.bmp\nTry different optimization - src/black.bmp\n");
        QTest::newRow("--output=PATH") << QStringList{"--output=out/output.bmp", "src/good.bmp"} << "" << 0 << QByteArray()
                                       << QByteArray();
        QTest::newRow("-oPATH") << QStringList{"-oout/output.bmp", "src/good.bmp"} << "" << 0 << QByteArray() << QByteArray();
        QTest::newRow("--dest=- --placement=boot") << QStringList{"--dest=-", "--placement=boot", "src/good.bmp"} << "" << 0
                                                   << QByteArray("<good>") << QByteArray();
        QTest::newRow("-- ends the options") << QStringList{"--check", "--", "--version"} << "" << 1 << QByteArray()
                                             << QByteArray("Cannot open file - --version\n");
        for (const int colours : {17, 256})
            QTest::addRow("--check, %d colours, 4-bit wanted", colours)
                << QStringList{"--check", QStringLiteral("src/c%1.bmp").arg(colours)} << "" << 0
                << QStringLiteral("src/c%1.bmp: %1 colours, 8-bit\n").arg(colours).toUtf8() << QByteArray();
        QTest::newRow("--check, one colour") << QStringList{"--check", "--placement", "dos", "src/black.bmp"} << "" << 0
                                             << QByteArray("src/black.bmp: 1 colour, 4-bit\n") << QByteArray();
        QTest::newRow("--check, /dev/stdin") << QStringList{"--check", "/dev/stdin"} << "src/good.bmp" << 0
                                             << QByteArray("/dev/stdin: 3 colours, 4-bit\n") << QByteArray();
        QTest::newRow("--check, 8-bit, standard input") << QStringList{"--check", "--no-four-bit", "-"} << "src/good.bmp" << 0
                                                        << QByteArray("-: 3 colours, 8-bit\n") << QByteArray();
    }
    void streamsOutputAndCheck()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, input);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QVERIFY(WriteFileBytes(path(QStringLiteral("src/black.bmp")), MakeSource({.width = 4, .height = 4})));
        for (const int colours : {17, 256})
            QVERIFY(WriteFileBytes(path(QStringLiteral("src/c%1.bmp").arg(colours)),
                                   MakeSource({.width = 16, .height = 16, .pixel = [=](int x, int y) { return DistinctColour((x + 16 * y) % colours); }})));
        QDir(path(QStringLiteral("out"))).removeRecursively();
        QDir(dir_.path()).mkdir(QStringLiteral("out"));
        FakeHost defaults;
        defaults.fourBit = true;
        defaults.placement = PalettePlacement::BootScreen;
        QByteArray good;
        QCOMPARE(ConvertBytes(ReadFileBytes(path(QStringLiteral("src/good.bmp"))), good, defaults), ConvertOutcome::Written);

        const Run result = run(arguments, input.isEmpty() ? QByteArray() : ReadFileBytes(path(input)));
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.err, err);
        QCOMPARE(result.out, out == "<good>" ? good : out);
        const QStringList written = QDir(path(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden);
        const bool toOutput = arguments.join(QLatin1Char(' ')).contains(QStringLiteral("out/output.bmp"));
        QCOMPARE(written, toOutput ? QStringList{QStringLiteral("output.bmp")} : QStringList());
        if (!written.isEmpty())
            QCOMPARE(ReadFileBytes(path(QStringLiteral("out/output.bmp"))), good);
    }

    void standardOutputFailures_data()
    {
        QTest::addColumn<QString>("script");    // for bash, with the program as $0
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("--check, closed") << "\"$0\" --check src/good.bmp >&-" << 1
                                         << QByteArray("bmp24to8-cli: write error: Bad file descriptor\n");
        QTest::newRow("--check, full") << "\"$0\" --check src/good.bmp >/dev/full" << 1
                                       << QByteArray("bmp24to8-cli: write error: No space left on device\n");
        // More lines than a pipe holds: the reader is gone before the last of them.
        QTest::newRow("--check, reader gone, SIGPIPE ignored")
            << "files=$(yes src/good.bmp | head -5000); trap '' PIPE; \"$0\" --check $files | head -1 >/dev/null; exit ${PIPESTATUS[0]}"
            << 1 << QByteArray("bmp24to8-cli: write error: Broken pipe\n");
        QTest::newRow("--help, full") << "\"$0\" --help >/dev/full" << 1
                                      << QByteArray("bmp24to8-cli: write error: No space left on device\n");
        QTest::newRow("--version, closed") << "\"$0\" --version >&-" << 1
                                           << QByteArray("bmp24to8-cli: write error: Bad file descriptor\n");
        QTest::newRow("--dest -, full") << "\"$0\" --dest - src/good.bmp >/dev/full" << 1
                                        << QByteArray("Cannot write file - - (No space left on device)\n");
        QTest::newRow("a process substitution is read") << "\"$0\" --check <(cat src/good.bmp) >/dev/null" << 0 << QByteArray();
        // As Unix tools end when their reader goes: by the signal.
        QTest::newRow("--check, reader gone") << "files=$(yes src/good.bmp | head -5000); \"$0\" --check $files | head -1 >/dev/null; exit ${PIPESTATUS[0]}"
                                              << 141 << QByteArray();
        QTest::newRow("standard input closed") << "\"$0\" --check - <&-" << 1 << QByteArray("Cannot open file - -\n");
        QTest::newRow("a named pipe is read")
            << "rm -f pipe && mkfifo pipe && { cat src/good.bmp >pipe & } && \"$0\" --check pipe >/dev/null; s=$?; wait; rm pipe; exit $s"
            << 0 << QByteArray();
    }
    // Standard output is a file that can fail: a lost line fails the run.
    void standardOutputFailures()
    {
        QFETCH(QString, script);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, err);
        const Run result = run({QStringLiteral("-c"), script, QStringLiteral(CLI_PATH)}, {}, QStringLiteral("/bin/bash"));
        QCOMPARE(result.err, err);
        QCOMPARE(result.exitCode, exitCode);
    }

    // Two FILEs of one run never write the same file: the first is converted,
    // the later ones are refused before anything is converted.
    void duplicateDestinations()
    {
        QDir(path(QStringLiteral("dup"))).removeRecursively();
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("dup/a")) && QDir(dir_.path()).mkpath(QStringLiteral("dup/b")));
        QDir(dir_.path()).mkpath(QStringLiteral("dup/out"));
        QVERIFY(WriteFileBytes(path(QStringLiteral("dup/a/x.bmp")), MakeSource({.width = 1, .height = 1})));
        QVERIFY(WriteFileBytes(path(QStringLiteral("dup/b/x.bmp")), MakeSource({.width = 2, .height = 2})));
        // The refused ones come last, one of them a different picture: converted
        // all the same, it would be the file left behind.
        const Run result = run({"--no-four-bit", "--placement", "none", "--dest", "dup/out", "dup/a/x.bmp", "dup/a/../a/x.bmp", "dup/b/x.bmp"});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, QByteArray("Duplicate destination - dup/out/x.bmp\nDuplicate destination - dup/out/x.bmp\n"));
        QCOMPARE(QDir(path(QStringLiteral("dup/out"))).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("x.bmp")});
        QCOMPARE(ReadFileBytes(path(QStringLiteral("dup/out/x.bmp"))).size(), 1078 + 4);   // the 1 x 1 picture
#ifdef Q_OS_UNIX
        // A link in the destination folder leads to a file that another FILE writes.
        QVERIFY(QFile::link(QStringLiteral("x.bmp"), path(QStringLiteral("dup/out/y.bmp"))));
        QVERIFY(WriteFileBytes(path(QStringLiteral("dup/b/y.bmp")), MakeSource({.width = 3, .height = 3})));
        const Run linked = run({"--no-four-bit", "--placement", "none", "--dest", "dup/out", "dup/b/x.bmp", "dup/b/y.bmp"});
        QCOMPARE(linked.err, QByteArray("Duplicate destination - dup/out/y.bmp\n"));
        QCOMPARE(linked.exitCode, 1);
        QCOMPARE(ReadFileBytes(path(QStringLiteral("dup/out/x.bmp"))).size(), 1078 + 8);   // the 2 x 2 picture
        // A link to a file not written yet: the first FILE writes that file,
        // the second would overwrite it through the link.
        QVERIFY(QFile::link(QStringLiteral("w.bmp"), path(QStringLiteral("dup/out/z.bmp"))));
        QVERIFY(QFile::copy(path(QStringLiteral("dup/a/x.bmp")), path(QStringLiteral("dup/a/w.bmp"))));
        QVERIFY(QFile::copy(path(QStringLiteral("dup/b/y.bmp")), path(QStringLiteral("dup/b/z.bmp"))));
        const Run dangling = run({"--no-four-bit", "--placement", "none", "--dest", "dup/out", "dup/a/w.bmp", "dup/b/z.bmp"});
        QCOMPARE(dangling.err, QByteArray("Duplicate destination - dup/out/z.bmp\n"));
        QCOMPARE(dangling.exitCode, 1);
        QCOMPARE(ReadFileBytes(path(QStringLiteral("dup/out/w.bmp"))).size(), 1078 + 4);   // the first picture
#endif
    }

#ifdef Q_OS_UNIX
    // Names are bytes: one in Latin-1 is converted under the same bytes, and a
    // message names it with the bytes that were typed.
    void namesThatAreNotUtf8()
    {
        QDir(dir_.path()).mkpath(QStringLiteral("latin"));
        const QByteArray folder = QFile::encodeName(path(QStringLiteral("latin")));
        const QByteArray name = "caf\xe9.bmp";
        QFile source;
        const int fd = ::open((folder + "/" + name).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0 && source.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        source.write(MakeSource({.width = 2, .height = 2}));
        source.close();
        // The shell hands the program the raw bytes, as a terminal would.
        const Run result = run({QStringLiteral("-c"), QStringLiteral("cd latin && exec \"$0\" --placement dos --dest . "
                                                                     "\"$(printf 'caf\\351.bmp')\" \"$(printf 'gon\\351.bmp')\""),
                                QStringLiteral(CLI_PATH)},
                               {}, QStringLiteral("/bin/sh"));
        QCOMPARE(result.err, QByteArray("Cannot open file - gon\xe9.bmp\n"));
        QCOMPARE(result.exitCode, 1);
        struct stat status;
        QCOMPARE(::stat((folder + "/" + name).constData(), &status), 0);
        QCOMPARE(status.st_size, 118 + 8);   // replaced by its 4-bit form under the same name
        QCOMPARE(::unlink((folder + "/" + name).constData()), 0);   // Qt could not remove it
    }
#endif

    void newerHeaders_data()
    {
        QTest::addColumn<int>("headerSize");
        QTest::addColumn<quint32>("colourSpace");
        QTest::addColumn<bool>("option");
        QTest::addColumn<QByteArray>("err");   // empty when converted to the classic twin's bytes
        const quint32 srgb = 0x73524742, windows = 0x57696E20, embedded = 0x4D424544, linked = 0x4C494E4B, calibrated = 0;
        const QByteArray lost = "The picture's colour profile or colour space would be lost (only sRGB is converted) - newer.bmp\n";
        const QByteArray mismatch = "Sorry, only Windows BMP's are currently supported. Send me some OS/2 bitmaps and I will add "
                                    "their support. (Header size mismatch) - newer.bmp\n";
        QTest::newRow("124 bytes, sRGB") << 124 << srgb << true << QByteArray();
        QTest::newRow("108 bytes, the system's colours") << 108 << windows << true << QByteArray();
        QTest::newRow("124 bytes, an embedded profile") << 124 << embedded << true << lost;
        QTest::newRow("124 bytes, a linked profile") << 124 << linked << true << lost;
        QTest::newRow("108 bytes, calibrated") << 108 << calibrated << true << lost;
        QTest::newRow("124 bytes, without the option")
            << 124 << srgb << false
            << mismatch + "bmp24to8-cli: hint: --newer-headers converts pictures with the newer 124-byte header when their colours are plain sRGB\n";
        QTest::newRow("64 bytes (OS/2), with the option") << 64 << srgb << true << mismatch;
    }
    // The newer headers that today's tools write are read on request, when
    // nothing would be lost; an output has the classic header as always.
    void newerHeaders()
    {
        QFETCH(int, headerSize);
        QFETCH(quint32, colourSpace);
        QFETCH(bool, option);
        QFETCH(QByteArray, err);
        const QByteArray classic = MakeSource({.width = 5, .height = 3, .pixel = [](int x, int y) { return DistinctColour(x * y); }});
        QByteArray newer = classic;
        newer.insert(54, QByteArray(headerSize - 40, '\0'));
        PutDWord(newer, 2, quint32(newer.size()));
        PutDWord(newer, 10, quint32(14 + headerSize));
        PutDWord(newer, 14, quint32(headerSize));
        if (headerSize >= 108)
            PutDWord(newer, 70, colourSpace);
        QVERIFY(WriteFileBytes(path(QStringLiteral("newer.bmp")), newer) && WriteFileBytes(path(QStringLiteral("classic.bmp")), classic));
        const QStringList options = option ? QStringList{QStringLiteral("--newer-headers")} : QStringList();
        const Run converted = run(options + QStringList{QStringLiteral("--dest"), QStringLiteral("-"), QStringLiteral("newer.bmp")});
        QCOMPARE(converted.err, err);
        QCOMPARE(converted.exitCode, err.isEmpty() ? 0 : 1);
        if (err.isEmpty())
            QCOMPARE(converted.out, run({QStringLiteral("--dest"), QStringLiteral("-"), QStringLiteral("classic.bmp")}).out);
        else
            QCOMPARE(converted.out, QByteArray());
    }

    void unwritableDestinationNamesTheDestination()
    {
        QDir(dir_.path()).mkpath(QStringLiteral("out2/good.bmp"));   // a folder where the file would go
        const Run result = run({QStringLiteral("--dest"), QStringLiteral("out2"), QStringLiteral("src/good.bmp")});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, QByteArray("Cannot write file - out2/good.bmp (Is a directory)\n"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
