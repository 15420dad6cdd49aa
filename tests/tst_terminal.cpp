// The command line on a real pseudo-terminal: Ctrl+C typed in the middle of a
// batch, and the status line in a narrow terminal, read as a person sees them.
#include "fakehost.h"
#include "testbmp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace bmp24to8;

namespace {

struct TerminalRun
{
    int status = -1;           // as waitpid gives it
    QByteArray screen;         // everything the terminal received
};

// What a run on a terminal is given besides its arguments.
struct TerminalSetup
{
    QByteArray signalAfter = {};   // once the output contains this (never when empty)...
    QList<int> toSend = {};        // ...these are sent: SIGINT typed as Ctrl+C, others with kill
    bool interruptIgnored = false;
    bool holdSync = false;     // the first fsync announced and held for a while
    QByteArray locale = "C.UTF-8";
    int slowSync = 0;          // milliseconds every fsync takes, when not 0
    bool everyStep = false;    // the status line shows every step, however fast
};

// Runs argv on a new terminal `columns` wide, in `folder`, with the terminal as its standard
// input and output.
TerminalRun runOnTerminal(const QList<QByteArray> &argv, const QString &folder, int columns, const TerminalSetup &setup = {})
{
    std::vector<char *> pointers;
    for (const QByteArray &argument : argv)
        pointers.push_back(const_cast<char *>(argument.constData()));
    pointers.push_back(nullptr);
    QList<QByteArray> environment;
    for (char **variable = environ; *variable; ++variable) {
        const QByteArray entry(*variable);
        const bool held = setup.holdSync || setup.slowSync || setup.everyStep;
        if (!(held && (entry.startsWith("LD_PRELOAD=") || entry.startsWith("ASAN_OPTIONS="))) && !entry.startsWith("LC_")
            && !entry.startsWith("LANG="))
            environment << entry;
    }
    environment << "LC_ALL=" + setup.locale;
    if (setup.slowSync)
        environment << "SLOW_SYNC_MS=" + QByteArray::number(setup.slowSync);
    if (setup.everyStep)
        environment << "EVERY_STEP=1";
    if (setup.holdSync)
        environment << "HOLD_FIRST_SYNC=1";
    if (setup.holdSync || setup.slowSync || setup.everyStep) {
        // The sanitizers' library would otherwise insist on being loaded first.
        environment << "LD_PRELOAD=" HOLD_SYNC << "ASAN_OPTIONS=" + qgetenv("ASAN_OPTIONS") + ":verify_asan_link_order=0";
    }
    std::vector<char *> environmentPointers;
    for (const QByteArray &variable : environment)
        environmentPointers.push_back(const_cast<char *>(variable.constData()));
    environmentPointers.push_back(nullptr);
    const QByteArray where = QFile::encodeName(folder);
    winsize size{};
    size.ws_row = 24;
    size.ws_col = ushort(columns);

    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid == 0) {
        // Only what is safe between fork and exec. A signal that dumps core
        // leaves no core file in the test's folder.
        std::signal(SIGINT, setup.interruptIgnored ? SIG_IGN : SIG_DFL);
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        if (chdir(where.constData()) == 0)
            execve(pointers[0], pointers.data(), environmentPointers.data());
        _exit(127);
    }
    TerminalRun run;
    if (pid < 0)
        return run;
    bool sent = setup.signalAfter.isEmpty();
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
        if (!sent && run.screen.contains(setup.signalAfter)) {
            for (qsizetype i = 0; i < setup.toSend.size(); ++i) {
                // Signals of one kind sent together may arrive as one.
                if (i > 0)
                    QTest::qSleep(300);
                const int signal = setup.toSend[i];
                if (signal == SIGINT)
                    sent = write(master, "\x03", 1) == 1;   // the terminal turns it into SIGINT
                else
                    sent = kill(pid, signal) == 0;
            }
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

// The columns a text takes on a terminal: the CJK characters the tests use
// take two.
int terminalColumns(const QByteArray &text)
{
    int columns = 0;
    for (const char32_t c : QString::fromUtf8(text).toUcs4())
        columns += c >= 0x2E80 && c <= 0xA4CF ? 2 : 1;
    return columns;
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
    static constexpr int kLargeFiles = 3;
    QByteArray largeOutput_;   // what each large picture becomes with the default options

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("in")));
        const QByteArray picture = MakeSource({.width = 256, .height = 256,
                                               .pixel = [](int x, int y) { return DistinctColour((x ^ y) % 200); }});
        for (int i = 0; i < kFiles; ++i)
            QVERIFY(WriteFileBytes(dir_.filePath(QStringLiteral("in/%1.bmp").arg(i, 3, 10, QLatin1Char('0'))), picture));
        // Large enough that reading and packing take a while: 16 colours, 1024 x 1024.
        const QByteArray large = MakeSource({.width = 1024, .height = 1024,
                                             .pixel = [](int x, int y) { return DistinctColour((x / 8 + y) % 16); }});
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("large")));
        for (int i = 0; i < kLargeFiles; ++i)
            QVERIFY(WriteFileBytes(dir_.filePath(QStringLiteral("large/%1.bmp").arg(i)), large));
        FakeHost defaults;
        defaults.fourBit = true;
        defaults.placement = PalettePlacement::BootScreen;
        QCOMPARE(ConvertBytes(large, largeOutput_, defaults), ConvertOutcome::Written);
    }

    void endingSignals_data()
    {
        QTest::addColumn<QList<int>>("toSend");
        QTest::addColumn<QByteArray>("moment");    // what the terminal shows when they are sent
        for (const auto &[name, toSend] : {std::pair<const char *, QList<int>>{"TERM", {SIGTERM}},
                                            {"HUP", {SIGHUP}}, {"INT twice", {SIGINT, SIGINT}}}) {
            QTest::addRow("%s while reading", name) << toSend << QByteArray("reading");
            QTest::addRow("%s while packing", name) << toSend << QByteArray("packing");
            QTest::addRow("%s while writing", name) << toSend << QByteArray("<fsync>");
        }
        // Every other signal whose default is to end a program, while a file is written.
        for (const auto &[name, signal] : {std::pair<const char *, int>{"QUIT", SIGQUIT}, {"PIPE", SIGPIPE}, {"ALRM", SIGALRM},
                                           {"USR1", SIGUSR1}, {"USR2", SIGUSR2}, {"VTALRM", SIGVTALRM}, {"PROF", SIGPROF},
                                           {"XCPU", SIGXCPU}, {"POLL", SIGPOLL}, {"PWR", SIGPWR}, {"STKFLT", SIGSTKFLT},
                                           {"RTMIN", SIGRTMIN}, {"RTMAX", SIGRTMAX}})
            QTest::addRow("%s while writing", name) << QList<int>{signal} << QByteArray("<fsync>");
    }
    // TERM, HUP and a second Ctrl+C end a batch at once, at any moment: the
    // temporary being written is removed, every destination is its old file or
    // the complete new one, and the program ends by the signal it was sent.
    void endingSignals()
    {
        QFETCH(QList<int>, toSend);
        QFETCH(QByteArray, moment);
        const QString out = dir_.filePath(QStringLiteral("signalled"));
        QDir(out).removeRecursively();
        QVERIFY(QDir().mkpath(out));
        QList<QByteArray> argv{CLI_PATH, "--dest", "signalled"};
        for (int i = 0; i < kLargeFiles; ++i) {
            QVERIFY(WriteFileBytes(QDir(out).filePath(QStringLiteral("%1.bmp").arg(i)), "old"));
            argv << "large/" + QByteArray::number(i) + ".bmp";
        }
        const TerminalRun run = runOnTerminal(argv, dir_.path(), 80, {.signalAfter = moment, .toSend = toSend, .holdSync = true,
                                                                  .everyStep = true});

        QVERIFY2(WIFSIGNALED(run.status) && WTERMSIG(run.status) == toSend.first(), run.screen.right(300).constData());
        QCOMPARE(entriesOf(out).size(), kLargeFiles);   // no temporary beside them
        for (const QString &name : entriesOf(out)) {
            const QByteArray bytes = ReadFileBytes(QDir(out).filePath(name));
            QVERIFY2(bytes == "old" || bytes == largeOutput_, qPrintable(name));
        }
    }

    // A Ctrl+C while standard input is awaited on the terminal ends the
    // waiting at once: the file is aborted, as one being read is.
    void interruptWhileReadingStandardInput()
    {
        const TerminalRun run = runOnTerminal({CLI_PATH, "--check", "-"}, dir_.path(), 80,
                                              {.signalAfter = "reading 0 %", .toSend = {SIGINT}});
        QVERIFY2(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGINT, run.screen.constData());
        QVERIFY2(run.screen.contains("Aborted by user - -\r\nbmp24to8-cli: interrupted; 1 of 1 files not checked"),
                 run.screen.constData());
    }

    void hostileNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("shown");
        QTest::addColumn<QByteArray>("locale");
        const QByteArray utf8 = "C.UTF-8";
        QTest::newRow("newline") << QByteArray("new\nline.bmp") << QByteArray("new?line.bmp") << utf8;
        QTest::newRow("escape sequence") << QByteArray("red\x1b[31m.bmp") << QByteArray("red?[31m.bmp") << utf8;
        QTest::newRow("C1 control in UTF-8") << QByteArray("csi\xc2\x9b" "31m.bmp") << QByteArray("csi?31m.bmp") << utf8;
        QTest::newRow("C1 control as a byte") << QByteArray("csi\x9b" "31m.bmp") << QByteArray("csi?31m.bmp") << utf8;
        QTest::newRow("tabs, wider than the terminal") << QByteArray(60, '\t') + ".bmp" << QByteArray(60, '?') + ".bmp" << utf8;
        QTest::newRow("unit separator") << QByteArray("us\x1f.bmp") << QByteArray("us?.bmp") << utf8;
        QTest::newRow("right-to-left override") << QByteArray("gpj.\xe2\x80\xae" "bmp") << QByteArray("gpj.?bmp") << utf8;
        QTest::newRow("isolate and mark") << QByteArray("a\xe2\x81\xa7" "b\xe2\x80\x8f.bmp") << QByteArray("a?b?.bmp") << utf8;
        QTest::newRow("beyond ASCII, a locale not UTF-8") << QByteArray("\xc5\xbelu\xc5\xa5.bmp") << QByteArray("??lu??.bmp") << QByteArray("C");
    }
    // On a terminal a name shows each control character as "?": the status
    // line, the --check line and a failure line can neither move the cursor
    // nor colour the terminal, and the status line fits. Elsewhere the name
    // stays byte for byte.
    void hostileNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, shown);
        QFETCH(QByteArray, locale);
        const QByteArray folder = QFile::encodeName(dir_.filePath(QStringLiteral("hostile")));
        QDir(QString::fromLocal8Bit(folder)).removeRecursively();
        QVERIFY(QDir().mkpath(QString::fromLocal8Bit(folder)));
        QFile file;
        const int fd = ::open((folder + "/" + name).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0 && file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        file.write(ReadFileBytes(dir_.filePath(QStringLiteral("in/000.bmp"))));
        file.close();
        const QList<QByteArray> argv{CLI_PATH, "--check", name, "missing-" + name};
        const TerminalRun run = runOnTerminal(argv, QString::fromLocal8Bit(folder), 50, {.locale = locale});

        QVERIFY2(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1, run.screen.constData());
        for (const char *raw : {"\x1b", "\t", "\x9b", "\xe2\x80\xae"})
            QVERIFY2(!run.screen.contains(raw), run.screen.constData());
        QCOMPARE(run.screen.count('\n'), 2);   // the --check line and the failure line
        QVERIFY2(run.screen.contains(shown + ": 200 colours, 8-bit\r\n"), run.screen.constData());
        QVERIFY2(run.screen.contains("Cannot open file - missing-" + shown + "\r\n"), run.screen.constData());
        for (const QByteArray &line : run.screen.split('\n'))
            for (const QByteArray &drawn : line.split('\r'))
                QVERIFY2(drawn.size() <= 49 || !drawn.startsWith('['), drawn.constData());

        // The bytes reach the program through the shell, as Qt would recode them.
        QByteArray escaped;
        for (const char byte : name)
            escaped += "\\" + QByteArray::number(quint8(byte), 8);
        QProcess piped;
        piped.setWorkingDirectory(QString::fromLocal8Bit(folder));
        piped.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("n=\"$(printf '%1')\"; exec \"$0\" --check \"$n\" \"missing-$n\"")
                                                                      .arg(QString::fromLatin1(escaped)), QStringLiteral(CLI_PATH)});
        QVERIFY(piped.waitForFinished(60000));
        QCOMPARE(piped.readAllStandardOutput(), name + ": 200 colours, 8-bit\n");
        QCOMPARE(piped.readAllStandardError(), "Cannot open file - missing-" + name + "\n");
        QCOMPARE(::unlink((folder + "/" + name).constData()), 0);   // Qt could not remove every name
    }

    void interrupt_data()
    {
        QTest::addColumn<bool>("inShellLoop");
        QTest::addColumn<bool>("ignored");
        QTest::addColumn<int>("jobs");
        QTest::addColumn<QByteArray>("moment");   // what the terminal shows when Ctrl+C is typed
        QTest::newRow("the program itself") << false << false << 1 << QByteArray("[3/");
        // Files are synced apart from their conversion then: the first sync is held.
        QTest::newRow("two files at once") << false << false << 2 << QByteArray("<fsync>");
        QTest::newRow("in a shell loop, which stops too") << true << false << 1 << QByteArray("[3/");
        QTest::newRow("started with interrupts ignored") << false << true << 1 << QByteArray("[3/");
    }
    // Ctrl+C stops the batch at a safe point: every output is complete or
    // absent, the summary counts what was not converted, and the program ends
    // by the signal, which a shell reports as status 130.
    void interrupt()
    {
        QFETCH(bool, inShellLoop);
        QFETCH(bool, ignored);
        QFETCH(int, jobs);
        QFETCH(QByteArray, moment);
        const QString out = dir_.filePath(QStringLiteral("out"));
        QDir(out).removeRecursively();
        QVERIFY(QDir().mkpath(out));
        const QByteArray convert = QByteArray(CLI_PATH) + " -j " + QByteArray::number(jobs) + " --placement none --no-four-bit --dest out in/*.bmp";
        const QList<QByteArray> argv = inShellLoop
            ? QList<QByteArray>{"/bin/bash", "-c", "for i in 1 2; do " + convert + "; done; echo loop went on"}
            : QList<QByteArray>{"/bin/sh", "-c", "exec " + convert};
        const TerminalRun run = runOnTerminal(argv, dir_.path(), 200, {.signalAfter = moment, .toSend = {SIGINT},
                                                                   .interruptIgnored = ignored, .holdSync = jobs > 1,
                                                                   .everyStep = true});

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
        // One file at most a job is stopped while it is read; no later one is begun.
        QVERIFY2(run.screen.count("Aborted by user") <= jobs, run.screen.right(300).constData());
        QVERIFY2(written.size() > 0 && written.size() < kFiles, qPrintable(QString::number(written.size())));
        const QByteArray summary = "bmp24to8-cli: interrupted; " + QByteArray::number(kFiles - written.size()) + " of "
            + QByteArray::number(kFiles) + " files not converted";
        QVERIFY2(run.screen.contains(summary), run.screen.right(300).constData());
    }

    // A Ctrl+C while the last file is written leaves nothing undone: that
    // file is finished and the program ends as if it had not been pressed.
    void interruptWhileWritingTheLastFile()
    {
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("last")));
        const TerminalRun run = runOnTerminal({CLI_PATH, "--dest", "last", "large/0.bmp"}, dir_.path(), 80,
                                              {.signalAfter = "<fsync>", .toSend = {SIGINT}, .holdSync = true});
        QVERIFY2(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0, run.screen.constData());
        QVERIFY(!run.screen.contains("interrupted"));
        QCOMPARE(ReadFileBytes(dir_.filePath(QStringLiteral("last/0.bmp"))), largeOutput_);
    }

    // A batch of small files is not slowed by its status line: it is drawn
    // at a pace a person can read, not for every file and row.
    void statusLineAtAHumanPace()
    {
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("paced")));
        const TerminalRun run = runOnTerminal({"/bin/sh", "-c", "exec " CLI_PATH " --dest paced in/0*.bmp in/1*.bmp"}, dir_.path(), 80);
        QVERIFY2(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0, run.screen.right(300).constData());
        QCOMPARE(QDir(dir_.filePath(QStringLiteral("paced"))).entryList(QDir::Files).size(), 200);
        const qsizetype redraws = run.screen.count("\r[");
        QVERIFY2(redraws >= 1 && redraws < 30, qPrintable(QString::number(redraws)));
    }

    void oneStreamOnATerminal_data()
    {
        QTest::addColumn<QByteArray>("redirect");   // the stream sent to a file instead
        QTest::addColumn<QByteArray>("inFile");     // what the file holds, exactly
        QTest::addColumn<QByteArray>("onScreen");   // what the terminal shows
        QTest::newRow("standard output to a file") << QByteArray(">")
            << QByteArray("tab\t.bmp: 200 colours, 8-bit\n") << QByteArray("Cannot open file - missing?.bmp\r\n");
        QTest::newRow("standard error to a file") << QByteArray("2>")
            << QByteArray("Cannot open file - missing\t.bmp\n") << QByteArray("tab?.bmp: 200 colours, 8-bit\r\n");
    }
    // Each stream is what it is: a name goes to a file byte for byte and to
    // the terminal made harmless, and the status line only to a terminal.
    void oneStreamOnATerminal()
    {
        QFETCH(QByteArray, redirect);
        QFETCH(QByteArray, inFile);
        QFETCH(QByteArray, onScreen);
        QFile::remove(dir_.filePath(QStringLiteral("tab\t.bmp")));
        QVERIFY(QFile::copy(dir_.filePath(QStringLiteral("in/000.bmp")), dir_.filePath(QStringLiteral("tab\t.bmp"))));
        const QByteArray command = "exec " CLI_PATH " --check \"$(printf 'tab\\t.bmp')\" \"$(printf 'missing\\t.bmp')\" " + redirect + "stream.txt";
        const TerminalRun run = runOnTerminal({"/bin/sh", "-c", command}, dir_.path(), 80);
        QVERIFY2(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1, run.screen.constData());
        QCOMPARE(ReadFileBytes(dir_.filePath(QStringLiteral("stream.txt"))), inFile);
        QVERIFY2(run.screen.contains(onScreen), run.screen.constData());
        // The status line goes to standard error where that is the terminal.
        QCOMPARE(run.screen.contains("\r[1/2]"), redirect == ">");
    }

    // A picture is not written to a terminal.
    void standardOutputOnATerminal()
    {
        const TerminalRun run = runOnTerminal({CLI_PATH, "--dest", "-", "in/000.bmp"}, dir_.path(), 80);
        QVERIFY2(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2, run.screen.constData());
        QVERIFY2(run.screen.startsWith("bmp24to8-cli: Standard output is a terminal"), run.screen.constData());
        QVERIFY(!run.screen.contains("BM"));
    }

    void statusLineFitsANarrowTerminal_data()
    {
        QTest::addColumn<int>("columns");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArrayList>("shown");
        QTest::addColumn<QByteArrayList>("neverShown");
        QTest::newRow("a long name, 50 columns") << 50 << QByteArray(66, 'n') + ".bmp"
                                                 << QByteArrayList{"[1/2] nnn", "...nnn", "[2/2] in/001.bmp"}
                                                 << QByteArrayList{};
        QTest::newRow("a short name, 14 columns") << 14 << QByteArray("a.bmp") << QByteArrayList{"reading 0 %"}
                                                  << QByteArrayList{"...", "a.b"};
        QTest::newRow("wide characters, 50 columns") << 50 << QString(30, QChar(0x56FE)).toUtf8() + ".bmp"
                                                     << QByteArrayList{"[1/2] \xe5\x9b\xbe", "...", "[2/2] in/001.bmp"}
                                                     << QByteArrayList{};
        QTest::newRow("8 columns: the percentage") << 8 << QByteArray("a.bmp") << QByteArrayList{"\r0 %"}
                                                   << QByteArrayList{"rea"};
    }
    // The status line never reaches the last column, so it never wraps into
    // new lines; a name is shortened in its middle and never made longer;
    // where no name fits, the step and its percentage, then the percentage;
    // the line is cleared at the end.
    void statusLineFitsANarrowTerminal()
    {
        QFETCH(int, columns);
        QFETCH(QByteArray, name);
        QFETCH(QByteArrayList, shown);
        QFETCH(QByteArrayList, neverShown);
        QFile::remove(dir_.filePath(QString::fromUtf8(name)));
        QVERIFY(QFile::copy(dir_.filePath(QStringLiteral("in/000.bmp")), dir_.filePath(QString::fromUtf8(name))));
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("narrow")));
        // Each file is written slowly enough for the second one's start to be drawn.
        const TerminalRun run = runOnTerminal({CLI_PATH, "-j", "1", "--dest", "narrow", name, "in/001.bmp"}, dir_.path(), columns,
                                              {.slowSync = 150});
        QVERIFY2(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0, run.screen.constData());
        QVERIFY2(!run.screen.contains('\n'), run.screen.constData());
        for (const QByteArray &text : shown)
            QVERIFY2(run.screen.contains(text), text.constData());
        for (const QByteArray &text : neverShown)
            QVERIFY2(!run.screen.contains(text), text.constData());
        for (const QByteArray &drawn : run.screen.split('\r'))
            QVERIFY2(terminalColumns(drawn) <= columns - 1, drawn.constData());
        QVERIFY(run.screen.endsWith('\r') && run.screen.split('\r').at(run.screen.count('\r') - 1).trimmed().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTerminal)
#include "tst_terminal.moc"
