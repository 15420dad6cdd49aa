// Packing to four bits per pixel: the nibble and row layout, when the step
// runs, and its progress.
#include "qtconvert.h"
#include "fakehost.h"
#include "fourbit.h"
#include "picture.h"
#include "testbmp.h"
#include "writer.h"

#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>

using namespace bmp24to8;

namespace {

Picture pictureOf(int width, const QList<QByteArray> &rows, int colours = 16)
{
    Picture picture;
    picture.width = width;
    picture.height = int(rows.size());
    picture.colourCount = colours;
    const QByteArray indexes = rows.join();
    picture.pixelIndexData = PixelBuffer(indexes.size());
    std::copy(indexes.cbegin(), indexes.cend(), picture.pixelIndexData.data());
    return picture;
}

} // namespace

class TestFourBit : public QObject
{
    Q_OBJECT

private slots:
    void packing_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<QList<QByteArray>>("rows");
        QTest::addColumn<QByteArray>("packed");
        QTest::newRow("3x2") << 3 << QList<QByteArray>{QByteArray("\x01\x02\x03", 3), QByteArray("\x00\x01\x02", 3)}
                             << QByteArray("\x12\x30\x01\x20", 4);
        QTest::newRow("width 8, no padding") << 8 << QList<QByteArray>{QByteArray("\x0F\x0E\x0D\x0C\x0B\x0A\x09\x08", 8)}
                                             << QByteArray("\xFE\xDC\xBA\x98", 4);
        QTest::newRow("width 1") << 1 << QList<QByteArray>{QByteArray("\x0A", 1)} << QByteArray("\xA0", 1);
        QTest::newRow("width 9") << 9 << QList<QByteArray>{QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08\x09", 9)}
                                 << QByteArray("\x12\x34\x56\x78\x90", 5);
        QTest::newRow("width 0") << 0 << QList<QByteArray>{QByteArray(), QByteArray()} << QByteArray();
        QTest::newRow("height 0") << 5 << QList<QByteArray>{} << QByteArray();
    }
    void packing()
    {
        QFETCH(int, width);
        QFETCH(QList<QByteArray>, rows);
        QFETCH(QByteArray, packed);
        Picture picture = pictureOf(width, rows);
        FakeHost host;
        QCOMPARE(PackFourBit(picture, host).failure, Failure::None);
        QVERIFY(picture.fourBitMode);
        QCOMPARE(QByteArray::fromStdString(std::string(picture.pixelIndexData.view())), packed);
        QCOMPARE(host.yields, rows.size());
    }

    // Rows of every width from 0 to 40 come out ceil(width / 2) long (the
    // writer pads them), and unpack to the same indexes.
    void rowLengthsAndNibbles()
    {
        for (int width = 0; width <= 40; ++width) {
            QList<QByteArray> rows;
            for (int r = 0; r < 3; ++r) {
                QByteArray row;
                for (int x = 0; x < width; ++x)
                    row.append(char((x * 7 + r * 3) % 16));
                rows << row;
            }
            Picture picture = pictureOf(width, rows);
            FakeHost host;
            PackFourBit(picture, host);
            const int rowBytes = (width + 1) / 2;
            QCOMPARE(picture.pixelIndexData.size(), 3 * rowBytes);
            for (int r = 0; r < 3; ++r) {
                for (int x = 0; x < rowBytes * 2; ++x) {
                    const auto byte = picture.pixelIndexData.data()[r * rowBytes + x / 2];
                    const int nibble = x % 2 ? byte & 0x0F : byte >> 4;
                    QCOMPARE(nibble, x < width ? int(rows[r][x]) : 0);
                }
            }
        }
    }

    void progress()
    {
        Picture picture = pictureOf(2, QList<QByteArray>(8, QByteArray("\x01\x02", 2)));
        FakeHost host;
        PackFourBit(picture, host);
        QCOMPARE(host.progress, (QStringList{QStringLiteral("12 % 4-bit"), QStringLiteral("25 % 4-bit"), QStringLiteral("38 % 4-bit"),
                                             QStringLiteral("50 % 4-bit"), QStringLiteral("62 % 4-bit"), QStringLiteral("75 % 4-bit"),
                                             QStringLiteral("88 % 4-bit"), QStringLiteral("100 % 4-bit")}));
    }

    void whenPackingRuns_data()
    {
        QTest::addColumn<bool>("wanted");
        QTest::addColumn<int>("colours");
        QTest::addColumn<bool>("packs");
        QTest::newRow("wanted, 16 colours") << true << 16 << true;
        QTest::newRow("wanted, 17 colours") << true << 17 << false;
        QTest::newRow("not wanted, 2 colours") << false << 2 << false;
        QTest::newRow("wanted, 0 colours") << true << 0 << true;
    }
    void whenPackingRuns()
    {
        QFETCH(bool, wanted);
        QFETCH(int, colours);
        QFETCH(bool, packs);
        QCOMPARE(WantsFourBit(wanted, colours), packs);
    }

    // End to end: the bits-per-pixel field and the file size follow the option
    // and the colour count; the four-bit box is read after the pixels.
    void convertedFiles_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("colours");
        QTest::addColumn<bool>("fourBitAtStart");
        QTest::addColumn<bool>("fourBitAfterFirstRow");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("fileSize");
        QTest::newRow("16 colours packed") << 4 << 4 << 16 << true << true << 4 << 118 + 4 * 4;
        QTest::newRow("17 colours not packed") << 17 << 1 << 17 << true << true << 8 << 1078 + 20;
        QTest::newRow("unticked") << 3 << 2 << 2 << false << false << 8 << 1078 + 8;
        QTest::newRow("ticked while reading") << 3 << 2 << 2 << false << true << 4 << 118 + 8;
        QTest::newRow("unticked while reading") << 3 << 2 << 2 << true << false << 8 << 1078 + 8;
        QTest::newRow("width 0") << 0 << 3 << 0 << true << true << 4 << 118;
        QTest::newRow("height 0") << 7 << 0 << 0 << true << true << 4 << 118;
    }
    void convertedFiles()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, colours);
        QFETCH(bool, fourBitAtStart);
        QFETCH(bool, fourBitAfterFirstRow);
        QFETCH(int, bits);
        QFETCH(int, fileSize);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("in.bmp"));
        const QString destination = dir.filePath(QStringLiteral("out.bmp"));
        const SampleSource sample{.width = width, .height = height,
                              .pixel = [=](int x, int y) { return DistinctColour((x + y * width) % qMax(colours, 1)); }};
        QVERIFY(WriteFileBytes(source, MakeSource(sample)));
        FakeHost host;
        host.fourBit = fourBitAtStart;
        host.onYield = [&](int) {
            host.fourBit = fourBitAfterFirstRow;
            return true;
        };
        QCOMPARE(ConvertFile(source, destination, host), ConvertOutcome::Written);
        const QByteArray out = ReadFileBytes(destination);
        QCOMPARE(out.size(), fileSize);
        QCOMPARE(qFromLittleEndian<quint16>(out.constData() + 28), quint16(bits));
        QCOMPARE(qFromLittleEndian<quint32>(out.constData() + 46), quint32(1 << bits));
        QCOMPARE(qFromLittleEndian<quint32>(out.constData() + 50), quint32(colours));
        if (width > 0 && height > 0)
            QCOMPARE(CompareWithSource(destination, sample), QString());
    }

    void threeByTwoFourBitFileIsByteExact()
    {
        Picture picture = pictureOf(3, {QByteArray("\x01\x02\x03", 3), QByteArray("\x00\x01\x02", 3)}, 2);
        picture.palette[0] = {10, 20, 30};
        picture.palette[16] = {99, 99, 99};   // beyond the 16 entries written
        FakeHost host;
        PackFourBit(picture, host);
        const QByteArray out = QByteArray::fromStdString(EncodedPicture(picture));
        QCOMPARE(out.size(), 126);
        QCOMPARE(out.left(54).toHex(' ').toUpper(),
                 QByteArray("42 4D 7E 00 00 00 00 00 00 00 76 00 00 00 28 00 00 00 03 00 00 00 02 00 00 00 01 00 04 00 "
                            "00 00 00 00 08 00 00 00 00 00 00 00 00 00 00 00 10 00 00 00 02 00 00 00"));
        QCOMPARE(out.mid(54, 64), QByteArray("\x0A\x14\x1E\x00", 4) + QByteArray(60, '\0'));
        QCOMPARE(out.mid(118), QByteArray("\x12\x30\x00\x00\x01\x20\x00\x00", 8));
    }
};

QTEST_GUILESS_MAIN(TestFourBit)
#include "tst_fourbit.moc"
