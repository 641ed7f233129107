#pragma once

// Real photo files of every format the loader accepts, written into a temporary folder, for tests that pick
// them through the panel with the real loader. Sizes are those of camera and phone pictures scaled down, so
// each load decodes far more than the frame keeps.

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <utility>

#include "../platform/picture_samples.h"

namespace testing {

// The full paths, JPEG first; empty if any file could not be made.
[[nodiscard]] inline QStringList writePhotoFiles(const QTemporaryDir& dir)
{
    using namespace platform::samples;
    const std::pair<const char*, QByteArray> files[] = {
        { "player.jpg", encoded(quadrantPicture({ 1600, 1200 }), "jpeg", 85) },
        { "player-progressive.jpg", encoded(quadrantPicture({ 1024, 768 }), "jpeg", 85, true) },
        { "player.png", encoded(noisePicture({ 640, 480 }), "png") },
        { "player.bmp", encoded(quadrantPicture({ 640, 480 }), "bmp") },
        { "player.gif", gifOf(quadrantPicture({ 320, 240 })) },
        { "player.webp", encoded(quadrantPicture({ 800, 600 }), "webp", 80) },
        { "player.ico", encoded(quadrantPicture({ 256, 192 }), "ico") },
    };
    QStringList paths;
    for (const auto& [name, bytes] : files) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        if (bytes.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        paths << file.fileName();
    }
    return paths;
}

} // namespace testing
