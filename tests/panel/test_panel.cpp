// The control panel as the operator meets it: its layout, the match cycle on its buttons, the keyboard map,
// the window commands, dragging and photos, each as a table of what is done and what then shows.

#include <QLineEdit>
#include <QRegularExpression>
#include <QWindow>

#include <cstring>

#include "../support/fakes.h"
#include "panel/drag.h"
#include "platform/fonts.h"

using testing::Panel;

namespace {

// Operations as letters, so a row reads like what the operator did: s = match button, a/d = player 1 up/down,
// j/l = player 2 up/down (all four as clicks), t = one second, h = hide buttons, f = full screen (F11),
// m = minimise (F3), r = restored from minimised, w = minimised by the window manager.
void play(Panel& p, const QByteArray& ops)
{
    const char* buttons[] = { "Command8", "Command1", "Command2", "Command3", "Command4" };
    for (const char op : ops) {
        if (const char* at = std::strchr("sadjl", op))
            QTest::mouseClick(p.control(buttons[at - "sadjl"]), Qt::LeftButton);
        else if (op == 't')
            p.wait(1000);
        else if (op == 'h')
            p.form->toggleWindowButtons();
        else if (op == 'f' || op == 'm')
            QTest::keyClick(p.form->windowHandle(), op == 'f' ? Qt::Key_F11 : Qt::Key_F3);
        else
            p.form->setWindowState(op == 'r' ? Qt::WindowNoState : Qt::WindowMinimized);
    }
}

} // namespace

class TestPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { platform::installFontSubstitutes(); }

    // Pixel rectangles worked out by hand from the twip design at 15 twips a pixel.
    void layout_data()
    {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("fontPixels");
        const auto row = [](const char* name, QRect r, const char* text, int px) {
            QTest::newRow(name) << r << QString::fromUtf8(text) << px;
        };
        row("Command9", { 160, 2, 97, 25 }, "隐藏按钮（F2）", 12);
        row("Command7", { 256, 2, 63, 25 }, "最小(F3)", 12);
        row("Command6", { 318, 2, 69, 25 }, "全屏(F11)", 12);
        row("Command5", { 386, 2, 71, 25 }, "关闭(F4)", 12);
        row("Text1", { 40, 32, 201, 37 }, "选手1", 29);
        row("Text2", { 408, 32, 201, 37 }, "选手2", 29);
        row("Shape1", { 40, 72, 193, 385 }, "", 0);
        row("Shape2", { 416, 72, 193, 385 }, "", 0);
        row("Image1", { 64, 88, 144, 137 }, "", 0);
        row("Image2", { 440, 88, 144, 137 }, "", 0);
        row("Label1", { 56, 232, 161, 161 }, "0", 160);
        row("Label2", { 432, 232, 161, 161 }, "0", 160);
        row("Label3", { 256, 184, 133, 133 }, "VS", 0);
        row("Command1", { 64, 408, 73, 33 }, "+(A)", 27);
        row("Command2", { 142, 408, 67, 33 }, "-(D)", 27);
        row("Command3", { 440, 408, 71, 33 }, "+(J)", 27);
        row("Command4", { 516, 408, 69, 33 }, "-(L)", 27);
        row("Command8", { 286, 456, 86, 25 }, "开始比赛", 12);
        row("Label5", { 264, 496, 129, 17 }, "Billiard Score v1.9", 0);
    }

    void layout()
    {
        Panel p;
        QWidget* control = p.control(QTest::currentDataTag());
        QTEST(control->geometry(), "geometry");
        QFETCH(QString, text);
        QFETCH(int, fontPixels);
        if (auto* box = qobject_cast<QLineEdit*>(control))
            QCOMPARE(box->text(), text);
        else if (!text.isEmpty())
            QCOMPARE(p.text(QTest::currentDataTag()), text);
        if (fontPixels > 0)
            QCOMPARE(control->font().pixelSize(), fontPixels);
        // Only the score buttons wait for a match.
        QCOMPARE(
            control->isEnabled(), !QString(QTest::currentDataTag()).contains(QRegularExpression("^Command[1-4]$")));
    }

    void windowAtStart()
    {
        Panel p;
        QCOMPARE(p.form->size(), QSize(657, 512));
        QCOMPARE(p.form->windowTitle(), QStringLiteral("TarnelloV1.9"));
        QVERIFY(p.form->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(p.form->minimumSize(), p.form->maximumSize());
        QCOMPARE(p.form->windowIcon().availableSizes().size(), 4);
        QCOMPARE(p.form->palette().color(QPalette::Window), QColor(0x00, 0x80, 0x00));
        QVERIFY(!p.form->matchClockTimer().isEnabled() && !p.form->hasBackdrop());
        for (const char* box : { "Text1", "Text2" }) {
            QVERIFY(!p.control<QLineEdit>(box)->isReadOnly());
            QCOMPARE(p.control(box)->toolTip(), QStringLiteral("选手姓名"));
        }
        for (const char* frame : { "Image1", "Image2" })
            QCOMPARE(p.control<platform::PictureFrame>(frame)->picture().size(), QSize(316, 334));
        // Behind the buttons and name boxes, photos and score squares cover the frames' hatching.
        QStringList backToFront;
        for (QObject* child : p.form->children())
            if (child->isWidgetType() && !child->objectName().contains(QRegularExpression("^(Command|Text)")))
                backToFront << child->objectName();
        QCOMPARE(backToFront, QString("Label3 Label5 Shape1 Shape2 Image1 Image2 Label2 Label1").split(' '));
        QStringList chain;
        QWidget* w = p.control("Text1");
        do {
            if (w->focusPolicy() & Qt::TabFocus)
                chain << w->objectName();
        } while ((w = w->nextInFocusChain()) != p.control("Text1"));
        QCOMPARE(chain.join(' '),
            "Text1 Command1 Command2 Command3 Command4 Text2 Command5 Command6 Command7 Command8 Command9");
    }

    void matchCycle_data()
    {
        QTest::addColumn<QByteArray>("ops");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("scores");
        QTest::addColumn<QString>("time");
        QTest::newRow("started") << QByteArray("s") << "结束比赛"
                                 << "0:0"
                                 << "";
        QTest::newRow("scoring") << QByteArray("saaajdt") << "结束比赛"
                                 << "2:1"
                                 << " 0小时 0分 1秒";
        QTest::newRow("down at zero") << QByteArray("sdddll") << "结束比赛"
                                      << "0:0"
                                      << "";
        QTest::newRow("ended keeps all") << QByteArray("saajttts") << "重新开始"
                                         << "2:1"
                                         << " 0小时 0分 3秒";
        QTest::newRow("clock stops when ended") << QByteArray("sattstt") << "重新开始"
                                                << "1:0"
                                                << " 0小时 0分 2秒";
        QTest::newRow("three presses reset") << QByteArray("saajttss") << "开始比赛"
                                             << "0:0"
                                             << "";
        QTest::newRow("next match from zero") << QByteArray("sajtttssst") << "结束比赛"
                                              << "0:0"
                                              << " 0小时 0分 1秒";
    }

    void matchCycle()
    {
        Panel p;
        QFETCH(QByteArray, ops);
        play(p, ops);
        QFETCH(QString, caption);
        QCOMPARE(p.text("Command8"), caption);
        const bool running = caption == QStringLiteral("结束比赛");
        for (const char* button : { "Command1", "Command2", "Command3", "Command4" })
            QCOMPARE(p.control(button)->isEnabled(), running);
        QCOMPARE(p.form->matchClockTimer().isEnabled(), running);
        for (const char* box : { "Text1", "Text2" })
            QCOMPARE(p.control<QLineEdit>(box)->isReadOnly(), caption != QStringLiteral("开始比赛"));
        QTEST(p.scores(), "scores");
        QTEST(p.matchTime(), "time");
    }

    // Every key reaches the panel's window first, whichever control has the focus, buttons shown or not.
    void keys_data()
    {
        QTest::addColumn<QByteArray>("ops");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key"); // a Qt key, or a character typed
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("scores");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("buttonsShown");
        const auto row = [](const char* tag, const char* ops, const char* focus, int key, const char* caption,
                             const char* scores, const char* name = "选手1", bool shown = true) {
            QTest::newRow(tag) << QByteArray(ops) << focus << key << QString::fromUtf8(caption) << scores
                               << QString::fromUtf8(name) << shown;
        };
        row("F5 starts", "", "Text1", Qt::Key_F5, "结束比赛", "0:0");
        row("F5 while running does nothing", "s", "Command8", Qt::Key_F5, "结束比赛", "0:0");
        row("F5 resets an ended match", "sas", "Text1", Qt::Key_F5, "开始比赛", "0:0");
        row("Esc ends", "sa", "Text1", Qt::Key_Escape, "重新开始", "1:0");
        row("Esc when ready does nothing", "", "Text1", Qt::Key_Escape, "开始比赛", "0:0");
        row("Esc when ended does nothing", "ss", "Text1", Qt::Key_Escape, "重新开始", "0:0");
        row("a scores in a name box", "s", "Text1", 'a', "结束比赛", "1:0");
        row("d takes one", "saa", "Command8", 'd', "结束比赛", "1:0");
        row("d at zero", "s", "Text1", 'd', "结束比赛", "0:0");
        row("j scores", "s", "Text2", 'j', "结束比赛", "0:1");
        row("l takes one", "sjj", "Text1", 'l', "结束比赛", "0:1");
        row("upper case A does nothing", "s", "Command8", 'A', "结束比赛", "0:0");
        row("other letter", "s", "Text1", 'x', "结束比赛", "0:0");
        row("a when ready types", "", "Text1", 'a', "开始比赛", "0:0", "选手1a");
        row("j when ended", "sjs", "Command8", 'j', "重新开始", "0:1");
        row("F2 hides buttons", "", "Text1", Qt::Key_F2, "开始比赛", "0:0", "选手1", false);
        row("F2 shows them again", "h", "Text1", Qt::Key_F2, "开始比赛", "0:0");
        row("F5 with buttons hidden", "h", "Text1", Qt::Key_F5, "结束比赛", "0:0", "选手1", false);
        row("a with buttons hidden", "hs", "Text1", 'a', "结束比赛", "1:0", "选手1", false);
    }

    void keys()
    {
        Panel p;
        p.show();
        QFETCH(QByteArray, ops);
        play(p, ops);
        QFETCH(QString, focus);
        p.control(focus.toLatin1())->setFocus();
        QFETCH(int, key);
        if (key < 0x100)
            QTest::keyClick(p.form->windowHandle(), char(key));
        else
            QTest::keyClick(p.form->windowHandle(), Qt::Key(key));
        QTEST(p.text("Command8"), "caption");
        QTEST(p.scores(), "scores");
        QTEST(p.control<QLineEdit>("Text1")->text(), "name");
        QFETCH(bool, buttonsShown);
        for (const char* button : { "Command5", "Command6", "Command7", "Command8", "Command9" })
            QCOMPARE(!p.control(button)->isHidden(), buttonsShown);
        QVERIFY(!p.control("Command1")->isHidden());
    }

    // F4, and a close request from outside on either window, end the program at once, full screen or not.
    void closing_data()
    {
        QTest::addColumn<QByteArray>("ops");
        QTest::addColumn<QString>("closed");
        QTest::newRow("F4 in a match") << QByteArray("s") << "F4";
        QTest::newRow("F4, full screen") << QByteArray("f") << "F4";
        QTest::newRow("panel closed") << QByteArray("") << "panel";
        QTest::newRow("panel closed, full screen") << QByteArray("f") << "panel";
        QTest::newRow("backdrop closed, full screen") << QByteArray("f") << "backdrop";
    }

    void closing()
    {
        Panel p;
        p.show();
        QFETCH(QByteArray, ops);
        play(p, ops);
        QFETCH(QString, closed);
        if (closed == QLatin1String("F4"))
            QTest::keyClick(p.form->windowHandle(), Qt::Key_F4);
        else
            (closed == QLatin1String("panel") ? static_cast<QWidget*>(p.form.get()) : &p.form->backdrop())->close();
        QCOMPARE(p.quits, 1);
        QVERIFY(p.form->isHidden() && (!p.form->hasBackdrop() || p.form->backdrop().isHidden()));
    }

    // The backdrop comes back with a restored panel only if full screen is still on.
    void fullScreenAndMinimise_data()
    {
        QTest::addColumn<QByteArray>("ops");
        QTest::addColumn<bool>("backdropShown");
        QTest::newRow("full screen on") << QByteArray("f") << true;
        QTest::newRow("full screen off") << QByteArray("ff") << false;
        QTest::newRow("minimise hides backdrop") << QByteArray("fm") << false;
        QTest::newRow("restore shows it again") << QByteArray("fmr") << true;
        QTest::newRow("minimise without full screen") << QByteArray("mr") << false;
        QTest::newRow("full screen again after restore") << QByteArray("fmrff") << true;
        QTest::newRow("off, then minimised elsewhere") << QByteArray("fmrfwr") << false;
    }

    void fullScreenAndMinimise()
    {
        Panel p;
        p.show();
        QFETCH(QByteArray, ops);
        play(p, ops);
        QFETCH(bool, backdropShown);
        QCOMPARE(p.form->hasBackdrop() && p.form->backdrop().isVisible(), backdropShown);
        QCOMPARE(p.text("Command6"), QString::fromUtf8(ops.count('f') % 2 ? "还原(F11)" : "全屏(F11)"));
        QCOMPARE(p.form->isMinimized(), ops.endsWith('m'));
        if (backdropShown) {
            QCOMPARE(p.form->windowHandle()->transientParent(), p.form->backdrop().windowHandle());
            QCOMPARE(p.form->backdrop().geometry(), p.form->screen()->geometry());
            QVERIFY(p.form->backdrop().frontKeeper().isEnabled());
        }
    }

    void dragArithmetic_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QPointF>("down");
        QTest::addColumn<QPointF>("move");
        QTest::addColumn<QPoint>("expected"); // window top-left from (1500, 3000) twips; (-1, -1): no move
        QTest::newRow("left drags") << 1 << QPointF(150, 300) << QPointF(450, 0) << QPoint(1800, 2700);
        QTest::newRow("right only records") << 2 << QPointF(150, 300) << QPointF(450, 0) << QPoint(-1, -1);
        QTest::newRow("halves round to even") << 1 << QPointF(10.5, 11.5) << QPointF(10.5, 11.5) << QPoint(1500, 3000);
        QTest::newRow("move halves to even") << 1 << QPointF(0, 0) << QPointF(2.5, -3.5) << QPoint(1502, 2996);
        QTest::newRow("negative halves") << 1 << QPointF(-0.5, -1.5) << QPointF(0, 0) << QPoint(1500, 3002);
    }

    void dragArithmetic()
    {
        QFETCH(int, button);
        QFETCH(QPointF, down);
        QFETCH(QPointF, move);
        panel::Drag drag;
        drag.mouseDown(Qt::MouseButton(button), down);
        QTEST(drag.mouseMove(move, QPoint(1500, 3000)).value_or(QPoint(-1, -1)), "expected");
        drag.mouseUp();
        QVERIFY(!drag.mouseMove(move, QPoint(1500, 3000)));
    }

    // The background and the frames' hatching start a drag; labels, photos and name boxes do not.
    void dragStartsOnBackgroundOnly_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<bool>("moves");
        QTest::newRow("background") << QPoint(10, 300) << true;
        QTest::newRow("frame hatching") << QPoint(45, 300) << true;
        QTest::newRow("score label") << QPoint(100, 300) << false;
        QTest::newRow("photo") << QPoint(100, 150) << false;
        QTest::newRow("name box") << QPoint(100, 50) << false;
        QTest::newRow("VS") << QPoint(300, 250) << false;
    }

    void dragStartsOnBackgroundOnly()
    {
        Panel p;
        p.show();
        QFETCH(QPoint, at);
        QWidget* target = p.form->childAt(at) ? p.form->childAt(at) : p.form.get();
        const QPoint local = target->mapFrom(p.form.get(), at);
        const QPoint start = p.form->pos();
        QTest::mousePress(target, Qt::LeftButton, {}, local);
        QMouseEvent move(QEvent::MouseMove, QPointF(local + QPoint(20, 30)),
            target->mapToGlobal(QPointF(local + QPoint(20, 30))), Qt::NoButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &move);
        QTest::mouseRelease(target, Qt::LeftButton, {}, local + QPoint(20, 30));
        QTEST(p.form->pos() != start, "moves");
        QVERIFY(p.form->pos() == start || p.form->pos() == start + QPoint(20, 30));
    }

    // Dialog answers, one a click on Image1 and Image2 in turn; "bad" files fail to load, empty is cancel.
    void photos_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QString>("changed");
        QTest::newRow("cancel") << QStringList { "" } << "";
        QTest::newRow("picture into frame 1") << QStringList { "/p/good.jpg" } << "Image1";
        QTest::newRow("picture into frame 2 only") << QStringList { "", "/p/good.jpg" } << "Image2";
        QTest::newRow("not a picture") << QStringList { "/p/bad.txt" } << "";
        QTest::newRow("same file both frames") << QStringList { "/p/good.jpg", "/p/good.jpg" } << "Image1 Image2";
        QTest::newRow("bad file keeps the good one") << QStringList { "/p/good.jpg", "", "/p/bad.xpm" } << "Image1";
    }

    void photos()
    {
        Panel p;
        QFETCH(QStringList, answers);
        const QImage defaultPhoto = p.control<platform::PictureFrame>("Image1")->picture();
        for (qsizetype i = 0; i < answers.size(); ++i) {
            p.dialog.answer = answers[i];
            QTest::mouseClick(p.control(i % 2 ? "Image2" : "Image1"), Qt::LeftButton);
        }
        QCOMPARE(p.dialog.calls, answers.size());
        QCOMPARE(p.loader.paths, answers.filter(QLatin1String("/p/")));
        QStringList changed;
        for (const char* name : { "Image1", "Image2" })
            if (p.control<platform::PictureFrame>(name)->picture() != defaultPhoto)
                changed << name;
        QTEST(changed.join(' '), "changed");
        // A dropped file loads as a picked one does, without the dialog.
        Q_EMIT p.control<platform::PictureFrame>("Image2")->fileDropped(QStringLiteral("/p/dropped.png"));
        QCOMPARE(p.control<platform::PictureFrame>("Image2")->picture().pixel(0, 0), QColor(Qt::blue).rgb());
        QCOMPARE(p.dialog.calls, answers.size());
    }

    // A timer that comes late brings every second it missed; one that comes early brings none.
    void matchClockCatchesUp()
    {
        Panel p;
        play(p, "st");
        p.wait(3500); // the event loop stalled
        QCOMPARE(p.matchTime(), QStringLiteral(" 0小时 0分 4秒"));
        p.wait(400); // 4.9 s in: still four whole seconds
        QCOMPARE(p.matchTime(), QStringLiteral(" 0小时 0分 4秒"));
        p.wait(100);
        QCOMPARE(p.matchTime(), QStringLiteral(" 0小时 0分 5秒"));
    }

    // The first wall-clock tick makes the backdrop, hidden, and writes the date over the time.
    void wallClockCreatesHiddenBackdrop()
    {
        Panel p;
        p.clock.local = QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7));
        p.form->showWallClock();
        QVERIFY(p.form->hasBackdrop() && p.form->backdrop().isHidden());
        QVERIFY(p.form->backdrop().testAttribute(Qt::WA_WState_Created));
        const platform::DateTimeText expected = platform::dateTimeText(p.clock.local);
        QCOMPARE(
            p.form->backdrop().findChild<platform::Label*>("Label_T")->text(), expected.date + '\n' + expected.time);
    }

    // One and two digits keep the design height; longer scores shrink just enough to stay inside.
    void scoreFits_data()
    {
        QTest::addColumn<int>("points");
        QTest::newRow("1") << 1;
        QTest::newRow("99") << 99;
        QTest::newRow("100") << 100;
        QTest::newRow("40000") << 40000;
    }

    void scoreFits()
    {
        QFETCH(int, points);
        Panel p;
        p.form->startOrEndMatch();
        for (int i = 0; i < points; ++i)
            p.form->addPointForPlayer1();
        auto* label = p.control<platform::Label>("Label1");
        QCOMPARE(label->text(), QString::number(points));
        QCOMPARE(label->drawnPixelSize() == 160, points < 100);
        QFont larger = label->font();
        larger.setPixelSize(label->drawnPixelSize() + 1);
        QVERIFY(QFontMetricsF(label->font()).horizontalAdvance(label->text()) <= label->width());
        QVERIFY(points < 100 || QFontMetricsF(larger).horizontalAdvance(label->text()) > label->width());
    }
};

QTEST_MAIN(TestPanel)
#include "test_panel.moc"
