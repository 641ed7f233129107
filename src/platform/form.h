#pragma once

// The platform layer: what the two windows need from the window system, over Qt.
// `Form` is a frameless top-level window of a fixed design size; `buildControls` (controls.h)
// fills it from a design table; `ProportionalResizer` rescales a window's controls; `Timer` is
// a timer that can be enabled and disabled; `Clock` brings in monotonic and local time;
// `FileDialog` and `PictureLoader` read the operator's photos; window_system.h holds what X11 and
// Wayland do differently. Everything is in logical pixels converted from twips, so the device pixel
// ratio takes care of high-DPI screens.

#include <QColor>
#include <QWidget>

#include "platform/twips.h"

namespace platform {

struct FormDesign {
    const char* name;
    const char* caption;
    int clientWidth; // twips
    int clientHeight;
    QRgb background;
};

class Form : public QWidget {
    Q_OBJECT
public:
    explicit Form(const FormDesign& design, QWidget* parent = nullptr);

    // Makes the window visible if needed and brings it in front, asking for the focus.
    void showInFront();
    // Places the window in the middle of the screen it is on (or the primary screen).
    void centreOnScreen();
};

} // namespace platform
