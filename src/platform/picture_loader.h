#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QtGlobal>

class QIODevice;

namespace platform {

// Turns a picked file into a picture that exactly fills a photo frame.
// The panel holds a PictureLoader; tests hand in a fake, the program a QtPictureLoader.
class PictureLoader {
public:
    virtual ~PictureLoader() = default;
    // A null image on any failure; never throws, never shows a message.
    [[nodiscard]] virtual QImage load(const QString& path, QSize frameSize, qreal devicePixelRatio) const = 0;
};

// Reads photo formats only (JPEG, PNG, BMP, GIF, WebP, ICO), told apart by content, never by file name.
// Whatever the operator picks is untrusted: sizes are checked before decoding, memory is capped, and
// damaged files are refused quietly instead of being shown half-drawn.
class QtPictureLoader final : public PictureLoader {
public:
    // Files beyond this are refused without reading them.
    static constexpr qint64 maxFileBytes = 256LL * 1024 * 1024;
    // No decode may allocate more than this; larger declared sizes are refused before decoding.
    static constexpr int decodeLimitMegabytes = 64;

    [[nodiscard]] QImage load(const QString& path, QSize frameSize, qreal devicePixelRatio) const override;
    // Decodes from the device's current position; load() and fuzzing both come through here.
    [[nodiscard]] QImage decode(QIODevice& device, QSize frameSize, qreal devicePixelRatio) const;
};

} // namespace platform
