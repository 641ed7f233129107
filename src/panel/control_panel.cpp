#include "panel/control_panel.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QWindow>

#include <variant>

#include "panel/key_map.h"
#include "panel/panel_layout.h"
#include "platform/controls/build_controls.h"
#include "platform/desktop/window_system.h"

namespace panel {

using match::MatchState;
using match::Player;

namespace {
    constexpr int kClockIntervalMs = 1000;
    const QString kFullScreenOff = QStringLiteral("全屏(F11)");
    const QString kFullScreenOn = QStringLiteral("还原(F11)");
    const QString kDefaultPhoto = QStringLiteral(":/assets/default_photo.jpg");

    // Which control runs which of the panel's commands, as the key map says for keys.
    using Signal = std::variant<void (QAbstractButton::*)(bool), void (controls::PictureFrame::*)()>;
    struct Wiring {
        const char* control;
        Signal signal;
        PanelAction action;
    };
    const std::array kWiring {
        Wiring { "Command1", &QAbstractButton::clicked, &ControlPanel::addPointForPlayer1 },
        Wiring { "Command2", &QAbstractButton::clicked, &ControlPanel::takePointFromPlayer1 },
        Wiring { "Command3", &QAbstractButton::clicked, &ControlPanel::addPointForPlayer2 },
        Wiring { "Command4", &QAbstractButton::clicked, &ControlPanel::takePointFromPlayer2 },
        Wiring { "Command5", &QAbstractButton::clicked, &ControlPanel::closeProgram },
        Wiring { "Command6", &QAbstractButton::clicked, &ControlPanel::toggleFullScreen },
        Wiring { "Command7", &QAbstractButton::clicked, &ControlPanel::minimise },
        Wiring { "Command8", &QAbstractButton::clicked, &ControlPanel::startOrEndMatch },
        Wiring { "Command9", &QAbstractButton::clicked, &ControlPanel::toggleWindowButtons },
        Wiring { "Image1", &controls::PictureFrame::clicked, &ControlPanel::choosePhotoForPlayer1 },
        Wiring { "Image2", &controls::PictureFrame::clicked, &ControlPanel::choosePhotoForPlayer2 },
    };

    // The class that sends a signal.
    template <typename> struct SenderOf;
    template <typename Sender, typename... Arguments> struct SenderOf<void (Sender::*)(Arguments...)> {
        using type = Sender;
    };

    // The controls the panel writes into, by design name.
    constexpr std::array kScoreButtons { "Command1", "Command2", "Command3", "Command4" };
    constexpr std::array kWindowButtons { "Command5", "Command6", "Command7", "Command8", "Command9" };
    constexpr std::array kNameBoxes { "Text1", "Text2" };
    constexpr std::array kScoreLabels { "Label1", "Label2" };
    constexpr std::array kPhotoFrames { "Image1", "Image2" };

    template <typename Control, std::size_t N>
    std::array<Control*, N> named(const QWidget& window, const std::array<const char*, N>& names)
    {
        std::array<Control*, N> found {};
        for (std::size_t i = 0; i < N; ++i)
            found[i] = window.findChild<Control*>(QLatin1String(names[i]), Qt::FindDirectChildrenOnly);
        return found;
    }
} // namespace

ControlPanel::ControlPanel(Services services)
    : controls::Form(panelDesign())
    , m_services(std::move(services))
    , m_matchClockTimer(this, QStringLiteral("Timer1"), kClockIntervalMs, false)
    , m_wallClockTimer(this, QStringLiteral("Timer2"), kClockIntervalMs, true)
{
    controls::buildControls(this, panelControls());
    setFixedSize(size());
    // The taskbar's icon follows the panel's first frame by a few milliseconds: decoding it would hold the frame up.
    desktop::afterNextFrame(this, [this] {
        setWindowIcon(desktop::iconFromPngFiles({ QStringLiteral(":/assets/icons/hicolor/32x32/apps/scoreboard.png"),
            QStringLiteral(":/assets/icons/hicolor/48x48/apps/scoreboard.png"),
            QStringLiteral(":/assets/icons/hicolor/64x64/apps/scoreboard.png"),
            QStringLiteral(":/assets/icons/hicolor/256x256/apps/scoreboard.png") }));
    });

    m_scoreButtons = named<QPushButton>(*this, kScoreButtons);
    m_windowButtons = named<QPushButton>(*this, kWindowButtons);
    m_fullScreenButton = m_windowButtons[1];
    m_matchButton = m_windowButtons[3];
    m_nameBoxes = named<QLineEdit>(*this, kNameBoxes);
    m_scoreLabels = named<controls::Label>(*this, kScoreLabels);
    m_photoFrames = named<controls::PictureFrame>(*this, kPhotoFrames);
    for (const Wiring& wiring : kWiring)
        std::visit(
            [this, &wiring](auto signal) {
                using Sender = typename SenderOf<decltype(signal)>::type;
                connect(findChild<Sender*>(QLatin1String(wiring.control)), signal, this, wiring.action);
            },
            wiring.signal);
    connect(&m_matchClockTimer, &QTimer::timeout, this, &ControlPanel::advanceMatchClock);
    connect(&m_wallClockTimer, &QTimer::timeout, this, &ControlPanel::showWallClock);

    m_photos = std::make_unique<Photos>(m_services.pictureLoader, m_photoFrames);
    // One decode for both frames, at their size, as a picked photo is: the picture is shared until a frame gets a
    // photo of its own.
    const QImage defaultPhoto
        = photo::FilePictureLoader().load(kDefaultPhoto, m_photoFrames[0]->size(), devicePixelRatioF());
    for (controls::PictureFrame* frame : m_photoFrames) {
        frame->setPicture(defaultPhoto);
        connect(frame, &controls::PictureFrame::fileDropped, this,
            [this, frame](const QString& path) { loadPhoto(frame, path); });
    }

    // Key preview: the panel's window sees every key before the focused control does.
    winId();
    windowHandle()->installEventFilter(this);
    desktop::closeWhenDestroyedOutside(this);
    centreOnScreen();
}

ControlPanel::~ControlPanel() = default;

backdrop::Backdrop& ControlPanel::backdrop()
{
    if (!m_backdrop)
        m_backdrop = std::make_unique<backdrop::Backdrop>([this] { showInFront(); }, [this] { closeProgram(); });
    return *m_backdrop;
}

// --- the match -------------------------------------------------------------------------------

void ControlPanel::startOrEndMatch()
{
    const MatchState before = m_match.state();
    m_match.advance();
    if (m_match.isRunning())
        m_schedule.start(m_services.clock.monotonicMs());
    m_matchClockTimer.setEnabled(m_match.isRunning());
    if (before == MatchState::Ended) {
        showScore(Player::One);
        showScore(Player::Two);
        backdrop().setMatchTime(QString());
    }
    showMatchState();
}

void ControlPanel::showMatchState()
{
    for (QLineEdit* box : m_nameBoxes)
        box->setReadOnly(m_match.state() != MatchState::Ready);
    for (QPushButton* button : m_scoreButtons)
        button->setEnabled(m_match.isRunning());
    m_matchButton->setText(QString::fromUtf8(match::stateCaption(m_match.state())));
}

void ControlPanel::addPointForPlayer1()
{
    m_match.addPoint(Player::One);
    showScore(Player::One);
}

void ControlPanel::takePointFromPlayer1()
{
    m_match.removePoint(Player::One);
    showScore(Player::One);
}

void ControlPanel::addPointForPlayer2()
{
    m_match.addPoint(Player::Two);
    showScore(Player::Two);
}

void ControlPanel::takePointFromPlayer2()
{
    m_match.removePoint(Player::Two);
    showScore(Player::Two);
}

void ControlPanel::showScore(Player player)
{
    m_scoreLabels[player == Player::One ? 0 : 1]->setText(QString::fromStdString(m_match.scoreText(player)));
}

// --- the clocks ------------------------------------------------------------------------------

void ControlPanel::advanceMatchClock()
{
    const qint64 now = m_services.clock.monotonicMs();
    const qint64 due = m_schedule.takeDue(now);
    for (qint64 i = 0; i < due; ++i)
        m_match.tick();
    if (due > 0)
        backdrop().setMatchTime(QString::fromStdString(m_match.clock().text()));
    m_matchClockTimer.setNextTickIn(static_cast<int>(m_schedule.msUntilNext(now)));
}

void ControlPanel::showWallClock()
{
    const QDateTime now = m_services.clock.localNow();
    backdrop().setWallClock(desktop::dateTimeText(now));
    // Tick just after each turn of the second, so the shown seconds change when the real ones do.
    m_wallClockTimer.setNextTickIn(kClockIntervalMs - now.time().msec() + 1);
}

// --- window commands -------------------------------------------------------------------------

void ControlPanel::closeProgram()
{
    if (m_backdrop)
        m_backdrop->hide();
    hide();
    m_services.quit();
}

void ControlPanel::toggleFullScreen()
{
    m_fullScreen = !m_fullScreen;
    backdrop::Backdrop& back = backdrop();
    // Shown before the panel is kept above it: a compositor keeps the panel in front only of a shown window.
    back.setShownOn(screen(), m_fullScreen);
    keepInFrontOfBackdrop(m_fullScreen);
    m_fullScreenButton->setText(m_fullScreen ? kFullScreenOn : kFullScreenOff);
    if (m_fullScreen)
        back.frontKeeper().setEnabled(true);
}

void ControlPanel::keepInFrontOfBackdrop(bool on)
{
    // Only while the backdrop is up: an owned window may lose its taskbar button, and the
    // operator needs that button to bring a minimised panel back.
    desktop::setKeptAbove(this, on ? &backdrop() : nullptr);
}

void ControlPanel::minimise()
{
    keepInFrontOfBackdrop(false);
    desktop::minimise(this, [this] { showBackdropAgainIfRestored(); });
    backdrop().setShownOn(screen(), false);
    m_backdropReturnsOnRestore = m_fullScreen;
}

void ControlPanel::showBackdropAgainIfRestored()
{
    // Only while full-screen mode is still on: a restore must never bring back a backdrop whose
    // button says it is off.
    if (!desktop::isMinimised(this) && (windowState() & Qt::WindowMaximized) == 0 && m_backdropReturnsOnRestore
        && m_fullScreen) {
        backdrop().setShownOn(screen(), true);
        keepInFrontOfBackdrop(true);
    }
}

void ControlPanel::toggleWindowButtons()
{
    m_buttonsHidden = !m_buttonsHidden;
    for (QPushButton* button : m_windowButtons)
        button->setVisible(!m_buttonsHidden);
}

// --- photos ----------------------------------------------------------------------------------

void ControlPanel::choosePhotoForPlayer1() { choosePhoto(m_photoFrames[0]); }

void ControlPanel::choosePhotoForPlayer2() { choosePhoto(m_photoFrames[1]); }

void ControlPanel::choosePhoto(controls::PictureFrame* frame)
{
    const QString path = m_services.fileDialog.chooseFile(this);
    if (!path.isEmpty())
        loadPhoto(frame, path);
}

void ControlPanel::loadPhoto(controls::PictureFrame* frame, const QString& path)
{
    m_photos->load(frame, path, devicePixelRatioF());
}

// --- events ----------------------------------------------------------------------------------

bool ControlPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == windowHandle() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (const auto action = actionForKey(key->key(), key->text(), key->modifiers(), m_match.state()))
            (this->**action)();
    }
    // The key still goes on to the focused control, so a typed name stays typed.
    return controls::Form::eventFilter(watched, event);
}

void ControlPanel::changeEvent(QEvent* event)
{
    controls::Form::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        showBackdropAgainIfRestored();
}

void ControlPanel::closeEvent(QCloseEvent* event)
{
    // A close from outside (the window manager, the end of the session) is the close command. Left to Qt, the panel
    // would only hide, and with full screen on the backdrop would bring it back with the program still running.
    event->accept();
    closeProgram();
}

void ControlPanel::resizeEvent(QResizeEvent* event)
{
    controls::Form::resizeEvent(event);
    showBackdropAgainIfRestored();
}

void ControlPanel::mousePressEvent(QMouseEvent* event)
{
    // A Wayland compositor moves the panel with the pointer; elsewhere the panel moves itself.
    if (event->button() == Qt::LeftButton && desktop::startCompositorMove(this))
        return;
    m_drag.press(event->button(), event->globalPosition(), pos());
}

void ControlPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (const auto topLeft = m_drag.move(event->globalPosition()))
        move(*topLeft);
}

void ControlPanel::mouseReleaseEvent(QMouseEvent*) { m_drag.release(); }

} // namespace panel
