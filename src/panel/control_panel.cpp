#include "panel/control_panel.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QWindow>

#include "panel/key_map.h"
#include "panel/panel_layout.h"
#include "platform/window_system.h"

namespace panel {

using match::MatchState;
using match::Player;

namespace {
    constexpr int kClockIntervalMs = 1000;
    const QString kFullScreenOff = QStringLiteral("全屏(F11)");
    const QString kFullScreenOn = QStringLiteral("还原(F11)");
    const QString kDefaultPhoto = QStringLiteral(":/assets/default_photo.jpg");

    QPoint toTwips(QPoint pixels) { return pixels * platform::kTwipsPerPixel; }
} // namespace

ControlPanel::ControlPanel(Services services)
    : platform::Form(panelDesign())
    , m_services(std::move(services))
    , m_matchClockTimer(this, QStringLiteral("Timer1"), kClockIntervalMs, false)
    , m_wallClockTimer(this, QStringLiteral("Timer2"), kClockIntervalMs, true)
{
    platform::buildControls(this, panelControls());
    setFixedSize(size());
    setWindowIcon(platform::iconFromPngFiles({ QStringLiteral(":/assets/icons/hicolor/32x32/apps/scoreboard.png"),
        QStringLiteral(":/assets/icons/hicolor/48x48/apps/scoreboard.png"),
        QStringLiteral(":/assets/icons/hicolor/64x64/apps/scoreboard.png"),
        QStringLiteral(":/assets/icons/hicolor/256x256/apps/scoreboard.png") }));

    const auto button = [this](const char* name) { return findChild<QPushButton*>(QLatin1String(name)); };
    m_matchButton = button("Command8");
    m_fullScreenButton = button("Command6");
    m_scoreButtons = { button("Command1"), button("Command2"), button("Command3"), button("Command4") };
    m_windowButtons = { button("Command5"), button("Command6"), button("Command7"), m_matchButton, button("Command9") };
    m_nameBoxes = { findChild<QLineEdit*>(QStringLiteral("Text1")), findChild<QLineEdit*>(QStringLiteral("Text2")) };
    m_scoreLabels = { findChild<platform::Label*>(QStringLiteral("Label1")),
        findChild<platform::Label*>(QStringLiteral("Label2")) };
    m_photoFrames = { findChild<platform::PictureFrame*>(QStringLiteral("Image1")),
        findChild<platform::PictureFrame*>(QStringLiteral("Image2")) };

    m_photos = std::make_unique<Photos>(m_services.pictureLoader, m_photoFrames);
    // One decode for both frames: the picture is shared until a frame gets a photo of its own.
    const QImage defaultPhoto(kDefaultPhoto);
    for (platform::PictureFrame* frame : m_photoFrames) {
        frame->setPicture(defaultPhoto);
        connect(frame, &platform::PictureFrame::fileDropped, this,
            [this, frame](const QString& path) { loadPhoto(frame, path); });
    }
    connect(m_scoreButtons[0], &QPushButton::clicked, this, &ControlPanel::addPointForPlayer1);
    connect(m_scoreButtons[1], &QPushButton::clicked, this, &ControlPanel::takePointFromPlayer1);
    connect(m_scoreButtons[2], &QPushButton::clicked, this, &ControlPanel::addPointForPlayer2);
    connect(m_scoreButtons[3], &QPushButton::clicked, this, &ControlPanel::takePointFromPlayer2);
    connect(button("Command5"), &QPushButton::clicked, this, &ControlPanel::closeProgram);
    connect(m_fullScreenButton, &QPushButton::clicked, this, &ControlPanel::toggleFullScreen);
    connect(button("Command7"), &QPushButton::clicked, this, &ControlPanel::minimise);
    connect(m_matchButton, &QPushButton::clicked, this, &ControlPanel::startOrEndMatch);
    connect(button("Command9"), &QPushButton::clicked, this, &ControlPanel::toggleWindowButtons);
    connect(m_photoFrames[0], &platform::PictureFrame::clicked, this, &ControlPanel::choosePhotoForPlayer1);
    connect(m_photoFrames[1], &platform::PictureFrame::clicked, this, &ControlPanel::choosePhotoForPlayer2);
    connect(&m_matchClockTimer, &platform::Timer::tick, this, &ControlPanel::advanceMatchClock);
    connect(&m_wallClockTimer, &platform::Timer::tick, this, &ControlPanel::showWallClock);

    // Key preview: the panel's window sees every key before the focused control does.
    winId();
    windowHandle()->installEventFilter(this);
    platform::closeWhenDestroyedOutside(this);
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
    backdrop().setWallClock(platform::dateTimeText(now));
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
    platform::setKeptAbove(this, on ? &backdrop() : nullptr);
}

void ControlPanel::minimise()
{
    keepInFrontOfBackdrop(false);
    setWindowState(windowState() | Qt::WindowMinimized);
    backdrop().setShownOn(screen(), false);
    m_backdropReturnsOnRestore = m_fullScreen;
}

void ControlPanel::showBackdropAgainIfRestored()
{
    // Only while full-screen mode is still on: a restore must never bring back a backdrop whose
    // button says it is off.
    if ((windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) == 0 && m_backdropReturnsOnRestore
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

void ControlPanel::choosePhoto(platform::PictureFrame* frame)
{
    const QString path = m_services.fileDialog.chooseFile(this);
    if (!path.isEmpty())
        loadPhoto(frame, path);
}

void ControlPanel::loadPhoto(platform::PictureFrame* frame, const QString& path)
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
    return platform::Form::eventFilter(watched, event);
}

void ControlPanel::changeEvent(QEvent* event)
{
    platform::Form::changeEvent(event);
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
    platform::Form::resizeEvent(event);
    showBackdropAgainIfRestored();
}

void ControlPanel::mousePressEvent(QMouseEvent* event)
{
    // Where the platform may not place windows (Wayland), the compositor moves the panel.
    if (event->button() == Qt::LeftButton && platform::isWayland() && windowHandle()
        && windowHandle()->startSystemMove())
        return;
    // A move is measured from where the window and the pointer were at the press. A window manager moves the
    // window a little after it is asked to, so a pointer read against the window's newest place would count a
    // step the window has not made yet, and a busy panel would run ahead of the pointer.
    m_pressTopLeft = pos();
    m_pressInsideOrigin = event->globalPosition() - event->position();
    m_drag.mouseDown(event->button(), event->position() * platform::kTwipsPerPixel);
}

void ControlPanel::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF pointer = event->globalPosition() - m_pressInsideOrigin;
    if (const auto topLeft = m_drag.mouseMove(pointer * platform::kTwipsPerPixel, toTwips(m_pressTopLeft)))
        move(platform::twipsToPixels(topLeft->x()), platform::twipsToPixels(topLeft->y()));
}

void ControlPanel::mouseReleaseEvent(QMouseEvent*) { m_drag.mouseUp(); }

} // namespace panel
