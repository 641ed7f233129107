#pragma once

#include <QImage>

class QIODevice;

namespace photo {

// Decodes a PNG, GIF, WebP, BMP, TIFF, TGA, ICO, CUR, XPM, XBM, PBM, PGM, PPM or WBMP picture (the first
// frame or page; of an icon, the largest image) from the device's current position through Qt's readers, whole and
// upright. Null for any other format, for a picture beyond the pixel cap, and for a file the reader fails on or
// that is cut short.
[[nodiscard]] QImage decodeWithQt(QIODevice& device);

// Lets Qt's readers allocate, for one picture, what a picture at the pixel cap needs in the widest format they
// decode into, and no more. Qt keeps one limit for the whole process, which the interface thread's own image loads
// read too: it is set once, before the first decode (by the first FilePictureLoader made).
void limitQtReaderAllocations();

} // namespace photo
