// The command-line front end, run as a separate process the way a user runs it.
#include "testbmp.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

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

    Run run(const QStringList &arguments)
    {
        QProcess process;
        process.setWorkingDirectory(dir_.path());
        process.start(QStringLiteral(CLI_PATH), arguments);
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
                                     << QByteArray("'nowhere' is not a folder");
        QTest::newRow("DIR is a file") << QStringList{QStringLiteral("--dest"), QStringLiteral("afile"), QStringLiteral("src/good.bmp")}
                                       << QByteArray("'afile' is not a folder");
        QTest::newRow("bad placement") << QStringList{QStringLiteral("--placement"), QStringLiteral("left"), QStringLiteral("--dest"),
                                                      QStringLiteral("out"), QStringLiteral("src/good.bmp")}
                                       << QByteArray("none, dos or boot");
        QTest::newRow("--dest without value") << QStringList{QStringLiteral("src/good.bmp"), QStringLiteral("--dest")}
                                              << QByteArray("dest");
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
        QCOMPARE(version.out, QByteArray("bmp24to8-cli " BMP24TO8_VERSION "\n"));
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

    void unwritableDestinationNamesTheDestination()
    {
        QDir(dir_.path()).mkpath(QStringLiteral("out2/good.bmp"));   // a folder where the file would go
        const Run result = run({QStringLiteral("--dest"), QStringLiteral("out2"), QStringLiteral("src/good.bmp")});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, QByteArray("Cannot write file - out2/good.bmp\n"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
