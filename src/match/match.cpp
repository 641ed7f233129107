#include "match/match.h"

namespace match {

std::string_view stateCaption(MatchState state)
{
    switch (state) {
    case MatchState::Ready:
        return "开始比赛";
    case MatchState::Running:
        return "结束比赛";
    case MatchState::Ended:
        return "重新开始";
    }
    return {};
}

void Match::advance()
{
    switch (m_state) {
    case MatchState::Ready:
        // Nothing is reset here: only a reset leads back to ready, so everything is already 0.
        m_state = MatchState::Running;
        break;
    case MatchState::Running:
        m_state = MatchState::Ended;
        break;
    case MatchState::Ended:
        m_clock.reset();
        m_score1 = 0;
        m_score2 = 0;
        m_state = MatchState::Ready;
        break;
    }
}

void Match::addPoint(Player player)
{
    std::int64_t& score = player == Player::One ? m_score1 : m_score2;
    if (isRunning())
        ++score;
}

void Match::removePoint(Player player)
{
    std::int64_t& score = player == Player::One ? m_score1 : m_score2;
    if (isRunning() && score > 0)
        --score;
}

void Match::tick()
{
    if (isRunning())
        m_clock.tick();
}

std::string Match::scoreText(Player player) const
{
    return std::to_string(player == Player::One ? m_score1 : m_score2);
}

} // namespace match
