#pragma once

// The control panel: names, photos, scores and the operator's buttons. ControlPanel owns all state:
// the match (match::Match), the full-screen, minimise and hidden-buttons state, and the backdrop
// window it writes into. Its slots turn clicks, keys, ticks and mouse moves into one call on the
// match or one window command, then write the result into the controls. The layout is a table
// (panel_layout), the keys another (key_map), dragging is Drag.

#include <array>
#include <functional>
#include <memory>

#include "backdrop/backdrop.h"
#include "match/match.h"
#include "match/tick_schedule.h"
#include "panel/drag.h"
#include "panel/photos.h"
#include "platform/controls/form.h"
#include "platform/controls/label.h"
#include "platform/controls/picture_frame.h"
#include "platform/desktop/clock.h"
#include "platform/desktop/file_dialog.h"
#include "platform/desktop/timer.h"
#include "platform/photo/picture_loader.h"

class QLineEdit;
class QPushButton;

namespace panel {

// What the panel needs from outside; tests hand in fakes.
struct Services {
    desktop::Clock& clock;
    desktop::FileDialog& fileDialog;
    const photo::PictureLoader& pictureLoader;
    std::function<void()> quit;
};

class ControlPanel final : public controls::Form {
    Q_OBJECT
public:
    explicit ControlPanel(Services services);
    ~ControlPanel() override;

    // The backdrop, created hidden on first use.
    [[nodiscard]] backdrop::Backdrop& backdrop();
    [[nodiscard]] bool hasBackdrop() const { return m_backdrop != nullptr; }
    [[nodiscard]] desktop::Timer& matchClockTimer() { return m_matchClockTimer; }
    [[nodiscard]] desktop::Timer& wallClockTimer() { return m_wallClockTimer; }
    // The photo reads and decodes under way: none can be stopped, and the program need not wait for them to end.
    [[nodiscard]] int photosLoading() const { return m_photos->underWay(); }

public Q_SLOTS:
    // Start a ready match, end a running one, reset an ended one.
    void startOrEndMatch();
    void addPointForPlayer1();
    void takePointFromPlayer1();
    void addPointForPlayer2();
    void takePointFromPlayer2();
    // Ends the program at once, whatever the match is doing.
    void closeProgram();
    void toggleFullScreen();
    // Minimises the panel and hides the backdrop, noting whether it comes back with the panel.
    void minimise();
    void toggleWindowButtons();
    void choosePhotoForPlayer1();
    void choosePhotoForPlayer2();
    // The match clock's timer: every second of match time that has fallen due.
    void advanceMatchClock();
    // The wall clock's timer: the date and time on the backdrop.
    void showWallClock();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showScore(match::Player player);
    void showMatchState();
    void loadPhoto(controls::PictureFrame* frame, const QString& path);
    void choosePhoto(controls::PictureFrame* frame);
    void keepInFrontOfBackdrop(bool on);
    // After a change of size or window state: a panel back from minimised brings back the backdrop it hid.
    void showBackdropAgainIfRestored();

    Services m_services;
    match::Match m_match;
    match::TickSchedule m_schedule;
    desktop::Timer m_matchClockTimer;
    desktop::Timer m_wallClockTimer;
    std::unique_ptr<backdrop::Backdrop> m_backdrop;
    Drag m_drag;
    bool m_fullScreen = false;
    bool m_buttonsHidden = false;
    bool m_backdropReturnsOnRestore = false;

    QPushButton* m_matchButton;
    QPushButton* m_fullScreenButton;
    std::array<QPushButton*, 4> m_scoreButtons;
    std::array<QPushButton*, 5> m_windowButtons; // the strip along the top edge and the match button
    std::array<QLineEdit*, 2> m_nameBoxes;
    std::array<controls::Label*, 2> m_scoreLabels;
    std::array<controls::PictureFrame*, 2> m_photoFrames;
    std::unique_ptr<Photos> m_photos;
};

} // namespace panel
