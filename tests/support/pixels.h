#pragma once

#include <QImage>
#include <QRect>

#include <algorithm>
#include <utility>

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

// How many pixels of two pictures of one size differ by more than `tolerance` in a channel, and by how much at most.
inline std::pair<int, int> differences(const QImage& a, const QImage& b, int tolerance)
{
    int largest = 0, count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d = std::max(
                { std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q)) });
            largest = std::max(largest, d);
            count += d > tolerance;
        }
    }
    return { count, largest };
}

} // namespace testing
