#include "platform/photo/qt_picture_decoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QIODevice>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/photo/picture_limits.h"

namespace photo {

namespace {

    // What Qt's readers on Debian 12 take with the package's dependencies (Qt GUI's own and those of
    // qt6-image-formats-plugins), JPEG aside, most distinctive signature first: some readers' checks are loose (a
    // TGA starts as a cursor does, and almost any bytes that start with a zero pass for WBMP), so each reader is
    // asked in this order whether the data is its own. One name stands for the three of PBM, PGM and PPM; "tga+" is
    // a TGA without the TrueVision 2.0 footer (below).
    // Left out: MNG, whose reader cannot tell a picture's size before decoding it, so no cap could hold; and ICNS,
    // Apple's icons, whose reader allocates whatever length an icon's header declares, up to 2 GiB, before reading
    // it (tests/platform/photo/regressions/icns-icon-declares-2-gib.icns).
    constexpr std::array kFormats { "png", "gif", "webp", "bmp", "tiff", "tga", "ico", "cur", "tga+", "xpm", "xbm",
        "ppm", "wbmp" };

    bool claims(QIODevice& device, const char* format)
    {
        const qint64 start = device.pos();
        QImageReader reader(&device, format);
        reader.setAutoDetectImageFormat(false);
        const bool canRead = reader.canRead();
        // Some readers (GIF, TGA) leave the device where their look ended.
        return device.seek(start) && canRead;
    }

    // The TGA footer says where the optional extension and developer areas are; this one says there are none.
    const QByteArray kTgaFooter = QByteArray(8, '\0') + QByteArrayLiteral("TRUEVISION-XFILE.") + '\0';

    // Qt's TGA reader takes only files that end with the TrueVision 2.0 footer, which the format leaves optional and
    // which ImageMagick and most other tools do not write; the pixels are read without it. So an uncompressed
    // true-colour TGA without one, the only kind that reader decodes, is read with a footer added, once its header
    // shows that the file holds every pixel it declares: the reader paints past the end of a file cut short.
    QByteArray tgaWithFooter(QIODevice& device)
    {
        const QByteArray header = device.peek(18);
        if (header.size() < 18 || header[2] != 2 || device.size() < kTgaFooter.size())
            return {};
        const qint64 start = device.pos();
        QByteArray data = device.readAll();
        if (!device.seek(start) || data.endsWith(kTgaFooter.mid(8)))
            return {};
        const auto field = [&header](int at) { return qFromLittleEndian<quint16>(header.constData() + at); };
        const auto bytesOf = [](qint64 bits) { return (bits + 7) / 8; };
        const qint64 colourMap = header[1] == 1 ? field(5) * bytesOf(quint8(header[7])) : 0;
        const qint64 pixels = qint64(field(12)) * field(14) * bytesOf(quint8(header[16]));
        return data.size() >= 18 + quint8(header[0]) + colourMap + pixels ? data.append(kTgaFooter) : QByteArray();
    }

    // The last `count` bytes from `start` on, the device left at `start`.
    QByteArray tail(QIODevice& device, qint64 start, qint64 count)
    {
        const qint64 from = std::max(start, device.size() - count);
        const QByteArray bytes = device.seek(from) ? device.read(device.size() - from) : QByteArray();
        return device.seek(start) ? bytes : QByteArray();
    }

    // Qt's GIF, BMP and XBM readers paint what they have of a file cut short, so such a file is refused by what it
    // declares of itself: a GIF ends with its trailer byte, a BMP's header gives the file's length, and an XBM is C
    // source whose data ends with a closing brace.
    bool isWhole(QIODevice& device, const QByteArray& format)
    {
        const qint64 start = device.pos();
        if (format == "gif")
            return tail(device, start, 1) == ";";
        if (format == "bmp") {
            const QByteArray header = device.peek(6);
            return header.size() == 6
                && qFromLittleEndian<quint32>(header.constData() + 2) <= quint64(device.size() - start);
        }
        if (format == "xbm") {
            const QByteArray end = tail(device, start, 16).trimmed();
            return end.endsWith('}') || end.endsWith("};");
        }
        return true;
    }

    // Qt's GIF reader allocates the logical screen its file states, but reports the first frame's size when that
    // screen is ten times the frame's or more: then what it reports is not what the picture costs. No photo is drawn
    // that way, and Qt tells the screen no other way than by allocating it, so the loader reads it (the two fields
    // after the signature, little-endian) and takes the file only when the two agree
    // (tests/platform/photo/regressions/gif-screen-12320x189-frame-12442x12320.gif).
    bool declaresItsScreen(const QByteArray& head, QSize declared)
    {
        return head.size() == 10
            && declared
            == QSize(
                qFromLittleEndian<quint16>(head.constData() + 6), qFromLittleEndian<quint16>(head.constData() + 8));
    }

    // An icon image is at most 256 pixels wide, no more than the frame needs: the largest fits it best.
    void jumpToLargestIcon(QImageReader& reader)
    {
        int largest = 0;
        qint64 largestArea = 0;
        for (int i = 0; i < reader.imageCount() && reader.jumpToImage(i); ++i) {
            const qint64 area = qint64(reader.size().width()) * reader.size().height();
            if (area > largestArea) {
                largest = i;
                largestArea = area;
            }
        }
        reader.jumpToImage(largest);
    }

} // namespace

void limitQtReaderAllocations()
{
    const qint64 bytes = picture_limits::maxWholePixels * picture_limits::maxBytesPerPixel;
    QImageReader::setAllocationLimit(int((bytes + (1 << 20) - 1) >> 20)); // MiB, rounded up
}

QImage decodeWithQt(QIODevice& device)
{
    const qint64 start = device.pos();
    QByteArray footed;
    QBuffer withFooter(&footed);
    for (const char* name : kFormats) {
        if (!device.seek(start))
            return {};
        QIODevice* source = &device;
        QByteArray format(name);
        if (format == "tga+") {
            footed = tgaWithFooter(device);
            if (footed.isEmpty() || !withFooter.open(QIODevice::ReadOnly))
                continue;
            source = &withFooter;
            format = "tga";
        }
        if (!claims(*source, format))
            continue;
        if (!isWhole(*source, format))
            return {};
        const QByteArray head = source->peek(10);
        QImageReader reader(source, format);
        reader.setAutoDetectImageFormat(false);
        reader.setAutoTransform(true);
        if (format == "ico" || format == "cur")
            jumpToLargestIcon(reader);
        // A BMP stored top row first reports its height negative; an unreadable header reports no size at all.
        const QSize declared = reader.size();
        const qint64 pixels = qint64(declared.width()) * std::abs(declared.height());
        if (pixels > picture_limits::maxWholePixels || (format == "gif" && !declaresItsScreen(head, declared)))
            return {};
        QImage picture;
        // Decoded whole: a scaled read scales a palette picture within its palette, which mangles it. A reader that
        // claims the data and cannot read it may have been wrong to claim it (the icon readers take a TGA for theirs),
        // so the next is asked.
        if (declared.width() > 0 && pixels > 0 && reader.read(&picture))
            return picture;
    }
    return {};
}

} // namespace photo
