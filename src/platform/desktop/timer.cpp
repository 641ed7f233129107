#include "platform/desktop/timer.h"

namespace desktop {

Timer::Timer(QObject* parent, const QString& name, int intervalMs, bool enabled)
    : QTimer(parent)
    , m_interval(intervalMs)
{
    setObjectName(name);
    // Precise and single-shot: each tick is armed anew, so a late tick never drags the next ones. Armed before the
    // owner's handlers run, which may bring the next tick forward or switch the timer off.
    setTimerType(Qt::PreciseTimer);
    setSingleShot(true);
    connect(this, &QTimer::timeout, this, [this] { start(m_interval); });
    setEnabled(enabled);
}

void Timer::setEnabled(bool enabled)
{
    if (enabled == isActive())
        return;
    if (enabled)
        start(m_interval);
    else
        stop();
}

void Timer::setNextTickIn(int ms)
{
    if (isActive())
        start(ms);
}

} // namespace desktop
