#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

class QIODevice;

namespace platform {

// Whether the first bytes of a file are those of a HEIF picture libheif can read (HEIC, AVIF).
[[nodiscard]] bool isHeif(const QByteArray& head);

// Decodes the primary picture of a HEIC or AVIF file from the device's current position through libheif, turned
// and mirrored as the file says. Where the file carries a thumbnail that still covers `cover` on both sides,
// that is decoded instead. Null for a picture beyond the pixel cap, or one libheif cannot decode.
[[nodiscard]] QImage decodeHeif(QIODevice& device, QSize cover);

} // namespace platform
