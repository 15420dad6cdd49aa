// The real program on a real X server with a window manager (Xvfb and openbox,
// started here), driven by key presses as a person drives it: where the error
// list appears, who has the keyboard, what is in front, and how a signal ends
// the window while it writes.
#include "testbmp.h"
#include "xserver.h"

#include <QDeadlineTimer>
#include <QScopeGuard>
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

// What the main window must never have covered during a run, in its own
// pixels (twips / 15): the command buttons, the progress and current-file
// boxes and Abort, from "Process a single file" to the bottom of Abort.
const QRect kGuarded(184, 161, 161, 160);

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

    // An X server of `size` with a window manager; the display's name, or
    // an empty one with the reason in `failure`.
    QString startDesktop(QProcess &server, QProcess &manager, const QString &size, QString &failure)
    {
        const QString display = StartXvfb(server, size);
        if (display.isEmpty()) {
            failure = QStringLiteral("Xvfb did not start");
            return {};
        }
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        variables.insert(QStringLiteral("DISPLAY"), display);
        manager.setProcessEnvironment(variables);
        manager.setProcessChannelMode(QProcess::MergedChannels);
        manager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        manager.waitForStarted();
        const QString was = display_;
        display_ = display;
        // A loaded machine may take a while to start it.
        bool managing = false;
        for (QDeadlineTimer patience(90000); !managing && !patience.hasExpired() && manager.state() == QProcess::Running;
             QThread::msleep(100))
            managing = x(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                           .contains(QLatin1String("window id"));
        display_ = was;
        if (!managing)
            failure = QStringLiteral("openbox did not start: ") + QString::fromLocal8Bit(manager.readAll());
        return managing ? display : QString();
    }

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

    // A window with its frame, in the screen's pixels.
    QRect frameOf(const QString &window) const
    {
        const QRect client = Rect(x(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), window}));
        const QStringList extents = x(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_FRAME_EXTENTS")})
                                        .section(QLatin1Char('='), 1).split(QLatin1Char(','));
        if (extents.size() != 4)
            return client;
        return client.adjusted(-extents[0].toInt(), -extents[2].toInt(), extents[1].toInt(), extents[3].toInt());
    }

    QString windowState(const QString &window) const
    {
        return x(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("WM_STATE")}).section(QStringLiteral("state: "), 1).section(QLatin1Char('\n'), 0, 0);
    }

    bool inFront(const QString &window, const QString &other) const
    {
        const QStringList order = stacking();
        return order.indexOf(window) > order.indexOf(other);
    }

    void key(const QString &keys) const { x(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys}); }

    qsizetype outputs(const QString &folder) const { return QDir(folder).entryList(QDir::Files | QDir::Hidden).size(); }

    void start(QProcess &program, const QStringList &arguments, const QString &folder, const QString &slowSync = {},
               const QString &scale = {}) const
    {
        QProcessEnvironment variables = environment();
        if (!scale.isEmpty())
            variables.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
        variables.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        variables.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(HOLD_SYNC));
        variables.insert(QStringLiteral("ASAN_OPTIONS"), qEnvironmentVariable("ASAN_OPTIONS") + QStringLiteral(":verify_asan_link_order=0"));
        if (!slowSync.isEmpty())
            variables.insert(QStringLiteral("SLOW_SYNC_MS"), slowSync);
        else
            variables.insert(QStringLiteral("HOLD_FIRST_SYNC"), QStringLiteral("1"));
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
        QString failure;
        display_ = startDesktop(xvfb_, windowManager_, QStringLiteral("1024x768"), failure);
        QVERIFY2(!display_.isEmpty(), qPrintable(failure));

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

    void errorListOnEveryScreen_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("scale");
        QTest::addColumn<QString>("edge");    // where the main window is moved first, if anywhere
        QTest::newRow("800 x 600") << "800x600" << "1" << "";
        QTest::newRow("1280 x 1024 at scale 2") << "1280x1024" << "2" << "";
        QTest::newRow("1280 x 1024 at scale 1.5") << "1280x1024" << "1.5" << "";
        for (const char *edge : {"left", "right", "top", "bottom"})
            QTest::addRow("1024 x 768, the main window at the %s edge", edge) << "1024x768" << "1" << edge;
    }
    // Wherever the main window is and however small the screen, the list
    // covers neither the progress, the current file, Abort nor the command
    // buttons, and stays on the screen. Minimised, it comes back with the
    // next run's failure, the keyboard staying with the main window.
    void errorListOnEveryScreen()
    {
        QFETCH(QString, size);
        QFETCH(QString, scale);
        QFETCH(QString, edge);
        QProcess server, manager;
        QString failure;
        const QString display = startDesktop(server, manager, size, failure);
        QVERIFY2(!display.isEmpty(), qPrintable(failure));
        const QString desktop = display_;
        display_ = display;
        const auto restore = qScopeGuard([&] {
            display_ = desktop;
            manager.terminate();
            server.terminate();
            manager.waitForFinished(5000);
            server.waitForFinished(5000);
        });
        QProcess program;
        start(program, {dir_.filePath(QStringLiteral("src"))}, dir_.filePath(QStringLiteral("out")), QStringLiteral("15"), scale);
        const auto stop = qScopeGuard([&] {
            program.kill();
            program.waitForFinished();
        });
        const QString main = windowNamed(kMainTitle);
        QVERIFY2(!main.isEmpty(), "the window never appeared");
        QTRY_COMPARE_WITH_TIMEOUT(x(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}), main, 30000);
        const QSize screen(size.section(QLatin1Char('x'), 0, 0).toInt(), size.section(QLatin1Char('x'), 1).toInt());
        if (!edge.isEmpty()) {
            const QRect frame = frameOf(main);
            const QPoint to(edge == QLatin1String("left") ? 0 : edge == QLatin1String("right") ? screen.width() - frame.width() : frame.x(),
                            edge == QLatin1String("top") ? 0 : edge == QLatin1String("bottom") ? screen.height() - frame.height() : frame.y());
            x(QStringLiteral("xdotool"), {QStringLiteral("windowmove"), QStringLiteral("--sync"), main, QString::number(to.x()),
                                          QString::number(to.y())});
            QTRY_VERIFY_WITH_TIMEOUT(QRect(QPoint(0, 0), screen).contains(frameOf(main)), 10000);
        }
        key(QStringLiteral("alt+a"));
        const QString list = windowNamed(kListTitle);
        QVERIFY2(!list.isEmpty(), "the error list never appeared");
        const QRect client = Rect(x(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), main}));
        const double factor = scale.toDouble();
        const QRect guarded(client.topLeft() + QPoint(int(kGuarded.x() * factor), int(kGuarded.y() * factor)),
                            QSize(int(kGuarded.width() * factor), int(kGuarded.height() * factor)));
        QRect listFrame;
        // The window manager may still be placing the list.
        QTest::qWait(300);
        listFrame = frameOf(list);
        const QString where = QStringLiteral("list %1,%2 %3x%4, guarded %5,%6 %7x%8")
                                  .arg(listFrame.x()).arg(listFrame.y()).arg(listFrame.width()).arg(listFrame.height())
                                  .arg(guarded.x()).arg(guarded.y()).arg(guarded.width()).arg(guarded.height());
        QVERIFY2(!listFrame.intersects(guarded), qPrintable(where));
        QVERIFY2(QRect(QPoint(0, 0), screen).contains(listFrame), qPrintable(where));
        QCOMPARE(x(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}), main);

        // Put away, then a new run fails at once.
        x(QStringLiteral("xdotool"), {QStringLiteral("windowminimize"), QStringLiteral("--sync"), list});
        QTRY_COMPARE_WITH_TIMEOUT(windowState(list), QStringLiteral("Iconic"), 10000);
        key(QStringLiteral("alt+b"));
        const QString out = dir_.filePath(QStringLiteral("out"));
        for (qsizetype before = -1; outputs(out) != before; QTest::qWait(500))
            before = outputs(out);   // the run has stopped
        x(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), main});
        key(QStringLiteral("alt+a"));
        QTRY_COMPARE_WITH_TIMEOUT(windowState(list), QStringLiteral("Normal"), 10000);
        QCOMPARE(x(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}), main);
        key(QStringLiteral("alt+b"));
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

    // "Open with" a path that does not exist says so in the window too, in a
    // list that lines up with the main window's frame as every later one does,
    // also when a busy window manager frames the main window seconds late.
    void missingPathInTheErrorList_data()
    {
        QTest::addColumn<int>("managerBusyMs");
        QTest::newRow("window manager at hand") << 0;
        QTest::newRow("window manager busy for 5 s") << 5000;
    }

    void missingPathInTheErrorList()
    {
        QFETCH(int, managerBusyMs);
        QProcess program;
        if (managerBusyMs)
            ::kill(pid_t(windowManager_.processId()), SIGSTOP);
        start(program, {QStringLiteral("/no/such/picture.bmp")}, dir_.path());
        QTest::qWait(managerBusyMs);
        ::kill(pid_t(windowManager_.processId()), SIGCONT);
        const QString list = windowNamed(kListTitle);
        QVERIFY2(!list.isEmpty(), "the error list never appeared");
        const QString main = windowNamed(kMainTitle);
        QTRY_COMPARE_WITH_TIMEOUT(frameOf(list).top(), frameOf(main).top(), 10000);
        program.kill();
        program.waitForFinished();
        // The next program's windows may get the same numbers: the window
        // manager is to be done with these before it is held still again.
        QTRY_VERIFY_WITH_TIMEOUT(!stacking().contains(main) && !stacking().contains(list), 10000);
    }
};

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
