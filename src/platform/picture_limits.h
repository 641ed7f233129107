#pragma once

// What a picked file may cost. The lines are drawn so that every real photo loads and a hostile file
// (a decompression bomb, a header that lies) is refused before it is decoded.

#include <QtGlobal>

namespace platform::picture_limits {

// Files beyond this are refused without reading them.
inline constexpr qint64 maxFileBytes = 256LL * 1024 * 1024;

// Phones and cameras reach about 50 megapixels, medium-format backs 100; larger declared sizes are refused.
inline constexpr qint64 maxPixels = 100'000'000;

// The widest format Qt decodes photos into is 8 bytes a pixel (16 bits a channel), so its allocation limit lets a
// picture of the pixel cap through in any of them.
inline constexpr int qtAllocationLimitMegabytes = 763; // 100 megapixels at 8 bytes, in MiB

// libjpeg's working memory. A baseline JPEG decoded at 1/8 needs a few megabytes; a progressive one (or any with
// several scans) needs every coefficient at once, 128 bytes a block: about 6 bytes a pixel at full-resolution
// colour, 3 at 4:2:0. 400 MiB keeps progressive 4:4:4 pictures up to about 70 megapixels and 4:2:0 up to the
// pixel cap.
inline constexpr long maxJpegMemoryBytes = 400L * 1024 * 1024;

// Real progressive files have about ten scans; thousands of tiny ones make a small file decode for minutes.
inline constexpr int maxJpegScans = 100;

} // namespace platform::picture_limits
