#pragma once

// Timing hooks for bench/run, built only into bench_scoreboard (src/main.cpp with SCOREBOARD_TIMING_HOOKS), so the
// installed program reads no environment. Off unless the environment asks for them:
//   SCOREBOARD_STARTUP_TRACE=1  "first-paint-ms N cpu-ms C" on stderr once the panel's first frame is painted and
//                               handed to the window system: N counted from `started` (the first statement of
//                               main), C the process's CPU time since exec
//   SCOREBOARD_KEY_TRACE=1      "key-ms N" on stderr for each key press that repaints `label`, from the press
//                               reaching the window to the end of that repaint
//   SCOREBOARD_DECODE_LOOP=FILE FILE handed to `photos` again each time its decode has ended, so that keys are timed
//                               while a photo decodes
//   SCOREBOARD_EVENT_TRACE=1    "event MS TYPE WINDOW [KEY]" on stderr for each key, focus, show, hide, close and
//                               native-window event reaching any of the program's windows (dialogs and popups too),
//                               MS the wall clock's milliseconds, to set beside what a test harness sent and when
// Switched off, it installs nothing, so the benchmark's program pays nothing more than the installed one.

#include <QObject>

#include <chrono>
#include <functional>
#include <optional>

class QWidget;

namespace bench {

class TimingTrace final : public QObject {
public:
    using Clock = std::chrono::steady_clock;

    // A program's photo decoding: whether a photo decodes now, and a file to decode.
    struct Photos {
        std::function<bool()> decoding;
        std::function<void(const QString&)> decode;
    };

    // `window` must already have its native window.
    TimingTrace(Clock::time_point started, QWidget* window, QWidget* label, Photos photos = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Clock::time_point m_started;
    QWidget* m_window;
    QWidget* m_label;
    std::optional<Clock::time_point> m_keyArrived;
};

} // namespace bench
