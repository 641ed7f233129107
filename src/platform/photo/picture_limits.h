#pragma once

// What a picked file may cost. The lines are drawn by what decoding a picture costs, not by what it declares, so
// that every real photo loads and a hostile file (a decompression bomb, a header that lies) is refused before it
// is decoded.

#include <QtGlobal>

namespace photo::picture_limits {

// Files beyond this are refused without reading them.
inline constexpr qint64 maxFileBytes = 256LL * 1024 * 1024;

// A picture decoded whole (PNG, TIFF, WebP and the other formats of Qt's readers, a HEIF picture without a
// thumbnail that covers the frame) costs 4 to 8 bytes a pixel; medium-format backs reach 100 megapixels.
inline constexpr qint64 maxWholePixels = 100'000'000;

// A baseline JPEG decoded at an eighth of its size, and a HEIF photo whose thumbnail covers the frame, cost a few
// megabytes whatever their size; the largest phone sensors save 200 megapixels (16320 x 12240).
inline constexpr qint64 maxScaledPixels = 200'000'000;

// The widest format Qt's readers decode into is 8 bytes a pixel (16 bits a channel): Qt's readers may allocate what a
// picture at the pixel cap needs at that width, and no more.
inline constexpr qint64 maxBytesPerPixel = 8;

// libjpeg's working memory. A baseline JPEG decoded at 1/8 needs a few megabytes; a progressive one (or any with
// several scans) needs every coefficient at once, 128 bytes a block: about 6 bytes a pixel at full-resolution
// colour, 3 at 4:2:0. 400 MiB keeps progressive 4:4:4 pictures up to about 70 megapixels and 4:2:0 up to about 140.
inline constexpr long maxJpegMemoryBytes = 400L * 1024 * 1024;

// A Huffman-coded JPEG block of 8 x 8 samples takes at least one bit, an arithmetic-coded one (which no camera
// writes) a small fraction of one, a flat grey picture's about a hundredth. A file with fewer bits than its blocks
// need is damaged, and decoding it would only spend seconds on grey, or allocate a progressive picture's coefficients
// for nothing (tests/platform/photo/regressions/jpeg-arithmetic-121-bytes-declares-32800x2100.jpg).
inline constexpr double minJpegBitsPerBlock = 1;
inline constexpr double minArithmeticJpegBitsPerBlock = 1.0 / 256;

// Real progressive files have about ten scans; thousands of tiny ones make a small file decode for minutes.
inline constexpr int maxJpegScans = 100;

// HEVC codes a picture in blocks of up to 64 pixels a side and AV1 up to 128, and libheif holds the coded size,
// padded to whole blocks, to its per-side limit: the limit is the largest side the file states plus this.
inline constexpr int maxCodedPadding = 128;

} // namespace photo::picture_limits
