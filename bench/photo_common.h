#pragma once

// What both photo benchmarks need: a camera-like test picture and the process's memory figures.

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace bench {

// Smooth gradients like sky and skin, plus sensor noise, which is what makes camera files large.
inline QImage cameraPicture(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        const double v = double(y) / size.height();
        for (int x = 0; x < size.width(); ++x) {
            const double u = double(x) / size.width();
            const int noise = int(random.bounded(25)) - 12;
            const auto channel = [&](double value) { return std::clamp(int(value * 255) + noise, 0, 255); };
            row[x] = qRgb(channel(0.2 + 0.6 * u), channel(0.5 + 0.4 * std::sin(6 * u + 3 * v)), channel(0.9 - 0.7 * v));
        }
    }
    return picture;
}

// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:"), or -1.
inline qint64 statusKib(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

} // namespace bench
