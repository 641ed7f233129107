#include "match/tick_schedule.h"

namespace match {

namespace {
    constexpr std::int64_t kTickMs = 1000;
}

void TickSchedule::start(std::int64_t nowMs)
{
    m_startMs = nowMs;
    m_delivered = 0;
}

// The clock is monotonic, so the seconds due never go back.
std::int64_t TickSchedule::takeDue(std::int64_t nowMs)
{
    const std::int64_t due = (nowMs - m_startMs) / kTickMs;
    const std::int64_t fresh = due - m_delivered;
    m_delivered = due;
    return fresh;
}

std::int64_t TickSchedule::msUntilNext(std::int64_t nowMs) const
{
    return m_startMs + (m_delivered + 1) * kTickMs - nowMs;
}

} // namespace match
