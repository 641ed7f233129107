#pragma once

#include <QImage>

class QIODevice;

namespace photo {

// Decodes a PNG, GIF, WebP, BMP, TIFF, TGA, ICO, CUR, XPM, XBM, PBM, PGM, PPM or WBMP picture (the first
// frame or page; of an icon, the largest image) from the device's current position through Qt's readers, whole and
// upright. Null for any other format, for a picture beyond the pixel cap, and for a file the reader fails on or
// that is cut short.
[[nodiscard]] QImage decodeWithQt(QIODevice& device);

} // namespace photo
