#pragma once

#include <QFont>
#include <QString>

namespace desktop {

// Every caption is set in the Song-style face the layouts were designed with.
inline const QString kDesignFamily = QStringLiteral("宋体");

// Reads fontconfig's configuration (a few milliseconds of parsing) on a thread of its own while the application
// connects to the window system; resolveDesignFace() waits for it. Call at most once, before the application exists.
void startFontConfiguration();

// Finds the face the captions are set in: the design face, or the first of the Song-style CJK faces Linux machines
// have. Call once at start-up, before any design font is made; false when the machine has none of them.
bool resolveDesignFace();

// Points are turned into pixels at 96 dots per inch, so text keeps its design extent in
// logical pixels whatever the screen reports.
[[nodiscard]] int pointsToPixels(double points);
[[nodiscard]] QFont designFont(double points);
[[nodiscard]] QFont designFontPixels(int pixels);

} // namespace desktop
