#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "../support/fakes.h"
#include "panel/drag.h"
#include "platform/fonts.h"

using testing::Panel;

namespace {

using Shown = testing::ShownPanel;

QString caption(const Panel& p, const char* button) { return p.control<QPushButton>(button)->text(); }

} // namespace

class TestPanelCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { platform::installFontSubstitutes(); }

    // Every key goes through the panel's window first, whichever control has the focus and
    // whether or not the window buttons are shown.
    void keyMap_data()
    {
        QTest::addColumn<QByteArray>("setup"); // s: match button, a/j: score buttons, h: hide buttons
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<char>("character"); // typed instead of `key` when set
        QTest::addColumn<QString>("matchCaption");
        QTest::addColumn<QString>("scores");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("buttonsShown");

        const auto row = [](const char* tag, const char* setup, const char* focus, int key, char ch,
                             const char* caption, const char* scores, const char* name, bool shown) {
            QTest::newRow(tag) << QByteArray(setup) << QString::fromUtf8(focus) << key << ch
                               << QString::fromUtf8(caption) << QString::fromUtf8(scores) << QString::fromUtf8(name)
                               << shown;
        };
        row("F5 starts", "", "Text1", Qt::Key_F5, 0, "结束比赛", "0:0", "选手1", true);
        row("F5 while running does nothing", "s", "Command8", Qt::Key_F5, 0, "结束比赛", "0:0", "选手1", true);
        row("F5 resets an ended match", "saas", "Text1", Qt::Key_F5, 0, "开始比赛", "0:0", "选手1", true);
        row("Esc ends", "sa", "Text1", Qt::Key_Escape, 0, "重新开始", "1:0", "选手1", true);
        row("Esc when ready does nothing", "", "Text1", Qt::Key_Escape, 0, "开始比赛", "0:0", "选手1", true);
        row("Esc when ended does nothing", "ss", "Text1", Qt::Key_Escape, 0, "重新开始", "0:0", "选手1", true);
        row("a scores in a name box", "s", "Text1", 0, 'a', "结束比赛", "1:0", "选手1", true);
        row("a scores on a button", "s", "Command8", 0, 'a', "结束比赛", "1:0", "选手1", true);
        row("d at zero", "s", "Text1", 0, 'd', "结束比赛", "0:0", "选手1", true);
        row("d takes one", "saa", "Text1", 0, 'd', "结束比赛", "1:0", "选手1", true);
        row("j scores", "s", "Text2", 0, 'j', "结束比赛", "0:1", "选手1", true);
        row("l takes one", "sjj", "Text1", 0, 'l', "结束比赛", "0:1", "选手1", true);
        row("upper case A does nothing", "s", "Command8", 0, 'A', "结束比赛", "0:0", "选手1", true);
        row("a when ready types", "", "Text1", 0, 'a', "开始比赛", "0:0", "选手1a", true);
        row("j when ended", "sjs", "Command8", 0, 'j', "重新开始", "0:1", "选手1", true);
        row("other letter", "s", "Text1", 0, 'x', "结束比赛", "0:0", "选手1", true);
        row("F2 hides buttons", "", "Text1", Qt::Key_F2, 0, "开始比赛", "0:0", "选手1", false);
        row("F2 shows them again", "h", "Text1", Qt::Key_F2, 0, "开始比赛", "0:0", "选手1", true);
        row("F5 with buttons hidden", "h", "Text1", Qt::Key_F5, 0, "结束比赛", "0:0", "选手1", false);
        row("Esc with buttons hidden", "hs", "Text1", Qt::Key_Escape, 0, "重新开始", "0:0", "选手1", false);
        row("a with buttons hidden", "hs", "Text1", 0, 'a', "结束比赛", "1:0", "选手1", false);
    }

    void keyMap()
    {
        QFETCH(QByteArray, setup);
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(char, character);
        Shown s;
        Panel& p = s.p;
        for (char op : setup) {
            switch (op) {
            case 's':
                p.form->Command8_Click();
                break;
            case 'a':
                p.form->Command1_Click();
                break;
            case 'j':
                p.form->Command3_Click();
                break;
            case 'h':
                p.form->Command9_Click();
                break;
            }
        }
        p.control(focus.toUtf8().constData())->setFocus();
        QWindow* window = p.form->windowHandle();
        if (character)
            QTest::keyClick(window, character);
        else
            QTest::keyClick(window, Qt::Key(key));

        QTEST(caption(p, "Command8"), "matchCaption");
        QTEST(p.control<platform::Label>("Label1")->text() + ":" + p.control<platform::Label>("Label2")->text(),
            "scores");
        QTEST(p.control<QLineEdit>("Text1")->text(), "name");
        QFETCH(bool, buttonsShown);
        for (const char* button : { "Command5", "Command6", "Command7", "Command8", "Command9" })
            QCOMPARE(!p.control(button)->isHidden(), buttonsShown);
        for (const char* button : { "Command1", "Command2", "Command3", "Command4" })
            QVERIFY(!p.control(button)->isHidden());
    }

    // F4, and a close request from outside on either window, end the program at once, full screen or not.
    void closing_data()
    {
        QTest::addColumn<bool>("fullScreen");
        QTest::addColumn<QString>("closed");

        QTest::newRow("F4") << false << "F4";
        QTest::newRow("F4, full screen") << true << "F4";
        QTest::newRow("panel closed") << false << "panel";
        QTest::newRow("panel closed, full screen") << true << "panel";
        QTest::newRow("backdrop closed, full screen") << true << "backdrop";
    }

    void closing()
    {
        QFETCH(bool, fullScreen);
        QFETCH(QString, closed);
        Shown s;
        if (fullScreen)
            s.p.form->Command6_Click();
        if (closed == QLatin1String("F4"))
            QTest::keyClick(s.p.form->windowHandle(), Qt::Key_F4);
        else if (closed == QLatin1String("panel"))
            s.p.form->close();
        else
            s.p.form->backdrop().close();
        QCOMPARE(s.p.quits, 1);
        QVERIFY(s.p.form->isHidden());
        QVERIFY(!s.p.form->hasBackdrop() || s.p.form->backdrop().isHidden());
    }

    // f: full screen key, m: minimise key, r: the panel comes back from minimised,
    // w: minimised by the window manager rather than by the panel.
    void fullScreenAndMinimise_data()
    {
        QTest::addColumn<QByteArray>("ops");
        QTest::addColumn<bool>("backdropShown");
        QTest::addColumn<QString>("fullScreenCaption");
        QTest::addColumn<int>("restoreBackdrop");

        QTest::newRow("full screen on") << QByteArray("f") << true << "还原(F11)" << 0;
        QTest::newRow("full screen off") << QByteArray("ff") << false << "全屏(F11)" << 0;
        QTest::newRow("minimise hides backdrop") << QByteArray("fm") << false << "还原(F11)" << 2;
        QTest::newRow("restore shows it again") << QByteArray("fmr") << true << "还原(F11)" << 2;
        QTest::newRow("minimise without full screen") << QByteArray("mr") << false << "全屏(F11)" << 0;
        QTest::newRow("full screen after restore") << QByteArray("fmrff") << true << "还原(F11)" << 2;
        QTest::newRow("off, then minimised elsewhere") << QByteArray("fmrfwr") << false << "全屏(F11)" << 2;
    }

    void fullScreenAndMinimise()
    {
        QFETCH(QByteArray, ops);
        Shown s;
        Panel& p = s.p;
        QWindow* window = p.form->windowHandle();
        for (char op : ops) {
            switch (op) {
            case 'f':
                QTest::keyClick(window, Qt::Key_F11);
                break;
            case 'm':
                QTest::keyClick(window, Qt::Key_F3);
                QVERIFY(p.form->isMinimized());
                break;
            case 'w':
                p.form->setWindowState(Qt::WindowMinimized);
                break;
            case 'r':
                p.form->setWindowState(Qt::WindowNoState);
                break;
            }
        }
        QTEST(p.form->hasBackdrop() && p.form->backdrop().isVisible(), "backdropShown");
        QTEST(caption(p, "Command6"), "fullScreenCaption");
        QTEST(p.form->restoreBackdrop(), "restoreBackdrop");
        if (p.form->isFullScreen() && !p.form->isMinimized()) {
            QCOMPARE(window->transientParent(), p.form->backdrop().windowHandle());
            QCOMPARE(p.form->backdrop().geometry(), p.form->screen()->geometry());
        }
    }

    void dragArithmetic_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QPointF>("down");
        QTest::addColumn<QPointF>("move");
        QTest::addColumn<QPoint>("expected"); // window top-left from (1500, 3000); (-1,-1): no move

        QTest::newRow("left drags") << int(Qt::LeftButton) << QPointF(150, 300) << QPointF(450, 0)
                                    << QPoint(1800, 2700);
        QTest::newRow("right only records")
            << int(Qt::RightButton) << QPointF(150, 300) << QPointF(450, 0) << QPoint(-1, -1);
        QTest::newRow("half rounds to even down")
            << int(Qt::LeftButton) << QPointF(10.5, 11.5) << QPointF(10.5, 11.5) << QPoint(1500, 3000);
        QTest::newRow("half rounds to even up")
            << int(Qt::LeftButton) << QPointF(0, 0) << QPointF(2.5, -3.5) << QPoint(1502, 2996);
        QTest::newRow("negative halves") << int(Qt::LeftButton) << QPointF(-0.5, -1.5) << QPointF(0, 0)
                                         << QPoint(1500, 3002);
    }

    void dragArithmetic()
    {
        QFETCH(int, button);
        QFETCH(QPointF, down);
        QFETCH(QPointF, move);
        QFETCH(QPoint, expected);
        panel::Drag drag;
        drag.mouseDown(Qt::MouseButton(button), down);
        const auto topLeft = drag.mouseMove(move, QPoint(1500, 3000));
        QCOMPARE(topLeft.value_or(QPoint(-1, -1)), expected);
        drag.mouseUp();
        QVERIFY(!drag.mouseMove(move, QPoint(1500, 3000)));
    }

    // Background and frame hatching start a drag; labels, photos and name boxes do not.
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
        QFETCH(QPoint, at);
        QFETCH(bool, moves);
        Shown s;
        Panel& p = s.p;
        QWidget* target = p.form->childAt(at) ? p.form->childAt(at) : p.form.get();
        const QPoint local = target->mapFrom(p.form.get(), at);
        const QPoint start = p.form->pos();
        QTest::mousePress(target, Qt::LeftButton, {}, local);
        QMouseEvent move(QEvent::MouseMove, QPointF(local + QPoint(20, 30)),
            target->mapToGlobal(QPointF(local + QPoint(20, 30))), Qt::NoButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &move);
        QTest::mouseRelease(target, Qt::LeftButton, {}, local + QPoint(20, 30));
        QCOMPARE(p.form->pos(), moves ? start + QPoint(20, 30) : start);
    }

    // dialog answer -> which frames change; "bad" files fail to load.
    void photos_data()
    {
        QTest::addColumn<QStringList>("answers"); // one per click, Image1 then Image2 alternately
        QTest::addColumn<bool>("image1Changed");
        QTest::addColumn<bool>("image2Changed");
        QTest::addColumn<int>("loads");

        QTest::newRow("cancel") << QStringList { "" } << false << false << 0;
        QTest::newRow("picture into frame 1") << QStringList { "/p/good.jpg" } << true << false << 1;
        QTest::newRow("picture into frame 2 only") << QStringList { "", "/p/good.jpg" } << false << true << 1;
        QTest::newRow("not a picture") << QStringList { "/p/bad.txt" } << false << false << 1;
        QTest::newRow("same file both frames") << QStringList { "/p/good.jpg", "/p/good.jpg" } << true << true << 2;
        QTest::newRow("bad file keeps the good one")
            << QStringList { "/p/good.jpg", "", "/p/bad.xpm" } << true << false << 2;
    }

    void photos()
    {
        QFETCH(QStringList, answers);
        Panel p;
        auto* image1 = p.control<platform::PictureFrame>("Image1");
        auto* image2 = p.control<platform::PictureFrame>("Image2");
        const QImage defaultPhoto = image1->picture();
        for (qsizetype i = 0; i < answers.size(); ++i) {
            p.dialog.answer = answers[i];
            QTest::mouseClick(i % 2 == 0 ? image1 : image2, Qt::LeftButton);
        }
        QCOMPARE(p.dialog.calls, answers.size());
        QTEST(int(p.loader.paths.size()), "loads");
        QTEST(image1->picture() != defaultPhoto, "image1Changed");
        QTEST(image2->picture() != defaultPhoto, "image2Changed");
        if (image1->picture() != defaultPhoto)
            QCOMPARE(image1->picture().size(), image1->size() * p.form->devicePixelRatioF());
    }

    void droppedFileLoadsLikeAPick()
    {
        Panel p;
        auto* image2 = p.control<platform::PictureFrame>("Image2");
        Q_EMIT image2->fileDropped(QStringLiteral("/p/good.png"));
        QCOMPARE(p.loader.paths, QStringList { "/p/good.png" });
        QCOMPARE(image2->picture().pixel(0, 0), QColor(Qt::blue).rgb());
        QCOMPARE(p.dialog.calls, 0);
    }
};

QTEST_MAIN(TestPanelCommands)
#include "test_panel_commands.moc"
