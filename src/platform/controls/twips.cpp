#include "platform/controls/twips.h"

#include <cmath>

namespace controls {

int twipsToPixels(double twips) { return static_cast<int>(std::lround(twips / kTwipsPerPixel)); }

QRect toPixels(const TwipRect& rect) { return toPixels(rect, 1.0, 1.0); }

QRect toPixels(const TwipRect& rect, double factorX, double factorY)
{
    // Edges are rounded, not sizes, so neighbouring controls keep their shared edges when scaled.
    const int left = twipsToPixels(rect.left * factorX);
    const int top = twipsToPixels(rect.top * factorY);
    const int right = twipsToPixels((rect.left + rect.width) * factorX);
    const int bottom = twipsToPixels((rect.top + rect.height) * factorY);
    return QRect(left, top, right - left, bottom - top);
}

} // namespace controls
