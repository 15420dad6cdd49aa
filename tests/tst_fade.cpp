// The main window's fade-in: the version test, the opacity curve over 63 ticks,
// and the path without fading.
#include "fade.h"
#include "form1.h"

#include <QTest>
#include <QTimer>
#include <QWidget>


class TestFade : public QObject
{
    Q_OBJECT

private slots:
    void windowsVersion_data()
    {
        QTest::addColumn<quint32>("value");
        QTest::addColumn<float>("version");
        QTest::newRow("5.1 build 2600") << quint32(5 | 1 << 8 | 2600 << 16) << 5.665601f;
        QTest::newRow("6.2 build 9200") << quint32(6 | 2 << 8 | 9200 << 16) << 6.2355202f;
        QTest::newRow("4.0 build 1381") << quint32(4 | 0 << 8 | 1381 << 16) << 4.353536f;
        QTest::newRow("top bits set: C0000A04") << 0xC0000A04u << -252.0f;
        QTest::newRow("5 and nothing else") << 5u << 5.0f;
    }
    void windowsVersion()
    {
        QFETCH(quint32, value);
        QFETCH(float, version);
        QCOMPARE(WindowsVersion(value), version);
    }

    void fadeThresholdIsFive()
    {
        QVERIFY(WindowsVersion(5) >= 5.0f);
        QVERIFY(WindowsVersion(4 | 255u << 8 | 65535u << 16) < 5.0f);
        QVERIFY(WindowsVersion(0x80000005u) < 5.0f);
    }

    void makeTransWithoutAmountAppliesTheRemembered()
    {
        QList<int> applied;
        MakeTrans trans([&](QWidget *, int alpha) { applied << alpha; });
        trans.Load();
        QCOMPARE(trans.lastAlpha, quint8(255));
        trans.MakeWindowTransparent(nullptr);
        trans.MakeWindowTransparent(nullptr, 64.5);
        trans.MakeWindowTransparent(nullptr);
        QCOMPARE(applied, (QList<int>{255, 64, 64}));
        QCOMPARE(trans.lastAlpha, quint8(64));
    }

    // 63 ticks along a raised cosine; the window is on screen from the first
    // tick and back at its place after the off-screen jump of the second.
    void fadeIn()
    {
        QList<int> alphas;
        QList<bool> visible;
        QList<int> lefts;
        WindowServices services;
        services.versionValue = 6 | 1 << 8;
        std::unique_ptr<Form1> form;
        services.opacity = [&](QWidget *window, int alpha) {
            alphas << alpha;
            visible << window->isVisible();
            lefts << window->x();
        };
        form = std::make_unique<Form1>(services);
        const int left = form->x();
        QVERIFY(!form->isVisible());
        auto *timer = form->findChild<QTimer *>(QStringLiteral("transTimer1"));
        QCOMPARE(timer->interval(), 5);
        QTRY_VERIFY(!timer->isActive());
        QCOMPARE(alphas.size(), 63);
        const QList<QPair<int, int>> checkpoints = {{1, 0}, {2, 0}, {3, 1}, {21, 64}, {32, 131}, {42, 192},
                                                    {60, 254}, {61, 255}, {62, 255}, {63, 255}};
        for (const auto &[tick, alpha] : checkpoints)
            QCOMPARE(alphas[tick - 1], alpha);
        for (qsizetype i = 1; i < alphas.size(); ++i)
            QVERIFY(alphas[i] >= alphas[i - 1]);
        QCOMPARE(visible.first(), false);   // the opacity is set before the first show
        QVERIFY(form->isVisible());
        QCOMPARE(lefts[2], left);
    }

    void noFade()
    {
        int calls = 0;
        WindowServices services;
        services.versionValue = 4 | 10 << 8;
        services.opacity = [&](QWidget *, int) { ++calls; };
        Form1 form(services);
        auto *timer = form.findChild<QTimer *>(QStringLiteral("transTimer1"));
        QTRY_VERIFY(form.isVisible());
        QVERIFY(!timer->isActive());
        QCOMPARE(calls, 0);
        QCOMPARE(form.windowOpacity(), 1.0);
    }
};

QTEST_MAIN(TestFade)
#include "tst_fade.moc"
