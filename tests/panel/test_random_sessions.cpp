// Long random sessions on the real panel and backdrop: keys, clicks, photo picks, drags, ticks,
// minimising and restoring, each followed by a comparison of everything the operator can see with
// the reference model. Timers are delivered by the test, never by the event loop, so a seed always
// replays the same session: SCOREBOARD_SEED picks one seed, SCOREBOARD_EVENTS its length.

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <type_traits>
#include <utility>
#include <vector>

#include "../support/fakes.h"
#include "../support/model.h"
#include "platform/controls.h"
#include "platform/fonts.h"

using testing::Focus;
using testing::Panel;
using testing::PhotoAnswer;
using testing::ScoreboardModel;

namespace {

constexpr std::array<std::uint64_t, 5> kSeeds { 11, 23, 37, 41, 59 };
constexpr int kEventsPerSeed = 42'000;
constexpr int kHistory = 20;

// Keys with the text they type. The first ten are the panel's own keys.
struct KeyStroke {
    Qt::Key key;
    const char* text;
    const char* name;
    int weight;
};
constexpr std::array kKeys {
    KeyStroke { Qt::Key_A, "a", "a", 12 },
    KeyStroke { Qt::Key_D, "d", "d", 6 },
    KeyStroke { Qt::Key_J, "j", "j", 12 },
    KeyStroke { Qt::Key_L, "l", "l", 6 },
    KeyStroke { Qt::Key_F5, "", "F5", 8 },
    KeyStroke { Qt::Key_Escape, "\x1b", "Esc", 3 },
    KeyStroke { Qt::Key_F11, "", "F11", 5 },
    KeyStroke { Qt::Key_F2, "", "F2", 4 },
    KeyStroke { Qt::Key_F3, "", "F3", 3 },
    KeyStroke { Qt::Key_F4, "", "F4", 0 }, // drawn on its own, rarely: it ends the session
    KeyStroke { Qt::Key_A, "A", "A", 2 },
    KeyStroke { Qt::Key_D, "D", "D", 1 },
    KeyStroke { Qt::Key_J, "J", "J", 1 },
    KeyStroke { Qt::Key_L, "L", "L", 1 },
    KeyStroke { Qt::Key_X, "x", "x", 2 },
    KeyStroke { Qt::Key_7, "7", "7", 1 },
    KeyStroke { Qt::Key_0, "0", "0", 1 },
    KeyStroke { Qt::Key_F1, "", "F1", 1 },
    KeyStroke { Qt::Key_F6, "", "F6", 1 },
    KeyStroke { Qt::Key_Return, "\r", "Enter", 1 },
    KeyStroke { Qt::Key_Space, " ", "Space", 3 },
    KeyStroke { Qt::Key_Tab, "\t", "Tab", 2 },
};
constexpr std::size_t kF4 = 9;

enum class Kind {
    Key,
    Click,
    Photo,
    MouseDown,
    MouseMove,
    MouseUp,
    MatchClock,
    TimePasses,
    WallClock,
    FrontKeeper,
    MinimisedByWindowManager,
    Restore,
};

struct Event {
    Kind kind = Kind::Key;
    std::size_t key = 0; // into kKeys
    Focus focus;
    int number = 0; // button 1..9, frame 1..2
    Qt::MouseButton button = Qt::NoButton;
    PhotoAnswer answer;
    QPoint point; // panel pixels
    qint64 ms = 0;
};

QString describe(const Event& e)
{
    const auto focusName = [](Focus f) {
        return f.kind == Focus::Kind::NameBox ? QStringLiteral("Text%1").arg(f.number)
                                              : QStringLiteral("Command%1").arg(f.number);
    };
    const auto point = [](QPoint p) { return QStringLiteral("(%1,%2)").arg(p.x()).arg(p.y()); };
    const auto buttonName = [](Qt::MouseButton b) {
        return b == Qt::LeftButton ? QStringLiteral("left")
            : b == Qt::RightButton ? QStringLiteral("right")
                                   : QStringLiteral("none");
    };
    switch (e.kind) {
    case Kind::Key:
        return QStringLiteral("key %1, focus %2").arg(QString::fromLatin1(kKeys[e.key].name), focusName(e.focus));
    case Kind::Click:
        return QStringLiteral("click Command%1").arg(e.number);
    case Kind::Photo: {
        static const char* const answers[] = { "cancel", "picture", "not a picture" };
        return QStringLiteral("click Image%1, dialog: %2")
            .arg(e.number)
            .arg(QString::fromLatin1(answers[int(e.answer.kind)]));
    }
    case Kind::MouseDown:
        return QStringLiteral("mouse %1 down at %2").arg(buttonName(e.button), point(e.point));
    case Kind::MouseMove:
        return QStringLiteral("mouse move to %1, %2 held").arg(point(e.point), buttonName(e.button));
    case Kind::MouseUp:
        return QStringLiteral("mouse %1 up at %2").arg(buttonName(e.button), point(e.point));
    case Kind::MatchClock:
        return QStringLiteral("%1 ms, match-clock tick").arg(e.ms);
    case Kind::TimePasses:
        return QStringLiteral("%1 ms pass, no tick").arg(e.ms);
    case Kind::WallClock:
        return QStringLiteral("wall-clock tick");
    case Kind::FrontKeeper:
        return QStringLiteral("front-keeper tick");
    case Kind::MinimisedByWindowManager:
        return QStringLiteral("minimised by the window manager");
    case Kind::Restore:
        return QStringLiteral("restored");
    }
    return {};
}

// Lets posted and window-system events through, as the event loop would between two operator
// events, but no timer: the test delivers every tick itself.
void letEventsThrough() { QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers); }

// A key as the window system delivers it to the panel's window (what QTest::keyClick does, minus
// its own turn of the event loop with timers).
void pressKey(QWindow* window, Qt::Key key, const QString& text)
{
    qt_handleKeyEvent(window, QEvent::KeyPress, key, Qt::NoModifier, text);
    qt_handleKeyEvent(window, QEvent::KeyRelease, key, Qt::NoModifier, text);
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint local, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(local), QPointF(widget->mapToGlobal(local)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

QString timeOfDay(const QDateTime& when)
{
    return QStringLiteral("%1:%2")
        .arg(when.time().minute(), 2, 10, QLatin1Char('0'))
        .arg(when.time().second(), 2, 10, QLatin1Char('0'));
}

// One panel from start to close, with its model.
struct Session {
    Panel p;
    std::unique_ptr<ScoreboardModel> model;
    std::array<qint64, 2> defaultPhoto {};
    std::vector<QPoint> background; // points where a press reaches the panel itself
    Qt::MouseButton held = Qt::NoButton;
    QPoint pointer; // global
    int realTicks = 0;
    QString focusMissed; // a control the test could not give the focus to
    bool watchingBackdrop = false;
    int picks = 0;

    bool start()
    {
        p.form->show();
        p.form->activateWindow();
        QDeadlineTimer deadline(5000);
        while (!p.form->isActiveWindow() && !deadline.hasExpired())
            letEventsThrough();
        if (!p.form->isActiveWindow())
            return false;
        model = std::make_unique<ScoreboardModel>(
            p.form->pos(), p.control<QLineEdit>("Text1")->text(), p.control<QLineEdit>("Text2")->text());
        for (int i = 0; i < 2; ++i)
            defaultPhoto[i] = p.control<platform::PictureFrame>(i == 0 ? "Image1" : "Image2")->picture().cacheKey();
        for (int y = 1; y < p.form->height(); y += 9)
            for (int x = 1; x < p.form->width(); x += 9)
                if (!p.form->childAt(x, y))
                    background.emplace_back(x, y);
        // The timers must stay silent; a tick from the event loop would make the run unrepeatable.
        QObject::connect(&p.form->timer1(), &platform::Timer::tick, p.form.get(), [this] { ++realTicks; });
        QObject::connect(&p.form->timer2(), &platform::Timer::tick, p.form.get(), [this] { ++realTicks; });
        return true;
    }

    void watchBackdrop()
    {
        if (watchingBackdrop || !p.form->hasBackdrop())
            return;
        watchingBackdrop = true;
        QObject::connect(
            &p.form->backdrop().frontKeeper(), &platform::Timer::tick, p.form.get(), [this] { ++realTicks; });
    }
};

class Driver {
public:
    explicit Driver(std::uint64_t seed)
        : m_rng(seed)
    {
    }

    int pick(int n) { return int(m_rng() % std::uint64_t(n)); }
    bool chance(int percent) { return pick(100) < percent; }

    Event next(const Session& s)
    {
        const ScoreboardModel& m = *s.model;
        Event e;
        if (m.minimised()) {
            // Only the window manager and the timers reach a minimised panel.
            static constexpr std::array<std::pair<Kind, int>, 6> table { { { Kind::Restore, 40 },
                { Kind::MatchClock, 25 }, { Kind::TimePasses, 5 }, { Kind::WallClock, 15 }, { Kind::FrontKeeper, 10 },
                { Kind::MinimisedByWindowManager, 5 } } };
            e.kind = weighted(table);
        } else if (s.held != Qt::NoButton) {
            static constexpr std::array<std::pair<Kind, int>, 7> table { { { Kind::MouseMove, 55 },
                { Kind::MouseUp, 18 }, { Kind::Key, 10 }, { Kind::MatchClock, 8 }, { Kind::WallClock, 4 },
                { Kind::FrontKeeper, 3 }, { Kind::MinimisedByWindowManager, 2 } } };
            e.kind = weighted(table);
        } else {
            static constexpr std::array<std::pair<Kind, int>, 12> table { { { Kind::Key, 38 }, { Kind::Click, 16 },
                { Kind::Photo, 2 }, { Kind::MouseDown, 6 }, { Kind::MouseMove, 2 }, { Kind::MatchClock, 16 },
                { Kind::TimePasses, 3 }, { Kind::WallClock, 6 }, { Kind::FrontKeeper, 4 },
                { Kind::MinimisedByWindowManager, 1 }, { Kind::Restore, 1 }, { Kind::MouseUp, 1 } } };
            e.kind = weighted(table);
        }
        switch (e.kind) {
        case Kind::Key:
            e.key = pick(3000) == 0 ? kF4 : weightedKey();
            e.focus = focus(m);
            break;
        case Kind::Click:
            // Mostly the score buttons, so matches run long enough to score.
            e.number = pick(1500) == 0 ? 5 : std::array { 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 6, 7, 8, 9 }[pick(16)];
            if (!m.buttonShown(e.number)) // a hidden button cannot be clicked
                e.number = 1 + pick(4);
            break;
        case Kind::Photo:
            e.number = 1 + pick(2);
            e.answer.kind = std::array { PhotoAnswer::Kind::Cancel, PhotoAnswer::Kind::Cancel,
                PhotoAnswer::Kind::Picture, PhotoAnswer::Kind::Picture, PhotoAnswer::Kind::NotAPicture }[pick(5)];
            e.answer.colour = 0xFF000000u | QRgb(m_rng() & 0xFFFFFFu);
            break;
        case Kind::MouseDown:
            e.button = chance(80) ? Qt::LeftButton : Qt::RightButton;
            e.point = s.background[pick(int(s.background.size()))];
            break;
        case Kind::MouseMove:
            e.button = s.held;
            if (s.held == Qt::NoButton) {
                e.point = QPoint(pick(s.p.form->width()), pick(s.p.form->height()));
            } else {
                const int reach = chance(5) ? 300 : 40;
                QPoint pointer = s.pointer + QPoint(pick(2 * reach + 1) - reach, pick(2 * reach + 1) - reach);
                // Keep the panel within reach of the screen.
                pointer.setX(std::clamp(pointer.x(), -400, 1200));
                pointer.setY(std::clamp(pointer.y(), -400, 1000));
                e.point = s.p.form->mapFromGlobal(pointer);
            }
            break;
        case Kind::MouseUp:
            e.button = s.held == Qt::NoButton ? Qt::LeftButton : s.held;
            e.point = s.p.form->mapFromGlobal(s.pointer);
            break;
        case Kind::MatchClock:
        case Kind::TimePasses: {
            static constexpr std::array<std::pair<qint64, int>, 10> steps { { { 1000, 60 }, { 2500, 8 }, { 300, 8 },
                { 999, 5 }, { 1001, 5 }, { 0, 4 }, { 59'000, 4 }, { 61'000, 3 }, { 3'600'000, 2 }, { 1, 1 } } };
            e.ms = weighted(steps);
            break;
        }
        default:
            break;
        }
        return e;
    }

private:
    template <typename T, std::size_t N> T weighted(const std::array<std::pair<T, int>, N>& table)
    {
        int total = 0;
        for (const auto& row : table)
            total += row.second;
        int r = pick(total);
        for (const auto& row : table) {
            if (r < row.second)
                return row.first;
            r -= row.second;
        }
        return table.front().first;
    }

    std::size_t weightedKey()
    {
        int total = 0;
        for (const KeyStroke& k : kKeys)
            total += k.weight;
        int r = pick(total);
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            if (r < kKeys[i].weight)
                return i;
            r -= kKeys[i].weight;
        }
        return 0;
    }

    // A control that can take the focus now: a name box, or a shown and enabled button.
    Focus focus(const ScoreboardModel& m)
    {
        if (chance(70))
            return { Focus::Kind::NameBox, 1 + pick(2) };
        std::vector<int> buttons;
        for (int n = 1; n <= 9; ++n)
            if (m.buttonShown(n) && m.buttonEnabled(n) && n != 5)
                buttons.push_back(n);
        if (m.buttonShown(5) && pick(100) == 0)
            return { Focus::Kind::Button, 5 };
        if (buttons.empty())
            return { Focus::Kind::NameBox, 1 };
        return { Focus::Kind::Button, buttons[pick(int(buttons.size()))] };
    }

    std::mt19937_64 m_rng;
};

// Applies one event to the panel and to the model.
void apply(Session& s, const Event& e)
{
    Panel& p = s.p;
    ScoreboardModel& m = *s.model;
    switch (e.kind) {
    case Kind::Key: {
        const KeyStroke& k = kKeys[e.key];
        const QString text = QString::fromLatin1(k.text);
        const QString target = e.focus.kind == Focus::Kind::NameBox ? QStringLiteral("Text%1").arg(e.focus.number)
                                                                    : QStringLiteral("Command%1").arg(e.focus.number);
        QWidget* control = p.control(qPrintable(target));
        control->setFocus();
        if (auto* box = qobject_cast<QLineEdit*>(control))
            box->end(false); // as if clicked behind the last character
        if (p.form->focusWidget() != control)
            s.focusMissed = target;
        const qint64 now = p.clock.monotonicMs();
        pressKey(p.form->windowHandle(), k.key, text);
        m.key(k.key, text, e.focus, now);
        break;
    }
    case Kind::Click:
        QTest::mouseClick(p.control(qPrintable(QStringLiteral("Command%1").arg(e.number))), Qt::LeftButton);
        m.clickButton(e.number, p.clock.monotonicMs());
        break;
    case Kind::Photo:
        switch (e.answer.kind) {
        case PhotoAnswer::Kind::Cancel:
            p.dialog.answer.clear();
            break;
        case PhotoAnswer::Kind::Picture:
            p.dialog.answer = QStringLiteral("/photos/pick-%1.jpg").arg(++s.picks);
            break;
        case PhotoAnswer::Kind::NotAPicture:
            p.dialog.answer = QStringLiteral("/photos/bad-%1.txt").arg(++s.picks);
            break;
        }
        p.loader.colour = e.answer.colour;
        QTest::mouseClick(p.control(e.number == 1 ? "Image1" : "Image2"), Qt::LeftButton);
        m.clickPhoto(e.number, e.answer);
        break;
    case Kind::MouseDown:
        s.held = e.button;
        s.pointer = p.form->mapToGlobal(e.point);
        sendMouse(p.form.get(), QEvent::MouseButtonPress, e.point, e.button, e.button);
        m.mouseDown(e.button, e.point);
        break;
    case Kind::MouseMove:
        if (s.held != Qt::NoButton)
            s.pointer = p.form->mapToGlobal(e.point);
        sendMouse(p.form.get(), QEvent::MouseMove, e.point, Qt::NoButton, s.held);
        m.mouseMove(e.point);
        break;
    case Kind::MouseUp:
        s.held = Qt::NoButton;
        sendMouse(p.form.get(), QEvent::MouseButtonRelease, e.point, e.button, Qt::NoButton);
        m.mouseUp();
        break;
    case Kind::MatchClock:
        p.clock.advance(e.ms);
        if (p.form->timer1().isEnabled())
            p.form->Timer1_Timer();
        if (m.matchTimerOn())
            m.matchClockTick(p.clock.monotonicMs());
        break;
    case Kind::TimePasses:
        p.clock.advance(e.ms);
        break;
    case Kind::WallClock:
        p.form->Timer2_Timer();
        m.wallClockTick(p.clock.localNow());
        break;
    case Kind::FrontKeeper:
        if (p.form->hasBackdrop())
            p.form->backdrop().Timer1_Timer();
        m.frontKeeperTick();
        break;
    case Kind::MinimisedByWindowManager:
        p.form->setWindowState(Qt::WindowMinimized);
        m.minimisedByWindowManager();
        break;
    case Kind::Restore:
        p.form->setWindowState(Qt::WindowNoState);
        m.restored();
        break;
    }
    letEventsThrough();
    s.watchBackdrop();
}

template <typename T> QString shown(const T& value)
{
    if constexpr (std::is_same_v<T, bool>)
        return value ? QStringLiteral("true") : QStringLiteral("false");
    else if constexpr (std::is_same_v<T, QString>)
        return QLatin1Char('"') + value + QLatin1Char('"');
    else if constexpr (std::is_same_v<T, QPoint>)
        return QStringLiteral("(%1,%2)").arg(value.x()).arg(value.y());
    else
        return QString::number(value);
}

// The first field where the panel differs from the model, or nothing.
QString difference(Session& s)
{
    Panel& p = s.p;
    const ScoreboardModel& m = *s.model;
    QString diff;
    const auto expect = [&diff](const char* field, const auto& expected, const auto& seen) {
        if (diff.isEmpty() && !(expected == seen))
            diff = QStringLiteral("%1: expected %2, saw %3")
                       .arg(QString::fromLatin1(field), shown(expected), shown(seen));
    };
    const auto button = [&p](int n) { return p.control<QPushButton>(qPrintable(QStringLiteral("Command%1").arg(n))); };

    if (s.realTicks != 0)
        return QStringLiteral("a timer ticked from the event loop; the run is not repeatable");
    if (!s.focusMissed.isEmpty())
        return QStringLiteral("the test could not give %1 the focus").arg(s.focusMissed);
    expect("quit requests", m.closed() ? 1 : 0, p.quits);
    expect("panel hidden", m.closed(), p.form->isHidden());
    if (m.closed())
        return diff;
    expect("Command8 caption", m.matchCaption(), button(8)->text());
    expect("Command6 caption", m.fullScreenCaption(), button(6)->text());
    for (int n = 1; n <= 4; ++n)
        expect(qPrintable(QStringLiteral("Command%1 enabled").arg(n)), m.buttonEnabled(n), button(n)->isEnabled());
    for (int n = 5; n <= 9; ++n)
        expect(qPrintable(QStringLiteral("Command%1 shown").arg(n)), m.buttonShown(n), !button(n)->isHidden());
    for (int box = 1; box <= 2; ++box) {
        const auto* edit = p.control<QLineEdit>(box == 1 ? "Text1" : "Text2");
        expect(box == 1 ? "Text1 locked" : "Text2 locked", m.namesLocked(), edit->isReadOnly());
        expect(box == 1 ? "Text1 text" : "Text2 text", m.name(box), edit->text());
    }
    expect("Label1", m.scoreText(1), p.control<platform::Label>("Label1")->text());
    expect("Label2", m.scoreText(2), p.control<platform::Label>("Label2")->text());
    expect("match clock running", m.matchTimerOn(), p.form->timer1().isEnabled());
    expect("panel minimised", m.minimised(), p.form->isMinimized());
    expect("panel position", m.position(), p.form->pos());
    expect("RestoreBackdrop", m.restoreBackdrop(), p.form->restoreBackdrop());
    expect("backdrop exists", m.backdropExists(), p.form->hasBackdrop());
    if (diff.isEmpty() && m.backdropExists()) {
        backdrop::Form2& back = p.form->backdrop();
        expect("backdrop shown", m.backdropShown(), back.isVisible());
        expect("Label_time", m.matchTimeShown(), back.findChild<platform::Label*>("Label_time")->text());
        expect("front keeper on", m.frontKeeperOn(), back.frontKeeper().isEnabled());
        const QString wall = back.findChild<platform::Label*>("Label_T")->text();
        if (m.wallClockShown())
            expect("Label_T shows the time", true, wall.contains(timeOfDay(*m.wallClockShown())));
        else
            expect("Label_T", QString(), wall);
    }
    for (int frame = 1; frame <= 2; ++frame) {
        const QImage& picture = p.control<platform::PictureFrame>(frame == 1 ? "Image1" : "Image2")->picture();
        const bool isDefault = picture.cacheKey() == s.defaultPhoto[frame - 1];
        expect(frame == 1 ? "Image1 default photo" : "Image2 default photo", !m.photo(frame).has_value(), isDefault);
        if (m.photo(frame) && !isDefault)
            expect(frame == 1 ? "Image1 colour" : "Image2 colour", *m.photo(frame), picture.pixel(0, 0));
    }
    expect("dialogs shown", m.dialogShown(), p.dialog.calls);
    expect("pictures loaded", m.picturesLoaded(), int(p.loader.paths.size()));
    return diff;
}

// The offscreen platform cannot raise windows and says so at every front-keeper tick; that says
// nothing about the panel, and thousands of them would drown the report.
QtMessageHandler g_nextHandler = nullptr;
void dropRaiseWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message == QLatin1String("This plugin does not support raise()"))
        return;
    g_nextHandler(type, context, message);
}

// How much of the behaviour a run reached, so a quiet run can be told from a shallow one.
struct Reach {
    int starts = 0;
    int resets = 0;
    std::int64_t topScore = 0;
    std::int64_t longestMatch = 0;
    int catchUps = 0; // ticks that brought more than one second
    int backdropBackOnRestore = 0;
    int restoreAfterFullScreenOff = 0; // RestoreBackdrop 2, full screen switched off meanwhile
    int dragMoves = 0;
    int photosChanged = 0;
    int charactersTyped = 0;

    void note(const ScoreboardModel& before, const ScoreboardModel& after, const Event& e)
    {
        starts
            += before.matchState() == testing::MatchState::Ready && after.matchState() == testing::MatchState::Running;
        resets += before.matchState() == testing::MatchState::Ended && after.matchState() == testing::MatchState::Ready;
        topScore = std::max({ topScore, after.score(1), after.score(2) });
        longestMatch = std::max(longestMatch, after.elapsedSeconds());
        catchUps += after.elapsedSeconds() > before.elapsedSeconds() + 1;
        if (e.kind == Kind::Restore && before.minimised()) {
            backdropBackOnRestore += !before.backdropShown() && after.backdropShown();
            restoreAfterFullScreenOff
                += before.restoreBackdrop() == 2 && before.fullScreenCaption() == QStringLiteral("全屏(F11)");
        }
        dragMoves += after.position() != before.position();
        photosChanged += after.photo(1) != before.photo(1) || after.photo(2) != before.photo(2);
        charactersTyped
            += int(after.name(1).size() + after.name(2).size() - before.name(1).size() - before.name(2).size());
    }
};

std::uint64_t seedFromEnvironment(bool* given)
{
    const QByteArray text = qgetenv("SCOREBOARD_SEED");
    *given = !text.isEmpty();
    return text.toULongLong();
}

} // namespace

class TestRandomSessions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        platform::installFontSubstitutes();
        g_nextHandler = qInstallMessageHandler(dropRaiseWarnings);
    }

    void cleanupTestCase() { qInstallMessageHandler(g_nextHandler); }

    void sessions_data()
    {
        QTest::addColumn<quint64>("seed");
        QTest::addColumn<int>("events");
        bool given = false;
        const std::uint64_t seed = seedFromEnvironment(&given);
        const int events = qEnvironmentVariableIsSet("SCOREBOARD_EVENTS")
            ? qEnvironmentVariableIntValue("SCOREBOARD_EVENTS")
            : kEventsPerSeed;
        if (given) {
            QTest::addRow("seed %llu", static_cast<unsigned long long>(seed)) << quint64(seed) << events;
            return;
        }
        for (std::uint64_t s : kSeeds)
            QTest::addRow("seed %llu", static_cast<unsigned long long>(s)) << quint64(s) << events;
    }

    void sessions()
    {
        QFETCH(quint64, seed);
        QFETCH(int, events);
        Driver driver(seed);
        struct Past {
            Event event;
            int session = 0;
        };
        std::array<Past, kHistory> history;
        int sessions = 0;
        Reach reach;
        QElapsedTimer took;
        took.start();

        auto session = std::make_unique<Session>();
        QVERIFY2(session->start(), "the panel never became active");
        ++sessions;
        for (int i = 0; i < events; ++i) {
            if (session->model->closed()) {
                session = std::make_unique<Session>();
                QVERIFY2(session->start(), "the panel never became active");
                ++sessions;
            }
            const Event e = driver.next(*session);
            history[std::size_t(i % kHistory)] = { e, sessions };
            const ScoreboardModel before = *session->model;
            apply(*session, e);
            reach.note(before, *session->model, e);
            const QString diff = difference(*session);
            if (!diff.isEmpty()) {
                QString report = QStringLiteral("seed %1, event %2 (%3), session %4: %5\nlast events:\n")
                                     .arg(seed)
                                     .arg(i)
                                     .arg(describe(e))
                                     .arg(sessions)
                                     .arg(diff);
                for (int j = std::max(0, i - kHistory + 1); j <= i; ++j) {
                    const Past& past = history[std::size_t(j % kHistory)];
                    report
                        += QStringLiteral("  %1  session %2  %3\n").arg(j).arg(past.session).arg(describe(past.event));
                }
                QFAIL(qPrintable(report));
            }
        }
        qInfo(
            "seed %llu: %d events in %d sessions, %lld ms; %d matches started, %d reset, top score %lld, longest match "
            "%lld s, %d catch-up ticks, backdrop back on restore %d times, restore after full screen off %d times, "
            "%d drag moves, %d photo changes, %d characters typed",
            static_cast<unsigned long long>(seed), events, sessions, took.elapsed(), reach.starts, reach.resets,
            static_cast<long long>(reach.topScore), static_cast<long long>(reach.longestMatch), reach.catchUps,
            reach.backdropBackOnRestore, reach.restoreAfterFullScreenOff, reach.dragMoves, reach.photosChanged,
            reach.charactersTyped);
    }
};

QTEST_MAIN(TestRandomSessions)
#include "test_random_sessions.moc"
