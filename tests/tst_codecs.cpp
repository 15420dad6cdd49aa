#include "codecs.h"

#include <QTest>

using namespace bmp24to8;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace

class TestCodecs : public QObject
{
    Q_OBJECT

private slots:
    void dword_data()
    {
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("0") << 0 << bytes({0, 0, 0, 0});
        QTest::newRow("40") << 40 << bytes({40, 0, 0, 0});
        QTest::newRow("54") << 54 << bytes({54, 0, 0, 0});
        QTest::newRow("1078") << 1078 << bytes({54, 4, 0, 0});
        QTest::newRow("32768, no sign in low bytes") << 32768 << bytes({0, 128, 0, 0});
        QTest::newRow("16777215") << 16777215 << bytes({255, 255, 255, 0});
        QTest::newRow("16777216") << 16777216 << bytes({0, 0, 0, 1});
        QTest::newRow("2^31-1") << 2147483647 << bytes({255, 255, 255, 127});
        QTest::newRow("top-down height -2") << -2 << bytes({254, 255, 255, 255});
    }
    void dword()
    {
        QFETCH(qint32, number);
        QFETCH(QByteArray, encoded);
        QCOMPARE(QByteArray::fromStdString(NumberToDWord(number)), encoded);
        QCOMPARE(DWordToNumber(encoded.toStdString()), number);
    }

    void word_data()
    {
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QByteArray>("encoded");
        QTest::addColumn<qint32>("decoded");
        QTest::newRow("1") << 1 << bytes({1, 0}) << 1;
        QTest::newRow("24") << 24 << bytes({24, 0}) << 24;
        QTest::newRow("32768") << 32768 << bytes({0, 128}) << 32768;
        QTest::newRow("65535 is not -1") << 65535 << bytes({255, 255}) << 65535;
        QTest::newRow("65536 drops the high bytes") << 65536 << bytes({0, 0}) << 0;
    }
    void word()
    {
        QFETCH(qint32, number);
        QFETCH(QByteArray, encoded);
        QFETCH(qint32, decoded);
        QCOMPARE(QByteArray::fromStdString(NumberToWord(number)), encoded);
        QCOMPARE(WordToNumber(encoded.toStdString()), decoded);
    }

    void roundTrip()
    {
        for (qint64 n = 0; n <= 2147483647; n += 65521)
            QCOMPARE(DWordToNumber(NumberToDWord(qint32(n))), qint32(n));
        QCOMPARE(DWordToNumber(NumberToDWord(2147483647)), 2147483647);
        for (qint32 n = 0; n <= 65535; ++n)
            QCOMPARE(WordToNumber(NumberToWord(n)), n);
    }
};

QTEST_GUILESS_MAIN(TestCodecs)
#include "tst_codecs.moc"
