#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

class QIODevice;

namespace photo {

// Whether the first bytes of a file may be those of a HEIF picture libheif can read (HEIC, AVIF).
[[nodiscard]] bool isHeif(const QByteArray& head);

// Decodes the primary picture of a HEIC or AVIF file from the device's current position through libheif, turned,
// mirrored and cropped as the file says. Where the file carries a thumbnail that still covers `cover` on both sides,
// that is decoded instead. Null for a picture beyond the limits in picture_limits.h (a thumbnail lets a larger
// picture in), or one libheif cannot decode.
[[nodiscard]] QImage decodeHeif(QIODevice& device, QSize cover);

} // namespace photo
