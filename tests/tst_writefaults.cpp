// Writing at the boundary with the operating system: every file-system call of
// one write failing in turn, a real file-size limit and a real full disk, and
// what stands at the destination's name (pipes, devices, links, other owners).
// Whatever happens, the destination is the old file or the complete new one, a
// kept old file is reported, and no temporary file is left behind.
#include "qtconvert.h"
#include "fakehost.h"
#include "filecalls.h"
#include "testbmp.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace bmp24to8;

namespace {

// 100 x 100 gives an 11,078-byte output, 400 x 400 one of 161,078 bytes: below
// and above the 16 KiB that a buffered writer would keep to itself until the end.
QByteArray sourceOfSide(int side)
{
    return MakeSource({.width = side, .height = side, .pixel = [](int x, int y) { return DistinctColour((x + y) % 50); }});
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Fails the n-th file-system call of a write, or makes the n-th write short.
struct Injection
{
    int failAt = 0;
    int error = 0;          // 0: shorten a write instead of failing a call
    int calls = 0;
    int folderFd = -1;
    const char *failed = nullptr;
    QByteArrayList made;    // the calls made, in order
    off_t allocated = 0;    // the room taken ahead

    bool fails(const char *call)
    {
        made << call;
        if (error == 0 || ++calls != failAt)
            return false;
        failed = call;
        errno = error;
        return true;
    }
} injection;

const platform::FileCalls &real = platform::systemFileCalls();

const platform::FileCalls injectingCalls = {
    [](int folder, const char *path, int flags, mode_t mode) {
        if (injection.fails(flags & O_DIRECTORY ? "open folder" : "open"))
            return -1;
        const int fd = real.openat(folder, path, flags, mode);
        if (flags & O_DIRECTORY)
            injection.folderFd = fd;
        return fd;
    },
    [](int fd, off_t size) {
        if (injection.fails("allocate"))
            return -1;
        injection.allocated = size;
        return real.allocate(fd, size);
    },
    [](int fd, const void *bytes, size_t count) -> ssize_t {
        if (injection.error == 0 && ++injection.calls == injection.failAt && count > 1) {
            injection.failed = "short write";
            count /= 2;
        }
        return injection.fails("write") ? -1 : real.write(fd, bytes, count);
    },
    [](int fd, off_t from, off_t count) {
        injection.made << "start writing " + QByteArray::number(qint64(from)) + "+" + QByteArray::number(qint64(count));
        return real.startWriting(fd, from, count);
    },
    [](int fd) { return injection.fails(fd == injection.folderFd ? "fsync folder" : "fsync") ? -1 : real.fsync(fd); },
    [](int fd, uid_t owner, gid_t group) { return injection.fails("fchown") ? -1 : real.fchown(fd, owner, group); },
    [](int fd, mode_t mode) { return injection.fails("fchmod") ? -1 : real.fchmod(fd, mode); },
    [](int fd, const char *name, const void *value, size_t size, int flags) {
        return injection.fails("fsetxattr") ? -1 : real.fsetxattr(fd, name, value, size, flags);
    },
    [](int fd, const char *name) { return injection.fails("fremovexattr") ? -1 : real.fremovexattr(fd, name); },
    [](int fd) {
        const bool folder = fd == injection.folderFd;
        const int result = real.close(fd);   // a descriptor is released even when close fails
        return injection.fails(folder ? "close folder" : "close") ? -1 : result;
    },
    [](int fromFolder, const char *from, int toFolder, const char *to) {
        return injection.fails("rename") ? -1 : real.renameat(fromFolder, from, toFolder, to);
    },
    real.unlinkat,
};

// Runs a tool of the file system's (setfacl, getfattr...); its output.
QByteArray tool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return "<" + program.toUtf8() + " failed: " + process.readAllStandardError() + ">";
    return process.readAllStandardOutput();
}

// What a file carries besides its bytes, as the system's tools show it.
QByteArray accessListAndAttributes(const QString &path)
{
    return tool(QStringLiteral("getfacl"), {QStringLiteral("-p"), QStringLiteral("-n"), path})
        + tool(QStringLiteral("getfattr"), {QStringLiteral("--absolute-names"), QStringLiteral("-d"), QStringLiteral("-m"),
                                            QStringLiteral("-"), QStringLiteral("-e"), QStringLiteral("hex"), path});
}

// Whose file a replaced file is.
enum Owner { Own, OwnOtherGroup, Another };

} // namespace

class TestWriteFaults : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString source_;
    QString out_;

    QString destination(const QString &name = QStringLiteral("out.bmp")) const { return QDir(out_).filePath(name); }

    void clearOutput()
    {
        for (const QString &name : entriesOf(out_))
            QVERIFY(QFile::remove(destination(name)) || QDir(destination(name)).removeRecursively());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        source_ = dir_.filePath(QStringLiteral("in.bmp"));
        out_ = dir_.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out_));
    }

    void init() { clearOutput(); }
    void cleanup() { platform::fileCalls() = real; }

    void everyCallFailsInTurn_data()
    {
        QTest::addColumn<int>("side");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<int>("error");
        for (int side : {100, 400}) {
            for (bool existing : {false, true}) {
                const char *what = existing ? "replacing" : "new";
                QTest::addRow("%dx%d %s, ENOSPC", side, side, what) << side << existing << ENOSPC;
                QTest::addRow("%dx%d %s, EIO", side, side, what) << side << existing << EIO;
                QTest::addRow("%dx%d %s, short writes", side, side, what) << side << existing << 0;
            }
        }
        // A folder that may be written but not read cannot be opened for its sync.
        QTest::newRow("100x100 new, EACCES") << 100 << false << EACCES;
    }
    void everyCallFailsInTurn()
    {
        QFETCH(int, side);
        QFETCH(bool, existing);
        QFETCH(int, error);
        QVERIFY(WriteFileBytes(source_, sourceOfSide(side)));
        QByteArray expected;
        FakeHost memory;
        QCOMPARE(ConvertBytes(sourceOfSide(side), expected, memory), ConvertOutcome::Written);
        const QByteArray old = "the old file";
        const QString line = QStringLiteral("Cannot write file - ") + destination();

        // The old file carries an access list (100 x 100) or a user attribute
        // and none (400 x 400), which the new one takes on the way.
        const QStringList metadata = side == 100 ? QStringList{QStringLiteral("setfacl"), QStringLiteral("-m"), QStringLiteral("u:12345:r")}
                                                 : QStringList{QStringLiteral("setfattr"), QStringLiteral("-n"), QStringLiteral("user.origin"),
                                                               QStringLiteral("-v"), QStringLiteral("scanner")};
        int points = 0;
        for (int failAt = 1;; ++failAt) {
            clearOutput();
            if (existing) {
                QVERIFY(WriteFileBytes(destination(), old));
                const QByteArray set = tool(metadata.first(), metadata.mid(1) << destination());
                QVERIFY2(set.isEmpty(), set.constData());
            }
            injection = {.failAt = failAt, .error = error, .made = {}};
            platform::fileCalls() = injectingCalls;
            FakeHost host;
            const ConvertOutcome outcome = ConvertFile(source_, destination(), host);
            platform::fileCalls() = real;
            if (!injection.failed) {
                // Every call has had its turn. The written file: its room
                // taken before it is written, synced before it takes the
                // name, the folder synced after; a new file with the usual
                // permissions less the umask.
                const QByteArrayList &made = injection.made;
                QCOMPARE(injection.allocated, off_t(expected.size()));
                QVERIFY2(made.indexOf("allocate") < made.indexOf("write") && made.indexOf("fsync") >= 0 && made.indexOf("fsync") < made.indexOf("rename")
                             && made.indexOf("rename") < made.indexOf("fsync folder"),
                         made.join(' ').constData());
                struct stat status;
                const mode_t mask = umask(0);
                umask(mask);
                QVERIFY(stat(QFile::encodeName(destination()).constData(), &status) == 0);
                if (!existing)
                    QCOMPARE(status.st_mode & 0777, 0666 & ~mask);
                break;
            }
            ++points;
            const QByteArray call = injection.failed;
            const QByteArray now = ReadFileBytes(destination());
            const QByteArray whereText = call + " at call " + QByteArray::number(failAt);
            const char *where = whereText.constData();
            QVERIFY2(entriesOf(out_) == (existing || now == expected ? QStringList{QStringLiteral("out.bmp")} : QStringList{}),
                     where);
            // What the program may shrug off: a short write is finished, an
            // ordinary user cannot give a file away, room that cannot be
            // taken ahead for another reason than a full disk is found as the
            // file is written, a read-only descriptor has nothing to lose when
            // closed, and a folder that cannot be read cannot be synced (the
            // file is there all the same).
            if (call == "short write" || call == "fchown" || (call == "allocate" && error != ENOSPC) || call == "close folder"
                || (call == "open folder" && error == EACCES)) {
                QVERIFY2(outcome == ConvertOutcome::Written && host.errors.isEmpty(), where);
                QVERIFY2(now == expected, where);
            } else {
                // The line gives the system's reason.
                const QString reason = QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(strerror(error)));
                QVERIFY2(outcome == ConvertOutcome::Failed && host.errors == QStringList{line + reason},
                         qPrintable(where + QStringLiteral(": ") + host.errors.join(QLatin1Char('|'))));
                // Only the folder sync comes after the new file took the name.
                QVERIFY2(now == (call == "fsync folder" ? expected : existing ? old : QByteArray()), where);
            }
        }
        QVERIFY2(points >= (error ? 8 : 2), qPrintable(QStringLiteral("only %1 failure points").arg(points)));
        qInfo("%d failure points", points);
    }

    // A large file: the disk is started on each 4 MiB as it is written,
    // before the sync, and the bytes come out whole across the pieces.
    void largeFileStartedOnTheWay()
    {
        const QByteArray source = sourceOfSide(2100);   // a 4,411,078-byte output
        QVERIFY(WriteFileBytes(source_, source));
        QByteArray expected;
        FakeHost memory;
        QCOMPARE(ConvertBytes(source, expected, memory), ConvertOutcome::Written);
        injection = {};
        platform::fileCalls() = injectingCalls;
        FakeHost host;
        const ConvertOutcome outcome = ConvertFile(source_, destination(), host);
        platform::fileCalls() = real;
        QCOMPARE(outcome, ConvertOutcome::Written);
        QCOMPARE(ReadFileBytes(destination()), expected);
        const QByteArrayList &made = injection.made;
        QByteArrayList started;
        std::copy_if(made.begin(), made.end(), std::back_inserter(started), [](const QByteArray &call) { return call.startsWith("start"); });
        QCOMPARE(started, QByteArrayList{"start writing 0+4194304"});
        QVERIFY(made.indexOf("start writing 0+4194304") < made.indexOf("fsync"));
    }

    // The real limit, with the signal that comes with it left as the program
    // finds it, for a small and a large output.
    void fileSizeLimit_data()
    {
        QTest::addColumn<int>("side");
        QTest::newRow("11,078-byte output") << 100;
        QTest::newRow("161,078-byte output") << 400;
    }
    void fileSizeLimit()
    {
        QFETCH(int, side);
        QVERIFY(WriteFileBytes(source_, sourceOfSide(side)));
        QVERIFY(WriteFileBytes(destination(QStringLiteral("in.bmp")), "old"));
        QProcess cli;
        cli.setChildProcessModifier([] {
            const rlimit limit{4096, 4096};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        cli.start(QStringLiteral(CLI_PATH), {QStringLiteral("--dest"), out_, source_});
        const QString written = destination(QStringLiteral("in.bmp"));
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 1);
        QCOMPARE(QString::fromLocal8Bit(cli.readAllStandardError()), QStringLiteral("Cannot write file - %1 (File too large)\n").arg(written));
        QCOMPARE(ReadFileBytes(written), QByteArray("old"));
        QCOMPARE(entriesOf(out_), QStringList{QStringLiteral("in.bmp")});
    }

    // Writes that fail leave no descriptor open behind them: with a few to
    // spare, 40 files too large for the file-size limit are followed by one
    // that fits, which is written.
    void batchAfterFailedWrites()
    {
        QStringList arguments{QStringLiteral("--dest"), out_};
        for (int i = 0; i < 40; ++i) {
            arguments << dir_.filePath(QStringLiteral("big%1.bmp").arg(i));
            QVERIFY(WriteFileBytes(arguments.last(), sourceOfSide(400)));
        }
        arguments << dir_.filePath(QStringLiteral("small.bmp"));
        QVERIFY(WriteFileBytes(arguments.last(), sourceOfSide(10)));
        QProcess cli;
        cli.setChildProcessModifier([] {
            const rlimit size{4096, 4096};
            const rlimit descriptors{16, 16};
            setrlimit(RLIMIT_FSIZE, &size);
            setrlimit(RLIMIT_NOFILE, &descriptors);
        });
        cli.start(QStringLiteral(CLI_PATH), arguments);
        QVERIFY(cli.waitForFinished(60000));
        const QByteArray said = cli.readAllStandardError();
        QCOMPARE(said.count("(File too large)\n"), 40);
        QCOMPARE(said.count('\n'), 40);
        QCOMPARE(cli.exitCode(), 1);
        QCOMPARE(entriesOf(out_), QStringList{QStringLiteral("small.bmp")});
    }

    // The same on a file system that is really full: a small one, mounted in a
    // user and mount namespace of the test's own, which an ordinary user may
    // make. The mount lives only inside, so the shell there reports what it
    // finds.
    void fullFileSystem_data() { fileSizeLimit_data(); }
    void fullFileSystem()
    {
        QFETCH(int, side);
        QVERIFY(WriteFileBytes(source_, sourceOfSide(side)));
        const QString small = dir_.filePath(QStringLiteral("small"));
        QVERIFY(QDir().mkpath(small));
        static const QString script = QStringLiteral(R"(mount -t tmpfs -o size=256k tmpfs "$1" || exit 1
printf old > "$1/out.bmp"
cat /dev/zero > "$1/filler" 2>/dev/null
"$2" --output "$1/out.bmp" "$3"
echo "exit $?"
ls -A "$1"
cat "$1/out.bmp")");
        QProcess shell;
        shell.start(QStringLiteral("unshare"), {QStringLiteral("--user"), QStringLiteral("--map-root-user"), QStringLiteral("--mount"),
                                                QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh"), small,
                                                QStringLiteral(CLI_PATH), source_});
        QVERIFY(shell.waitForFinished(60000));
        const QByteArray report = shell.readAllStandardOutput();
        const QByteArray complaint = shell.readAllStandardError();
        if (!report.startsWith("exit "))
            QSKIP(qPrintable(QStringLiteral("no small file system could be mounted here: ") + QString::fromLocal8Bit(complaint)));
        QCOMPARE(QString::fromLocal8Bit(complaint), QStringLiteral("Cannot write file - %1/out.bmp (No space left on device)\n").arg(small));
        QCOMPARE(report, QByteArray("exit 1\nfiller\nout.bmp\nold"));
    }

    void whatStandsAtTheDestination_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");   // empty when converted
        QTest::newRow("pipe") << "pipe" << "Not a regular file";
        QTest::newRow("link to a pipe") << "link to pipe" << "Not a regular file";
        QTest::newRow("device node") << "device" << "Not a regular file";
        QTest::newRow("link to a device") << "link to device" << "Not a regular file";
        QTest::newRow("dangling link") << "dangling link" << "No such file or directory";
        QTest::newRow("folder") << "folder" << "Is a directory";
        QTest::newRow("link to a regular file") << "link to file" << "";
    }
    // Anything but a regular file, or a link to one, is refused and left as it
    // was; a link to a regular file replaces that file and stays a link.
    void whatStandsAtTheDestination()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QByteArray dest = QFile::encodeName(destination());
        const QByteArray aside = QFile::encodeName(dir_.filePath(QStringLiteral("aside")));
        QFile::remove(dir_.filePath(QStringLiteral("aside")));
        // As the super-user a device node of our own stands in for /dev/null,
        // so that a fault cannot replace the real one.
        const bool root = geteuid() == 0;
        if (kind == QLatin1String("pipe"))
            QCOMPARE(mkfifo(dest, 0600), 0);
        else if (kind == QLatin1String("link to pipe"))
            QVERIFY(mkfifo(aside, 0600) == 0 && symlink(aside, dest) == 0);
        else if (kind == QLatin1String("device"))
            QVERIFY(root ? mknod(dest, S_IFCHR | 0666, makedev(1, 3)) == 0 : symlink("/dev/null", dest) == 0);
        else if (kind == QLatin1String("link to device"))
            QVERIFY(root ? mknod(aside, S_IFCHR | 0666, makedev(1, 3)) == 0 && symlink(aside, dest) == 0
                         : symlink("/dev/null", dest) == 0);
        else if (kind == QLatin1String("dangling link"))
            QCOMPARE(symlink(aside, dest), 0);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(destination()));
        else
            QVERIFY(WriteFileBytes(QFile::decodeName(aside), "old") && symlink(aside, dest) == 0);

        struct stat before, after;
        QCOMPARE(lstat(dest, &before), 0);
        const bool asideBefore = QFileInfo(QFile::decodeName(aside)).exists();
        QVERIFY(WriteFileBytes(source_, sourceOfSide(100)));
        FakeHost host;
        const ConvertOutcome outcome = ConvertFile(source_, destination(), host);
        QCOMPARE(lstat(dest, &after), 0);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(entriesOf(out_), QStringList{QStringLiteral("out.bmp")});
        // A dangling link's target is not created.
        QCOMPARE(QFileInfo(QFile::decodeName(aside)).exists(), asideBefore);
        if (reason.isEmpty()) {
            QCOMPARE(outcome, ConvertOutcome::Written);
            QCOMPARE(ReadFileBytes(QFile::decodeName(aside)).size(), 11078);
        } else {
            QCOMPARE(outcome, ConvertOutcome::Failed);
            QCOMPARE(host.errors, QStringList{QStringLiteral("Cannot write file - %1 (%2)").arg(destination(), reason)});
        }
        QFile::remove(QFile::decodeName(aside));
    }

    void replacedFileKeepsOwnerAndMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("whose");
        QTest::newRow("mode 0604") << 0604 << int(Own);
        QTest::newRow("set-group-id 02664") << 02664 << int(Own);
        // With execute bits: the owner's change must not clear them after the mode is set.
        QTest::newRow("set-user-id 04755") << 04755 << int(Own);
        QTest::newRow("set-group-id 02775") << 02775 << int(Own);
        QTest::newRow("another group of the user") << 0664 << int(OwnOtherGroup);
        QTest::newRow("another owner and group") << 02664 << int(Another);
    }
    // The super-user keeps every owner, group and mode. An ordinary user
    // cannot give a file away, so another owner's file that the user may
    // write (tools/test-as-user.sh makes one) becomes the user's, and keeps
    // its group and mode.
    void replacedFileKeepsOwnerAndMode()
    {
        QFETCH(int, mode);
        QFETCH(int, whose);
        if (whose == Another && geteuid() != 0) {
            replaceAnotherOwnersFile(mode);
            return;
        }
        gid_t groups[64];
        int count = std::max(getgroups(63, groups), 0);
        // The super-user may give a file to any group.
        if (geteuid() == 0)
            groups[count++] = getegid() + 4322;
        const gid_t *other = std::find_if(groups, groups + count, [](gid_t g) { return g != getegid(); });
        if (whose == OwnOtherGroup && other == groups + count)
            QSKIP("the user belongs to no second group (tools/test-as-user.sh gives it one)");
        const QByteArray dest = QFile::encodeName(destination());
        QVERIFY(WriteFileBytes(destination(), "old"));
        const uid_t owner = whose == Another ? 4321 : geteuid();
        const gid_t group = whose == Another ? 4321 : whose == OwnOtherGroup ? *other : getegid();
        QVERIFY(chown(dest, owner, group) == 0 && chmod(dest, mode_t(mode)) == 0);
        QVERIFY(WriteFileBytes(source_, sourceOfSide(100)));
        FakeHost host;
        QCOMPARE(ConvertFile(source_, destination(), host), ConvertOutcome::Written);
        struct stat status;
        QCOMPARE(stat(dest, &status), 0);
        QCOMPARE(int(status.st_mode & 07777), mode);
        QCOMPARE(status.st_uid, owner);
        QCOMPARE(status.st_gid, group);
        QCOMPARE(status.st_size, 11078);
    }

    // A destination whose path is a few bytes short of the system's limit is
    // written, new or replaced, as cp and install write it: the temporary's
    // name is short and every step works inside the folder.
    void pathNearTheLengthLimit()
    {
        constexpr int kLength = PATH_MAX - 10;
        QString folder = dir_.filePath(QStringLiteral("deep"));
        const QString name = QStringLiteral("/x.bmp");
        while (folder.size() + name.size() < kLength)
            folder += QLatin1Char('/') + QString(std::min<qsizetype>(200, kLength - folder.size() - name.size() - 1), QLatin1Char('d'));
        QVERIFY(QDir().mkpath(folder));
        const QString dest = folder + name;
        QCOMPARE(dest.size(), kLength);
        QVERIFY(WriteFileBytes(source_, sourceOfSide(100)));
        for (const char *round : {"new", "replacing"}) {
            FakeHost host;
            QVERIFY2(ConvertFile(source_, dest, host) == ConvertOutcome::Written, qPrintable(round + host.errors.join(QString())));
            QCOMPARE(ReadFileBytes(dest).size(), 11078);
        }
        QCOMPARE(entriesOf(folder), QStringList{QStringLiteral("x.bmp")});
        QVERIFY(QDir(dir_.filePath(QStringLiteral("deep"))).removeRecursively());
    }

    void replacedFileKeepsAccessListAndAttributes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("folderDefault");   // setfacl -d arguments for the folder
        QTest::addColumn<QList<QStringList>>("commands"); // run on the old file, its path appended
        const QStringList accessList{QStringLiteral("setfacl"), QStringLiteral("-m"), QStringLiteral("u:12345:r,g:12346:rw,m::rw")};
        const QStringList attribute{QStringLiteral("setfattr"), QStringLiteral("-n"), QStringLiteral("user.origin"),
                                    QStringLiteral("-v"), QStringLiteral("scanner 7")};
        const QStringList none;
        QTest::newRow("named user, named group and mask") << 0600 << none << QList<QStringList>{accessList};
        QTest::newRow("a user attribute") << 0644 << none << QList<QStringList>{attribute};
        QTest::newRow("both, set-group-id") << 02660 << none << QList<QStringList>{accessList, attribute};
        // A new file would inherit the folder's default list, which the old
        // file did not have: that would open the picture to one more user.
        QTest::newRow("no list, in a folder with a default one")
            << 0600 << QStringList{QStringLiteral("-d"), QStringLiteral("-m"), QStringLiteral("u:12345:rw")}
            << QList<QStringList>{{QStringLiteral("setfacl"), QStringLiteral("-b")}};
    }
    // What a file carries besides its bytes survives its replacement, byte
    // for byte as the system's tools show it, for the super-user and for an
    // ordinary user alike.
    void replacedFileKeepsAccessListAndAttributes()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, folderDefault);
        QFETCH(QList<QStringList>, commands);
        const QString folder = dir_.filePath(QStringLiteral("metadata"));
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
        if (!folderDefault.isEmpty())
            QCOMPARE(tool(QStringLiteral("setfacl"), folderDefault << folder), QByteArray());
        const QString dest = QDir(folder).filePath(QStringLiteral("out.bmp"));
        QVERIFY(WriteFileBytes(dest, "old"));
        QCOMPARE(chmod(QFile::encodeName(dest).constData(), mode_t(mode)), 0);
        for (const QStringList &command : commands)
            QCOMPARE(tool(command.first(), command.mid(1) << dest), QByteArray());
        const QByteArray before = accessListAndAttributes(dest);
        QVERIFY2(!before.contains("failed"), before.constData());
        struct stat old;   // an access list's mask is the mode's group part
        QCOMPARE(stat(QFile::encodeName(dest).constData(), &old), 0);

        QVERIFY(WriteFileBytes(source_, sourceOfSide(100)));
        FakeHost host;
        QCOMPARE(ConvertFile(source_, dest, host), ConvertOutcome::Written);
        QCOMPARE(ReadFileBytes(dest).size(), 11078);
        QCOMPARE(accessListAndAttributes(dest), before);
        struct stat status;
        QCOMPARE(stat(QFile::encodeName(dest).constData(), &status), 0);
        QCOMPARE(status.st_mode, old.st_mode);
    }

private:
    void replaceAnotherOwnersFile(int mode)
    {
        const QByteArray foreign = qgetenv("BMP24TO8_FOREIGN_FILE");
        if (foreign.isEmpty())
            QSKIP("an ordinary user needs another owner's file to replace: tools/test-as-user.sh makes one");
        struct stat old;
        QCOMPARE(stat(foreign.constData(), &old), 0);
        QVERIFY(old.st_uid != geteuid() && int(old.st_mode & 07777) == mode);
        QVERIFY(WriteFileBytes(source_, sourceOfSide(100)));
        FakeHost host;
        QCOMPARE(ConvertFile(source_, QFile::decodeName(foreign), host), ConvertOutcome::Written);
        struct stat status;
        QCOMPARE(stat(foreign.constData(), &status), 0);
        QCOMPARE(int(status.st_mode & 07777), mode);
        QCOMPARE(status.st_uid, geteuid());
        QCOMPARE(status.st_gid, old.st_gid);
        QCOMPARE(status.st_size, 11078);
    }
};

QTEST_GUILESS_MAIN(TestWriteFaults)
#include "tst_writefaults.moc"
