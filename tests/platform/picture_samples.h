#pragma once

// Picture files written by the tests themselves: formats Qt cannot write, and files damaged on purpose.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QSize>
#include <QtEndian>

#include <algorithm>

namespace platform::samples {

inline const QColor red(255, 0, 0);
inline const QColor blue(0, 0, 255);

// Blue, with a red top-left quadrant, so any turn or mirror shows.
[[nodiscard]] inline QImage quadrantPicture(QSize size = { 64, 48 })
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(blue);
    for (int y = 0; y < size.height() / 2; ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        std::fill(row, row + size.width() / 2, red.rgb());
    }
    return picture;
}

// Random pixels compress badly, so most of the file is image data: the place to cut it short.
[[nodiscard]] inline QImage noisePicture(QSize size = { 128, 128 })
{
    QRandomGenerator random(7);
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(x, y, 0xFF000000u | (random.generate() & 0xFFFFFFu));
    return picture;
}

[[nodiscard]] inline QByteArray encoded(
    const QImage& picture, const char* format, int quality = -1, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    return writer.write(picture) ? bytes : QByteArray();
}

inline void appendBigEndian16(QByteArray& bytes, quint16 value)
{
    bytes.append(char(value >> 8)).append(char(value & 0xFF));
}

inline void appendBigEndian32(QByteArray& bytes, quint32 value)
{
    appendBigEndian16(bytes, quint16(value >> 16));
    appendBigEndian16(bytes, quint16(value & 0xFFFF));
}

inline void appendLittleEndian16(QByteArray& bytes, quint16 value)
{
    bytes.append(char(value & 0xFF)).append(char(value >> 8));
}

// An APP1 Exif segment whose only tag is the orientation, placed right after the start-of-image marker.
[[nodiscard]] inline QByteArray withExifOrientation(const QByteArray& jpeg, quint16 orientation)
{
    QByteArray exif("Exif\0\0MM", 8);
    appendBigEndian16(exif, 0x2A);
    appendBigEndian32(exif, 8); // the directory follows the TIFF header
    appendBigEndian16(exif, 1);
    appendBigEndian16(exif, 0x0112); // Orientation
    appendBigEndian16(exif, 3); // SHORT
    appendBigEndian32(exif, 1);
    appendBigEndian16(exif, orientation);
    appendBigEndian16(exif, 0);
    appendBigEndian32(exif, 0); // no further directory
    QByteArray segment("\xFF\xE1", 2);
    appendBigEndian16(segment, quint16(exif.size() + 2));
    return jpeg.left(2) + segment + exif + jpeg.mid(2);
}

// Rewrites the size in the frame header only: the data stays that of the small picture.
[[nodiscard]] inline QByteArray withDeclaredJpegSize(QByteArray jpeg, quint16 width, quint16 height)
{
    qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    if (frame < 0)
        frame = jpeg.indexOf(QByteArray("\xFF\xC2", 2));
    if (frame < 0)
        return {};
    qToBigEndian(height, jpeg.data() + frame + 5);
    qToBigEndian(width, jpeg.data() + frame + 7);
    return jpeg;
}

[[nodiscard]] inline quint32 pngCrc(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= static_cast<unsigned char>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A valid PNG header declaring any size, followed by one tiny compressed row.
[[nodiscard]] inline QByteArray pngDeclaring(quint32 width, quint32 height)
{
    const auto chunk = [](const char* type, const QByteArray& data) {
        QByteArray typed = QByteArray(type) + data;
        QByteArray bytes;
        appendBigEndian32(bytes, quint32(data.size()));
        bytes += typed;
        appendBigEndian32(bytes, pngCrc(typed));
        return bytes;
    };
    QByteArray header;
    appendBigEndian32(header, width);
    appendBigEndian32(header, height);
    header.append("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, deflate, no interlacing
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", header)
        + chunk("IDAT", qCompress(QByteArray(4, 0)).mid(4)) + chunk("IEND", {});
}

// Qt writes no GIF: a two-colour one (red and blue only) with a clear code after every two pixels, so every
// LZW code stays three bits wide and no string table is needed.
[[nodiscard]] inline QByteArray gifOf(const QImage& picture)
{
    QByteArray gif("GIF89a", 6);
    appendLittleEndian16(gif, quint16(picture.width()));
    appendLittleEndian16(gif, quint16(picture.height()));
    gif.append("\x80\x00\x00", 3); // a global table of two colours
    gif.append("\x00\x00\xFF\xFF\x00\x00", 6); // 0: blue, 1: red
    gif.append('\x2C');
    appendLittleEndian16(gif, 0);
    appendLittleEndian16(gif, 0);
    appendLittleEndian16(gif, quint16(picture.width()));
    appendLittleEndian16(gif, quint16(picture.height()));
    gif.append('\x00');
    gif.append('\x02'); // minimum code size: clear is 4, end is 5

    QByteArray data;
    quint32 bits = 0;
    int bitCount = 0;
    const auto put = [&](quint32 code) {
        bits |= code << bitCount;
        bitCount += 3;
        for (; bitCount >= 8; bitCount -= 8, bits >>= 8)
            data.append(char(bits & 0xFF));
    };
    int pixel = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x, ++pixel) {
            if (pixel % 2 == 0)
                put(4);
            put(picture.pixelColor(x, y) == red ? 1 : 0);
        }
    }
    put(5);
    if (bitCount > 0)
        data.append(char(bits & 0xFF));
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        gif.append(char(block.size())).append(block);
    }
    return gif.append('\x00').append('\x3B');
}

} // namespace platform::samples
