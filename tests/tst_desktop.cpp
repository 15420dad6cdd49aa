// The real program on a real X server with a window manager (Xvfb and openbox,
// started here), driven by key presses as a person drives it: where the error
// list appears, who has the keyboard, what is in front, and how a signal ends
// the window while it writes.
#include "testbmp.h"
#include "xserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

namespace {

const QString kMainTitle = QStringLiteral("Picture converter 24 to 8 bit BMP");
const QString kListTitle = QStringLiteral("Error list");
constexpr int kFiles = 300;

QRect Rect(const QString &geometry)
{
    static const QRegularExpression numbers(QStringLiteral(R"(Position: (-?\d+),(-?\d+).*Geometry: (\d+)x(\d+))"),
                                            QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = numbers.match(geometry);
    return QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

private:
    QProcess xvfb_;
    QProcess windowManager_;
    QString display_;
    QTemporaryDir dir_;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display_);
        return environment;
    }

    QString x(const QString &tool, const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(tool, arguments);
        process.waitForFinished(10000);
        return QString::fromLatin1(process.readAllStandardOutput()).trimmed();
    }

    // The window with this exact title, waiting up to a minute for it.
    QString windowNamed(const QString &title) const
    {
        const QString pattern = QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$');
        QString id;
        for (QDeadlineTimer patience(60000); id.isEmpty() && !patience.hasExpired(); QThread::msleep(50))
            id = x(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), pattern})
                     .section(QLatin1Char('\n'), 0, 0);
        return id;
    }

    // Top-level windows from bottom to top, as the window manager stacks them.
    QStringList stacking() const
    {
        QStringList ids;
        for (const QString &hex : x(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")})
                                      .section(QLatin1Char('#'), 1)
                                      .split(QLatin1Char(','), Qt::SkipEmptyParts))
            ids << QString::number(hex.trimmed().toULongLong(nullptr, 16));
        return ids;
    }

    bool inFront(const QString &window, const QString &other) const
    {
        const QStringList order = stacking();
        return order.indexOf(window) > order.indexOf(other);
    }

    void key(const QString &keys) const { x(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys}); }

    qsizetype outputs(const QString &folder) const { return QDir(folder).entryList(QDir::Files | QDir::Hidden).size(); }

    void start(QProcess &program, const QStringList &arguments, const QString &folder, const QString &slowSync = {}) const
    {
        QProcessEnvironment variables = environment();
        variables.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        variables.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(HOLD_SYNC));
        variables.insert(QStringLiteral("ASAN_OPTIONS"), qEnvironmentVariable("ASAN_OPTIONS") + QStringLiteral(":verify_asan_link_order=0"));
        if (!slowSync.isEmpty())
            variables.insert(QStringLiteral("SLOW_SYNC_MS"), slowSync);
        program.setProcessEnvironment(variables);
        program.setWorkingDirectory(folder);
        program.start(QStringLiteral(APP_PATH), arguments);
    }

private slots:
    void initTestCase()
    {
        const QString missing = MissingTool({QStringLiteral("Xvfb"), QStringLiteral("openbox"), QStringLiteral("xdotool"), QStringLiteral("xprop")});
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing + QStringLiteral(" is not installed (tools/setup.sh installs it)")));
        display_ = StartXvfb(xvfb_);
        QVERIFY2(!display_.isEmpty(), "Xvfb did not start");
        windowManager_.setProcessEnvironment(environment());
        windowManager_.setProcessChannelMode(QProcess::MergedChannels);
        windowManager_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        QVERIFY(windowManager_.waitForStarted());
        // A loaded machine may take a while to start it.
        bool managing = false;
        for (QDeadlineTimer patience(90000); !managing && !patience.hasExpired() && windowManager_.state() == QProcess::Running;
             QThread::msleep(100))
            managing = x(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                           .contains(QLatin1String("window id"));
        QVERIFY2(managing, qPrintable(QStringLiteral("openbox did not start: ") + QString::fromLocal8Bit(windowManager_.readAll())));

        QVERIFY(dir_.isValid());
        for (const char *folder : {"src", "out", "written"})
            QVERIFY(QDir(dir_.path()).mkpath(QString::fromLatin1(folder)));
        const QByteArray picture = MakeSource({.width = 16, .height = 16, .pixel = [](int x, int) { return DistinctColour(x % 3); }});
        // The first file fails at once; the others take a while each to write.
        QVERIFY(WriteFileBytes(dir_.filePath(QStringLiteral("src/a-bad.bmp")), "not a picture"));
        for (int i = 0; i < kFiles; ++i)
            QVERIFY(WriteFileBytes(dir_.filePath(QStringLiteral("src/g%1.bmp").arg(i, 3, 10, QLatin1Char('0'))), picture));
    }

    void cleanupTestCase()
    {
        windowManager_.terminate();
        windowManager_.waitForFinished(5000);
        xvfb_.terminate();
        xvfb_.waitForFinished(5000);
    }

    // A batch whose first file fails: the error list appears beside the main
    // window, which keeps the keyboard, so Alt+B stops the batch. A failure
    // in a second run, started with Enter on the focused button, brings the
    // list in front of the main window again.
    void errorListDuringABatch()
    {
        const QString out = dir_.filePath(QStringLiteral("out"));
        QProcess program;
        start(program, {dir_.filePath(QStringLiteral("src"))}, out, QStringLiteral("15"));
        const QString main = windowNamed(kMainTitle);
        QVERIFY2(!main.isEmpty(), "the window never appeared");
        QTRY_COMPARE_WITH_TIMEOUT(x(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}), main, 30000);

        key(QStringLiteral("alt+a"));
        const QString list = windowNamed(kListTitle);
        QVERIFY2(!list.isEmpty(), "the error list never appeared");
        const QRect mainRect = Rect(x(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), main}));
        const QRect listRect = Rect(x(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), list}));
        QVERIFY2(!mainRect.intersects(listRect), qPrintable(QStringLiteral("main %1,%2 %3x%4; list %5,%6")
                                                               .arg(mainRect.x()).arg(mainRect.y()).arg(mainRect.width())
                                                               .arg(mainRect.height()).arg(listRect.x()).arg(listRect.y())));
        QCOMPARE(x(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}), main);
        key(QStringLiteral("alt+b"));
        QTest::qWait(1500);
        const qsizetype stopped = outputs(out);
        QTest::qWait(1000);
        QCOMPARE(outputs(out), stopped);
        QVERIFY2(stopped < kFiles, qPrintable(QString::number(stopped)));

        // The main window in front; then Enter on "Convert ALL files", where
        // the keyboard went back after the run.
        x(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), main});
        QTRY_VERIFY_WITH_TIMEOUT(inFront(main, list), 10000);
        key(QStringLiteral("Return"));
        QTRY_VERIFY_WITH_TIMEOUT(inFront(list, main), 10000);
        QCOMPARE(x(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}), main);
        key(QStringLiteral("alt+b"));
        program.kill();
        program.waitForFinished();
    }

    // TERM while the window writes a file: the temporary is removed, the
    // destination is not created, and the program ends by that signal.
    void terminatedWhileWriting()
    {
        const QString written = dir_.filePath(QStringLiteral("written"));
        QProcess program;
        start(program, {dir_.filePath(QStringLiteral("src/g000.bmp"))}, written);
        const QString main = windowNamed(kMainTitle);
        QVERIFY2(!main.isEmpty(), "the window never appeared");
        QTRY_COMPARE_WITH_TIMEOUT(x(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}), main, 30000);
        key(QStringLiteral("alt+s"));
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += program.readAllStandardError()).contains("<fsync>"), 30000);
        QCOMPARE(outputs(written), 1);   // the temporary
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::CrashExit);
        QCOMPARE(outputs(written), 0);
    }

    // "Open with" a path that does not exist says so in the window too.
    void missingPathInTheErrorList()
    {
        QProcess program;
        start(program, {QStringLiteral("/no/such/picture.bmp")}, dir_.path());
        QVERIFY2(!windowNamed(kListTitle).isEmpty(), "the error list never appeared");
        program.kill();
        program.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
