#include "codecs.h"

#include <QTest>

namespace {

struct FatalStop
{
    QByteArray offending;
    QString message;
};

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
    void init()
    {
        previous_ = SetCodecFatalHandler([](const std::string &offending, const std::string &message) {
            throw FatalStop{QByteArray::fromStdString(offending), QString::fromStdString(message)};
        });
    }
    void cleanup() { SetCodecFatalHandler(previous_); }

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

    void wrongLengthIsFatal_data()
    {
        QTest::addColumn<bool>("dword");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("message");
        const QString dwordText = QString::fromUtf8(
            "Vážná vnitřní chyba: Do procedury pro převod z dWord na číslo pronikl řetězec jiné délky než 4B!");
        const QString wordText = QString::fromUtf8(
            "Vážná vnitřní chyba: Do procedury pro převod z Word na číslo pronikl řetězec jiné délky než 2B!");
        QTest::newRow("dword of 3 bytes") << true << bytes({1, 2, 3}) << dwordText;
        QTest::newRow("dword of 5 bytes") << true << bytes({1, 2, 3, 4, 5}) << dwordText;
        QTest::newRow("word of 0 bytes") << false << QByteArray() << wordText;
        QTest::newRow("word of 3 bytes") << false << bytes({7, 8, 9}) << wordText;
    }
    void wrongLengthIsFatal()
    {
        QFETCH(bool, dword);
        QFETCH(QByteArray, input);
        QFETCH(QString, message);
        const QByteArray before = input;
        try {
            dword ? DWordToNumber(input.toStdString()) : WordToNumber(input.toStdString());
            QFAIL("the decoder returned");
        } catch (const FatalStop &stop) {
            QCOMPARE(stop.offending, input);
            QCOMPARE(stop.message, message);
        }
        QCOMPARE(input, before);
    }

private:
    CodecFatalHandler previous_;
};

QTEST_GUILESS_MAIN(TestCodecs)
#include "tst_codecs.moc"
