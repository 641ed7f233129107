#pragma once

// The backdrop: a green full-screen window behind the panel with the table outline, the
// current date and time and the match time. It owns no match state; the panel writes its
// labels and shows or hides it. It only keeps the panel in front: when it is activated, and
// once through its one-shot front keeper (`Timer1`) each time that is enabled; and a close
// request on it ends the program, as one on the panel does.

#include <functional>

#include "platform/controls/form.h"
#include "platform/desktop/clock.h"
#include "platform/desktop/timer.h"

class QScreen;

namespace backdrop {

class Backdrop final : public controls::Form {
    Q_OBJECT
public:
    // `showPanel` brings the panel in front of this window; `closeProgram` ends the program.
    Backdrop(std::function<void()> showPanel, std::function<void()> closeProgram);

    void setMatchTime(const QString& text);
    void setWallClock(const desktop::DateTimeText& text);
    // Covers the whole of `screen`, or hides.
    void setShownOn(QScreen* screen, bool shown);

    [[nodiscard]] desktop::Timer& frontKeeper() { return m_frontKeeper; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Once per enabling of the front keeper, 100 ms after it: the panel in front again.
    void keepPanelInFrontOnce();

    std::function<void()> m_showPanel;
    std::function<void()> m_closeProgram;
    desktop::Timer m_frontKeeper;
};

} // namespace backdrop
