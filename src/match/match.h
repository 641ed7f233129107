#pragma once

// The match as the panel sees it. `Match` holds the cycle (ready, running, ended), both scores
// and the match clock; the panel calls one operation per button or key and renders captions,
// score labels and the match-time text from the queries. `TickSchedule` tells the panel how
// many clock ticks a timer event stands for. Nothing here knows about windows or Qt.

#include <cstdint>
#include <string>
#include <string_view>

#include "match/match_clock.h"

namespace match {

enum class MatchState : std::int16_t { Ready = 0, Running = 1, Ended = 2 };
enum class Player { One, Two };

// The match button's caption in each state; it tells the operator what the next press does.
[[nodiscard]] std::string_view stateCaption(MatchState state);

class Match {
public:
    // The match button: start a ready match, end a running one, reset an ended one.
    void advance();

    // The score buttons act only while a match runs; a score never drops below 0.
    void addPoint(Player player);
    void removePoint(Player player);

    // One second of match time; counts only while the match runs.
    void tick();

    [[nodiscard]] MatchState state() const { return m_state; }
    [[nodiscard]] bool isRunning() const { return m_state == MatchState::Running; }
    [[nodiscard]] std::string scoreText(Player player) const;
    [[nodiscard]] const MatchClock& clock() const { return m_clock; }

private:
    MatchState m_state = MatchState::Ready;
    std::int64_t m_score1 = 0;
    std::int64_t m_score2 = 0;
    MatchClock m_clock;
};

} // namespace match
