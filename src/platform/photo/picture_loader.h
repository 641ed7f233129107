#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QtGlobal>

class QIODevice;

namespace photo {

// Turns a picked file into a picture that exactly fills a photo frame.
// The panel holds a PictureLoader; tests hand in a fake, the program a FilePictureLoader.
class PictureLoader {
public:
    virtual ~PictureLoader() = default;
    // A null image on any failure; never throws, never shows a message.
    [[nodiscard]] virtual QImage load(const QString& path, QSize frameSize, qreal devicePixelRatio) const = 0;
};

// Reads the photo formats people have, told apart by content, never by file name: JPEG through libjpeg
// (jpeg_decoder), HEIC and AVIF through libheif (heif_decoder), and PNG, BMP, GIF, WebP, ICO and TIFF through
// Qt's readers. Whatever the operator picks is untrusted: sizes are checked before decoding against
// picture_limits, and damaged files are refused quietly instead of being shown half-drawn.
class FilePictureLoader final : public PictureLoader {
public:
    // The first one made sets what Qt's readers may allocate, for the whole process (the program makes its loader
    // at start-up, before any picture is read).
    FilePictureLoader();
    [[nodiscard]] QImage load(const QString& path, QSize frameSize, qreal devicePixelRatio) const override;
    // Decodes from the current position of an open, random-access device (decoders seek back and forth, and the
    // file cap needs the size); load() and fuzzing both come through here.
    [[nodiscard]] QImage decode(QIODevice& device, QSize frameSize, qreal devicePixelRatio) const;
};

} // namespace photo
