#include <QFontInfo>
#include <QTest>
#include <QTimeZone>

#include "platform/clock.h"
#include "platform/fonts.h"
#include "platform/twips.h"

Q_DECLARE_METATYPE(platform::TwipRect)

class TestPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { platform::installFontSubstitutes(); }

    void dateTimeText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("Chinese") << "zh_CN"
                                 << "2026/12/6"
                                 << "19:05:07";
        QTest::newRow("US English") << "en_US"
                                    << "12/6/26"
                                    << "7:05:07\u202FPM";
        QTest::newRow("German") << "de_DE"
                                << "06.12.26"
                                << "19:05:07";
    }

    // Short date, then the long time without its time-zone name.
    void dateTimeText()
    {
        QFETCH(QString, locale);
        const QDateTime when(QDate(2026, 12, 6), QTime(19, 5, 7), QTimeZone("Europe/Berlin"));
        const platform::DateTimeText text = platform::dateTimeText(when, QLocale(locale));
        QTEST(text.date, "date");
        QFETCH(QString, time);
        // Locale data versions differ in which blank stands before "PM".
        const auto plain = [](QString s) { return s.replace(QChar(0x202F), ' ').replace(QChar(0xA0), ' '); };
        QCOMPARE(plain(text.time), plain(time));
        QCOMPARE(text.joined(), text.date + ' ' + text.time);
    }

    void sizes_data()
    {
        QTest::addColumn<double>("points");
        QTest::addColumn<int>("pixels");
        QTest::newRow("default 9") << 9.0 << 12;
        QTest::newRow("14.25") << 14.25 << 19;
        QTest::newRow("20.25") << 20.25 << 27;
        QTest::newRow("21.75") << 21.75 << 29;
        QTest::newRow("99.75") << 99.75 << 133;
        QTest::newRow("120") << 120.0 << 160;
    }

    // Points become pixels at 96 dots per inch, whatever the screen reports.
    void sizes()
    {
        QFETCH(double, points);
        QFETCH(int, pixels);
        QCOMPARE(platform::pointsToPixels(points), pixels);
        QCOMPARE(platform::designFont(points).pixelSize(), pixels);
    }

    void designFaceIsChinese()
    {
        QVERIFY2(platform::hasCjkFace(), qPrintable(QFontInfo(platform::designFont(9)).family()));
    }

    void twips_data()
    {
        QTest::addColumn<platform::TwipRect>("twips");
        QTest::addColumn<QRect>("pixels");
        QTest::newRow("exact") << platform::TwipRect { 2400, 30, 1455, 375 } << QRect(160, 2, 97, 25);
        QTest::newRow("rounded edges") << platform::TwipRect { 840, 3480, 2410, 2410 } << QRect(56, 232, 161, 161);
        QTest::newRow("one pixel wide") << platform::TwipRect { 8100, 9990, 15, 255 } << QRect(540, 666, 1, 17);
    }

    void twips()
    {
        QFETCH(platform::TwipRect, twips);
        QTEST(platform::toPixels(twips), "pixels");
    }
};

QTEST_MAIN(TestPlatform)
#include "test_platform.moc"
