#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "../support/fakes.h"
#include "platform/controls.h"
#include "platform/fonts.h"

#include <map>

using testing::Panel;

class TestPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { platform::installFontSubstitutes(); }

    // Pixel rectangles worked out by hand from the twip design at 15 twips a pixel.
    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("fontPixels");
        QTest::addColumn<bool>("enabled");

        const auto row = [](const char* name, QRect r, const char* text, int px, bool enabled) {
            QTest::newRow(name) << QString::fromUtf8(name) << r << QString::fromUtf8(text) << px << enabled;
        };
        row("Command9", { 160, 2, 97, 25 }, "隐藏按钮（F2）", 12, true);
        row("Command7", { 256, 2, 63, 25 }, "最小(F3)", 12, true);
        row("Command6", { 318, 2, 69, 25 }, "全屏(F11)", 12, true);
        row("Command5", { 386, 2, 71, 25 }, "关闭(F4)", 12, true);
        row("Text1", { 40, 32, 201, 37 }, "选手1", 29, true);
        row("Text2", { 408, 32, 201, 37 }, "选手2", 29, true);
        row("Shape1", { 40, 72, 193, 385 }, "", -1, true);
        row("Shape2", { 416, 72, 193, 385 }, "", -1, true);
        row("Image1", { 64, 88, 144, 137 }, "", -1, true);
        row("Image2", { 440, 88, 144, 137 }, "", -1, true);
        row("Label1", { 56, 232, 161, 161 }, "0", 160, true);
        row("Label2", { 432, 232, 161, 161 }, "0", 160, true);
        row("Label3", { 256, 184, 133, 133 }, "VS", -1, true);
        row("Command1", { 64, 408, 73, 33 }, "+(A)", 27, false);
        row("Command2", { 142, 408, 67, 33 }, "-(D)", 27, false);
        row("Command3", { 440, 408, 71, 33 }, "+(J)", 27, false);
        row("Command4", { 516, 408, 69, 33 }, "-(L)", 27, false);
        row("Command8", { 286, 456, 86, 25 }, "开始比赛", 12, true);
        row("Label5", { 264, 496, 129, 17 }, "", -1, true);
    }

    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(int, fontPixels);
        QFETCH(bool, enabled);

        Panel p;
        QCOMPARE(p.form->size(), QSize(657, 512));
        auto* control = p.form->findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), geometry);
        QCOMPARE(control->isEnabled(), enabled);
        QVERIFY(!control->isHidden());
        if (fontPixels > 0)
            QCOMPARE(control->font().pixelSize(), fontPixels);
        if (!text.isEmpty()) {
            QString shown;
            if (auto* button = qobject_cast<QPushButton*>(control))
                shown = button->text();
            else if (auto* box = qobject_cast<QLineEdit*>(control))
                shown = box->text();
            else if (auto* label = qobject_cast<platform::Label*>(control))
                shown = label->text();
            QCOMPARE(shown, text);
        }
    }

    void windowAndStart()
    {
        Panel p;
        QCOMPARE(p.form->windowTitle(), QStringLiteral("TarnelloV1.9"));
        QVERIFY(p.form->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(p.form->minimumSize(), p.form->maximumSize());
        QVERIFY(!p.form->windowIcon().isNull());
        QCOMPARE(p.form->palette().color(QPalette::Window), QColor(0x00, 0x80, 0x00));
        QVERIFY(!p.form->timer1().isEnabled());
        QVERIFY(p.form->timer2().isEnabled());
        QVERIFY(!p.form->hasBackdrop());
        for (const char* box : { "Text1", "Text2" }) {
            QVERIFY(!p.control<QLineEdit>(box)->isReadOnly());
            QCOMPARE(p.control<QLineEdit>(box)->toolTip(), QStringLiteral("选手姓名"));
        }
        for (const char* frame : { "Image1", "Image2" })
            QCOMPARE(p.control<platform::PictureFrame>(frame)->picture().size(), QSize(316, 334));
        QVERIFY(!p.control<platform::Label>("Label5")->text().isEmpty());
    }

    // Buttons and name boxes lie in front; behind them the order is fixed so that the photos and
    // score squares cover the frames' hatching.
    void stackingAndTabOrder()
    {
        Panel p;
        QStringList backToFront;
        for (QObject* child : p.form->children())
            if (child->isWidgetType() && !child->objectName().startsWith(QLatin1String("Command"))
                && !child->objectName().startsWith(QLatin1String("Text")))
                backToFront << child->objectName();
        QCOMPARE(backToFront,
            QStringList({ "Label3", "Label5", "Shape1", "Shape2", "Image1", "Image2", "Label2", "Label1" }));

        QStringList chain;
        QWidget* w = p.control("Text1");
        do {
            if (w->focusPolicy() & Qt::TabFocus)
                chain << w->objectName();
            w = w->nextInFocusChain();
        } while (w != p.control("Text1"));
        QCOMPARE(chain,
            QStringList({ "Text1", "Command1", "Command2", "Command3", "Command4", "Text2", "Command5", "Command6",
                "Command7", "Command8", "Command9" }));
    }

    // Presses of the match button (s), score buttons (a, d, j, l) and seconds (t).
    void matchCycle_data()
    {
        QTest::addColumn<QByteArray>("ops");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("scoring");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QString>("scores");
        QTest::addColumn<QString>("time");

        QTest::newRow("started") << QByteArray("s") << "结束比赛" << true << true << "0:0"
                                 << "";
        QTest::newRow("scoring") << QByteArray("saaajdt") << "结束比赛" << true << true << "2:1"
                                 << " 0小时 0分 1秒";
        QTest::newRow("down at zero") << QByteArray("sdddll") << "结束比赛" << true << true << "0:0"
                                      << "";
        QTest::newRow("ended keeps all") << QByteArray("saajttts") << "重新开始" << false << true << "2:1"
                                         << " 0小时 0分 3秒";
        QTest::newRow("clock stops when ended") << QByteArray("sattstt") << "重新开始" << false << true << "1:0"
                                                << " 0小时 0分 2秒";
        QTest::newRow("three presses reset") << QByteArray("saajttss") << "开始比赛" << false << false << "0:0"
                                             << "";
        QTest::newRow("next match from zero") << QByteArray("sajtttssst") << "结束比赛" << true << true << "0:0"
                                              << " 0小时 0分 1秒";
    }

    void matchCycle()
    {
        QFETCH(QByteArray, ops);
        Panel p;
        const std::map<char, const char*> buttons { { 's', "Command8" }, { 'a', "Command1" }, { 'd', "Command2" },
            { 'j', "Command3" }, { 'l', "Command4" } };
        for (char op : ops) {
            if (op == 't')
                p.second();
            else
                QTest::mouseClick(p.control(buttons.at(op)), Qt::LeftButton);
        }
        QFETCH(QString, caption);
        QFETCH(bool, scoring);
        QFETCH(bool, locked);
        QFETCH(QString, scores);
        QFETCH(QString, time);
        QCOMPARE(p.control<QPushButton>("Command8")->text(), caption);
        for (const char* button : { "Command1", "Command2", "Command3", "Command4" })
            QCOMPARE(p.control(button)->isEnabled(), scoring);
        QCOMPARE(p.form->timer1().isEnabled(), scoring);
        QCOMPARE(p.control<QLineEdit>("Text1")->isReadOnly(), locked);
        QCOMPARE(p.control<QLineEdit>("Text2")->isReadOnly(), locked);
        QCOMPARE(
            p.control<platform::Label>("Label1")->text() + ":" + p.control<platform::Label>("Label2")->text(), scores);
        if (p.form->hasBackdrop())
            QCOMPARE(p.form->backdrop().findChild<platform::Label*>("Label_time")->text(), time);
        else
            QVERIFY(time.isEmpty());
    }

    // A timer that comes late brings every second it missed; one that comes early brings none.
    void matchClockCatchesUp()
    {
        Panel p;
        p.form->Command8_Click();
        p.clock.advance(1000);
        p.form->Timer1_Timer();
        p.clock.advance(3500); // the event loop stalled
        p.form->Timer1_Timer();
        auto* time = p.form->backdrop().findChild<platform::Label*>("Label_time");
        QCOMPARE(time->text(), QStringLiteral(" 0小时 0分 4秒"));
        p.clock.advance(400); // 4.9 s in: still four whole seconds
        p.form->Timer1_Timer();
        QCOMPARE(time->text(), QStringLiteral(" 0小时 0分 4秒"));
        p.clock.advance(100);
        p.form->Timer1_Timer();
        QCOMPARE(time->text(), QStringLiteral(" 0小时 0分 5秒"));
    }

    void wallClockCreatesHiddenBackdrop()
    {
        Panel p;
        p.clock.setLocal(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)));
        p.form->Timer2_Timer();
        QVERIFY(p.form->hasBackdrop());
        backdrop::Form2& back = p.form->backdrop();
        QVERIFY(back.isHidden());
        QVERIFY(back.testAttribute(Qt::WA_WState_Created));
        QCOMPARE(back.windowTitle(), QStringLiteral("Form2"));
        const platform::DateTimeText expected = platform::dateTimeText(p.clock.localNow());
        QCOMPARE(back.findChild<platform::Label*>("Label_T")->text(), expected.date + "\n" + expected.time);
        QVERIFY(expected.time.contains(QLatin1String("05:07")) || expected.time.contains(QLatin1String("5:07")));
    }

    // One and two digits keep the design height; longer scores shrink just enough to stay inside.
    void scoreFits_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("designSize");
        QTest::newRow("1") << 1 << true;
        QTest::newRow("99") << 99 << true;
        QTest::newRow("100") << 100 << false;
        QTest::newRow("40000") << 40000 << false;
    }

    void scoreFits()
    {
        QFETCH(int, points);
        QFETCH(bool, designSize);
        Panel p;
        p.form->Command8_Click();
        for (int i = 0; i < points; ++i)
            p.form->Command1_Click();
        auto* label = p.control<platform::Label>("Label1");
        QCOMPARE(label->text(), QString::number(points));
        QCOMPARE(label->drawnPixelSize() == 160, designSize);
        const QFontMetricsF metrics(label->font());
        QVERIFY(metrics.horizontalAdvance(label->text()) <= label->width());
        if (!designSize) {
            QFont larger = label->font();
            larger.setPixelSize(label->drawnPixelSize() + 1);
            QVERIFY(QFontMetricsF(larger).horizontalAdvance(label->text()) > label->width());
        }
    }
};

QTEST_MAIN(TestPanel)
#include "test_panel.moc"
