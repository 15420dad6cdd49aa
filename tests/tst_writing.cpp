// Writing the output: the exact bytes of the header and palette, row padding,
// a lossless round trip through an independent decoder, and atomic replacement.
#include "conversionfiles.h"
#include "fakehost.h"
#include "picture.h"
#include "reorder.h"
#include "testbmp.h"
#include "writer.h"

#include <QDir>
#include <QtEndian>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace bmp24to8;

namespace {

QByteArray fromHex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex));
}

// Colours drawn from a seeded generator, at most `colours` of them.
SampleSource randomPicture(int width, int height, int colours, quint32 seed, bool topDown = false)
{
    auto table = std::make_shared<std::vector<Bgr>>();
    QRandomGenerator random(seed);
    for (int i = 0; i < colours; ++i)
        table->push_back({quint8(random.bounded(256)), quint8(random.bounded(256)), quint8(random.bounded(256))});
    auto pixels = std::make_shared<std::vector<int>>();
    for (qint64 i = 0; i < qint64(width) * height; ++i)
        pixels->push_back(int(random.bounded(colours)));
    return {.width = width, .height = height, .topDown = topDown,
            .pixel = [=](int x, int y) { return (*table)[size_t((*pixels)[size_t(y) * size_t(width) + size_t(x)])]; }};
}

} // namespace

class TestWriting : public QObject
{
    Q_OBJECT

private:
    ConversionFiles files_;

    ConvertOutcome convert(const SampleSource &sample, FakeHost &host) { return files_.convert(MakeSource(sample), host); }

private slots:
    void init()
    {
        QVERIFY(files_.dir.isValid());
        files_.reset();
    }

    void threeByTwoIsByteExact()
    {
        const Bgr a{1, 2, 3}, b{200, 100, 50};
        FakeHost host;
        QCOMPARE(convert({.width = 3, .height = 2, .pixel = [&](int x, int y) { return (x + y) % 2 ? b : a; }}, host),
                 ConvertOutcome::Written);
        const QByteArray out = ReadFileBytes(files_.destination);
        QCOMPARE(out.size(), 1086);
        QCOMPARE(out.left(54).toHex(' ').toUpper(),
                 QByteArray("42 4D 3E 04 00 00 00 00 00 00 36 04 00 00 28 00 00 00 03 00 00 00 02 00 00 00 01 00 08 00 "
                            "00 00 00 00 08 00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 02 00 00 00"));
        // The bottom row starts with b: it is entry 0; all 256 entries are written.
        QCOMPARE(out.mid(54, 8), fromHex("C864320001020300"));
        QCOMPARE(out.mid(62, 1016), QByteArray(1016, '\0'));
        QCOMPARE(out.mid(1078), fromHex("0001000001000100"));
    }

    void rowPadding_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("topDown");
        for (int width = 0; width <= 9; ++width)
            for (int height : {0, 1, 2, 3})
                QTest::addRow("%dx%d", width, height) << width << height << false;
        for (int width : {1, 2, 3, 4, 5})
            QTest::addRow("%dx3 top-down", width) << width << 3 << true;
    }
    // Each output row is width index bytes and zeros to a multiple of 4, and
    // every size field agrees with the file.
    void rowPadding()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, topDown);
        const SampleSource sample = randomPicture(width, height, 7, quint32(width * 31 + height), topDown);
        FakeHost host;
        QCOMPARE(convert(sample, host), ConvertOutcome::Written);
        const QByteArray out = ReadFileBytes(files_.destination);
        const int rowBytes = (width + 3) / 4 * 4;
        QCOMPARE(out.size(), 1078 + rowBytes * height);
        QCOMPARE(qFromLittleEndian<quint32>(out.constData() + 2), quint32(out.size()));
        QCOMPARE(qFromLittleEndian<qint32>(out.constData() + 22), height);
        QCOMPARE(qFromLittleEndian<quint32>(out.constData() + 34), quint32(rowBytes * height));
        for (int row = 0; row < height; ++row)
            QCOMPARE(out.mid(1078 + row * rowBytes + width, rowBytes - width), QByteArray(rowBytes - width, '\0'));
        if (width > 0 && height > 0)
            QCOMPARE(CompareWithSource(files_.destination, sample), QString());
    }

    void decodesToTheSourcePixels_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("colours");
        QTest::addColumn<bool>("topDown");
        QTest::newRow("17x13, 256 colours") << 17 << 13 << 256 << false;
        QTest::newRow("31x7, 2 colours") << 31 << 7 << 2 << false;
        QTest::newRow("33x5, 100 colours, top-down") << 33 << 5 << 100 << true;
        QTest::newRow("1x257, 256 colours") << 1 << 257 << 256 << false;
        QTest::newRow("257x1, 1 colour") << 257 << 1 << 1 << false;
        QTest::newRow("640x480, 256 colours") << 640 << 480 << 256 << false;
        QTest::newRow("1000x3, 255 colours, top-down") << 1000 << 3 << 255 << true;
        // Large enough for the file to be read ahead on a thread of its own.
        QTest::newRow("2000x1100, 256 colours, read ahead") << 2000 << 1100 << 256 << false;
        QTest::newRow("1500x1000, 200 colours, top-down, read ahead") << 1500 << 1000 << 200 << true;
    }
    void decodesToTheSourcePixels()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, colours);
        QFETCH(bool, topDown);
        const SampleSource sample = randomPicture(width, height, colours, 42, topDown);
        FakeHost host;
        QCOMPARE(convert(sample, host), ConvertOutcome::Written);
        QCOMPARE(CompareWithSource(files_.destination, sample), QString());
    }

    void seventeenthColourAnywhere_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("topDown");
        QTest::addColumn<int>("storedRow");   // where the 17th colour first appears
        QTest::addColumn<int>("column");
        QTest::newRow("first row") << 7 << 5 << false << 0 << 6;
        QTest::newRow("later row") << 7 << 5 << false << 3 << 0;
        QTest::newRow("later row, top-down") << 7 << 5 << true << 3 << 2;
        QTest::newRow("second piece of a wide row") << 40000 << 2 << false << 0 << 36001;
        QTest::newRow("row after a wide one") << 33001 << 3 << true << 1 << 1;
    }
    // Pictures of at most 16 colours are held two pixels to a byte until a
    // 17th colour appears; wherever it does, the output is exact.
    void seventeenthColourAnywhere()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, topDown);
        QFETCH(int, storedRow);
        QFETCH(int, column);
        const SampleSource sample{.width = width, .height = height, .topDown = topDown, .pixel = [=](int x, int y) {
            const int stored = topDown ? y : height - 1 - y;
            const bool beyond = stored > storedRow || (stored == storedRow && x >= column);
            return DistinctColour(beyond ? 100 + (x + 7 * y) % 150 : (x + y) % 16);
        }};
        for (bool fourBit : {false, true}) {
            FakeHost host;
            host.fourBit = fourBit;
            QCOMPARE(convert(sample, host), ConvertOutcome::Written);
            QCOMPARE(int(ReadFileBytes(files_.destination).at(28)), 8);
            QCOMPARE(CompareWithSource(files_.destination, sample), QString());
        }
    }

    void everyOptionCombination_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("colours");
        QTest::addColumn<bool>("withBlack");
        QTest::newRow("1 colour, black") << 3 << 2 << 1 << true;
        QTest::newRow("1 colour") << 5 << 3 << 1 << false;
        QTest::newRow("2 colours, black") << 7 << 5 << 2 << true;
        QTest::newRow("16 colours") << 9 << 9 << 16 << false;
        QTest::newRow("16 colours, black") << 8 << 6 << 16 << true;
        QTest::newRow("17 colours") << 13 << 3 << 17 << false;
        QTest::newRow("20 colours") << 6 << 7 << 20 << false;
        QTest::newRow("256 colours") << 31 << 17 << 256 << false;
        QTest::newRow("256 colours, black") << 16 << 16 << 256 << true;
    }
    // Every combination of four-bit output and placement writes a file that
    // decodes to the source's pixels with the darkest colours where the placement
    // puts them, or refuses the placement; then the other placement is written.
    void everyOptionCombination()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, colours);
        QFETCH(bool, withBlack);
        const SampleSource sample{.width = width, .height = height, .pixel = [=](int x, int y) {
                                  return DistinctColour((x * 5 + y * 3) % colours, withBlack);
                              }};
        for (bool fourBitWanted : {false, true}) {
            int refusals = 0;
            for (int placement = 0; placement < 3; ++placement) {
                FakeHost host;
                host.fourBit = fourBitWanted;
                host.placement = PalettePlacement(placement);
                QFile::remove(files_.destination);
                const ConvertOutcome outcome = convert(sample, host);
                if (outcome == ConvertOutcome::Failed) {
                    QVERIFY(placement != 0);
                    QCOMPARE(host.errors, QStringList{QStringLiteral("Try different optimization - ") + files_.source});
                    QVERIFY(!QFile::exists(files_.destination));
                    ++refusals;
                    continue;
                }
                QCOMPARE(outcome, ConvertOutcome::Written);
                QCOMPARE(CompareWithSource(files_.destination, sample), QString());
                const QByteArray out = ReadFileBytes(files_.destination);
                const bool fourBit = fourBitWanted && colours <= 16;
                QCOMPARE(int(out[28]), fourBit ? 4 : 8);
                // A caller that renumbers the rows in place before writing
                // them gets the same file.
                Prepared picture;
                FakeHost again = host;
                QVERIFY(!PrepareBytes(MakeSource(sample).toStdString(), picture, again));
                RenumberHeldRows(picture);
                QCOMPARE(QByteArray::fromStdString(EncodedPicture(picture)), out);
                if (placement == 0)
                    continue;
                // Index 0 and 1 hold the two darkest entries within the searched range.
                const auto brightness = [&](int i) {
                    return Brightness({quint8(out[54 + 4 * i]), quint8(out[55 + 4 * i]), quint8(out[56 + 4 * i])});
                };
                const int dark = placement == 1 ? 0 : 1;
                const int second = 1 - dark;
                QVERIFY(brightness(dark) <= brightness(second));
                for (int i = 2; i <= (colours <= 16 ? 15 : 255); ++i)
                    QVERIFY(brightness(second) <= brightness(i));
            }
            QVERIFY(refusals <= 1);
        }
    }

    // Random palettes of 256 colours, black and white among them, in random
    // order: every colour keeps its own index however the lookup stores them.
    void randomPalettesOfFullSize()
    {
        for (quint32 seed = 1; seed <= 150; ++seed) {
            QRandomGenerator random(seed);
            QList<Bgr> colours{{0, 0, 0}, {255, 255, 255}};
            while (colours.size() < 256) {
                const Bgr c{quint8(random.bounded(256)), quint8(random.bounded(256)), quint8(random.bounded(256))};
                if (!colours.contains(c))
                    colours << c;
            }
            std::shuffle(colours.begin(), colours.end(), random);
            const SampleSource sample{.width = 16, .height = 16, .pixel = [&](int x, int y) { return colours[(y * 16 + x) * 7 % 256]; }};
            FakeHost host;
            QCOMPARE(convert(sample, host), ConvertOutcome::Written);
            QCOMPARE(CompareWithSource(files_.destination, sample), QString());
            QCOMPARE(ReadFileBytes(files_.destination).mid(50, 2), QByteArray("\x00\x01", 2));   // 256 colours
        }
    }

    void longerDestinationIsReplaced()
    {
        QVERIFY(WriteFileBytes(files_.destination, QByteArray(5000, 'x')));
        FakeHost host;
        QCOMPARE(convert({.width = 2, .height = 2}, host), ConvertOutcome::Written);
        QCOMPARE(ReadFileBytes(files_.destination).size(), 1078 + 8);
    }

    void destinationEqualToSourceIsReplaced()
    {
        const SampleSource sample = randomPicture(5, 4, 9, 7);
        QVERIFY(WriteFileBytes(files_.source, MakeSource(sample)));
        FakeHost host;
        QCOMPARE(ConvertFile(files_.source, files_.source, host), ConvertOutcome::Written);
        QCOMPARE(ReadFileBytes(files_.source).size(), 1078 + 8 * 4);
        QCOMPARE(CompareWithSource(files_.source, sample), QString());
    }

    void unwritableDestinations_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing folder") << QStringLiteral("no/such/folder/out.bmp") << "No such file or directory";
        QTest::newRow("destination is a folder") << QStringLiteral("afolder") << "Is a directory";
        QTest::newRow("parent is a file") << QStringLiteral("afile/out.bmp") << "Not a directory";
    }
    // Nothing is created or changed, and no temporary file is left behind.
    void unwritableDestinations()
    {
        QFETCH(QString, relativePath);
        QFETCH(QString, reason);
        QTemporaryDir work;
        QDir(work.path()).mkdir(QStringLiteral("afolder"));
        QVERIFY(WriteFileBytes(work.filePath(QStringLiteral("afile")), "keep"));
        const QStringList before = QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

        QVERIFY(WriteFileBytes(files_.source, MakeSource({.width = 3, .height = 3})));
        const QString destination = work.filePath(relativePath);
        FakeHost host;
        QCOMPARE(ConvertFile(files_.source, destination, host), ConvertOutcome::Failed);
        QCOMPARE(host.errors, QStringList{QStringLiteral("Cannot write file - %1 (%2)").arg(destination, reason)});
        QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
        QCOMPARE(QDir(work.filePath(QStringLiteral("afolder"))).isEmpty(), true);
        QCOMPARE(ReadFileBytes(work.filePath(QStringLiteral("afile"))), QByteArray("keep"));
    }
};

QTEST_GUILESS_MAIN(TestWriting)
#include "tst_writing.moc"
