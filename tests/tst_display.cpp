// The real program on a real X server (Xvfb, started here): the fade-in must
// reach the display by itself, with no input at all, and --help and --version
// must answer where there is no display.
#include "identity.h"
#include "xserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <algorithm>


class TestDisplay : public QObject
{
    Q_OBJECT

private:
    QProcess xvfb_;
    QString display_;

    static QString run(const QString &program, const QStringList &arguments, const QString &display)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display);
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        process.waitForFinished(10000);
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    }

private slots:
    void initTestCase()
    {
        const QString missing = MissingTool({QStringLiteral("Xvfb"), QStringLiteral("xwininfo"), QStringLiteral("xprop")});
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing + QStringLiteral(" is not installed (tools/setup.sh installs it)")));
        display_ = StartXvfb(xvfb_);
        QVERIFY2(!display_.isEmpty(), "Xvfb did not start");
    }

    void cleanupTestCase()
    {
        xvfb_.terminate();
        xvfb_.waitForFinished(5000);
    }

    // Nobody touches the mouse or the keyboard: the window's opacity must rise
    // step by step and end opaque (or with the property removed).
    void fadeInReachesTheDisplayWithoutInput()
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display_);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(QDir::tempPath());
        program.start(QStringLiteral(APP_PATH), {});
        QVERIFY(program.waitForStarted());

        static const QRegularExpression windowLine(QStringLiteral(R"((0x[0-9a-f]+) "Picture converter 24 to 8 bit BMP")"));
        QString window;
        // A loaded machine (a sanitizer build, tests running side by side) may
        // take many seconds to show it.
        for (QDeadlineTimer patience(60000); window.isEmpty() && !patience.hasExpired(); QThread::msleep(20))
            window = windowLine.match(run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}, display_))
                         .captured(1);
        QVERIFY2(!window.isEmpty(), "the window never appeared");

        // Every change of the property, as the X server has it, for two seconds.
        QProcess spy;
        QProcessEnvironment spyEnvironment = QProcessEnvironment::systemEnvironment();
        spyEnvironment.insert(QStringLiteral("DISPLAY"), display_);
        spy.setProcessEnvironment(spyEnvironment);
        spy.start(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("-spy"), QStringLiteral("_NET_WM_WINDOW_OPACITY")});
        QVERIFY(spy.waitForStarted());
        QTest::qWait(2000);
        spy.kill();
        spy.waitForFinished();
        program.kill();
        program.waitForFinished();

        QList<quint64> values;
        bool removed = false;
        static const QRegularExpression value(QStringLiteral(R"(= (\d+))"));
        const QByteArray changes = spy.readAllStandardOutput();
        for (const QByteArray &line : changes.split('\n')) {
            if (line.contains("not found"))
                removed = true;
            else if (const QRegularExpressionMatch match = value.match(QString::fromLatin1(line)); match.hasMatch())
                values << match.captured(1).toULongLong();
        }
        const QString seen = QStringLiteral("seen: %1").arg(QString::fromLatin1(changes));
        QVERIFY2(removed || (!values.isEmpty() && values.last() == 0xFFFFFFFFu), qPrintable(seen));
        QVERIFY2(std::is_sorted(values.cbegin(), values.cend()), "the opacity went down");
        const auto partial = std::count_if(values.cbegin(), values.cend(), [](quint64 v) { return v > 0 && v < 0xFFFFFFFFu; });
        QVERIFY2(partial >= 2, qPrintable(QStringLiteral("only %1 steps between invisible and opaque").arg(partial)));
    }

    // A path that does not exist is set aside with a word on standard error,
    // and the window starts as usual.
    void missingPathIsReported()
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(APP_PATH), {QStringLiteral("/no/such/picture.bmp"), QStringLiteral("/tmp")});
        QVERIFY(program.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += program.readAllStandardError()).contains(
                                     "bmp24to8: /no/such/picture.bmp: no such file or folder; opening /tmp\n"),
                                 10000);
        QCOMPARE(program.state(), QProcess::Running);
        program.kill();
        program.waitForFinished();
    }

    void textWithoutADisplay_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("output");    // standard output's file, if not a pipe
        QTest::addColumn<QString>("answer");
        QTest::newRow("--version") << QStringLiteral("--version") << QString() << QStringLiteral("bmp24to8 ") + QString::fromUtf8(identity::kVersion.data(), identity::kVersion.size());
        QTest::newRow("--help") << QStringLiteral("--help") << QString() << QStringLiteral("Usage: bmp24to8 [options] [PATH]\n");
        for (const char *option : {"--version", "--help"})
            QTest::addRow("%s into a full disk", option) << QString::fromLatin1(option) << QStringLiteral("/dev/full") << QString();
    }
    // Answered without a display; a standard output that cannot take the
    // answer fails the program with "write error".
    void textWithoutADisplay()
    {
        QFETCH(QString, option);
        QFETCH(QString, output);
        QFETCH(QString, answer);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        program.setProcessEnvironment(environment);
        if (!output.isEmpty())
            program.setStandardOutputFile(output);
        program.start(QStringLiteral(APP_PATH), {option});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        if (!output.isEmpty()) {
            QCOMPARE(program.readAllStandardError(), QByteArray("bmp24to8: write error: No space left on device\n"));
            QCOMPARE(program.exitCode(), 1);
            return;
        }
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(QString::fromLocal8Bit(program.readAllStandardOutput()).contains(answer));
    }
};

QTEST_GUILESS_MAIN(TestDisplay)
#include "tst_display.moc"
