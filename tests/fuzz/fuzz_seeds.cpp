// Writes the fuzzer's starting corpus: one small, valid file for every format the loader accepts, plus the
// JPEG variants that take their own paths through it (progressive scans, an Exif quarter turn).
//
// usage: fuzz_seeds FOLDER

#include "../platform/picture_samples.h"
#include "picture_check.h"
#include "platform/picture_loader.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>

#include <cstdio>
#include <utility>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs("usage: fuzz_seeds FOLDER\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "fuzz_seeds: cannot create %s\n", argv[1]);
        return 1;
    }

    using namespace platform::samples;
    const QImage picture = quadrantPicture({ 40, 30 });
    const QByteArray jpeg = encoded(picture, "jpeg", 75);
    const std::pair<const char*, QByteArray> seeds[] = {
        { "seed.jpg", jpeg },
        { "seed-progressive.jpg", encoded(picture, "jpeg", 75, true) },
        { "seed-exif-turned.jpg", withExifOrientation(jpeg, 6) },
        { "seed.png", encoded(picture, "png") },
        { "seed.bmp", encoded(picture, "bmp") },
        { "seed.gif", gifOf(picture) },
        { "seed.webp", encoded(picture, "webp", 75) },
        { "seed.ico", encoded(picture, "ico") },
    };

    // A seed the loader refuses would only start the fuzzer at the format check, not inside the decoder.
    int failures = 0;
    for (const auto& [name, bytes] : seeds) {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        const bool loads = !platform::QtPictureLoader().decode(buffer, fuzzing::photoFrame, 1.0).isNull();
        QFile file(folder.filePath(QString::fromLatin1(name)));
        if (!loads || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "fuzz_seeds: %s was not encoded, not loaded back or not written\n", name);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
