#include "panel/form1.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QWindow>

#include "panel/form1_layout.h"

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

Form1::Form1(Services services)
    : platform::Form(form1Design())
    , m_services(std::move(services))
    , m_timer1(this, QStringLiteral("Timer1"), kClockIntervalMs, false)
    , m_timer2(this, QStringLiteral("Timer2"), kClockIntervalMs, true)
{
    platform::buildControls(this, form1Controls());
    setFixedSize(size());
    setWindowIcon(platform::iconFromPngFiles({ QStringLiteral(":/assets/icons/hicolor/32x32/apps/scoreboard.png"),
        QStringLiteral(":/assets/icons/hicolor/48x48/apps/scoreboard.png"),
        QStringLiteral(":/assets/icons/hicolor/64x64/apps/scoreboard.png"),
        QStringLiteral(":/assets/icons/hicolor/256x256/apps/scoreboard.png") }));

    for (int i = 1; i <= 9; ++i)
        m_command[i] = findChild<QPushButton*>(QStringLiteral("Command%1").arg(i));
    // One decode for both frames: the picture is shared until a frame gets a photo of its own.
    const QImage defaultPhoto(kDefaultPhoto);
    for (int i = 0; i < 2; ++i) {
        m_text[i] = findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i + 1));
        m_score[i] = findChild<platform::Label*>(QStringLiteral("Label%1").arg(i + 1));
        m_image[i] = findChild<platform::PictureFrame*>(QStringLiteral("Image%1").arg(i + 1));
        m_image[i]->setPicture(defaultPhoto);
    }

    const std::array<void (Form1::*)(), 10> clicks { nullptr, &Form1::Command1_Click, &Form1::Command2_Click,
        &Form1::Command3_Click, &Form1::Command4_Click, &Form1::Command5_Click, &Form1::Command6_Click,
        &Form1::Command7_Click, &Form1::Command8_Click, &Form1::Command9_Click };
    for (int i = 1; i <= 9; ++i)
        connect(m_command[i], &QPushButton::clicked, this, clicks[i]);
    connect(m_image[0], &platform::PictureFrame::clicked, this, &Form1::Image1_Click);
    connect(m_image[1], &platform::PictureFrame::clicked, this, &Form1::Image2_Click);
    for (platform::PictureFrame* frame : m_image)
        connect(frame, &platform::PictureFrame::fileDropped, this,
            [this, frame](const QString& path) { loadPhoto(frame, path); });
    connect(&m_timer1, &platform::Timer::tick, this, &Form1::Timer1_Timer);
    connect(&m_timer2, &platform::Timer::tick, this, &Form1::Timer2_Timer);

    // Key preview: the panel's window sees every key before the focused control does.
    winId();
    windowHandle()->installEventFilter(this);
    platform::closeWhenDestroyedOutside(this);
    centreOnScreen();
}

Form1::~Form1() = default;

backdrop::Form2& Form1::backdrop()
{
    if (!m_backdrop)
        m_backdrop = std::make_unique<backdrop::Form2>([this] { showInFront(); }, [this] { Command5_Click(); });
    return *m_backdrop;
}

void Form1::run(Command command)
{
    switch (command) {
    case Command::HideButtons:
        return Command9_Click();
    case Command::Minimise:
        return Command7_Click();
    case Command::Close:
        return Command5_Click();
    case Command::MatchButton:
        return Command8_Click();
    case Command::FullScreen:
        return Command6_Click();
    case Command::Player1Up:
        return Command1_Click();
    case Command::Player1Down:
        return Command2_Click();
    case Command::Player2Up:
        return Command3_Click();
    case Command::Player2Down:
        return Command4_Click();
    }
}

// --- the match -------------------------------------------------------------------------------

void Form1::Command8_Click()
{
    const MatchState before = m_match.state();
    m_match.advance();
    if (m_match.state() == MatchState::Running) {
        m_schedule.start(m_services.clock.monotonicMs());
        m_timer1.setEnabled(true);
    } else {
        m_timer1.setEnabled(false);
    }
    if (before == MatchState::Ended) {
        showScore(Player::One);
        showScore(Player::Two);
        backdrop().setMatchTime(QString());
    }
    showMatchState();
}

void Form1::showMatchState()
{
    const bool running = m_match.isRunning();
    for (QLineEdit* box : m_text)
        box->setReadOnly(m_match.state() != MatchState::Ready);
    for (int i = 1; i <= 4; ++i)
        m_command[i]->setEnabled(running);
    m_command[8]->setText(QString::fromUtf8(match::stateCaption(m_match.state())));
}

void Form1::Command1_Click()
{
    m_match.addPoint(Player::One);
    showScore(Player::One);
}

void Form1::Command2_Click()
{
    m_match.removePoint(Player::One);
    showScore(Player::One);
}

void Form1::Command3_Click()
{
    m_match.addPoint(Player::Two);
    showScore(Player::Two);
}

void Form1::Command4_Click()
{
    m_match.removePoint(Player::Two);
    showScore(Player::Two);
}

void Form1::showScore(Player player)
{
    m_score[player == Player::One ? 0 : 1]->setText(QString::fromStdString(m_match.scoreText(player)));
}

// --- the clocks ------------------------------------------------------------------------------

void Form1::Timer1_Timer()
{
    const qint64 now = m_services.clock.monotonicMs();
    const qint64 due = m_schedule.takeDue(now);
    for (qint64 i = 0; i < due; ++i)
        m_match.tick();
    if (due > 0)
        backdrop().setMatchTime(QString::fromStdString(m_match.clock().text()));
    m_timer1.setNextTickIn(static_cast<int>(m_schedule.msUntilNext(now)));
}

void Form1::Timer2_Timer()
{
    const QDateTime now = m_services.clock.localNow();
    backdrop().setWallClock(platform::dateTimeText(now));
    // Tick just after each turn of the second, so the shown seconds change when the real ones do.
    m_timer2.setNextTickIn(kClockIntervalMs - now.time().msec() + 1);
}

// --- window commands -------------------------------------------------------------------------

void Form1::Command5_Click()
{
    if (m_backdrop)
        m_backdrop->hide();
    hide();
    m_services.quit();
}

void Form1::Command6_Click()
{
    m_fullScreen = !m_fullScreen;
    backdrop::Form2& back = backdrop();
    if (m_fullScreen) {
        // The backdrop is shown first: a compositor keeps the panel in front only of a shown window.
        back.setShownOn(screen(), true);
        keepInFrontOfBackdrop(true);
        m_command[6]->setText(kFullScreenOn);
        back.frontKeeper().setEnabled(true);
    } else {
        back.setShownOn(screen(), false);
        keepInFrontOfBackdrop(false);
        m_command[6]->setText(kFullScreenOff);
    }
}

void Form1::keepInFrontOfBackdrop(bool on)
{
    // Only while the backdrop is up: an owned window may lose its taskbar button, and the
    // operator needs that button to bring a minimised panel back.
    platform::setKeptAbove(this, on ? &backdrop() : nullptr);
}

void Form1::Command7_Click()
{
    keepInFrontOfBackdrop(false);
    setWindowState(windowState() | Qt::WindowMinimized);
    backdrop().setShownOn(screen(), false);
    m_restoreBackdrop = m_fullScreen ? 2 : 0;
}

void Form1::Form_Resize()
{
    // Only while full-screen mode is still on: a restore must never bring back a backdrop whose
    // button says it is off.
    if ((windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) == 0 && m_restoreBackdrop == 2 && m_fullScreen) {
        backdrop().setShownOn(screen(), true);
        keepInFrontOfBackdrop(true);
    }
}

void Form1::Command9_Click()
{
    m_buttonsHidden = !m_buttonsHidden;
    for (int i = 5; i <= 9; ++i)
        m_command[i]->setVisible(!m_buttonsHidden);
}

// --- photos ----------------------------------------------------------------------------------

void Form1::Image1_Click() { choosePhoto(m_image[0]); }

void Form1::Image2_Click() { choosePhoto(m_image[1]); }

void Form1::choosePhoto(platform::PictureFrame* frame)
{
    const QString path = m_services.fileDialog.chooseFile(this);
    if (!path.isEmpty())
        loadPhoto(frame, path);
}

void Form1::loadPhoto(platform::PictureFrame* frame, const QString& path)
{
    const QImage picture = m_services.pictureLoader.load(path, frame->size(), devicePixelRatioF());
    if (!picture.isNull())
        frame->setPicture(picture);
}

// --- events ----------------------------------------------------------------------------------

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == windowHandle() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (const auto command = commandForKey(key->key(), key->text(), m_match.state()))
            run(*command);
    }
    // The key still goes on to the focused control, so a typed name stays typed.
    return platform::Form::eventFilter(watched, event);
}

void Form1::changeEvent(QEvent* event)
{
    platform::Form::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void Form1::closeEvent(QCloseEvent* event)
{
    // A close from outside (the window manager, the end of the session) is the close command. Left to Qt, the panel
    // would only hide, and with full screen on the backdrop would bring it back with the program still running.
    event->accept();
    Command5_Click();
}

void Form1::resizeEvent(QResizeEvent* event)
{
    platform::Form::resizeEvent(event);
    Form_Resize();
}

void Form1::mousePressEvent(QMouseEvent* event)
{
    // Where the platform may not place windows (Wayland), the compositor moves the panel.
    if (event->button() == Qt::LeftButton && platform::isWayland() && windowHandle()
        && windowHandle()->startSystemMove())
        return;
    m_drag.mouseDown(event->button(), event->position() * platform::kTwipsPerPixel);
}

void Form1::mouseMoveEvent(QMouseEvent* event)
{
    if (const auto topLeft = m_drag.mouseMove(event->position() * platform::kTwipsPerPixel, toTwips(pos())))
        move(platform::twipsToPixels(topLeft->x()), platform::twipsToPixels(topLeft->y()));
}

void Form1::mouseReleaseEvent(QMouseEvent*) { m_drag.mouseUp(); }

} // namespace panel
