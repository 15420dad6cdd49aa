// Hostile and faulty inputs: forged headers, impossible sizes, files that are
// not files, destinations that cannot be written. Every case checks that the
// destination was neither created nor changed and that nothing was left behind.
#include "colourindex.h"
#include "fakehost.h"
#include "picture.h"
#include "sourceheader.h"
#include "convertfile.h"
#include "bmp24to8/platform.h"
#include "nativepath.h"
#include "testbmp.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace bmp24to8;
#endif

namespace {

const QString kTruncated = QStringLiteral("File truncated - ");
const QString kNotBmp = QStringLiteral("File Not BMP - ");

QByteArray smallSource()
{
    return MakeSource({.width = 2, .height = 2, .pixel = [](int x, int y) { return DistinctColour(x + 2 * y); }});
}

QByteArray withField(int offset, quint32 value, bool word = false)
{
    QByteArray bytes = smallSource();
    word ? PutWord(bytes, offset, quint16(value)) : PutDWord(bytes, offset, value);
    return bytes;
}

// The first line a source gives, converted in memory with the default options.
QString lineFor(const QByteArray &bytes)
{
    FakeHost host;
    QByteArray output;
    ConvertBytes(bytes, output, host);
    return host.errors.value(0);
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString out_;

    QString path(const QString &name) const { return dir_.filePath(name); }

    // Converts a file into the output folder, which must stay as it was when
    // the file is refused.
    QStringList refuse(const QString &source, const QString &name = QStringLiteral("out.bmp"))
    {
        const QStringList before = entriesOf(out_);
        FakeHost host;
        const ConvertOutcome outcome = ConvertFile(source, QDir(out_).filePath(name), host);
        if (outcome != ConvertOutcome::Failed)
            return {QStringLiteral("not refused")};
        if (entriesOf(out_) != before)
            return {QStringLiteral("the output folder changed")};
        return host.errors;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        out_ = path(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(out_));
    }

    void headerCutAtEveryLength()
    {
        const QByteArray whole = smallSource();
        for (int length = 0; length <= 54; ++length) {
            const QString source = path(QStringLiteral("cut.bmp"));
            QVERIFY(WriteFileBytes(source, whole.left(length)));
            const QString expected = (length < 2 ? kNotBmp : kTruncated) + source;
            QCOMPARE(refuse(source), QStringList{expected});
        }
    }

    void claimedSizes_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<quint32>("value");
        QTest::addColumn<QString>("line");
        const QString dimensions = QStringLiteral("Invalid bitmap dimensions - ");
        const QString offset = QStringLiteral("Bad pixel data offset - ");
        const QString headerSize = QStringLiteral("Sorry, only Windows BMP's are currently supported. Send me some OS/2 "
                                                  "bitmaps and I will add their support. (Header size mismatch) - ");
        for (quint32 value : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
            const QString name = QString::number(value, 16);
            QTest::addRow("width %s", qPrintable(name)) << 18 << value << dimensions;
            QTest::addRow("offset %s", qPrintable(name)) << 10 << value << offset;
            QTest::addRow("header size %s", qPrintable(name)) << 14 << value << headerSize;
            QTest::addRow("file size field %s", qPrintable(name)) << 2 << value << QString();
            QTest::addRow("image size field %s", qPrintable(name)) << 34 << value << QString();
            QTest::addRow("colours used field %s", qPrintable(name)) << 46 << value << QString();
        }
        QTest::newRow("height 7fffffff") << 22 << 0x7FFFFFFFu << dimensions;
        QTest::newRow("height 80000000") << 22 << 0x80000000u << dimensions;
        QTest::newRow("height ffffffff: one row top-down") << 22 << 0xFFFFFFFFu << QString();
    }
    // A tiny file claiming huge sizes is refused before anything is allocated
    // for them; fields the conversion does not use change nothing.
    void claimedSizes()
    {
        QFETCH(int, field);
        QFETCH(quint32, value);
        QFETCH(QString, line);
        QCOMPARE(lineFor(withField(field, value)), line.isEmpty() ? QString() : line + QStringLiteral("<memory>"));
    }

    // The lowest height there is, with no width: refused by a rule of its own.
    void zeroWidthAndLowestHeight()
    {
        QByteArray bytes = withField(18, 0);
        PutDWord(bytes, 22, 0x80000000u);
        QCOMPARE(lineFor(bytes), QStringLiteral("Invalid bitmap dimensions - <memory>"));
    }

    void nameBytesSurvive_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("Latin-1") << QByteArray("caf\xe9.bmp");
        QTest::newRow("overlong '!'") << QByteArray("\xe0\x80\xa1.bmp");
        QTest::newRow("overlong '/'") << QByteArray("\xc0\xaf.bmp");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80.bmp");
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80.bmp");
        QTest::newRow("cut short") << QByteArray("\xe2\x82.bmp");
        QTest::newRow("valid UTF-8") << QByteArray("\xc5\xbelu\xc5\xa5 \xe7\x94\xbb.bmp");
    }
    // A name's bytes come back exactly as they went in, whatever they are:
    // bytes that are not valid UTF-8, overlong forms included, are never read
    // as another character (which would name another file).
    void nameBytesSurvive()
    {
        QFETCH(QByteArray, name);
        QCOMPARE(qtfiles::NativePath(qtfiles::PathFromNative(name)), name);
    }

    void everyBitDepthButTwentyFour()
    {
        for (quint32 bits = 0; bits <= 0xFFFF; ++bits) {
            if (bits != 24 && lineFor(withField(28, bits, true)) != QStringLiteral("Bitmap not 24 bit - <memory>"))
                QFAIL(qPrintable(QStringLiteral("bit depth %1 not refused").arg(bits)));
        }
    }

    void everyHeaderSizeButForty()
    {
        QList<quint32> sizes;
        for (quint32 size = 0; size <= 4096; ++size)
            sizes << size;
        for (int bit = 12; bit < 32; ++bit)
            sizes << (1u << bit) << (1u << bit) + 40 << (1u << bit) - 1;
        for (quint32 size : sizes) {
            if (size != 40 && !lineFor(withField(14, size)).endsWith(QStringLiteral("(Header size mismatch) - <memory>")))
                QFAIL(qPrintable(QStringLiteral("header size %1 not refused").arg(size)));
        }
    }

    // A picture of width 0 may claim 2^31 - 1 rows: it converts at once, with
    // progress at each new percentage, and an abort request ends it.
    void widthZeroWithTheMostRows()
    {
        QByteArray bytes = withField(18, 0);
        PutDWord(bytes, 22, 0x7FFFFFFF);
        bytes.truncate(54);
        FakeHost host;
        host.fourBit = true;
        host.placement = PalettePlacement::Dos;   // all black: the DOS placement moves nothing
        QByteArray output;
        QCOMPARE(ConvertBytes(bytes, output, host), ConvertOutcome::Written);
        QCOMPARE(output.size(), 118);   // four-bit header and palette, no pixels
        QCOMPARE(qFromLittleEndian<qint32>(output.constData() + 22), 0x7FFFFFFF);
        // 0 % to 100 % while reading, "Compatibility", then 0 % to 100 % while packing.
        QCOMPARE(host.progress.size(), 101 + 1 + 101);
        QCOMPARE(host.progress.first(), QStringLiteral("0 %"));
        QCOMPARE(host.progress.at(101), QStringLiteral("Compatibility"));
        QCOMPARE(host.progress.last(), QStringLiteral("100 % 4-bit"));
        QCOMPARE(host.yields, 101 + 1 + 101);

        FakeHost aborting;
        aborting.onYield = [&](int n) {
            aborting.abort = n == 3;
            return true;
        };
        output.clear();
        QCOMPARE(ConvertBytes(bytes, output, aborting), ConvertOutcome::Failed);
        QCOMPARE(aborting.errors, QStringList{QStringLiteral("Aborted by user - <memory>")});
        QCOMPARE(aborting.yields, 3);
    }

    void sourcesThatAreNotFiles()
    {
        QVERIFY(QDir().mkpath(path(QStringLiteral("folder.bmp"))));
        for (const QString &name : {QStringLiteral("folder.bmp"), QStringLiteral("missing.bmp")})
            QCOMPARE(refuse(path(name)), QStringList{QStringLiteral("Cannot open file - ") + path(name)});
#ifdef Q_OS_UNIX
        // Opening a pipe would wait for a writer; it is refused without opening it.
        const QString fifo = path(QStringLiteral("pipe.bmp"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QCOMPARE(refuse(fifo), QStringList{QStringLiteral("Cannot open file - ") + fifo});
#endif
    }

    void readOnlyDestinationIsLeftAlone()
    {
        const QString source = path(QStringLiteral("good.bmp"));
        QVERIFY(WriteFileBytes(source, smallSource()));
        const QString destination = QDir(out_).filePath(QStringLiteral("locked.bmp"));
        QVERIFY(WriteFileBytes(destination, "keep me"));
        QVERIFY(QFile::setPermissions(destination, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QCOMPARE(refuse(source, QStringLiteral("locked.bmp")),
                 QStringList{QStringLiteral("Cannot write file - %1 (Permission denied)").arg(destination)});
        QCOMPARE(ReadFileBytes(destination), QByteArray("keep me"));
        QFile::setPermissions(destination, QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(destination);
    }

    // Another program cuts the source short between its header check and the
    // reading of its pixels, or in the middle of them: that file is refused as
    // truncated, and the batch goes on.
    void sourceCutShortAfterItsHeader()
    {
        const QString path = this->path(QStringLiteral("cut.bmp"));
        QVERIFY(WriteFileBytes(path, MakeSource({.width = 600, .height = 500})));
        const std::unique_ptr<ByteSource> source = files::OpenSourceFile(path.toStdString());
        QVERIFY(source);
        SourceHeader header;
        QVERIFY(!ReadSourceHeader(*source, header));
        QVERIFY(QFile::resize(path, 40));   // shorter than its header now
        Picture picture;
        FakeHost host;
        QCOMPARE(IndexColours(*source, header, picture, host).failure, Failure::Truncated);
    }

    void sourceCutShortWhileRead_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("read by the engine") << 600;   // more than one read
        QTest::newRow("read ahead") << 3000;          // a thread reads at most half a MiB ahead
    }
    void sourceCutShortWhileRead()
    {
        QFETCH(int, width);
        const QString source = path(QStringLiteral("shrinking.bmp"));
        QVERIFY(WriteFileBytes(source, MakeSource({.width = width, .height = 500})));
        FakeHost host;
        host.onYield = [&](int n) {
            if (n == 1)
                QFile::resize(source, 2000);
            return true;
        };
        QCOMPARE(ConvertFile(source, QDir(out_).filePath(QStringLiteral("shrinking.bmp")), host), ConvertOutcome::Failed);
        QCOMPARE(host.errors, QStringList{kTruncated + source});
        QVERIFY(entriesOf(out_).isEmpty());
    }

    void unusualNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("255 bytes") << QString(251, QLatin1Char('n')) + QStringLiteral(".bmp");
        QTest::newRow("spaces") << QStringLiteral("a picture with spaces.bmp");
        QTest::newRow("non-ASCII") << QStringLiteral("obrázek žluťoučký 画像.bmp");
        QTest::newRow("leading dash") << QStringLiteral("-picture.bmp");
    }
    void unusualNames()
    {
        QFETCH(QString, name);
        const QString source = path(QStringLiteral("names/") + name);
        QVERIFY(QDir().mkpath(path(QStringLiteral("names"))));
        QVERIFY(WriteFileBytes(source, smallSource()));
        const QString destination = QDir(out_).filePath(name);
        // Created, then replaced.
        for (int run = 0; run < 2; ++run) {
            FakeHost host;
            QCOMPARE(ConvertFile(source, destination, host), ConvertOutcome::Written);
            QVERIFY(host.errors.isEmpty());
            QCOMPARE(ReadFileBytes(destination).size(), 1078 + 8);
        }
        QVERIFY(QFile::remove(destination));
        QVERIFY(entriesOf(out_).isEmpty());
    }

#ifdef Q_OS_LINUX
    void aThousandFilesKeepFewDescriptorsOpen()
    {
        const QString source = path(QStringLiteral("many.bmp"));
        QVERIFY(WriteFileBytes(source, smallSource()));
        const qsizetype before = entriesOf(QStringLiteral("/proc/self/fd")).size();
        for (int i = 0; i < 1000; ++i) {
            FakeHost host;
            ConvertFile(i % 10 ? source : path(QStringLiteral("missing.bmp")),
                        QDir(out_).filePath(QStringLiteral("many%1.bmp").arg(i)), host);
        }
        QCOMPARE(entriesOf(QStringLiteral("/proc/self/fd")).size(), before);
        QCOMPARE(QDir(out_).entryList({QStringLiteral("many*")}, QDir::Files | QDir::Hidden).size(), 900);
        for (const QString &name : entriesOf(out_))
            QFile::remove(QDir(out_).filePath(name));
    }

    // A picture whose pixels do not fit in the memory the program may use is
    // one refused file; the next file of the batch is converted.
    void pictureTooLargeForMemory()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer reserves more address space than the limit allows");
#endif
        // 16384 x 32768 needs 256 MiB of indexes even two to a byte; the file
        // is sparse, one colour.
        const QString huge = path(QStringLiteral("huge.bmp"));
        QByteArray header = MakeSource({.width = 16384, .height = 1}).left(54);
        PutDWord(header, 22, 32768);
        QVERIFY(WriteFileBytes(huge, header));
        QVERIFY(QFile::resize(huge, 54 + 3 * 16384 * qint64(32768)));
        const QString small = path(QStringLiteral("small.bmp"));
        QVERIFY(WriteFileBytes(small, smallSource()));
        QProcess cli;
        cli.setChildProcessModifier([] {
            const rlimit limit{256 << 20, 256 << 20};
            setrlimit(RLIMIT_AS, &limit);
        });
        cli.start(QStringLiteral(CLI_PATH), {QStringLiteral("--dest"), out_, huge, small});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(QString::fromLocal8Bit(cli.readAllStandardError()), QStringLiteral("Not enough memory - %1\n").arg(huge));
        QCOMPARE(cli.exitCode(), 1);
        QCOMPARE(entriesOf(out_), QStringList{QStringLiteral("small.bmp")});
        QFile::remove(huge);
        QFile::remove(QDir(out_).filePath(QStringLiteral("small.bmp")));
    }

    // Small hostile files, whatever they claim, cost the command line little
    // more memory than doing nothing.
    void smallFilesUseLittleMemory()
    {
        const auto run = [](const QStringList &arguments) {
            QProcess process;
            process.start(QStringLiteral(CLI_PATH), arguments);
            process.waitForFinished(60000);
            rusage usage{};
            getrusage(RUSAGE_CHILDREN, &usage);
            return qint64(usage.ru_maxrss);   // KiB, the largest child so far
        };
        const qint64 idle = run({QStringLiteral("--version")});
        QList<QByteArray> hostile = {withField(18, 536870000), withField(22, 0x7FFFFFFF), withField(10, 0x7FFFFFFF),
                                     smallSource()};
        QByteArray wide = withField(18, 0);
        PutDWord(wide, 22, 0x7FFFFFFF);
        hostile << wide;
        // As wide as can be and no rows at all, written in 8 bits: no row of it is ever held.
        QByteArray noRows = withField(18, 2030043137);
        PutDWord(noRows, 22, 0);
        hostile << noRows;
        for (qsizetype i = 0; i < hostile.size(); ++i) {
            const QString source = path(QStringLiteral("hostile%1.bmp").arg(i));
            QVERIFY(WriteFileBytes(source, hostile[i]));
            const QStringList options = hostile[i] == noRows ? QStringList{"--placement", "none", "--no-four-bit"} : QStringList();
            const qint64 peak = run(options + QStringList{QStringLiteral("--dest"), out_, source});
            QVERIFY2(peak - idle < 16 * 1024, qPrintable(QStringLiteral("%1 KiB over idle").arg(peak - idle)));
        }
        for (const QString &name : entriesOf(out_))
            QFile::remove(QDir(out_).filePath(name));
    }
#endif
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
