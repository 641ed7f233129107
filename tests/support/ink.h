#pragma once

#include <QImage>
#include <QRect>

namespace testing {

// The box around every pixel of `shown` that is not `background`: where the text was drawn.
inline QRect inkBox(const QImage& shown, QColor background)
{
    QRect ink;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            ink |= shown.pixelColor(x, y) == background ? QRect() : QRect(x, y, 1, 1);
    return ink;
}

} // namespace testing
