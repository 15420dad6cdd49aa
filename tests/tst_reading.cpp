// Reading a source: the header tests and their order, colour indexing, progress,
// Abort, and that no refused file ever creates or changes its destination.
#include "qtconvert.h"
#include "conversionfiles.h"
#include "bmp24to8/engine.h"
#include "fakehost.h"
#include "picture.h"
#include "testbmp.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace bmp24to8;

namespace {

const QString kNotBmp = QStringLiteral("File Not BMP - ");
const QString kHeaderSize = QStringLiteral(
    "Sorry, only Windows BMP's are currently supported. Send me some OS/2 bitmaps and I will add their "
    "support. (Header size mismatch) - ");
const QString kNot24 = QStringLiteral("Bitmap not 24 bit - ");
const QString kTruncated = QStringLiteral("File truncated - ");
const QString kCompressed = QStringLiteral("Compressed bitmaps are not supported - ");
const QString kDimensions = QStringLiteral("Invalid bitmap dimensions - ");
const QString kOffset = QStringLiteral("Bad pixel data offset - ");

// A valid 2 x 2 source to forge headers from.
QByteArray validSource()
{
    return MakeSource({.width = 2, .height = 2, .pixel = [](int x, int y) { return DistinctColour(x + 2 * y); }});
}

QByteArray forged(std::function<void(QByteArray &)> change)
{
    QByteArray bytes = validSource();
    change(bytes);
    return bytes;
}

// A picture whose stored pixels, in file order, take a new colour each until
// `colours` distinct colours are used, then repeat colour 0.
SampleSource rasterColours(int width, int height, int colours, bool topDown = false)
{
    return {.width = width, .height = height, .topDown = topDown, .pixel = [=](int x, int y) {
                const int storedRow = topDown ? y : height - 1 - y;
                const int n = storedRow * width + x;
                return DistinctColour(n < colours ? n : 0);
            }};
}

// The bytes of a picture handed out in short, uneven pieces, as a browser's
// stream or a slow pipe may hand them out: each read gives at most the next
// size of `pieces`, in turn. A source that lends gives each piece in memory
// of its own, exactly as large, so that a look past it is caught.
class PieceSource final : public ByteSource
{
public:
    PieceSource(std::string_view bytes, QList<int> pieces, bool lends)
        : whole_(bytes), pieces_(std::move(pieces)), lends_(lends)
    {
    }

    std::int64_t size() override { return whole_.size(); }
    std::int64_t read(char *to, std::int64_t count) override
    {
        const int piece = pieces_[next_++ % pieces_.size()];
        return whole_.read(to, std::min<std::int64_t>(count, piece));
    }
    bool seek(std::int64_t offset) override { return whole_.seek(offset); }
    std::int64_t position() override { return whole_.position(); }
    std::int64_t lend(const char *&bytes, std::int64_t count) override
    {
        if (!lends_)
            return kDoesNotLend;
        const char *at = nullptr;
        const std::int64_t got = whole_.lend(at, std::min<std::int64_t>(count, pieces_[next_++ % pieces_.size()]));
        lent_ = std::make_unique<char[]>(size_t(got));
        std::copy(at, at + got, lent_.get());
        bytes = lent_.get();
        return got;
    }

private:
    MemorySource whole_;
    QList<int> pieces_;
    bool lends_;
    qsizetype next_ = 0;
    std::unique_ptr<char[]> lent_;
};

QByteArray Converted(ByteSource &source, bool fourBit)
{
    FakeHost host;
    host.fourBit = fourBit;
    host.placement = PalettePlacement::BootScreen;
    Prepared picture;
    if (const Problem problem = PrepareSource(source, picture, host))
        return "refused: " + QByteArray::fromStdString(FailureLine(problem, "<memory>", {}));
    return QByteArray::fromStdString(EncodedPicture(picture));
}

} // namespace

class TestReading : public QObject
{
    Q_OBJECT

private:
    ConversionFiles files_;

    ConvertOutcome convert(const QByteArray &bytes, FakeHost &host) { return files_.convert(bytes, host); }

    QByteArray outputPixels() { return ReadFileBytes(files_.destination).mid(1078); }

private slots:
    void init()
    {
        QVERIFY(files_.dir.isValid());
        files_.reset();
    }

    void refusedHeaders_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");

        QTest::newRow("empty file") << QByteArray() << kNotBmp;
        QTest::newRow("one byte B") << QByteArray("B") << kNotBmp;
        QTest::newRow("lower-case bm") << forged([](QByteArray &b) { b[0] = 'b'; b[1] = 'm'; }) << kNotBmp;
        QTest::newRow("BA") << forged([](QByteArray &b) { b[1] = 'A'; }) << kNotBmp;
        QTest::newRow("BA and 17 bytes") << QByteArray("BA").leftJustified(17, '\0') << kNotBmp;
        QTest::newRow("BM alone") << QByteArray("BM") << kTruncated;
        QTest::newRow("17 bytes") << validSource().left(17) << kTruncated;
        for (quint32 size : {12u, 0u, 39u, 41u, 64u, 108u, 124u, 0xFFFFFFFFu})
            QTest::addRow("header size %u", size) << forged([=](QByteArray &b) { PutDWord(b, 14, size); }) << kHeaderSize;
        QTest::newRow("header size 12 in 18 bytes") << forged([](QByteArray &b) { PutDWord(b, 14, 12); b.truncate(18); })
                                                    << kHeaderSize;
        QTest::newRow("18 bytes") << validSource().left(18) << kTruncated;
        QTest::newRow("29 bytes") << validSource().left(29) << kTruncated;
        for (quint16 bits : {0, 1, 4, 8, 16, 23, 25, 32, 48, 65535})
            QTest::addRow("%u bits per pixel", bits) << forged([=](QByteArray &b) { PutWord(b, 28, bits); }) << kNot24;
        QTest::newRow("8 bits in 30 bytes") << forged([](QByteArray &b) { PutWord(b, 28, 8); b.truncate(30); }) << kNot24;
        QTest::newRow("30 bytes") << validSource().left(30) << kTruncated;
        QTest::newRow("53 bytes") << validSource().left(53) << kTruncated;
        for (quint32 compression : {1u, 2u, 3u, 0x80000000u})
            QTest::addRow("compression %u", compression)
                << forged([=](QByteArray &b) { PutDWord(b, 30, compression); }) << kCompressed;
        QTest::newRow("compression before dimensions")
            << forged([](QByteArray &b) { PutDWord(b, 30, 1); PutDWord(b, 18, 0x80000000u); }) << kCompressed;
        QTest::newRow("negative width") << forged([](QByteArray &b) { PutDWord(b, 18, 0xFFFFFFFFu); }) << kDimensions;
        QTest::newRow("width -2^31") << forged([](QByteArray &b) { PutDWord(b, 18, 0x80000000u); }) << kDimensions;
        QTest::newRow("height -2^31") << forged([](QByteArray &b) { PutDWord(b, 22, 0x80000000u); }) << kDimensions;
        QTest::newRow("8-bit output over 2 GiB")
            << forged([](QByteArray &b) { PutDWord(b, 18, 65536); PutDWord(b, 22, 32768); }) << kDimensions;
        QTest::newRow("8-bit output one row too wide")
            << forged([](QByteArray &b) { PutDWord(b, 18, 2147482569u); PutDWord(b, 22, 1); }) << kDimensions;
        QTest::newRow("8-bit output just fits, file too short")
            << forged([](QByteArray &b) { PutDWord(b, 18, 2147482568u); PutDWord(b, 22, 1); }) << kTruncated;
        QTest::newRow("3 x width wraps 32 bits")
            << forged([](QByteArray &b) { PutDWord(b, 18, 0x55555556u); PutDWord(b, 22, 1); }) << kTruncated;
        QTest::newRow("huge top-down height")
            << forged([](QByteArray &b) { PutDWord(b, 22, quint32(-2147483647)); }) << kDimensions;
        QTest::newRow("width 1, height 2^31-1")
            << forged([](QByteArray &b) { PutDWord(b, 18, 1); PutDWord(b, 22, 2147483647); }) << kDimensions;
        QTest::newRow("dimensions before offset")
            << forged([](QByteArray &b) { PutDWord(b, 18, 0xFFFFFFFFu); PutDWord(b, 10, 0); }) << kDimensions;
        QTest::newRow("offset 0") << forged([](QByteArray &b) { PutDWord(b, 10, 0); }) << kOffset;
        QTest::newRow("offset 53") << forged([](QByteArray &b) { PutDWord(b, 10, 53); }) << kOffset;
        QTest::newRow("offset negative") << forged([](QByteArray &b) { PutDWord(b, 10, 0xFFFFFFF0u); }) << kOffset;
        QTest::newRow("offset past the end") << forged([](QByteArray &b) { PutDWord(b, 10, quint32(b.size() + 1)); })
                                             << kOffset;
        QTest::newRow("offset before truncation") << forged([](QByteArray &b) { PutDWord(b, 10, 9999); b.chop(1); })
                                                  << kOffset;
        QTest::newRow("last pixel byte missing") << validSource().chopped(3) << kTruncated;
        QTest::newRow("offset pushes pixels past the end") << forged([](QByteArray &b) { PutDWord(b, 10, 57); })
                                                           << kTruncated;
        QTest::newRow("claimed 1.5 GiB in a tiny file")
            << forged([](QByteArray &b) { PutDWord(b, 18, 536870000); PutDWord(b, 22, 3); }) << kTruncated;
        QTest::newRow("claimed 65535 x 8191 in a tiny file")
            << forged([](QByteArray &b) { PutDWord(b, 18, 65535); PutDWord(b, 22, 8191); }) << kTruncated;
    }

    // Each refused file gives exactly its line, and neither creates a destination
    // nor changes an existing one.
    void refusedHeaders()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);

        FakeHost host;
        QCOMPARE(convert(bytes, host), ConvertOutcome::Failed);
        QCOMPARE(host.errors, QStringList{message + files_.source});
        QVERIFY(!QFile::exists(files_.destination));

        const QByteArray existing("an existing destination file");
        QVERIFY(WriteFileBytes(files_.destination, existing));
        FakeHost again;
        QCOMPARE(convert(bytes, again), ConvertOutcome::Failed);
        QCOMPARE(ReadFileBytes(files_.destination), existing);
        QCOMPARE(QDir(files_.dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void unreadableSources_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing file") << QStringLiteral("missing.bmp");
        QTest::newRow("a folder") << QStringLiteral("folder.bmp");
    }
    void unreadableSources()
    {
        QFETCH(QString, name);
        QDir(files_.dir.path()).mkdir(QStringLiteral("folder.bmp"));
        const QString path = files_.dir.filePath(name);
        FakeHost host;
        QCOMPARE(ConvertFile(path, files_.destination, host), ConvertOutcome::Failed);
        QCOMPARE(host.errors, QStringList{QStringLiteral("Cannot open file - ") + path});
        QVERIFY(!QFile::exists(files_.destination));
    }

    void acceptedLayouts_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const auto sample = [](int w, int h) {
            return SampleSource{.width = w, .height = h, .pixel = [](int x, int y) { return DistinctColour(x * 3 + y); }};
        };
        QByteArray late = MakeSource({.width = 3, .height = 2, .pixel = sample(3, 2).pixel, .pixelDataOffset = 61});
        QTest::newRow("pixels at offset 61") << late;
        QTest::newRow("last filler missing") << MakeSource({.width = 3, .height = 2, .pixel = sample(3, 2).pixel,
                                                           .omitLastFiller = true});
        QTest::newRow("offset at end, height 0") << forged([](QByteArray &b) { PutDWord(b, 22, 0); PutDWord(b, 10, quint32(b.size())); });
        QTest::newRow("extra bytes after the pixels") << MakeSource(sample(5, 3)) + QByteArray(100, 'x');
        QTest::newRow("file size field wrong") << forged([](QByteArray &b) { PutDWord(b, 2, 7); });
    }
    void acceptedLayouts()
    {
        QFETCH(QByteArray, bytes);
        FakeHost host;
        QCOMPARE(convert(bytes, host), ConvertOutcome::Written);
        QVERIFY(host.errors.isEmpty());
    }

    void shortReads_data()
    {
        QTest::addColumn<QList<int>>("pieces");
        QTest::addColumn<bool>("lends");
        for (const bool lends : {false, true}) {
            const char *how = lends ? "lent" : "read";
            QTest::addRow("%s 1 byte at a time", how) << QList<int>{1} << lends;
            QTest::addRow("%s 7 bytes at a time", how) << QList<int>{7} << lends;
            QTest::addRow("%s in uneven pieces", how) << QList<int>{5, 1, 64 * 1024 + 3, 2, 13} << lends;
            QTest::addRow("%s around 64 KiB", how) << QList<int>{64 * 1024 - 1, 64 * 1024 + 1} << lends;
        }
    }
    // However the source hands out its bytes, every picture converts as it
    // does from the whole in memory: widths with every filler length, top-down
    // and bottom-up, pixels after a gap, a last filler missing, too many colours.
    void shortReads()
    {
        QFETCH(QList<int>, pieces);
        QFETCH(bool, lends);
        const auto sample = [](int w, int h, int colours, bool topDown = false) {
            return SampleSource{.width = w, .height = h, .topDown = topDown,
                                .pixel = [=](int x, int y) { return DistinctColour((x * 7 + y * 3) % colours); }};
        };
        QList<QByteArray> pictures;
        for (int width = 1; width <= 9; ++width)
            pictures << MakeSource(sample(width, 5, 12)) << MakeSource(sample(width, 4, 200, true));
        pictures << MakeSource(sample(513, 300, 16)) << MakeSource(sample(1021, 70, 250, true)) << MakeSource(sample(40, 40, 300));
        SampleSource gap = sample(3, 2, 5);
        gap.pixelDataOffset = 61;
        SampleSource noLastFiller = sample(3, 2, 5);
        noLastFiller.omitLastFiller = true;
        pictures << MakeSource(gap) << MakeSource(noLastFiller);
        for (const QByteArray &bytes : pictures) {
            for (const bool fourBit : {true, false}) {
                MemorySource whole({bytes.constData(), size_t(bytes.size())});
                PieceSource inPieces({bytes.constData(), size_t(bytes.size())}, pieces, lends);
                QCOMPARE(Converted(inPieces, fourBit), Converted(whole, fourBit));
            }
        }
    }

    void pixelsReadFromTheirOffset()
    {
        const SampleSource sample{.width = 3, .height = 2, .pixel = [](int x, int y) { return DistinctColour(x + 3 * y); },
                              .pixelDataOffset = 70};
        QByteArray bytes = MakeSource(sample);
        bytes.replace(54, 16, QByteArray(16, char(0xAB)));   // junk between header and pixels
        FakeHost host;
        QCOMPARE(convert(bytes, host), ConvertOutcome::Written);
        QCOMPARE(CompareWithSource(files_.destination, sample), QString());
    }

    void progressOncePerRow_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QStringList>("progress");
        const QStringList eight{QStringLiteral("12 %"), QStringLiteral("25 %"), QStringLiteral("38 %"), QStringLiteral("50 %"),
                                QStringLiteral("62 %"), QStringLiteral("75 %"), QStringLiteral("88 %"), QStringLiteral("100 %")};
        QTest::newRow("8 rows") << 3 << 8 << eight;
        QTest::newRow("8 empty rows") << 0 << 8 << eight;
        QTest::newRow("height 0") << 4 << 0 << QStringList();
        QTest::newRow("1 row") << 2 << 1 << QStringList{QStringLiteral("100 %")};
    }
    void progressOncePerRow()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QStringList, progress);
        FakeHost host;
        QCOMPARE(convert(MakeSource({.width = width, .height = height}), host), ConvertOutcome::Written);
        QCOMPARE(host.progress, progress);
        QCOMPARE(host.yields, height);
    }

    void paletteInOrderOfFirstAppearance_data()
    {
        QTest::addColumn<bool>("topDown");
        QTest::newRow("bottom-up: bottom-left pixel first") << false;
        QTest::newRow("top-down: top-left pixel first") << true;
    }
    void paletteInOrderOfFirstAppearance()
    {
        QFETCH(bool, topDown);
        const Bgr white{255, 255, 255}, red{0, 0, 255}, green{0, 255, 0};
        // 3 x 2: top row red, red, green; bottom row white, green, red.
        const SampleSource sample{.width = 3, .height = 2, .topDown = topDown, .pixel = [&](int x, int y) {
                                  const Bgr rows[2][3] = {{red, red, green}, {white, green, red}};
                                  return rows[y][x];
                              }};
        FakeHost host;
        QCOMPARE(convert(MakeSource(sample), host), ConvertOutcome::Written);
        const QByteArray out = ReadFileBytes(files_.destination);
        const QByteArray palette = out.mid(54, 12);
        const QByteArray expected = topDown ? QByteArray("\x00\x00\xFF\x00\x00\xFF\x00\x00\xFF\xFF\xFF\x00", 12)
                                            : QByteArray("\xFF\xFF\xFF\x00\x00\xFF\x00\x00\x00\x00\xFF\x00", 12);
        QCOMPARE(palette, expected);
        // The output is bottom-up either way.
        const QByteArray pixels = topDown ? QByteArray("\x02\x01\x00\x00\x00\x00\x01\x00", 8)
                                          : QByteArray("\x00\x01\x02\x00\x02\x02\x01\x00", 8);
        QCOMPARE(out.mid(1078), pixels);
        QCOMPARE(CompareWithSource(files_.destination, sample), QString());
    }

    void colourIdentityUsesAllThreeBytes()
    {
        const Bgr colours[] = {{10, 20, 30}, {11, 20, 30}, {10, 21, 30}, {10, 20, 31}, {10, 20, 30}};
        const SampleSource sample{.width = 5, .height = 1, .pixel = [&](int x, int) { return colours[x]; }};
        FakeHost host;
        QCOMPARE(convert(MakeSource(sample), host), ConvertOutcome::Written);
        QCOMPARE(outputPixels(), QByteArray("\x00\x01\x02\x03\x00\x00\x00\x00", 8));
    }

    // One byte changed anywhere inside a run of one colour is a colour of its own.
    void runsBrokenByOneByte()
    {
        const Bgr base{40, 50, 60};
        for (int column = 1; column < 14; ++column) {
            for (int byte = 0; byte < 3; ++byte) {
                Bgr odd = base;
                (byte == 0 ? odd.blue : byte == 1 ? odd.green : odd.red) += 1;
                const SampleSource sample{.width = 14, .height = 2,
                                      .pixel = [&](int x, int y) { return x == column && y == 1 ? odd : base; }};
                FakeHost host;
                QCOMPARE(convert(MakeSource(sample), host), ConvertOutcome::Written);
                QByteArray expected(16, '\0');   // bottom row first: the changed pixel is index 1
                expected[column] = 1;
                expected += QByteArray(14, '\0') + QByteArray(2, '\0');
                QCOMPARE(outputPixels(), expected);
            }
        }
    }

    void tooManyColours_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("topDown");
        QTest::addColumn<int>("colours");
        QTest::addColumn<int>("row");   // from the top; 0 when the picture converts
        QTest::addColumn<int>("column");
        QTest::newRow("256 colours pass") << 30 << 10 << false << 256 << 0 << 0;
        QTest::newRow("257th, bottom-up") << 30 << 10 << false << 257 << 2 << 17;
        QTest::newRow("257th, top-down") << 30 << 10 << true << 257 << 9 << 17;
        QTest::newRow("257th in the first stored row") << 300 << 10 << false << 300 << 10 << 257;
        QTest::newRow("257th at the top-left") << 16 << 17 << false << 257 << 1 << 1;
        QTest::newRow("one row, 1000 colours") << 1000 << 1 << false << 1000 << 1 << 257;
        QTest::newRow("257th in a file read ahead") << 3000 << 600 << false << 257 << 600 << 257;
    }
    void tooManyColours()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, topDown);
        QFETCH(int, colours);
        QFETCH(int, row);
        QFETCH(int, column);
        const SampleSource sample = rasterColours(width, height, colours, topDown);
        FakeHost host;
        const ConvertOutcome outcome = convert(MakeSource(sample), host);
        if (row == 0) {
            QCOMPARE(outcome, ConvertOutcome::Written);
            QCOMPARE(ReadFileBytes(files_.destination).mid(50, 4), QByteArray("\x00\x01\x00\x00", 4));   // 256 colours
            QCOMPARE(CompareWithSource(files_.destination, sample), QString());
            return;
        }
        QCOMPARE(outcome, ConvertOutcome::Failed);
        QCOMPARE(host.errors, QStringList{QStringLiteral("Too many different colors at %1. row and %2. column of %3 "
                                                         "Lossless conversion not possible.")
                                              .arg(row).arg(column).arg(files_.source)});
        QVERIFY(!QFile::exists(files_.destination));
    }

    void abortDuringYield_data()
    {
        QTest::addColumn<int>("abortAfterRow");
        QTest::addColumn<bool>("written");
        QTest::addColumn<int>("width");
        QTest::newRow("after row 1 of 5") << 1 << false << 4;
        QTest::newRow("after row 2 of 5") << 2 << false << 4;
        QTest::newRow("after row 4 of 5") << 4 << false << 4;
        QTest::newRow("after the last row: not seen") << 5 << true << 4;
        QTest::newRow("after row 2 of 5, read ahead") << 2 << false << 300000;
        QTest::newRow("after the last row, read ahead") << 5 << true << 300000;
    }
    void abortDuringYield()
    {
        QFETCH(int, abortAfterRow);
        QFETCH(bool, written);
        QFETCH(int, width);
        FakeHost host;
        host.onYield = [&](int n) {
            if (n == abortAfterRow)
                host.abort = true;
            return true;
        };
        const ConvertOutcome outcome = convert(MakeSource(rasterColours(width, 5, 20)), host);
        QCOMPARE(host.yields, abortAfterRow);
        QCOMPARE(outcome, written ? ConvertOutcome::Written : ConvertOutcome::Failed);
        QCOMPARE(host.errors, written ? QStringList() : QStringList{QStringLiteral("Aborted by user - ") + files_.source});
        QCOMPARE(QFile::exists(files_.destination), written);
    }

    void abortAlreadyRequestedStopsAtTheFirstPixel()
    {
        FakeHost host;
        host.abort = true;
        QCOMPARE(convert(MakeSource(rasterColours(4, 5, 20)), host), ConvertOutcome::Failed);
        QCOMPARE(host.yields, 0);
        QCOMPARE(host.errors, QStringList{QStringLiteral("Aborted by user - ") + files_.source});
    }

    void colourTestComesBeforeAbort()
    {
        // 256 colours fill the first 8 stored rows; row 9 opens with a new one.
        FakeHost host;
        host.onYield = [&](int n) {
            host.abort = n == 8;
            return true;
        };
        QCOMPARE(convert(MakeSource(rasterColours(32, 9, 257)), host), ConvertOutcome::Failed);
        QCOMPARE(host.errors.size(), 1);
        QVERIFY(host.errors.first().startsWith(QStringLiteral("Too many different colors at 1. row and 1. column")));
    }

    void programEndingStopsSilently()
    {
        QVERIFY(WriteFileBytes(files_.destination, "old"));
        FakeHost host;
        host.onYield = [](int n) { return n < 2; };
        QCOMPARE(convert(MakeSource(rasterColours(4, 5, 20)), host), ConvertOutcome::Interrupted);
        QCOMPARE(host.yields, 2);
        QVERIFY(host.errors.isEmpty());
        QCOMPARE(ReadFileBytes(files_.destination), QByteArray("old"));
    }
};

QTEST_GUILESS_MAIN(TestReading)
#include "tst_reading.moc"
