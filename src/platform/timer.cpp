#include "platform/timer.h"

namespace platform {

Timer::Timer(QObject* parent, const QString& name, int intervalMs, bool enabled)
    : QObject(parent)
    , m_interval(intervalMs)
{
    setObjectName(name);
    // Precise and single-shot: each tick is armed anew, so a late tick never drags the next ones.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Timer::fire);
    setEnabled(enabled);
}

void Timer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (enabled)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

void Timer::setNextTickIn(int ms)
{
    if (m_enabled)
        m_timer.start(ms);
}

void Timer::fire()
{
    if (!m_enabled)
        return;
    m_timer.start(m_interval);
    Q_EMIT tick();
}

} // namespace platform
