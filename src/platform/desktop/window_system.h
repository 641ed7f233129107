#pragma once

// What the two windows need from the window system beyond Qt's own widgets: where X11 and Wayland differ, and the
// window icon read without Qt's image plugins.

#include <QIcon>
#include <QStringList>

#include <functional>

class QScreen;
class QWidget;

namespace desktop {

// Shows `window` over the whole of `screen` (or where it is, with none) and activates it: full screen where the
// program places its windows itself (X11); maximised on Wayland, where a compositor keeps a full-screen window in a
// layer of its own above every other, while a maximised frameless one still covers the output (less any bar of the
// desktop's own) in the ordinary stacking.
void showCovering(QWidget* window, QScreen* screen);

// Keeps `window` above `owner` (or lets it go, with no owner). Window managers keep such a
// window above its owner even when they refuse to raise or activate it on request. Qt passes
// the relation to X11 only when a window is mapped, so a mapped window is told directly.
void setKeptAbove(QWidget* window, QWidget* owner);

// Hands a drag of `window` by the pointer to the compositor where no client may place its own windows (Wayland) and
// says whether it did. Elsewhere the program moves the window itself: an X11 window manager's move starts from the
// last pointer position Qt has read, not from where the button went down, so a busy program would leave the window
// behind the pointer by as far as the pointer went meanwhile.
[[nodiscard]] bool startCompositorMove(QWidget* window);

// Minimises `window`; `broughtBack` runs once the operator has brought it back where the window's state cannot say
// so. A Wayland client is never told that it is minimised (xdg-shell has no such state, and Qt reports the window as
// normal again at once), but a compositor takes the keyboard from a window it minimises and gives it back when the
// operator restores it: there the window's first activation after losing it is its return. Under X11 the window's
// state says when it returns, and `broughtBack` never runs.
void minimise(QWidget* window, std::function<void()> broughtBack);

// Whether `window` is minimised as the operator sees it: by its state, or on Wayland from a minimise to its return.
[[nodiscard]] bool isMinimised(const QWidget* window);

// Under X11, closes `window` (a close event, as a window manager's close request gives) when its native window is
// destroyed by another client.
void closeWhenDestroyedOutside(QWidget* window);

// A window icon from PNG files, one size each.
[[nodiscard]] QIcon iconFromPngFiles(const QStringList& paths);

// Runs `action` once `window` has painted its next frame (its first, before it is shown), for work that frame need
// not wait for.
void afterNextFrame(QWidget* window, std::function<void()> action);

// What `main` returns once the event loop has ended with `status`. Where tearing down could hang, the process ends
// here instead, with nothing left to save: while `workStillRunning` (a thread that cannot be stopped), and on
// Wayland, where Qt 6.4's client can deadlock as it disconnects (its event thread waits for a read that no thread
// finishes; seen under load, about one exit in three).
int endProgram(int status, bool workStillRunning);

} // namespace desktop
