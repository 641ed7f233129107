#pragma once

// What the two windows need from the window system beyond Qt's own widgets: where X11 and Wayland differ, and the
// window icon read without Qt's image plugins.

#include <QIcon>
#include <QStringList>

class QWidget;

namespace platform {

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
