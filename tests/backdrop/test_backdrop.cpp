// The backdrop: proportional resizing, keeping the panel in front, and its two time texts.

#include <QElapsedTimer>
#include <QTest>
#include <QTimeZone>

#include <utility>

#include "../support/ink.h"
#include "backdrop/backdrop.h"
#include "platform/controls/label.h"
#include "platform/controls/line.h"
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
        for (const auto& [locale, text] :
            { std::pair { "zh_CN", "2026/12/6 19:05:07" }, { "en_US", "12/6/26 7:05:07 PM" } })
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

    // At its design size every control stands where the design puts it, in pixels at 15 twips a pixel, and the
    // octagon's lines are 3 pixels wide; at other sizes each follows the window, across by width / 18465 twips,
    // down by height / 10800, fonts by the smaller factor so that text never outgrows its label.
    void layout_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QString>("geometry"); // a label's left, top, width, height; a line's ends
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("fontPixels");
        const auto row = [](const char* name, const char* geometry, const char* text = "", int font = 19,
                             QSize window = { 1231, 720 }) {
            QTest::addRow("%s at %dx%d", name, window.width(), window.height())
                << window << geometry << QString::fromUtf8(text) << font;
        };
        row("Label6", "24 136 113 25", "当前时间：");
        row("Label_T", "26 160 101 45");
        row("Label5", "24 208 129 25", "比赛已进行：");
        row("Label_time", "20 230 173 21");
        row("Label1", "540 666 1 17", "Vellorin", 12);
        row("Line5", "900 66 324 66");
        row("Line2", "900 66 1020 178");
        row("Line7", "1020 178 1020 546");
        row("Line4", "900 658 1020 546");
        row("Line8", "900 658 324 658");
        row("Line3", "204 546 324 658");
        row("Line6", "204 178 204 546");
        row("Line1", "324 66 204 178");
        row("Label6", "37 204 177 38", "当前时间：", 29, { 1920, 1080 });
        row("Label_time", "31 345 270 32", "", 29, { 1920, 1080 });
        row("Line5", "1404 99 505 99", "", 0, { 1920, 1080 });
        row("Line7", "1591 267 1591 819", "", 0, { 1920, 1080 });
        row("Label_time", "17 245 144 23", "", 16, { 1024, 768 });
        row("Line5", "749 70 270 70", "", 0, { 1024, 768 });
        row("Line7", "848 190 848 582", "", 0, { 1024, 768 });
    }

    void layout()
    {
        QFETCH(QSize, window);
        backdrop::Backdrop form([] {}, [] {});
        form.show(); // and then resized, as a change of screen does
        form.resize(window);
        QTRY_COMPARE(form.size(), window);
        QWidget* control = form.findChild<QWidget*>(QString(QTest::currentDataTag()).section(' ', 0, 0));
        if (const auto* label = qobject_cast<controls::Label*>(control)) {
            const QRect r = label->geometry();
            QTEST(QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()), "geometry");
            QTEST(label->text(), "text");
            QTEST(label->drawnPixelSize(), "fontPixels");
            return;
        }
        // A line is drawn white between its ends and stops there: looked at 3 pixels in from each end, where no
        // neighbour that shares the end can stand in for it, and 6 beyond, outside the octagon. Across a horizontal
        // or vertical one, white for 3 pixels, green either side.
        QFETCH(QString, geometry);
        const QStringList ends = geometry.split(' ');
        const QLine line(ends[0].toInt(), ends[1].toInt(), ends[2].toInt(), ends[3].toInt());
        const QLineF along(line);
        const QImage shown = form.grab().toImage();
        const qreal in = 3 / along.length(), out = 6 / along.length();
        for (const qreal t : { -out, in, 0.5, 1 - in, 1 + out })
            QCOMPARE(shown.pixelColor(along.pointAt(t).toPoint()) == Qt::white, t > 0 && t < 1);
        if (line.dx() != 0 && line.dy() != 0)
            return;
        const QPoint across = line.dx() == 0 ? QPoint(1, 0) : QPoint(0, 1);
        for (const int off : { -2, -1, 0, 1, 2 })
            QCOMPARE(shown.pixelColor(line.center() + off * across) == Qt::white, std::abs(off) < 2);
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
            if (enabling > 1)
                enabled.start();
            form.frontKeeper().setEnabled(true); // the first is the backdrop's own, from the start
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

    // The wall clock stands on two lines, the match time on one; both stay inside their labels.
    void timeTextsFit()
    {
        backdrop::Backdrop form([] {}, [] {});
        form.resize(1920, 1080);
        form.show();
        form.setWallClock({ QStringLiteral("12/31/26"), QStringLiteral("11:59:59 PM") });
        form.setMatchTime(QStringLiteral(" 11小时 59分 59秒"));
        for (const char* name : { "Label_T", "Label_time" }) {
            auto* label = form.findChild<controls::Label*>(name);
            const QFontMetricsF metrics(label->font());
            for (const QString& line : label->text().split('\n'))
                QVERIFY2(metrics.horizontalAdvance(line) <= label->width(), name);
            QVERIFY(label->drawnPixelSize() * label->text().count('\n') + label->drawnPixelSize() <= label->height());
            // Drawn from the label's left edge, the date's line over the time's, in the label's own colour.
            const QImage shown = form.grab(label->geometry()).toImage();
            const QColor colour
                = name[6] == 't' ? QColor(0xFF, 0x80, 0x00) : form.palette().color(QPalette::WindowText);
            const QRect ink = testing::inkBox(shown, QColor(0x00, 0x80, 0x00));
            int solid = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    solid += shown.pixelColor(x, y) == colour;
            QVERIFY(ink.left() < label->drawnPixelSize() / 2 // the match time begins with a blank
                && ink.height() > label->drawnPixelSize() * (label->text().count('\n') + 0.5) && solid > 20);
        }
        // Both are set at the same size, and the wall clock narrows its glyphs a little rather than shrink.
        QCOMPARE(form.findChild<controls::Label*>("Label_T")->drawnPixelSize(),
            form.findChild<controls::Label*>("Label_time")->drawnPixelSize());
    }
};

QTEST_MAIN(TestBackdrop)
#include "test_backdrop.moc"
