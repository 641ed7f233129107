#include "platform/qt_picture_decoder.h"

#include <QByteArray>
#include <QIODevice>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/picture_limits.h"

namespace platform {

namespace {

    // Qt keeps one allocation limit for the whole process, so it is set for one decode and then put back.
    class AllocationLimitScope {
    public:
        AllocationLimitScope()
            : m_previous(QImageReader::allocationLimit())
        {
            QImageReader::setAllocationLimit(picture_limits::qtAllocationLimitMegabytes);
        }
        ~AllocationLimitScope() { QImageReader::setAllocationLimit(m_previous); }
        AllocationLimitScope(const AllocationLimitScope&) = delete;
        AllocationLimitScope& operator=(const AllocationLimitScope&) = delete;

    private:
        int m_previous;
    };

    bool isPhotoFormat(const QByteArray& format)
    {
        static constexpr std::array<const char*, 6> formats { "png", "bmp", "gif", "webp", "ico", "tiff" };
        return std::any_of(formats.begin(), formats.end(), [&](const char* name) { return format == name; });
    }

    // Qt's GIF and BMP readers paint what they have of a file cut short, so such a file is refused by what it
    // declares of itself: a GIF ends with its trailer byte, and a BMP's header gives the file's length.
    bool isWhole(QIODevice& device, const QByteArray& format)
    {
        const qint64 start = device.pos();
        const qint64 size = device.size() - start;
        if (format == "gif") {
            char last = 0;
            const bool read = device.seek(start + size - 1) && device.getChar(&last);
            return device.seek(start) && read && last == ';';
        }
        if (format == "bmp") {
            const QByteArray header = device.peek(6);
            return header.size() == 6 && qFromLittleEndian<quint32>(header.constData() + 2) <= quint64(size);
        }
        return true;
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

QImage decodeWithQt(QIODevice& device)
{
    const QByteArray format = QImageReader::imageFormat(&device);
    if (!isPhotoFormat(format) || !isWhole(device, format))
        return {};
    QImageReader reader(&device, format);
    if (format == "ico")
        jumpToLargestIcon(reader);
    // A BMP stored top row first reports its height negative; an unreadable header reports no size at all.
    const QSize declared = reader.size();
    const qint64 pixels = qint64(declared.width()) * std::abs(declared.height());
    if (declared.width() <= 0 || pixels == 0 || pixels > picture_limits::maxPixels)
        return {};
    reader.setAutoTransform(true);
    const AllocationLimitScope limit;
    QImage picture;
    // Decoded whole: a scaled read scales a palette picture within its palette, which mangles it.
    return reader.read(&picture) ? picture : QImage();
}

} // namespace platform
