#include "match/tick_schedule.h"

#include <algorithm>

namespace match {

namespace {
    constexpr std::int64_t kTickMs = 1000;
}

void TickSchedule::start(std::int64_t nowMs)
{
    m_startMs = nowMs;
    m_delivered = 0;
}

std::int64_t TickSchedule::takeDue(std::int64_t nowMs)
{
    const std::int64_t due = std::max<std::int64_t>(0, (nowMs - m_startMs) / kTickMs);
    const std::int64_t fresh = std::max<std::int64_t>(0, due - m_delivered);
    m_delivered += fresh;
    return fresh;
}

std::int64_t TickSchedule::msUntilNext(std::int64_t nowMs) const
{
    const std::int64_t next = m_startMs + (m_delivered + 1) * kTickMs;
    return std::max<std::int64_t>(1, next - nowMs);
}

} // namespace match
