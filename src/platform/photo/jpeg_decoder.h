#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace photo {

// Decodes a JPEG through libjpeg, scaled while decoding to the smallest eighth of its size that still covers `cover`
// (the frame in device pixels, turned as the picture will be). Returns a null image for data libjpeg cannot take,
// for a picture beyond the limits in picture_limits.h, or for one whose entropy-coded data breaks (changed or cut
// short), which libjpeg would paint over with grey or garbled blocks. The picture comes back upright, turned and
// mirrored as its Exif orientation says.
[[nodiscard]] QImage decodeJpeg(const QByteArray& data, QSize cover);

} // namespace photo
