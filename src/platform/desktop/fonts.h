#pragma once

#include <QFont>
#include <QString>

namespace desktop {

// Every caption is set in the Song-style face the layouts were designed with.
inline const QString kDesignFamily = QStringLiteral("宋体");

// Maps the design face to the Song-style CJK faces a Linux machine has. Call once at start-up.
void installFontSubstitutes();

// True when the design face resolves to a face that has CJK glyphs.
[[nodiscard]] bool hasCjkFace();

// Points are turned into pixels at 96 dots per inch, so text keeps its design extent in
// logical pixels whatever the screen reports.
[[nodiscard]] int pointsToPixels(double points);
[[nodiscard]] QFont designFont(double points);
[[nodiscard]] QFont designFontPixels(int pixels);

} // namespace desktop
