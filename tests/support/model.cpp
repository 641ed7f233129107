#include "model.h"

namespace testing {

namespace {

    // A number behind a blank where its sign would stand.
    QString numberText(std::int64_t value)
    {
        return (value >= 0 ? QStringLiteral(" ") : QString()) + QString::number(value);
    }

    bool typesCharacter(const QString& text) { return text.size() == 1 && text.front().isPrint(); }

} // namespace

QString matchTimeText(std::int64_t elapsedSeconds)
{
    const std::int64_t hours = elapsedSeconds / 3600;
    const std::int64_t minutes = elapsedSeconds / 60 % 60;
    const std::int64_t seconds = elapsedSeconds % 60;
    return numberText(hours) + QStringLiteral("小时") + numberText(minutes) + QStringLiteral("分") + numberText(seconds)
        + QStringLiteral("秒");
}

ScoreboardModel::ScoreboardModel(QPoint position, const QString& name1, const QString& name2)
    : m_names { name1, name2 }
    , m_position(position)
{
}

// --- operator events ---------------------------------------------------------------------------

void ScoreboardModel::clickButton(int number, std::int64_t nowMs)
{
    if (m_closed || !buttonShown(number) || !buttonEnabled(number))
        return;
    switch (number) {
    case 1:
        return addPoint(1);
    case 2:
        return removePoint(1);
    case 3:
        return addPoint(2);
    case 4:
        return removePoint(2);
    case 5:
        return close();
    case 6:
        return fullScreen();
    case 7:
        return minimise();
    case 8:
        return matchButton(nowMs);
    case 9:
        return hideButtons();
    }
}

void ScoreboardModel::key(int qtKey, const QString& text, Focus focus, std::int64_t nowMs)
{
    if (m_closed)
        return;
    // The panel sees the key before the focused control.
    switch (qtKey) {
    case Qt::Key_F2:
        hideButtons();
        break;
    case Qt::Key_F3:
        minimise();
        break;
    case Qt::Key_F4:
        close();
        break;
    case Qt::Key_F5:
        if (m_state != MatchState::Running)
            matchButton(nowMs);
        break;
    case Qt::Key_Escape:
        if (m_state == MatchState::Running)
            matchButton(nowMs);
        break;
    case Qt::Key_F11:
        fullScreen();
        break;
    default:
        // Scoring letters count only while a match runs, and only in lower case.
        if (m_state == MatchState::Running) {
            if (text == QLatin1String("a"))
                addPoint(1);
            else if (text == QLatin1String("d"))
                removePoint(1);
            else if (text == QLatin1String("j"))
                addPoint(2);
            else if (text == QLatin1String("l"))
                removePoint(2);
        }
        break;
    }
    if (m_closed)
        return;
    // Then the focused control: an editable name box takes the character, a button takes Space
    // as a click.
    if (focus.kind == Focus::Kind::NameBox) {
        if (!namesLocked() && typesCharacter(text))
            m_names[focus.number - 1] += text;
    } else if (qtKey == Qt::Key_Space) {
        clickButton(focus.number, nowMs);
    }
}

void ScoreboardModel::clickPhoto(int frame, PhotoAnswer answer)
{
    if (m_closed)
        return;
    ++m_dialogShown;
    if (answer.kind == PhotoAnswer::Kind::Cancel)
        return;
    ++m_picturesLoaded;
    if (answer.kind == PhotoAnswer::Kind::Picture)
        m_photo[frame - 1] = answer.colour;
}

void ScoreboardModel::mouseDown(Qt::MouseButton button, QPoint local)
{
    if (button == Qt::LeftButton)
        m_dragging = true;
    m_grab = local;
}

void ScoreboardModel::mouseMove(QPoint local)
{
    if (m_dragging)
        m_position += local - m_grab;
}

void ScoreboardModel::mouseUp() { m_dragging = false; }

void ScoreboardModel::minimisedByWindowManager()
{
    m_minimised = true;
    resized();
}

void ScoreboardModel::restored()
{
    m_minimised = false;
    resized();
}

// --- timer ticks -------------------------------------------------------------------------------

void ScoreboardModel::matchClockTick(std::int64_t nowMs)
{
    if (m_state != MatchState::Running)
        return;
    // Whole seconds of the monotonic clock since the start; a late tick brings all it missed.
    const std::int64_t due = (nowMs - m_startMs) / 1000 - m_counted;
    if (due <= 0)
        return;
    m_counted += due;
    m_elapsed += due;
    needBackdrop();
    m_matchTime = matchTimeText(m_elapsed);
}

void ScoreboardModel::wallClockTick(const QDateTime& localNow)
{
    needBackdrop();
    m_wallClock = localNow;
}

void ScoreboardModel::frontKeeperTick()
{
    // It shows the panel, which is already in front (or stays minimised), then switches itself off.
    if (m_backdropExists)
        m_frontKeeper = false;
}

// --- what shows --------------------------------------------------------------------------------

QString ScoreboardModel::matchCaption() const
{
    switch (m_state) {
    case MatchState::Ready:
        return QStringLiteral("开始比赛");
    case MatchState::Running:
        return QStringLiteral("结束比赛");
    case MatchState::Ended:
        return QStringLiteral("重新开始");
    }
    return {};
}

QString ScoreboardModel::fullScreenCaption() const
{
    return m_fullScreen ? QStringLiteral("还原(F11)") : QStringLiteral("全屏(F11)");
}

bool ScoreboardModel::buttonEnabled(int number) const { return number > 4 || scoreButtonsEnabled(); }

bool ScoreboardModel::buttonShown(int number) const { return number <= 4 || !m_buttonsHidden; }

QString ScoreboardModel::scoreText(int player) const { return QString::number(score(player)); }

// --- the rules ---------------------------------------------------------------------------------

void ScoreboardModel::matchButton(std::int64_t nowMs)
{
    switch (m_state) {
    case MatchState::Ready:
        m_startMs = nowMs;
        m_counted = 0;
        m_state = MatchState::Running;
        break;
    case MatchState::Running:
        m_state = MatchState::Ended;
        break;
    case MatchState::Ended:
        m_state = MatchState::Ready;
        m_elapsed = 0;
        m_score1 = 0;
        m_score2 = 0;
        needBackdrop();
        m_matchTime.clear();
        break;
    }
}

void ScoreboardModel::addPoint(int player) { ++(player == 1 ? m_score1 : m_score2); }

void ScoreboardModel::removePoint(int player)
{
    std::int64_t& score = player == 1 ? m_score1 : m_score2;
    if (score > 0)
        --score;
}

void ScoreboardModel::fullScreen()
{
    needBackdrop();
    m_fullScreen = !m_fullScreen;
    m_backdropShown = m_fullScreen;
    if (m_fullScreen)
        m_frontKeeper = true;
}

void ScoreboardModel::minimise()
{
    m_minimised = true;
    resized();
    needBackdrop();
    m_backdropShown = false;
    m_restoreBackdrop = m_fullScreen ? 2 : 0;
}

void ScoreboardModel::resized()
{
    // Back from minimised, the backdrop returns only if it was up when the panel was minimised
    // with its own command and full-screen mode is still on.
    if (!m_minimised && m_restoreBackdrop == 2 && m_fullScreen) {
        needBackdrop();
        m_backdropShown = true;
    }
}

void ScoreboardModel::hideButtons() { m_buttonsHidden = !m_buttonsHidden; }

void ScoreboardModel::close()
{
    m_closed = true;
    m_backdropShown = false;
}

void ScoreboardModel::needBackdrop()
{
    if (m_backdropExists)
        return;
    // Created hidden, its labels at their design text, and its front keeper armed.
    m_backdropExists = true;
    m_backdropShown = false;
    m_frontKeeper = true;
    m_matchTime.clear();
    m_wallClock.reset();
}

} // namespace testing
