#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace photo {

// Turns a picked file into a picture that exactly fills a photo frame, in two steps: reading the file, which may
// block as long as the file system does (a stalled network mount, a phone unplugged mid-read) but costs no more than
// the file, and decoding it, which costs the memory and the time the picture takes.
// The panel holds a PictureLoader; tests hand in a fake, the program a FilePictureLoader.
class PictureLoader {
public:
    virtual ~PictureLoader() = default;
    // The file's bytes, or nothing for what is no regular file, cannot be read or passes the file cap.
    [[nodiscard]] virtual std::optional<QByteArray> read(const QString& path) const = 0;
    // A null image on any failure; never throws, never shows a message.
    [[nodiscard]] virtual QImage decode(const QByteArray& bytes, QSize frameSize, qreal devicePixelRatio) const = 0;
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
    [[nodiscard]] std::optional<QByteArray> read(const QString& path) const override;
    [[nodiscard]] QImage decode(const QByteArray& bytes, QSize frameSize, qreal devicePixelRatio) const override;
    // Both steps at once, for what is read where it is shown (the default photo, tests, benchmarks).
    [[nodiscard]] QImage load(const QString& path, QSize frameSize, qreal devicePixelRatio) const;
};

} // namespace photo
