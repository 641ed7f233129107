#pragma once

#include <QLine>
#include <QRect>

namespace controls {

// Window layouts are designed in twips: 1/1440 inch, 15 to a logical pixel at 96 dots per inch.
// Logical pixels then follow the screen's device pixel ratio, so the design holds on any display.
inline constexpr int kTwipsPerPixel = 15;

struct TwipRect {
    int left;
    int top;
    int width;
    int height;
};

[[nodiscard]] int twipsToPixels(double twips);
[[nodiscard]] QRect toPixels(const TwipRect& rect);
// The same rectangle stretched by independent factors across and down, for proportional resizing.
[[nodiscard]] QRect toPixels(const TwipRect& rect, double factorX, double factorY);

} // namespace controls
