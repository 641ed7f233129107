// The control panel as the operator meets it: scenarios of clicks, keys and time with what then shows (the match
// cycle, the keyboard map, full screen, minimising, closing, dragging), photos, the clocks, and long random sessions
// checked against what any correct panel keeps. Time, the file dialog and the picture loader are stand-ins, so no
// test waits for a clock or opens a dialog.

#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <semaphore>

#include "../support/reference_picture.h"
#include "panel/control_panel.h"
#include "platform/desktop/startup.h"
#include "platform/desktop/window_system.h"

namespace testing {

const QString kReady = QStringLiteral("开始比赛");
const QString kRunning = QStringLiteral("结束比赛");

struct FakeClock final : desktop::Clock {
    [[nodiscard]] qint64 monotonicMs() const override { return ms; }
    [[nodiscard]] QDateTime localNow() const override { return local; }
    qint64 ms = 5'000'000; // a monotonic clock need not start at 0
    QDateTime local { QDate(2026, 12, 6), QTime(19, 30, 5) };
};

struct FakeDialog final : desktop::FileDialog {
    [[nodiscard]] QString chooseFile(QWidget*) override { return calls++, answer; }
    QString answer;
    int calls = 0;
};

// Holds the panel's threads that reach it until the test lets them through, one at a time or all for good.
struct Gate {
    void pass()
    {
        ++waiting;
        if (!open)
            through.acquire();
    }
    void letOne()
    {
        QTRY_VERIFY(held() > 0);
        --waiting;
        through.release();
    }
    void openForGood()
    {
        open = true;
        through.release(1000);
    }
    // The threads waiting that have not been let through.
    [[nodiscard]] int held() const { return open ? 0 : waiting.load(); }
    std::atomic<int> waiting = 0;
    std::atomic<bool> open = false;
    std::counting_semaphore<> through { 0 };
};

// A blue picture of the frame's size (red for a "red" file), or nothing for a "bad" file, and no file at all for a
// "gone" one. It runs on the panel's threads, where a "stalled" file's read and a "slow" file's decode wait at a gate.
struct FakeLoader final : photo::PictureLoader {
    [[nodiscard]] std::optional<QByteArray> read(const QString& path) const override
    {
        if (path.contains(QLatin1String("stalled")))
            stalledReads.pass();
        return path.contains(QLatin1String("gone")) ? std::nullopt : std::optional(path.toUtf8());
    }
    [[nodiscard]] QImage decode(const QByteArray& bytes, QSize frameSize, qreal dpr) const override
    {
        const QString path = QString::fromUtf8(bytes);
        {
            const std::lock_guard lock(mutex);
            decodes << path.section('/', -1);
        }
        if (path.contains(QLatin1String("slow")))
            slowDecodes.pass();
        QImage image(frameSize * dpr, QImage::Format_RGB32);
        image.fill(path.contains(QLatin1String("red")) ? Qt::red : Qt::blue);
        image.setDevicePixelRatio(dpr);
        return path.contains(QLatin1String("bad")) ? QImage() : image;
    }
    [[nodiscard]] QStringList decoded() const
    {
        const std::lock_guard lock(mutex);
        return decodes;
    }
    mutable std::mutex mutex;
    mutable QStringList decodes;
    mutable Gate stalledReads, slowDecodes;
};

// A panel on the stand-ins, built fresh for each test.
struct Panel {
    FakeClock clock;
    FakeDialog dialog;
    FakeLoader loader;
    int quits = 0;
    QPoint shownAt;
    std::unique_ptr<panel::ControlPanel> form { std::make_unique<panel::ControlPanel>(
        panel::Services { clock, dialog, loader, [this] { ++quits; } }) };
    // The panel waits for its reads and decodes as it goes.
    ~Panel()
    {
        loader.stalledReads.openForGood();
        loader.slowDecodes.openForGood();
    }

    template <typename T = QWidget> [[nodiscard]] T* control(const char* name) const
    {
        return form->findChild<T*>(QString::fromUtf8(name));
    }
    [[nodiscard]] QString text(const char* name) const
    {
        auto* label = control<controls::Label>(name);
        return label ? label->text() : control<QPushButton>(name)->text();
    }
    [[nodiscard]] QString scores() const { return text("Label1") + ':' + text("Label2"); }
    [[nodiscard]] QString matchTime() const
    {
        return form->hasBackdrop() ? form->backdrop().findChild<controls::Label*>("Label_time")->text() : QString();
    }
    // Shown and active, so keys reach the panel's window as they do on screen.
    void show()
    {
        form->show();
        shownAt = form->pos();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    // Every photo read and decoded, and in its frame, but those held at a gate.
    void settle()
    {
        const auto held = [this] { return loader.stalledReads.held() + loader.slowDecodes.held(); };
        do {
            QTRY_COMPARE(form->photosLoading(), held());
            QCoreApplication::processEvents();
        } while (form->photosLoading() != held());
    }
    // What a photo frame shows: the default photo, or the fake loader's colour.
    [[nodiscard]] QString photo(const char* name) const
    {
        const QRgb pixel = control<controls::PictureFrame>(name)->picture().pixel(0, 0);
        return pixel == QColor(Qt::red).rgb() ? "red" : pixel == QColor(Qt::blue).rgb() ? "blue" : "default";
    }
    // `ms` of match and wall-clock time, delivered as the timers would.
    void wait(qint64 ms)
    {
        clock.ms += ms;
        clock.local = clock.local.addMSecs(ms);
        if (form->matchClockTimer().isActive())
            form->advanceMatchClock();
        form->showWallClock();
    }
    // What the match button's caption says of the rest: the score buttons, the name boxes and the match clock.
    [[nodiscard]] bool keepsItsState() const
    {
        const QString caption = text("Command8");
        const bool running = caption == kRunning;
        bool consistent = (caption == kReady || running || caption == QStringLiteral("重新开始"))
            && control<QLineEdit>("Text2")->isReadOnly() == (caption != kReady)
            && form->matchClockTimer().isActive() == running;
        for (const char* button : { "Command1", "Command2", "Command3", "Command4" })
            consistent = consistent && control(button)->isEnabled() == running && !control(button)->isHidden();
        return consistent;
    }
};

// A scenario, a token at a time: s, a, d, j, l click the match and score buttons and @name any control; F1 ... F11,
// Esc, Space, Tab and Return are keys; "x types the character x and !x is Alt+x; t, T and . let 1 s, 3.5 s and 0.4 s
// pass; r restores a minimised panel and w minimises it as a window manager would; drag:X,Y (rdrag: with the right
// button) presses there, moves 20, 30 pixels in two steps and lets go (the second step is reported against where the
// window was before the first, as an X server does while the window manager has yet to move it); Text1, Text2 and
// Command8 take the focus; x-panel and x-backdrop are close requests from outside.
void play(Panel& p, const QString& ops)
{
    QWindow* window = p.form->windowHandle();
    const QStringList keys { "F1", "F2", "F3", "F4", "F5", "F11", "Esc", "Space", "Tab", "Return" };
    const Qt::Key codes[] = { Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F5, Qt::Key_F11, Qt::Key_Escape,
        Qt::Key_Space, Qt::Key_Tab, Qt::Key_Return };
    const QHash<QString, const char*> buttons { { "s", "Command8" }, { "a", "Command1" }, { "d", "Command2" },
        { "j", "Command3" }, { "l", "Command4" } };
    for (const QString& op : ops.split(' ', Qt::SkipEmptyParts)) {
        if (buttons.contains(op))
            QTest::mouseClick(p.control(buttons[op]), Qt::LeftButton);
        else if (keys.contains(op))
            QTest::keyClick(window, codes[keys.indexOf(op)]);
        else if (op.startsWith('"') || op.startsWith('!'))
            QTest::keyClick(window, op[1].toLatin1(), op[0] == '!' ? Qt::AltModifier : Qt::NoModifier);
        else if (op == "t" || op == "T" || op == ".")
            p.wait(op == "t" ? 1000 : op == "T" ? 3500 : 400);
        else if (op == "r" || op == "w")
            p.form->setWindowState(op == "r" ? Qt::WindowNoState : Qt::WindowMinimized);
        else if (op.startsWith('@'))
            QTest::mouseClick(p.control(op.mid(1).toLatin1()), Qt::LeftButton);
        else if (op.contains("drag:")) {
            const QPoint at(op.section(':', 1).section(',', 0, 0).toInt(), op.section(',', 1).toInt());
            QWidget* target = p.form->childAt(at) ? p.form->childAt(at) : p.form.get();
            const QPoint from = target->mapFrom(p.form.get(), at), half = from + QPoint(10, 15),
                         to = from + QPoint(20, 30);
            const Qt::MouseButton button = op[0] == 'r' ? Qt::RightButton : Qt::LeftButton;
            const QPointF halfOnScreen = target->mapToGlobal(QPointF(half)),
                          toOnScreen = target->mapToGlobal(QPointF(to));
            QTest::mousePress(target, button, {}, from);
            for (const auto& [at, onScreen] : { std::pair { half, halfOnScreen }, { to, toOnScreen } }) {
                QMouseEvent move(QEvent::MouseMove, at, onScreen, Qt::NoButton, button, {});
                QCoreApplication::sendEvent(target, &move);
            }
            QTest::mouseRelease(target, button, {}, to);
        } else if (op.startsWith("x-"))
            (op == "x-panel" ? static_cast<QWidget*>(p.form.get()) : &p.form->backdrop())->close();
        else
            p.control(op.toLatin1())->setFocus();
    }
}

// Match button caption, scores, first name, window buttons, backdrop, panel state, match time and how far the
// panel has moved from where it was shown.
QString observe(const Panel& p)
{
    const bool backdrop = p.form->hasBackdrop() && p.form->backdrop().isVisible();
    return QStringList { p.text("Command8"), p.scores(), p.control<QLineEdit>("Text1")->text(),
        p.control("Command5")->isHidden() ? "hidden" : "buttons", backdrop ? p.text("Command6") : "-",
        p.quits                     ? "closed"
            : p.form->isMinimized() ? "minimised"
                                    : "shown",
        p.matchTime(),
        p.form->pos() == p.shownAt
            ? ""
            : QStringLiteral("moved %1,%2").arg(p.form->x() - p.shownAt.x()).arg(p.form->y() - p.shownAt.y()) }
        .join(' ')
        .simplified();
}

// Counts the paint events of the widgets it filters.
struct PaintCounter : QObject {
    QHash<QObject*, int> painted;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        painted[watched] += event->type() == QEvent::Paint;
        return false;
    }
};

int secondsShown(const QString& text)
{
    const auto m = QRegularExpression(QStringLiteral("^ (\\d+)小时 (\\d+)分 (\\d+)秒$")).match(text);
    return text.isEmpty() ? 0
        : m.hasMatch()    ? m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt()
                          : -1;
}

} // namespace testing

using namespace testing;

class TestPanel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Qt's own texts (the file dialog, the name boxes' context menu) speak the operator's language.
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        desktop::prepareApplication();
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("查找范围："));
    }

    // What it draws at start: the name boxes blending into the green, their text in the window's text colour; the
    // frames' rounded, smooth borders and their red hatching where neither photo nor score square covers it; the
    // built-in photo scaled smoothly into its frame; the captions, each in its font, as designed in every locale (Qt's
    // Arabic and Hebrew translations turn the application right to left). First of all: once a font engine of another
    // size of the face has been made, Qt 6.4 outlines the large digits a little differently.
    void drawsAsDesigned_data()
    {
        QTest::addColumn<QString>("locale");
        for (const char* locale : { "zh_CN", "ar_EG", "he_IL" })
            QTest::newRow(locale) << locale;
    }

    void drawsAsDesigned()
    {
        QFETCH(QString, locale);
        const testing::QtTranslation translation(locale);
        QCOMPARE(QGuiApplication::layoutDirection(), locale == "zh_CN" ? Qt::LeftToRight : Qt::RightToLeft);
        Panel p;
        p.show();
        QApplication::setCursorFlashTime(0); // the name box's cursor steady, not caught mid-blink
        const QString difference = testing::differenceFromReference(p.form->grab().toImage(), "panel-at-start");
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // Qt's messages are held back while the window system starts, then come out in order, and later ones go
    // straight through.
    void startupMessagesComeOutAfterwards()
    {
        static QStringList seen;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& message) { seen << message; });
        desktop::holdBackStartupMessages();
        qWarning("held");
        const QStringList whileStarting = seen;
        desktop::releaseStartupMessages();
        qWarning("later");
        qInstallMessageHandler(previous);
        QCOMPARE(whileStarting, QStringList());
        QCOMPARE(seen, QStringList({ "held", "later" }));
    }

    void windowAtStart()
    {
        Panel p;
        const QRect screen = p.form->screen()->geometry(), panel = p.form->geometry(); // centred, to a pixel
        QVERIFY(std::abs(panel.left() - screen.left() - (screen.right() - panel.right())) <= 1
            && std::abs(panel.top() - screen.top() - (screen.bottom() - panel.bottom())) <= 1);
        QStringList order;
        QWidget* w = p.control("Text1");
        do
            if (w->focusPolicy() & Qt::TabFocus)
                order << w->objectName();
        while ((w = w->nextInFocusChain()) != p.control("Text1"));
        QCOMPARE(order.join(' '),
            "Text1 Command1 Command2 Command3 Command4 Text2 Command5 Command6 Command7 Command8 Command9");
        // "VS" comes with its fit worked out in the layout table: the one the face calls for, the largest that fits.
        p.show();
        QWidget* versus = p.control("Label3");
        QFont larger = versus->font();
        larger.setPixelSize(larger.pixelSize() + 1);
        QVERIFY(QFontMetricsF(versus->font()).horizontalAdvance("VS") <= versus->width()
            && QFontMetricsF(larger).horizontalAdvance("VS") > versus->width());
        // A picture of another size than its frame is scaled smoothly: black beside white shows grey between them.
        QImage halves(2, 1, QImage::Format_RGB32);
        halves.setPixel(0, 0, qRgb(0, 0, 0));
        halves.setPixel(1, 0, qRgb(255, 255, 255));
        p.control<controls::PictureFrame>("Image1")->setPicture(halves);
        const int middle = qGray(p.control("Image1")->grab().toImage().pixel(72, 68));
        QVERIFY2(middle > 64 && middle < 192, qPrintable(QString::number(middle)));
        // Keeping a window in front before it exists leaves it alone, and does not make it.
        QWidget unshown;
        desktop::setKeptAbove(&unshown, p.form.get());
        QVERIFY(!unshown.windowHandle());
    }

    void scenarios_data()
    {
        QTest::addColumn<QString>("ops");
        QTest::addColumn<QString>("shows");
        const auto row = [](const char* tag, const char* ops, const char* shows) {
            QTest::newRow(tag) << QString::fromUtf8(ops) << QString::fromUtf8(shows);
        };
        row("at start", "", "开始比赛 0:0 选手1 buttons - shown");
        row("scoring", "s a a a j d t", "结束比赛 2:1 选手1 buttons - shown 0小时 0分 1秒");
        row("down at zero", "s d d l", "结束比赛 0:0 选手1 buttons - shown");
        row("ended keeps all", "s a a j t t t s t", "重新开始 2:1 选手1 buttons - shown 0小时 0分 3秒");
        row("three presses reset", "s a a j t s s", "开始比赛 0:0 选手1 buttons - shown");
        row("next match from zero", "s a j t t s s s t", "结束比赛 0:0 选手1 buttons - shown 0小时 0分 1秒");
        row("a late timer brings every second", "s t T . .", "结束比赛 0:0 选手1 buttons - shown 0小时 0分 5秒");
        row("an early one none", "s t T .", "结束比赛 0:0 选手1 buttons - shown 0小时 0分 4秒");
        row("no time before the first second", "s .", "结束比赛 0:0 选手1 buttons - shown");
        row("F5 starts", "Text1 F5", "结束比赛 0:0 选手1 buttons - shown");
        row("F5 while running does nothing", "s Command8 F5", "结束比赛 0:0 选手1 buttons - shown");
        row("F5 resets an ended match", "s a s F5", "开始比赛 0:0 选手1 buttons - shown");
        row("Esc ends", "s a Esc", "重新开始 1:0 选手1 buttons - shown");
        row("Esc does nothing otherwise", "Esc s s Esc", "重新开始 0:0 选手1 buttons - shown");
        row("letters score in a name box", "s Text1 \"a \"a \"j \"d", "结束比赛 1:1 选手1 buttons - shown");
        row("letters take back", "s a a j j Command8 \"d \"l \"l \"l", "结束比赛 1:0 选手1 buttons - shown");
        row("capitals, Alt and others do nothing", "s Command8 \"A \"J \"x !a !j F5 !l",
            "结束比赛 0:0 选手1 buttons - shown");
        row("letters type when ready", "Text1 \"a \"j", "开始比赛 0:0 选手1aj buttons - shown");
        row("letters do nothing when ended", "s s Command8 \"a \"j", "重新开始 0:0 选手1 buttons - shown");
        row("F2 hides the window buttons", "F2", "开始比赛 0:0 选手1 hidden - shown");
        row("keys work with them hidden", "F2 F5 \"a Esc", "重新开始 1:0 选手1 hidden - shown");
        row("F2 shows them again", "F2 F2", "开始比赛 0:0 选手1 buttons - shown");
        // Full screen, minimising and closing on a real screen are the window rows'; these are the turns between.
        row("full screen again after restore", "F11 F3 r F11 F11", "开始比赛 0:0 选手1 buttons 还原(F11) shown");
        row("minimised from full screen", "F11 F3", "开始比赛 0:0 选手1 buttons - minimised");
        row("off, then minimised elsewhere", "F11 F3 r F11 w r", "开始比赛 0:0 选手1 buttons - shown");
        row("closed from outside in a match", "s F11 x-panel", "结束比赛 0:0 选手1 buttons - closed");
        row("backdrop closed from outside", "F11 x-backdrop", "开始比赛 0:0 选手1 buttons - closed");
        // The background and the frames' hatching start a drag with the left button; controls do not.
        row("drag on the background", "drag:10,300", "开始比赛 0:0 选手1 buttons - shown moved 20,30");
        row("drag on a frame's hatching", "drag:45,300", "开始比赛 0:0 选手1 buttons - shown moved 20,30");
        row("right-button drag", "rdrag:10,300", "开始比赛 0:0 选手1 buttons - shown");
        row("a drag ends with its button", "drag:10,300 rdrag:10,300",
            "开始比赛 0:0 选手1 buttons - shown moved 20,30");
        row("drag on a score", "drag:100,300", "开始比赛 0:0 选手1 buttons - shown");
        row("drag on a photo", "drag:100,150", "开始比赛 0:0 选手1 buttons - shown");
    }

    void scenarios()
    {
        Panel p;
        p.show();
        QFETCH(QString, ops);
        play(p, ops);
        QTEST(observe(p), "shows");
        QVERIFY(p.keepsItsState());
        if (p.form->hasBackdrop() && p.form->backdrop().isVisible()) { // full screen, the panel kept in front
            QCOMPARE(p.form->windowHandle()->transientParent(), p.form->backdrop().windowHandle());
            QCOMPARE(p.form->backdrop().geometry(), p.form->screen()->geometry());
            QVERIFY(p.form->backdrop().frontKeeper().isActive() || !ops.endsWith("F11")); // for 100 ms after F11
        } else if (!p.quits) { // an owned window may lose its taskbar button, which brings a minimised panel back
            QVERIFY(!p.form->windowHandle()->transientParent());
        }
        QCOMPARE(p.form->isHidden() && p.quits == 1 && (!p.form->hasBackdrop() || p.form->backdrop().isHidden()),
            p.quits > 0);
    }

    // Steps, one a token: 1:NAME picks /p/NAME for Image1, 2:NAME for Image2 (1: cancels the dialog); drop2:NAME,...
    // drops those files from a file manager on Image2; right1 is a right click on Image1, release1 a release alone;
    // "read" lets one stalled read return, "decode" one slow decode end; anything else goes to play(); what is not
    // held ends before the next step. Only a left click opens the dialog, and a drop loads one file at a time. Then,
    // what the frames show, and once every read and decode has ended, what they show and the names decoded, in
    // order. A frame ends with its newest pick that decodes and never goes back to an older one; a read that never
    // returns holds nothing up, not even F4.
    void photosWhileDecoding_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("atLast");
        QTest::addColumn<QString>("decoded");
        // What shows at last is what showed after the steps, unless said.
        const auto row = [](const char* name, const char* steps, const char* shown, const char* decoded,
                             const char* atLast = nullptr) {
            QTest::newRow(name) << steps << shown << (atLast ? atLast : shown) << decoded;
        };
        row("a cancel changes nothing, a pick its own frame alone", "1: 2:good", "default blue", "good");
        row("a click of another kind picks nothing; a drop of one file loads it", "right1 release1 drop2:a,b drop2:red",
            "default red", "red");
        row("a later pick that fails keeps one decoding", "1:slow-red 1:bad decode", "red default", "slow-red bad");
        row("a later pick that is unreadable keeps one decoding", "1:slow-red 1:gone decode", "red default",
            "slow-red");
        row("a later pick wins over one decoding", "1:slow-red 1:good decode", "blue default", "slow-red good");
        row("the newest pick that decodes makes older ones moot", "1:slow-red 1:good 1:red decode", "red default",
            "slow-red red");
        row("the newest pick failing, the one before shows", "1:slow-red 1:good 1:bad decode", "blue default",
            "slow-red bad good");
        row("both frames decode in the order picked", "2:slow-good 1:red 2:bad decode", "red blue",
            "slow-good red bad");
        row("a read that never returns holds neither frame up", "1:stalled-red 1:good 2:good s \"a", "blue blue",
            "good good");
        row("a read that returns late shows unless a newer pick did", "1:stalled-red 2:good read", "red blue",
            "good stalled-red");
        row("F4 while a read never returns", "1:stalled-red F4", "default default", "stalled-red", "red default");
    }

    void photosWhileDecoding()
    {
        QFETCH(QString, steps);
        Panel p;
        p.show();
        for (const QString& step : steps.split(' ')) {
            if (step == "read" || step == "decode") {
                (step == "read" ? p.loader.stalledReads : p.loader.slowDecodes).letOne();
            } else if (step.startsWith("drop2:")) {
                QMimeData files;
                QList<QUrl> urls;
                for (const QString& name : step.mid(6).split(','))
                    urls << QUrl::fromLocalFile("/p/" + name);
                files.setUrls(urls);
                QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, {});
                QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, {});
                QCoreApplication::sendEvent(p.control("Image2"), &enter);
                QCoreApplication::sendEvent(p.control("Image2"), &drop);
                QCOMPARE(enter.isAccepted(), urls.size() == 1);
            } else if (step == "right1" || step == "release1") {
                step == "right1" ? QTest::mouseClick(p.control("Image1"), Qt::RightButton)
                                 : QTest::mouseRelease(p.control("Image1"), Qt::LeftButton);
            } else if (step.contains(':')) {
                p.dialog.answer = step.size() > 2 ? "/p/" + step.mid(2) : QString();
                play(p, step[0] == '1' ? "@Image1" : "@Image2");
            } else {
                play(p, step);
            }
            p.settle();
        }
        QTEST(p.photo("Image1") + ' ' + p.photo("Image2"), "shown");
        // The keys answer while a photo loads, and F4 ends the program at once: with a read or decode under way,
        // it ends without tearing down (desktop::endProgram).
        QCOMPARE(p.scores(), steps.contains(QLatin1String("\"a")) ? "1:0" : "0:0");
        QCOMPARE(p.quits, int(steps.count("F4")));
        QVERIFY(p.quits == 0 || p.form->photosLoading() > 0);
        p.loader.stalledReads.openForGood();
        p.loader.slowDecodes.openForGood();
        p.settle();
        QTEST(p.photo("Image1") + ' ' + p.photo("Image2"), "atLast");
        QTEST(p.loader.decoded().join(' '), "decoded");
        QCOMPARE(p.dialog.calls, steps.count(QRegularExpression("(^| )[12]:")));
    }

    // On screen, a score and a photo repaint as soon as they change.
    void changesRepaint()
    {
        Panel p;
        p.show();
        PaintCounter counter;
        for (const char* name : { "Label1", "Image2" })
            p.control(name)->installEventFilter(&counter);
        QTest::qWait(20);
        counter.painted.clear();
        p.dialog.answer = "/p/good.jpg";
        play(p, "s a @Image2");
        p.settle();
        QTRY_VERIFY(counter.painted.value(p.control("Label1")) > 0 && counter.painted.value(p.control("Image2")) > 0);
    }

    // The first wall-clock tick makes the backdrop, hidden, and writes the date over the time. Both clocks tick
    // just after the turn of a whole second, of the day or of the match.
    void clocksOnWholeSeconds()
    {
        Panel p;
        p.clock.local = QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7, 250));
        p.form->showWallClock();
        QVERIFY(p.form->backdrop().isHidden() && p.form->backdrop().testAttribute(Qt::WA_WState_Created));
        const desktop::DateTimeText expected = desktop::dateTimeText(p.clock.local);
        QCOMPARE(
            p.form->backdrop().findChild<controls::Label*>("Label_T")->text(), expected.date + '\n' + expected.time);
        // Armed for 1 ms past the turn (751 ms from 09:05:07.250), so that a tick on time never shows the old second.
        QElapsedTimer armed;
        armed.start();
        p.form->showWallClock();
        const int remaining = p.form->wallClockTimer().remainingTime();
        QVERIFY(remaining <= 751 && remaining >= 751 - armed.nsecsElapsed() / 1e6);
        play(p, "s");
        p.clock.ms += 1300;
        p.form->advanceMatchClock();
        QVERIFY(p.form->matchClockTimer().remainingTime() > 650 && p.form->matchClockTimer().remainingTime() <= 700);
        // A hidden panel comes back when the backdrop brings it in front.
        p.form->showInFront();
        QVERIFY(p.form->isVisible());
        // Out of the test's hands, a timer goes on ticking by itself, after a tick brought forward too.
        desktop::Timer timer(nullptr, "timer", 20, true);
        timer.setNextTickIn(1);
        QSignalSpy ticks(&timer, &QTimer::timeout);
        QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 3, 2000);
    }

    // One and two digits keep the design height; longer scores shrink just enough to stay inside.
    void scoreFits()
    {
        Panel p;
        p.form->startOrEndMatch();
        auto* label = p.control<controls::Label>("Label1");
        for (int points = 1; points <= 40000; ++points) {
            p.form->addPointForPlayer1();
            if (points != 1 && points != 99 && points != 100 && points != 40000)
                continue;
            QCOMPARE(label->text(), QString::number(points));
            QCOMPARE(label->drawnPixelSize() == 160, points < 100);
            QFont larger = label->font();
            larger.setPixelSize(label->drawnPixelSize() + 1);
            QVERIFY(QFontMetricsF(label->font()).horizontalAdvance(label->text()) <= label->width());
            QVERIFY(points < 100 || QFontMetricsF(larger).horizontalAdvance(label->text()) > label->width());
            // Drawn in the middle of its yellow square, which the label fills over the red frame.
            const QImage square = p.form->grab(label->geometry()).toImage();
            const QRect ink = testing::inkBox(square, QColor(0xFF, 0xFF, 0x80));
            QVERIFY(std::abs(ink.center().x() - 80) <= 3 && std::abs(ink.center().y() - 80) <= 6 && ink.height() > 40
                && square.pixelColor(2, 2) == QColor(0xFF, 0xFF, 0x80));
        }
    }

    // Long random sessions on the real panel and backdrop: keys, clicks, photo picks, drags, time passing,
    // minimising and restoring, F4 now and then. After every event the panel must keep what any correct panel keeps:
    // scores never negative and equal to the points given minus the points taken back while they could be; captions,
    // enabled and locked states those of the match state the match button shows; the match time never ahead of the
    // monotonic clock. Timers are delivered by the test, so a seed always replays the same session.
    void keepsItsInvariants_data()
    {
        QTest::addColumn<quint64>("seed");
        for (const quint64 seed : { 11, 23, 37, 41, 59 })
            QTest::addRow("seed %llu", seed) << seed;
    }

    void keepsItsInvariants()
    {
        QFETCH(quint64, seed);
        std::mt19937_64 random(seed);
        // The operator's mix, as tokens of play(): the panel's own keys most, then other keys, buttons, photos,
        // drags and time passing; F4 now and then.
        const QStringList mix
            = QStringLiteral("\"a \"a \"a \"d \"j \"j \"j \"l F5 F5 F5 Esc F11 F11 F2 F2 F3 \"A \"L \"x \"7 F1 "
                             "Space Space Tab Return s s a a d j j l @Command6 @Command7 @Command9 "
                             "photo photo drag drag t t t t . . T r")
                  .split(' ');
        std::unique_ptr<Panel> p;
        qint64 given[2] = { 0, 0 }, matchStartMs = 0;
        QStringList history;
        // A score button counts when it is clicked, by the mouse or by Space while it has the focus; a typed
        // letter counts by itself. A match starts at a click of the match button or F5 on a ready panel.
        const auto count = [&](int index, bool wasRunning) { // a, d, j, l
            qint64& score = given[index / 2];
            score += !wasRunning ? 0 : index % 2 == 0 ? 1 : score > 0 ? -1 : 0;
        };
        const auto start = [&] {
            p = std::make_unique<Panel>();
            p->show();
            given[0] = given[1] = 0;
            matchStartMs = p->clock.ms;
            for (int i = 0; i < 4; ++i)
                connect(p->control<QPushButton>(QStringLiteral("Command%1").arg(i + 1).toLatin1()),
                    &QPushButton::clicked, p->form.get(), [&, i] { count(i, true); });
            connect(p->control<QPushButton>("Command8"), &QPushButton::clicked, p->form.get(),
                [&] { matchStartMs = p->text("Command8") == kRunning ? p->clock.ms : matchStartMs; });
        };
        start();
        for (int event = 0; event < 5000; ++event) {
            const QString op = event % 2000 == 1999 ? QStringLiteral("F4") : mix[int(random() % mix.size())];
            const QString caption = p->text("Command8");
            history = (history << op).mid(std::max<qsizetype>(0, history.size() - 19));
            if (op == "photo") {
                p->dialog.answer = QStringList { "", "/p/good.jpg", "/p/bad.txt" }[int(random() % 3)];
                QTest::mouseClick(p->control(random() % 2 ? "Image1" : "Image2"), Qt::LeftButton);
            } else if (op == "drag") {
                play(*p, QStringLiteral("%1drag:10,%2").arg(random() % 5 ? "" : "r").arg(250 + random() % 100));
            } else {
                matchStartMs = op == "F5" && caption == kReady ? p->clock.ms : matchStartMs;
                play(*p, op);
                if (op.startsWith('"') && QStringLiteral("adjl").contains(op[1]))
                    count(int(QStringLiteral("adjl").indexOf(op[1])), caption == kRunning);
            }
            if (p->quits > 0) { // F4, or Space on the close button: a new program starts
                QVERIFY(p->quits == 1 && p->form->isHidden()
                    && (!p->form->hasBackdrop() || p->form->backdrop().isHidden()));
                start();
                continue;
            }
            if (caption == QStringLiteral("重新开始") && p->text("Command8") == kReady)
                given[0] = given[1] = 0;
            const QByteArray where
                = QStringLiteral("seed %1, event %2 after %3").arg(seed).arg(event).arg(history.join(' ')).toUtf8();
            QVERIFY2(p->scores() == QStringLiteral("%1:%2").arg(given[0]).arg(given[1]), where);
            QVERIFY2(p->keepsItsState(), where);
            const int shown = secondsShown(p->matchTime());
            QVERIFY2(shown >= 0 && shown <= (p->clock.ms - matchStartMs) / 1000, where);
        }
    }
};

QTEST_MAIN(TestPanel)
#include "test_panel.moc"
