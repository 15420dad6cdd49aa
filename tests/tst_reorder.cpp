// Moving the two darkest colours to indexes 0 and 1 under the DOS and the
// boot-screen placements.
#include "fakehost.h"
#include "picture.h"
#include "reorder.h"

#include <QTest>

#include <algorithm>

using namespace bmp24to8;

namespace {

using Placement = PalettePlacement;

// Original palette index -> where it ends up.
using Moves = QMap<int, int>;

PaletteEntry grey(int level)
{
    return {quint8(level), quint8(level), quint8(level)};
}

// A palette of the given colours, black after them.
Picture pictureOf(const QList<PaletteEntry> &colours, const QByteArray &indexes, int width)
{
    Picture picture;
    picture.width = width;
    picture.height = int(indexes.size() / width);
    picture.colourCount = int(colours.size());
    for (int i = 0; i < colours.size(); ++i)
        picture.palette[size_t(i)] = colours[i];
    picture.pixelIndexData = PixelBuffer(indexes.size());
    std::copy(indexes.cbegin(), indexes.cend(), picture.pixelIndexData.data());
    return picture;
}

FakeHost hostFor(Placement placement)
{
    FakeHost host;
    host.placement = placement;
    return host;
}

// Sixteen grey levels from bright to dark with two chosen darkest places.
QList<PaletteEntry> sixteenWithDarkestAt(int darkest, int second)
{
    QList<PaletteEntry> colours;
    for (int i = 0; i < 16; ++i)
        colours << grey(200 - 5 * i);
    colours[darkest] = grey(1);
    colours[second] = grey(2);
    return colours;
}

QByteArray allIndexes(int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out.append(char(i));
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Placement)

class TestReorder : public QObject
{
    Q_OBJECT

private slots:
    void brightness_data()
    {
        QTest::addColumn<int>("blue");
        QTest::addColumn<int>("green");
        QTest::addColumn<int>("red");
        QTest::addColumn<int>("expected");
        QTest::newRow("black") << 0 << 0 << 0 << 0;
        QTest::newRow("blue 1: 1.5 rounds to 2") << 1 << 0 << 0 << 2;
        QTest::newRow("blue 3: 4.5 rounds to 4") << 3 << 0 << 0 << 4;
        QTest::newRow("blue 255: 382.5 rounds to 382") << 255 << 0 << 0 << 382;
        QTest::newRow("green weighs 2") << 0 << 1 << 0 << 2;
        QTest::newRow("red weighs 1") << 0 << 0 << 1 << 1;
        QTest::newRow("white") << 255 << 255 << 255 << 1147;
    }
    void brightness()
    {
        QFETCH(int, blue);
        QFETCH(int, green);
        QFETCH(int, red);
        QFETCH(int, expected);
        QCOMPARE(Brightness({quint8(blue), quint8(green), quint8(red)}), expected);
    }

    void placements_data()
    {
        QTest::addColumn<QList<PaletteEntry>>("colours");
        QTest::addColumn<QByteArray>("indexes");
        QTest::addColumn<Placement>("placement");
        // Where each original index ends up; empty when the placement is refused.
        QTest::addColumn<Moves>("moves");

        const QByteArray ones = QByteArray(6, '\0');
        QTest::newRow("one black colour, boot: refused") << QList{grey(0)} << ones << Placement::BootScreen << Moves{};
        QTest::newRow("one black colour, dos: nothing moves") << QList{grey(0)} << ones << Placement::Dos << Moves{{0, 0}};
        QTest::newRow("one colour, boot: moved to 2") << QList{grey(9)} << ones << Placement::BootScreen << Moves{{0, 2}};
        QTest::newRow("one colour, dos: refused") << QList{grey(9)} << ones << Placement::Dos << Moves{};

        const QByteArray sixteen = allIndexes(16) + allIndexes(16);
        QTest::newRow("16, darkest 0, second 5, boot")
            << sixteenWithDarkestAt(0, 5) << sixteen << Placement::BootScreen << Moves{{0, 1}, {1, 5}, {5, 0}};
        QTest::newRow("16, darkest 0, second 5, dos")
            << sixteenWithDarkestAt(0, 5) << sixteen << Placement::Dos << Moves{{0, 0}, {1, 5}, {5, 1}};
        QTest::newRow("16, darkest 3, second 0, dos: three-way rotation")
            << sixteenWithDarkestAt(3, 0) << sixteen << Placement::Dos << Moves{{0, 1}, {1, 3}, {3, 0}};
        QTest::newRow("16, second-darkest at 1, boot: refused")
            << sixteenWithDarkestAt(7, 1) << sixteen << Placement::BootScreen << Moves{};
        QTest::newRow("16, second-darkest at 1, dos")
            << sixteenWithDarkestAt(7, 1) << sixteen << Placement::Dos << Moves{{0, 7}, {7, 0}};
        QTest::newRow("16, darkest at 1, dos: refused")
            << sixteenWithDarkestAt(1, 9) << sixteen << Placement::Dos << Moves{};
        QTest::newRow("16, darkest at 1, boot")
            << sixteenWithDarkestAt(1, 9) << sixteen << Placement::BootScreen << Moves{{0, 9}, {9, 0}};
        QTest::newRow("16, darkest 1, second 0, boot: already placed")
            << sixteenWithDarkestAt(1, 0) << sixteen << Placement::BootScreen << Moves{{0, 0}, {1, 1}};

        // Blue 2 weighs 3, as do green 1 with red 1: the lower index is the darkest.
        QList<PaletteEntry> tied = sixteenWithDarkestAt(4, 7);
        tied[4] = {0, 1, 1};
        tied[7] = {2, 0, 0};
        QTest::newRow("tie of least brightness, boot") << tied << sixteen << Placement::BootScreen
                                                       << Moves{{0, 7}, {7, 0}, {1, 4}, {4, 1}};

        QList<PaletteEntry> twenty;
        for (int i = 0; i < 20; ++i)
            twenty << grey(10 + i);
        QTest::newRow("20 colours, none black, boot: into free entries 20 and 21")
            << twenty << allIndexes(20) << Placement::BootScreen << Moves{{0, 21}, {1, 20}};
        QTest::newRow("20 colours, none black, dos")
            << twenty << allIndexes(20) << Placement::Dos << Moves{{0, 20}, {1, 21}};
        QTest::newRow("10 colours, none black, boot: free entries within 15")
            << twenty.mid(0, 10) << allIndexes(10) << Placement::BootScreen << Moves{{0, 11}, {1, 10}};

        QList<PaletteEntry> full;
        for (int i = 0; i < 256; ++i)
            full << PaletteEntry{quint8(i), quint8(255 - i), 200};
        // Brightness falls with i; 255 is darkest, 254 second.
        QTest::newRow("256 colours, boot") << full << allIndexes(256) << Placement::BootScreen
                                           << Moves{{255, 1}, {254, 0}, {1, 255}, {0, 254}};

        QTest::newRow("none: nothing moves") << sixteenWithDarkestAt(3, 0) << sixteen << Placement::None
                                             << Moves{{3, 3}};
    }

    // Each pixel keeps its colour, the named indexes move as expected and all
    // others stay; a refusal changes nothing.
    void placements()
    {
        QFETCH(QList<PaletteEntry>, colours);
        QFETCH(QByteArray, indexes);
        QFETCH(Placement, placement);
        QFETCH(Moves, moves);

        const int width = indexes.size() % 3 == 0 ? 3 : 1;
        Picture picture = pictureOf(colours, indexes, width);
        const Picture before = picture;
        FakeHost host = hostFor(placement);
        const Problem problem = ReorderPalette(picture, host);

        QCOMPARE(host.progress, placement == Placement::None ? QStringList() : QStringList{QStringLiteral("Compatibility")});
        QCOMPARE(host.yields, placement == Placement::None ? 0 : 1);
        if (moves.isEmpty()) {
            QCOMPARE(problem.failure, Failure::TryDifferentOptimization);
            QCOMPARE(picture.palette, before.palette);
            QCOMPARE(picture.pixelIndexData, before.pixelIndexData);
            QVERIFY(picture.exchange.changesNothing());
            return;
        }
        QCOMPARE(problem.failure, Failure::None);
        QCOMPARE(picture.colourCount, before.colourCount);
        for (int old = 0; old < 256; ++old) {
            const int now = moves.value(old, moves.values().contains(old) ? -1 : old);
            if (now >= 0)
                QCOMPARE(picture.palette[size_t(now)], before.palette[size_t(old)]);
        }
        // Every pixel, renumbered as it will be written, keeps its colour.
        for (qint64 i = 0; i < before.pixelIndexData.size(); ++i) {
            const uchar was = before.pixelIndexData.data()[i];
            const uchar is = picture.exchange(picture.pixelIndexData.data()[i]);
            QCOMPARE(picture.palette[is], before.palette[was]);
        }
    }

    // A placement refused under one option is made under the other.
    void refusedUnderOneWrittenUnderTheOther()
    {
        for (int darkest = 0; darkest < 16; ++darkest) {
            for (int second = 0; second < 16; ++second) {
                if (second == darkest)
                    continue;
                int refusals = 0;
                for (Placement placement : {Placement::Dos, Placement::BootScreen}) {
                    Picture picture = pictureOf(sixteenWithDarkestAt(darkest, second), allIndexes(16), 1);
                    FakeHost host = hostFor(placement);
                    const Problem problem = ReorderPalette(picture, host);
                    if (problem.failure == Failure::TryDifferentOptimization) {
                        ++refusals;
                        continue;
                    }
                    const bool dos = placement == Placement::Dos;
                    QCOMPARE(picture.palette[dos ? 0 : 1], grey(1));
                    QCOMPARE(picture.palette[dos ? 1 : 0], grey(2));
                }
                QVERIFY(refusals <= 1);
                QCOMPARE(refusals, darkest == 1 || second == 1 ? 1 : 0);
            }
        }
    }

    void programEndingDuringTheYield()
    {
        Picture picture = pictureOf(sixteenWithDarkestAt(0, 5), allIndexes(16), 1);
        FakeHost host = hostFor(Placement::BootScreen);
        host.onYield = [](int) { return false; };
        QCOMPARE(ReorderPalette(picture, host).failure, Failure::Interrupted);
    }
};

QTEST_GUILESS_MAIN(TestReorder)
#include "tst_reorder.moc"
