#pragma once

// A reference scoreboard for tests that drive the real panel with long event sequences: what the
// operator should see after each event, worked out from the rules of the match cycle, the two
// clocks, the window commands, the key map, dragging and the photo frames. It shares no code with
// the program, so a wrong rule cannot hide in both. Positions are in panel pixels; the rules are
// stated in twips, which differ only by the factor 15 for whole pixels.

#include <QDateTime>
#include <QPoint>
#include <QRgb>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace testing {

enum class MatchState { Ready, Running, Ended };

// The backdrop's match-time text for a number of whole seconds, e.g. " 1小时 2分 5秒".
[[nodiscard]] QString matchTimeText(std::int64_t elapsedSeconds);

// Where the keyboard focus is when a key goes down: name box 1 or 2, or push button 1..9.
struct Focus {
    enum class Kind { NameBox, Button };
    Kind kind = Kind::NameBox;
    int number = 1;
};

// What the open-file dialog hands back when a photo frame is clicked.
struct PhotoAnswer {
    enum class Kind { Cancel, Picture, NotAPicture };
    Kind kind = Kind::Cancel;
    QRgb colour = 0; // the colour of the picture the loader makes, for Kind::Picture
};

class ScoreboardModel {
public:
    ScoreboardModel(QPoint position, const QString& name1, const QString& name2);

    // --- operator events ---
    // A left click on push button 1..9 as a user makes it: a disabled or hidden button does nothing.
    void clickButton(int number, std::int64_t nowMs);
    // A key pressed and released; `text` is what it types. The panel sees it first, then the focus.
    void key(int qtKey, const QString& text, Focus focus, std::int64_t nowMs);
    void clickPhoto(int frame, PhotoAnswer answer);
    // On the panel's background, in panel pixels.
    void mouseDown(Qt::MouseButton button, QPoint local);
    void mouseMove(QPoint local);
    void mouseUp();
    void minimisedByWindowManager();
    void restored();

    // --- timer ticks ---
    // The match clock's tick, called only while its timer runs; `nowMs` is the monotonic clock.
    void matchClockTick(std::int64_t nowMs);
    void wallClockTick(const QDateTime& localNow);
    void frontKeeperTick();

    // --- what shows ---
    [[nodiscard]] MatchState matchState() const { return m_state; }
    [[nodiscard]] QString matchCaption() const;
    [[nodiscard]] QString fullScreenCaption() const;
    [[nodiscard]] bool scoreButtonsEnabled() const { return m_state == MatchState::Running; }
    [[nodiscard]] bool windowButtonsShown() const { return !m_buttonsHidden; }
    [[nodiscard]] bool buttonEnabled(int number) const;
    [[nodiscard]] bool buttonShown(int number) const;
    [[nodiscard]] bool namesLocked() const { return m_state != MatchState::Ready; }
    [[nodiscard]] bool matchTimerOn() const { return m_state == MatchState::Running; }
    [[nodiscard]] QString scoreText(int player) const;
    [[nodiscard]] std::int64_t score(int player) const { return player == 1 ? m_score1 : m_score2; }
    [[nodiscard]] const QString& name(int box) const { return m_names[box - 1]; }
    [[nodiscard]] std::int64_t elapsedSeconds() const { return m_elapsed; }

    [[nodiscard]] bool backdropExists() const { return m_backdropExists; }
    [[nodiscard]] bool backdropShown() const { return m_backdropShown; }
    [[nodiscard]] const QString& matchTimeShown() const { return m_matchTime; }
    [[nodiscard]] const std::optional<QDateTime>& wallClockShown() const { return m_wallClock; }
    [[nodiscard]] bool frontKeeperOn() const { return m_frontKeeper; }
    [[nodiscard]] int restoreBackdrop() const { return m_restoreBackdrop; }

    [[nodiscard]] bool minimised() const { return m_minimised; }
    [[nodiscard]] bool closed() const { return m_closed; }
    [[nodiscard]] QPoint position() const { return m_position; }
    [[nodiscard]] bool dragging() const { return m_dragging; }
    // The colour of the picked picture in a frame, or nothing while it shows the default photo.
    [[nodiscard]] std::optional<QRgb> photo(int frame) const { return m_photo[frame - 1]; }
    [[nodiscard]] int dialogShown() const { return m_dialogShown; }
    [[nodiscard]] int picturesLoaded() const { return m_picturesLoaded; }

private:
    void matchButton(std::int64_t nowMs);
    void addPoint(int player);
    void removePoint(int player);
    void fullScreen();
    void minimise();
    void hideButtons();
    void close();
    void resized();
    void needBackdrop();

    MatchState m_state = MatchState::Ready;
    std::int64_t m_score1 = 0;
    std::int64_t m_score2 = 0;
    std::int64_t m_startMs = 0;
    std::int64_t m_counted = 0; // seconds counted since the match started
    std::int64_t m_elapsed = 0;
    std::array<QString, 2> m_names;

    bool m_backdropExists = false;
    bool m_backdropShown = false;
    bool m_frontKeeper = false;
    QString m_matchTime;
    std::optional<QDateTime> m_wallClock;

    bool m_fullScreen = false;
    bool m_buttonsHidden = false;
    int m_restoreBackdrop = 0;
    bool m_minimised = false;
    bool m_closed = false;

    bool m_dragging = false;
    QPoint m_grab;
    QPoint m_position;

    std::array<std::optional<QRgb>, 2> m_photo;
    int m_dialogShown = 0;
    int m_picturesLoaded = 0;
};

} // namespace testing
