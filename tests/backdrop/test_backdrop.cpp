#include <QTest>

#include "backdrop/backdrop.h"
#include "platform/controls.h"
#include "platform/fonts.h"

class TestBackdrop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { platform::installFontSubstitutes(); }

    // Every control follows the window: across by width / 18465 twips, down by height / 10800.
    void proportionalResize_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<double>("factorX");
        QTest::addColumn<double>("factorY");
        QTest::addColumn<QRect>("labelTime");
        QTest::addColumn<QLine>("topEdge");
        QTest::addColumn<QLine>("rightEdge");

        QTest::newRow("1920x1080") << QSize(1920, 1080) << 1.5597 << 1.5 << QRect(31, 345, 270, 32)
                                   << QLine(1404, 99, 505, 99) << QLine(1591, 267, 1591, 819);
        QTest::newRow("1024x768") << QSize(1024, 768) << 0.8318 << 1.0667 << QRect(17, 245, 144, 23)
                                  << QLine(749, 70, 270, 70) << QLine(848, 190, 848, 582);
        QTest::newRow("design size") << QSize(1231, 720) << 1.0 << 1.0 << QRect(20, 230, 173, 21)
                                     << QLine(900, 66, 324, 66) << QLine(1020, 178, 1020, 546);
    }

    void proportionalResize()
    {
        QFETCH(QSize, window);
        QFETCH(double, factorX);
        QFETCH(double, factorY);
        QFETCH(QRect, labelTime);
        QFETCH(QLine, topEdge);
        QFETCH(QLine, rightEdge);

        backdrop::Backdrop form([] {}, [] {});
        form.resize(window);
        form.show(); // a hidden window gets its resize only when shown
        QVERIFY(qAbs(form.resizeFactors().width() - factorX) < 1e-3);
        QVERIFY(qAbs(form.resizeFactors().height() - factorY) < 1e-3);
        QCOMPARE(form.findChild<QWidget*>("Label_time")->geometry(), labelTime);
        QCOMPARE(form.findChild<platform::Line*>("Line5")->pixelLine(), topEdge);
        QCOMPARE(form.findChild<platform::Line*>("Line7")->pixelLine(), rightEdge);
        // Fonts follow the smaller factor, so text never outgrows its label.
        const int expected = qRound(19 * qMin(factorX, factorY));
        QCOMPARE(form.findChild<platform::Label*>("Label6")->drawnPixelSize(), expected);
    }

    // The front keeper brings the panel forward once per enabling, then stays off.
    void frontKeeperOncePerEnabling()
    {
        int shown = 0;
        backdrop::Backdrop form([&] { ++shown; }, [] {});
        QVERIFY(form.frontKeeper().isEnabled());
        QCOMPARE(form.frontKeeper().interval(), 100);
        form.keepPanelInFrontOnce();
        form.keepPanelInFrontOnce();
        QCOMPARE(shown, 1);
        QVERIFY(!form.frontKeeper().isEnabled());
        form.frontKeeper().setEnabled(true);
        form.keepPanelInFrontOnce();
        form.keepPanelInFrontOnce();
        QCOMPARE(shown, 2);
    }

    // Activation brings the panel in front; a late one, after the backdrop was hidden, does not.
    void activationShowsPanel()
    {
        int shown = 0;
        backdrop::Backdrop form([&] { ++shown; }, [] {});
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&form, &activate);
        QCOMPARE(shown, 0);
        form.show();
        QCoreApplication::sendEvent(&form, &activate);
        QCOMPARE(shown, 1);
    }

    // The wall clock stands on two lines, the match time on one; both stay inside their labels.
    void timeTextsFit()
    {
        backdrop::Backdrop form([] {}, [] {});
        form.resize(1920, 1080);
        form.show();
        form.setWallClock({ QStringLiteral("12/31/26"), QStringLiteral("11:59:59 PM") });
        form.setMatchTime(QStringLiteral(" 11小时 59分 59秒"));
        for (const char* name : { "Label_T", "Label_time" }) {
            auto* label = form.findChild<platform::Label*>(name);
            const QFontMetricsF metrics(label->font());
            for (const QString& line : label->text().split('\n'))
                QVERIFY2(metrics.horizontalAdvance(line) <= label->width(), name);
            QVERIFY(label->drawnPixelSize() * label->text().count('\n') + label->drawnPixelSize() <= label->height());
        }
    }
};

QTEST_MAIN(TestBackdrop)
#include "test_backdrop.moc"
