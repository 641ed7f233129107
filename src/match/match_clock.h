#pragma once

#include <cstdint>
#include <string>

namespace match {

// The match time as the clock counts it: one tick is one second. The counters are 64-bit so a
// match left running all night still shows the right hours, minutes and seconds.
class MatchClock {
public:
    // One second more, rolling seconds into minutes and minutes into hours.
    void tick();
    void reset();

    // " 1小时 2分 5秒": each number behind a blank, no leading zeros, no fixed width.
    [[nodiscard]] std::string text() const;

private:
    std::int64_t m_elapsedSeconds = 0;
    std::int64_t m_clockSeconds = 0;
    std::int64_t m_clockMinutes = 0;
    std::int64_t m_clockHours = 0;
};

} // namespace match
