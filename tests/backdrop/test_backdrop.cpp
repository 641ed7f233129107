// The backdrop: proportional resizing, keeping the panel in front, and its two time texts.

#include <QElapsedTimer>
#include <QTest>
#include <QTimeZone>

#include <utility>

#include "../support/reference_picture.h"
#include "backdrop/backdrop.h"
#include "platform/controls/label.h"
#include "platform/desktop/fonts.h"

class TestBackdrop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { desktop::resolveDesignFace(); }

    // The wall clock: the locale's short date, then its long time without the time-zone name.
    void dateTimeText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        for (const auto& [locale, text] : { std::pair { "zh_CN", "2026/12/6 19:05:07" },
                 { "en_US", "12/6/26 7:05:07 PM" }, { "fa_IR", "۲۰۲۶/۱۲/۶ ۱۹:۰۵:۰۷" } }) // its zone in brackets
            QTest::newRow(locale) << locale << text;
    }

    void dateTimeText()
    {
        QFETCH(QString, locale);
        const QDateTime when(QDate(2026, 12, 6), QTime(19, 5, 7), QTimeZone("Europe/Berlin"));
        const desktop::DateTimeText parts = desktop::dateTimeText(when, QLocale(locale));
        QString text = parts.date + ' ' + parts.time;
        // Locale data versions differ in which blank stands before "PM".
        QTEST(text.replace(QChar(0x202F), ' ').replace(QChar(0xA0), ' '), "text");
    }

    // What it draws, both time texts set: the table outline's white lines, 3 pixels wide, stopping at their ends; the
    // captions and the time texts in their colours, each inside its label (the date over the time); at its design
    // size and after a resize (while shown, as a change of screen makes it) to screens of other shapes, each control
    // following the window across by width / 18465 twips and down by height / 10800, fonts by the smaller factor so
    // that text never outgrows its label; as designed in a right-to-left locale too.
    void drawsAsDesigned_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QString>("locale");
        QTest::newRow("design size") << QSize(1231, 720) << "en_US";
        QTest::newRow("resized") << QSize(1920, 1080) << "en_US";
        QTest::newRow("resized narrower") << QSize(1024, 768) << "en_US"; // fonts by the smaller factor, across
        QTest::newRow("design size, right to left") << QSize(1231, 720) << "ar_EG";
        QTest::newRow("resized, right to left") << QSize(1920, 1080) << "he_IL";
    }

    void drawsAsDesigned()
    {
        QFETCH(QSize, window);
        QFETCH(QString, locale);
        const testing::QtTranslation translation(locale);
        backdrop::Backdrop form([] {}, [] {});
        form.show();
        form.resize(window);
        QTRY_COMPARE(form.size(), window);
        form.setWallClock({ QStringLiteral("12/31/26"), QStringLiteral("11:59:59 PM") });
        form.setMatchTime(QStringLiteral(" 11小时 59分 59秒"));
        const QString difference = testing::differenceFromReference(
            form.grab().toImage(), QStringLiteral("backdrop-%1x%2").arg(window.width()).arg(window.height()));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // The date and time read in their locale's direction, as Qt draws them inside right-to-left isolates. In Algeria's
    // Arabic the Latin digits stand on the other side of the Arabic "م" (p.m.) when the direction is wrong.
    void wallClockReadsInItsDirection()
    {
        const auto drawn = [](const desktop::DateTimeText& text) {
            backdrop::Backdrop form([] {}, [] {});
            form.show();
            form.setWallClock(text);
            return form.findChild<QWidget*>("Label_T")->grab().toImage();
        };
        const auto own = desktop::dateTimeText(QDateTime(QDate(2026, 12, 6), QTime(19, 5, 7)), QLocale("ar_DZ"));
        const auto isolated = [](const QString& line) { return QChar(0x2067) + line + QChar(0x2069); };
        QCOMPARE(drawn(own), drawn({ isolated(own.date), isolated(own.time) }));
    }

    // The front keeper brings the panel forward once per enabling, 100 ms after it, and then stays off; so does
    // activation. Neither does anything once the backdrop is hidden.
    void keepsThePanelInFront()
    {
        int shown = 0;
        QElapsedTimer enabled;
        enabled.start();
        backdrop::Backdrop form([&] { ++shown; }, [] {});
        for (int enabling = 1; enabling <= 2; ++enabling) {
            if (enabling > 1) { // the first enabling is the backdrop's own, as it is made
                enabled.start();
                form.frontKeeper().setEnabled(true);
            }
            QTRY_COMPARE(shown, enabling);
            QVERIFY(enabled.elapsed() >= 100);
            QTest::qWait(250);
            QVERIFY(shown == enabling && !form.frontKeeper().isActive());
        }
        // Hidden within the 100 ms (the program closing, the panel minimised), it leaves the panel as it is.
        form.show();
        form.frontKeeper().setEnabled(true);
        form.hide();
        QTest::qWait(250);
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&form, &activate);
        QCOMPARE(shown, 2);
        form.show();
        QCoreApplication::sendEvent(&form, &activate);
        QCOMPARE(shown, 3);
    }
};

QTEST_MAIN(TestBackdrop)
#include "test_backdrop.moc"
