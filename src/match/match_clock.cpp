#include "match/match_clock.h"

namespace match {

namespace {
    // Decimal text with a blank in the place of the sign: the counters never go negative.
    std::string numberText(std::int64_t value) { return ' ' + std::to_string(value); }
} // namespace

void MatchClock::tick()
{
    ++m_elapsedSeconds;
    m_clockSeconds = m_elapsedSeconds % 60;
    if (m_clockSeconds == 0) {
        ++m_clockMinutes;
        if (m_clockMinutes % 60 == 0) {
            ++m_clockHours;
            m_clockMinutes = 0;
        }
    }
}

void MatchClock::reset() { *this = MatchClock {}; }

std::string MatchClock::text() const
{
    return numberText(m_clockHours) + "小时" + numberText(m_clockMinutes) + "分" + numberText(m_clockSeconds) + "秒";
}

} // namespace match
