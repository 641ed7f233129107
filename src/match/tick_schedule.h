#pragma once

#include <cstdint>

namespace match {

// Keeps the match clock on the whole seconds of a monotonic clock. A timer that fires late
// (a slow handler, a busy machine) is told how many seconds went by, so no second is lost;
// one that fires early is told none and simply waits for the next whole second.
class TickSchedule {
public:
    void start(std::int64_t nowMs);

    // The ticks that have fallen due since the last call, and marks them delivered.
    [[nodiscard]] std::int64_t takeDue(std::int64_t nowMs);

    // How long from `nowMs`, the time of the last takeDue(), until the next whole second of the match.
    [[nodiscard]] std::int64_t msUntilNext(std::int64_t nowMs) const;

private:
    std::int64_t m_startMs = 0;
    std::int64_t m_delivered = 0;
};

} // namespace match
