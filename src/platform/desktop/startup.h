#pragma once

// What the program does before and after making its application object, kept out of main() so that tests reach it.
// When Qt cannot reach a display it prints several lines about platform plugins and aborts; the operator needs one
// line that names the fix. So start-up messages are held back until the application exists, and a fatal one is
// replaced by that line.

#include <QString>
#include <QStringList>

namespace desktop {

// Holds Qt's messages back from now on; a fatal one ends the program with the line below.
void holdBackStartupMessages();
// Hands the held messages to Qt's usual output and stops holding.
void releaseStartupMessages();
// The one line for a start-up that failed after these messages.
[[nodiscard]] QString startupFailureLine(const QStringList& heldMessages);

// Once the application exists: its desktop entry, Qt's translations for the locale, the design face, and a line on
// stderr when no Chinese face is installed (the program still runs, its captions as empty boxes).
void prepareApplication();

} // namespace desktop
