#pragma once

// The platform layer: what the two windows need from the window system, over Qt.
// `Form` is a frameless top-level window of a fixed design size; `buildControls` (controls.h)
// fills it from a design table; `ProportionalResizer` rescales a window's controls; `Timer` is
// a timer that can be enabled and disabled; `Clock` brings in monotonic and local time;
// `FileDialog` and `PictureLoader` read the operator's photos. Everything is in logical pixels
// converted from twips, so the device pixel ratio takes care of high-DPI screens.

#include <QColor>
#include <QIcon>
#include <QString>
#include <QStringList>
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

// Wayland lets no client place its windows; the compositor does.
[[nodiscard]] bool isWayland();

// Keeps `window` above `owner` (or lets it go, with no owner). Window managers keep such a
// window above its owner even when they refuse to raise or activate it on request. Qt passes
// the relation to X11 only when a window is mapped, so a mapped window is told directly.
void setKeptAbove(QWidget* window, QWidget* owner);

// Under X11, closes `window` (a close event, as a window manager's close request gives) when its native window is
// destroyed by another client.
void closeWhenDestroyedOutside(QWidget* window);

// A window icon from PNG files, one size each.
[[nodiscard]] QIcon iconFromPngFiles(const QStringList& paths);

} // namespace platform
