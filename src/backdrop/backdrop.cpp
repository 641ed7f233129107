#include "backdrop/backdrop.h"

#include <QCloseEvent>
#include <QEvent>
#include <QHideEvent>

#include "backdrop/backdrop_layout.h"
#include "platform/controls/build_controls.h"
#include "platform/controls/label.h"
#include "platform/controls/resizer.h"
#include "platform/desktop/window_system.h"

namespace backdrop {

namespace {
    constexpr int kFrontKeeperMs = 100;
}

Backdrop::Backdrop(std::function<void()> showPanel, std::function<void()> closeProgram)
    : controls::Form(backdropDesign())
    , m_showPanel(std::move(showPanel))
    , m_closeProgram(std::move(closeProgram))
    , m_frontKeeper(this, QStringLiteral("Timer1"), kFrontKeeperMs, true)
{
    controls::buildControls(this, backdropControls());
    const controls::FormDesign& design = backdropDesign();
    new controls::ProportionalResizer(this, design.clientWidth, design.clientHeight, backdropControls());
    connect(&m_frontKeeper, &QTimer::timeout, this, &Backdrop::keepPanelInFrontOnce);
    // Make the native window now, while nobody is waiting, so going full screen only maps it.
    setAttribute(Qt::WA_NativeWindow);
    winId();
    desktop::closeWhenDestroyedOutside(this);
}

void Backdrop::setMatchTime(const QString& text)
{
    findChild<controls::Label*>(QStringLiteral("Label_time"))->setText(text);
}

void Backdrop::setWallClock(const desktop::DateTimeText& text)
{
    // Date above time, as the label is laid out, even where the time itself holds a blank.
    findChild<controls::Label*>(QStringLiteral("Label_T"))
        ->setText(text.date + QLatin1Char('\n') + text.time, text.direction);
}

void Backdrop::setShownOn(QScreen* screen, bool shown)
{
    if (shown)
        desktop::showCovering(this, screen);
    else
        hide();
}

bool Backdrop::event(QEvent* event)
{
    const bool handled = controls::Form::event(event);
    // No control here takes the focus, so activation is the window's own focus. An activation that arrives after
    // the backdrop was hidden (the program closing, say) is no focus, and must not bring the panel back.
    if (event->type() == QEvent::WindowActivate && isVisible())
        m_showPanel();
    return handled;
}

void Backdrop::closeEvent(QCloseEvent* event)
{
    // Frameless, but a window manager or a session can still ask it to close; hidden alone, it would leave the
    // program running behind a panel that may be minimised.
    event->accept();
    m_closeProgram();
}

void Backdrop::hideEvent(QHideEvent* event)
{
    // Hidden, it has nothing to keep the panel in front of: a tick still due would bring back a panel that was just
    // closed or minimised.
    m_frontKeeper.setEnabled(false);
    controls::Form::hideEvent(event);
}

void Backdrop::keepPanelInFrontOnce()
{
    m_showPanel();
    m_frontKeeper.setEnabled(false);
}

} // namespace backdrop
