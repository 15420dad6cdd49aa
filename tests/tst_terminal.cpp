// The command line on a real pseudo-terminal: Ctrl+C typed in the middle of a
// batch, and the status line in a narrow terminal, read as a person sees them.
#include "testbmp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TerminalRun
{
    int status = -1;           // as waitpid gives it
    QByteArray screen;         // everything the terminal received
};

// Runs argv on a new terminal `columns` wide, in `folder`; types Ctrl+C once
// the output contains `interruptAfter` (never when it is empty).
TerminalRun runOnTerminal(const QList<QByteArray> &argv, const QString &folder, int columns,
                          const QByteArray &interruptAfter, bool interruptIgnored)
{
    std::vector<char *> pointers;
    for (const QByteArray &argument : argv)
        pointers.push_back(const_cast<char *>(argument.constData()));
    pointers.push_back(nullptr);
    const QByteArray where = QFile::encodeName(folder);
    winsize size{};
    size.ws_row = 24;
    size.ws_col = ushort(columns);

    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid == 0) {
        // Only what is safe between fork and exec.
        std::signal(SIGINT, interruptIgnored ? SIG_IGN : SIG_DFL);
        if (chdir(where.constData()) == 0)
            execv(pointers[0], pointers.data());
        _exit(127);
    }
    TerminalRun run;
    if (pid < 0)
        return run;
    bool typed = interruptAfter.isEmpty();
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        pollfd ready{master, POLLIN, 0};
        if (poll(&ready, 1, 100) > 0) {
            char buffer[4096];
            const ssize_t got = read(master, buffer, sizeof buffer);
            if (got <= 0)
                break;   // the program and everything it started are gone
            run.screen.append(buffer, got);
        }
        if (!typed && run.screen.contains(interruptAfter)) {
            typed = write(master, "\x03", 1) == 1;   // the terminal turns it into SIGINT
        }
        if (clock.hasExpired(60000)) {
            kill(pid, SIGKILL);
            break;
        }
    }
    waitpid(pid, &run.status, 0);
    close(master);
    return run;
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestTerminal : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    static constexpr int kFiles = 400;

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("in")));
        const QByteArray picture = MakeSource({.width = 256, .height = 256,
                                               .pixel = [](int x, int y) { return DistinctColour((x ^ y) % 200); }});
        for (int i = 0; i < kFiles; ++i)
            QVERIFY(WriteFileBytes(dir_.filePath(QStringLiteral("in/%1.bmp").arg(i, 3, 10, QLatin1Char('0'))), picture));
    }

    void interrupt_data()
    {
        QTest::addColumn<bool>("inShellLoop");
        QTest::addColumn<bool>("ignored");
        QTest::newRow("the program itself") << false << false;
        QTest::newRow("in a shell loop, which stops too") << true << false;
        QTest::newRow("started with interrupts ignored") << false << true;
    }
    // Ctrl+C stops the batch at a safe point: every output is complete or
    // absent, the summary counts what was not converted, and the program ends
    // by the signal, which a shell reports as status 130.
    void interrupt()
    {
        QFETCH(bool, inShellLoop);
        QFETCH(bool, ignored);
        const QString out = dir_.filePath(QStringLiteral("out"));
        QDir(out).removeRecursively();
        QVERIFY(QDir().mkpath(out));
        const QByteArray convert = QByteArray(CLI_PATH) + " --placement none --no-four-bit --dest out in/*.bmp";
        const QList<QByteArray> argv = inShellLoop
            ? QList<QByteArray>{"/bin/bash", "-c", "for i in 1 2; do " + convert + "; done; echo loop went on"}
            : QList<QByteArray>{"/bin/sh", "-c", "exec " + convert};
        const TerminalRun run = runOnTerminal(argv, dir_.path(), 200, "[3/", ignored);

        const QStringList written = entriesOf(out);
        for (const QString &name : written)
            QCOMPARE(ReadFileBytes(QDir(out).filePath(name)).size(), 1078 + 256 * 256);
        if (ignored) {
            QVERIFY2(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0, run.screen.right(300).constData());
            QCOMPARE(written.size(), kFiles);
            return;
        }
        QVERIFY2(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGINT, run.screen.right(300).constData());
        QVERIFY(!run.screen.contains("loop went on"));
        QVERIFY2(written.size() > 0 && written.size() < kFiles, qPrintable(QString::number(written.size())));
        const QByteArray summary = "bmp24to8-cli: interrupted; " + QByteArray::number(kFiles - written.size()) + " of "
            + QByteArray::number(kFiles) + " files not converted";
        QVERIFY2(run.screen.contains(summary), run.screen.right(300).constData());
    }

    // A 70-character name in a 50-column terminal: the status never reaches
    // the last column, so it never wraps into new lines, and it is cleared at
    // the end.
    void statusLineFitsANarrowTerminal()
    {
        const QString name = QString(66, QLatin1Char('n')) + QStringLiteral(".bmp");
        QVERIFY(QFile::copy(dir_.filePath(QStringLiteral("in/000.bmp")), dir_.filePath(name)));
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("narrow")));
        const TerminalRun run = runOnTerminal({CLI_PATH, "--dest", "narrow", name.toUtf8(), "in/001.bmp"},
                                              dir_.path(), 50, {}, false);
        QVERIFY2(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0, run.screen.constData());
        QVERIFY2(!run.screen.contains('\n'), run.screen.constData());
        QVERIFY(run.screen.contains("[1/2] nnn") && run.screen.contains("...nnn") && run.screen.contains("[2/2] in/001.bmp"));
        for (const QByteArray &drawn : run.screen.split('\r'))
            QVERIFY2(drawn.size() <= 49, drawn.constData());
        QVERIFY(run.screen.endsWith('\r') && run.screen.split('\r').at(run.screen.count('\r') - 1).trimmed().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTerminal)
#include "tst_terminal.moc"
