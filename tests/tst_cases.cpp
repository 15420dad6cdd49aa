// The reviewed cases of tests/cases/cases.tsv, which every face checks (the
// web engine and the Windows build have runners of their own): here the
// engine in this process and the command line as a user runs it. Each case is
// a picture, the options, and the output's SHA-256 or the refusal's line; a
// refused picture creates nothing.
#include "fakehost.h"
#include "testbmp.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef HOLD_SYNC
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace bmp24to8;

namespace {

void AddCases()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("expected");
    QFile table(QStringLiteral(CASES_FOLDER "/cases.tsv"));
    if (!table.open(QIODevice::ReadOnly))
        qFatal("no table of cases");
    while (!table.atEnd()) {
        const QByteArray line = table.readLine().chopped(1);
        const QList<QByteArray> fields = line.split('\t');
        if (line.startsWith('#') || fields.size() != 3)
            continue;
        const QString options = QString::fromUtf8(fields[1]);
        QTest::addRow("%s %s", fields[0].constData(), fields[1].constData())
            << QString::fromUtf8(fields[0]) << options.split(QLatin1Char(' '), Qt::SkipEmptyParts) << fields[2];
    }
}

QByteArray Digest(const QByteArray &bytes)
{
    return "sha256 " + QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

} // namespace

class TestCases : public QObject
{
    Q_OBJECT

private slots:
    void inProcess_data() { AddCases(); }
    void inProcess()
    {
        QFETCH(QString, picture);
        QFETCH(QStringList, options);
        QFETCH(QByteArray, expected);
        FakeHost host;
        host.fourBit = !options.contains(QStringLiteral("--no-four-bit"));
        const qsizetype placement = options.indexOf(QStringLiteral("--placement"));
        const QString name = placement < 0 ? QStringLiteral("boot") : options.value(placement + 1);
        host.placement = PlacementNamed(name.toStdString()).value();
        QTemporaryDir out;
        const QString source = QStringLiteral(CASES_FOLDER "/") + picture;
        const QString destination = out.filePath(picture);
        const ConvertOutcome outcome = ConvertFile(source, destination, host);
        if (expected.startsWith("sha256 ")) {
            QCOMPARE(outcome, ConvertOutcome::Written);
            QCOMPARE(Digest(ReadFile(destination)), expected);
        } else {
            QCOMPARE(outcome, ConvertOutcome::Failed);
            QCOMPARE(host.errors, QStringList{QString::fromUtf8(expected).replace(QStringLiteral("{}"), source)});
            QVERIFY(QDir(out.path()).isEmpty());
        }
    }

    void commandLine_data() { AddCases(); }
    void commandLine()
    {
        QFETCH(QString, picture);
        QFETCH(QStringList, options);
        QFETCH(QByteArray, expected);
        QTemporaryDir out;
        QProcess cli;
        cli.setWorkingDirectory(QStringLiteral(CASES_FOLDER));
        cli.start(QStringLiteral(CLI_PATH), options + QStringList{QStringLiteral("--dest"), out.path(), picture});
        QVERIFY(cli.waitForFinished(60000));
        if (expected.startsWith("sha256 ")) {
            QCOMPARE(cli.readAllStandardError(), QByteArray());
            QCOMPARE(cli.exitCode(), 0);
            QCOMPARE(Digest(ReadFile(out.filePath(picture))), expected);
        } else {
            QCOMPARE(cli.readAllStandardError().split('\n').first(), QByteArray(expected).replace("{}", picture.toUtf8()));
            QCOMPARE(cli.exitCode(), 1);
            QVERIFY(QDir(out.path()).isEmpty());
        }
    }

    void severalAtOnce_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("twice");      // every picture named twice: duplicates
        QTest::addColumn<QString>("jobs");    // against one job
        QTest::addColumn<QString>("edge");    // what the system holds back from the run of several jobs
        QTest::newRow("converting") << QStringList() << false << QStringLiteral("4") << QString();
        QTest::newRow("checking") << QStringList{QStringLiteral("--check")} << false << QStringLiteral("4") << QString();
        QTest::newRow("8-bit, DOS placement") << QStringList{QStringLiteral("--no-four-bit"), QStringLiteral("--placement"), QStringLiteral("dos")} << false << QStringLiteral("4") << QString();
        QTest::newRow("duplicate destinations") << QStringList() << true << QStringLiteral("4") << QString();
#ifdef HOLD_SYNC
        // Files written faster than the disk syncs them must not pile up,
        // each holding its descriptors, until a file can no longer be opened.
        QTest::newRow("a disk slower than the workers") << QStringList() << false << QStringLiteral("2") << QStringLiteral("slow disk");
#endif
        // A user allowed no more processes gets no thread: the program does
        // the work on its own, large pictures read without reading ahead.
        QTest::newRow("no thread to spare") << QStringList() << false << QStringLiteral("4") << QStringLiteral("no threads");
    }
    // Every picture of the cases, converted several at a time, gives what one
    // at a time gives: the same files, lines in the same order, the same status.
    void severalAtOnce()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, twice);
        QFETCH(QString, jobs);
        QFETCH(QString, edge);
        QStringList pictures = QDir(QStringLiteral(CASES_FOLDER)).entryList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name);
        if (twice)
            pictures += pictures;
        QTemporaryDir out;
        QString from = QStringLiteral(CASES_FOLDER);
        if (!edge.isEmpty()) {
            // Four names for each picture, so that many files are written,
            // and one picture large enough to be read ahead.
            from = out.filePath(QStringLiteral("sources"));
            QVERIFY(QDir().mkpath(from));
            QStringList names;
            for (int copy = 1; copy <= 4; ++copy)
                for (const QString &picture : std::as_const(pictures)) {
                    names << QStringLiteral("%1-%2").arg(copy).arg(picture);
                    QVERIFY(QFile::link(QDir(QStringLiteral(CASES_FOLDER)).filePath(picture), QDir(from).filePath(names.last())));
                }
            pictures = names << QStringLiteral("large.bmp");
            QVERIFY(WriteFileBytes(QDir(from).filePath(pictures.last()), MakeSource({.width = 2000, .height = 1000})));
            // The run without threads is an ordinary user's (see below).
            QVERIFY(QFile::setPermissions(out.path(), QFileDevice::Permissions(0x7777)));
        }
        QList<QByteArray> runs;
        for (const QString &count : {QStringLiteral("1"), jobs}) {
            QVERIFY(QDir(out.path()).mkpath(count));
            const QString folder = out.filePath(count);
            QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x7777)));
            QProcess cli;
            cli.setWorkingDirectory(from);
            if (edge == QStringLiteral("no threads") && count == jobs) {
                // A sanitized build's leak check at the end needs a thread of its own.
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                environment.insert(QStringLiteral("ASAN_OPTIONS"), qEnvironmentVariable("ASAN_OPTIONS") + QStringLiteral(":detect_leaks=0"));
                cli.setProcessEnvironment(environment);
                cli.setChildProcessModifier([] {
                    // The super-user's processes are never limited: the run
                    // is then nobody's.
                    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                        _exit(99);
                    const rlimit one{1, 1};
                    setrlimit(RLIMIT_NPROC, &one);
                });
            }
#ifdef HOLD_SYNC
            if (edge == QStringLiteral("slow disk")) {
                QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
                environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(HOLD_SYNC));
                environment.insert(QStringLiteral("SLOW_SYNC_MS"), QStringLiteral("50"));
                environment.insert(QStringLiteral("ASAN_OPTIONS"), qEnvironmentVariable("ASAN_OPTIONS") + QStringLiteral(":verify_asan_link_order=0"));
                cli.setProcessEnvironment(environment);
                cli.setChildProcessModifier([] {
                    const rlimit descriptors{40, 40};
                    setrlimit(RLIMIT_NOFILE, &descriptors);
                });
            }
#endif
            const QStringList destination = options.contains(QStringLiteral("--check")) ? QStringList() : QStringList{QStringLiteral("--dest"), folder};
            cli.start(QStringLiteral(CLI_PATH), QStringList{QStringLiteral("-j"), count} + options + destination + pictures);
            QVERIFY(cli.waitForFinished(60000));
            QByteArray outputs;
            for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name))
                outputs += name.toUtf8() + ' ' + Digest(ReadFile(QDir(folder).filePath(name))) + '\n';
            runs << QByteArray::number(cli.exitCode()) + "\n" + cli.readAllStandardOutput() + cli.readAllStandardError().replace(folder.toUtf8(), "DIR") + outputs;
        }
        QCOMPARE(runs[1], runs[0]);
        QVERIFY(runs[0].startsWith("1\n"));   // some of the cases are refused
    }

private:
    static QByteArray ReadFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
    }
};

QTEST_GUILESS_MAIN(TestCases)
#include "tst_cases.moc"
