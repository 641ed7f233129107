#include "platform/picture_loader.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QImageIOHandler>
#include <QImageReader>
#include <QPixelFormat>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

namespace platform {

namespace {

    constexpr double decodeLimitBytes = double(QtPictureLoader::decodeLimitMegabytes) * 1024 * 1024;

    [[nodiscard]] bool isPhotoFormat(const QByteArray& format)
    {
        static constexpr std::array<const char*, 6> photoFormats { "jpeg", "png", "bmp", "gif", "webp", "ico" };
        return std::any_of(photoFormats.begin(), photoFormats.end(), [&](const char* name) { return format == name; });
    }

    // Qt keeps one allocation limit for the whole process, so it is tightened for one decode and then put back.
    class AllocationLimitScope {
    public:
        AllocationLimitScope()
            : m_previous(QImageReader::allocationLimit())
        {
            if (m_previous == 0 || m_previous > QtPictureLoader::decodeLimitMegabytes)
                QImageReader::setAllocationLimit(QtPictureLoader::decodeLimitMegabytes);
        }
        ~AllocationLimitScope() { QImageReader::setAllocationLimit(m_previous); }
        AllocationLimitScope(const AllocationLimitScope&) = delete;
        AllocationLimitScope& operator=(const AllocationLimitScope&) = delete;

    private:
        int m_previous;
    };

    // libjpeg goes on past damaged image data with only a warning and paints what it could not read; such a
    // picture is refused rather than shown half-drawn. The warnings are caught for one decode and kept quiet.
    class DamageWatch {
    public:
        DamageWatch()
        {
            s_damaged = false;
            m_previous = qInstallMessageHandler(&DamageWatch::watch);
        }
        ~DamageWatch() { qInstallMessageHandler(m_previous); }
        DamageWatch(const DamageWatch&) = delete;
        DamageWatch& operator=(const DamageWatch&) = delete;
        [[nodiscard]] bool seen() const { return s_damaged; }

    private:
        static void watch(QtMsgType, const QMessageLogContext&, const QString& message)
        {
            // Stray bytes between segments are harmless: the walk above tolerates them too.
            if ((message.contains(QLatin1String("Corrupt JPEG data"))
                    && !message.contains(QLatin1String("extraneous bytes before marker")))
                || message.contains(QLatin1String("Premature end of JPEG file"))
                || message.contains(QLatin1String("Inconsistent progression sequence")))
                s_damaged = true;
        }

        static inline bool s_damaged = false;
        QtMessageHandler m_previous;
    };

    // Reads a device in chunks; the JPEG walk mostly hunts for the next 0xFF, which memchr does quickly.
    class ChunkReader {
    public:
        explicit ChunkReader(QIODevice& device)
            : m_device(device)
            , m_chunk(64 * 1024, Qt::Uninitialized)
        {
        }

        // The next byte, or -1 at the end of the data.
        [[nodiscard]] int next()
        {
            if (m_pos == m_end && !refill())
                return -1;
            return static_cast<unsigned char>(m_chunk[m_pos++]);
        }

        [[nodiscard]] bool skip(qint64 count)
        {
            while (count > 0) {
                if (m_pos == m_end && !refill())
                    return false;
                const qsizetype step = qsizetype(std::min<qint64>(count, m_end - m_pos));
                m_pos += step;
                count -= step;
            }
            return true;
        }

        // Moves just past the next 0xFF byte.
        [[nodiscard]] bool skipPastFF()
        {
            for (;;) {
                if (m_pos == m_end && !refill())
                    return false;
                const char* from = m_chunk.constData() + m_pos;
                if (const void* hit = std::memchr(from, 0xFF, size_t(m_end - m_pos))) {
                    m_pos += static_cast<const char*>(hit) - from + 1;
                    return true;
                }
                m_pos = m_end;
            }
        }

    private:
        bool refill()
        {
            m_pos = 0;
            m_end = qsizetype(std::max<qint64>(m_device.read(m_chunk.data(), m_chunk.size()), 0));
            return m_end > 0;
        }

        QIODevice& m_device;
        QByteArray m_chunk;
        qsizetype m_pos = 0;
        qsizetype m_end = 0;
    };

    struct JpegLayout {
        bool complete = false; // the image data runs up to an end-of-image marker
        double coefficientBytes = 0; // what libjpeg buffers for the whole image when one pass is not enough
        double blocks = 0;
        bool huffman = true; // arithmetic coding can spend less than a bit on a block
    };

    [[nodiscard]] bool isStartOfFrame(int marker)
    {
        return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    }

    [[nodiscard]] bool isStandalone(int marker)
    {
        return marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
    }

    // The number of 8 x 8 blocks over all components of a frame.
    [[nodiscard]] double blockCount(const QByteArray& frame)
    {
        if (frame.size() < 6)
            return 0;
        const auto at = [&](qsizetype i) { return static_cast<unsigned char>(frame[i]); };
        const double height = at(1) << 8 | at(2);
        const double width = at(3) << 8 | at(4);
        const int components = at(5);
        if (frame.size() < 6 + 3 * components)
            return 0;
        int maxH = 1;
        int maxV = 1;
        for (int c = 0; c < components; ++c) {
            maxH = std::max(maxH, at(7 + 3 * c) >> 4);
            maxV = std::max(maxV, at(7 + 3 * c) & 0x0F);
        }
        double blocks = 0;
        for (int c = 0; c < components; ++c) {
            const int h = at(7 + 3 * c) >> 4;
            const int v = at(7 + 3 * c) & 0x0F;
            blocks += std::ceil(width / (8.0 * maxH)) * h * std::ceil(height / (8.0 * maxV)) * v;
        }
        return blocks;
    }

    // libjpeg decodes a cut-off file with only a warning and paints the missing part grey; walking the segments
    // and the entropy-coded data up to the end-of-image marker refuses such a file before it is decoded. The walk
    // also notes progressive or multi-scan files, and files whose first scan leaves out a component: for those
    // libjpeg keeps the whole coefficient buffer in memory.
    [[nodiscard]] JpegLayout walkJpeg(QIODevice& device)
    {
        ChunkReader in(device);
        JpegLayout layout;
        if (in.next() != 0xFF || in.next() != 0xD8)
            return layout;

        bool progressive = false;
        bool firstScanPartial = false;
        int scans = 0;
        QByteArray frame;
        int marker = -1; // a marker already met inside entropy-coded data
        for (;;) {
            if (marker < 0) {
                // Stray bytes between segments are skipped, as libjpeg skips them.
                if (!in.skipPastFF())
                    return layout;
                do
                    marker = in.next();
                while (marker == 0xFF);
                if (marker < 0)
                    return layout;
            }
            const int current = std::exchange(marker, -1);
            if (current == 0xD9) {
                layout.complete = scans > 0;
                layout.blocks = blockCount(frame);
                if (progressive || scans > 1 || firstScanPartial)
                    layout.coefficientBytes = layout.blocks * 64 * 2;
                return layout;
            }
            if (isStandalone(current))
                continue;

            const int high = in.next();
            const int low = in.next();
            const int payload = (high << 8 | low) - 2;
            if (high < 0 || low < 0 || payload < 0)
                return layout;
            if (isStartOfFrame(current) && frame.isEmpty()) {
                progressive = current == 0xC2 || current == 0xC6 || current == 0xCA || current == 0xCE;
                layout.huffman = current < 0xC9;
                frame.resize(payload);
                for (char& byte : frame) {
                    const int value = in.next();
                    if (value < 0)
                        return layout;
                    byte = char(value);
                }
            } else if (current == 0xDA && payload > 0) {
                const int inScan = in.next();
                if (inScan < 0 || !in.skip(payload - 1))
                    return layout;
                if (scans == 0 && frame.size() >= 6 && inScan < static_cast<unsigned char>(frame[5]))
                    firstScanPartial = true;
            } else if (!in.skip(payload)) {
                return layout;
            }
            if (current != 0xDA)
                continue;

            // Entropy-coded data: 0xFF is followed by a stuffed zero, a restart marker or the next real marker.
            ++scans;
            while (marker < 0) {
                if (!in.skipPastFF())
                    return layout;
                int next = in.next();
                while (next == 0xFF)
                    next = in.next();
                if (next < 0)
                    return layout;
                if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7))
                    marker = next;
            }
        }
    }

    // Bytes the decode holds at its peak, judged from the declared size before any pixel is read.
    [[nodiscard]] double decodeBytes(QSize declared, QImage::Format format, QSize decodeSize, bool jpeg)
    {
        const double width = declared.width();
        const double height = declared.height();
        const double pixelBytes = std::max(32, int(QImage::toPixelFormat(format).bitsPerPixel())) / 8.0;
        // Nearly every decoder builds the full picture and scales it afterwards; libjpeg instead scales by n/8
        // while decoding, to no less than the requested size, which keeps it within twice that size per axis.
        double scale = 1.0;
        if (jpeg) {
            const double factor = std::min(width / decodeSize.width(), height / decodeSize.height());
            scale = std::clamp(2.0 / factor, 0.125, 1.0);
        }
        const double decoded = std::ceil(width * scale) * std::ceil(height * scale) * pixelBytes;
        return decoded + double(decodeSize.width()) * decodeSize.height() * 4;
    }

} // namespace

QImage QtPictureLoader::load(const QString& path, QSize frameSize, qreal devicePixelRatio) const
{
    // Directories, pipes and device nodes are no photos, and must not be read as if they were.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decode(file, frameSize, devicePixelRatio);
}

QImage QtPictureLoader::decode(QIODevice& device, QSize frameSize, qreal devicePixelRatio) const
{
    if (!std::isfinite(devicePixelRatio) || devicePixelRatio <= 0 || frameSize.isEmpty())
        return {};
    const double targetWidth = std::round(frameSize.width() * devicePixelRatio);
    const double targetHeight = std::round(frameSize.height() * devicePixelRatio);
    if (targetWidth < 1 || targetHeight < 1 || targetWidth * targetHeight * 4 > decodeLimitBytes)
        return {};
    const QSize target { int(targetWidth), int(targetHeight) };

    // The JPEG walk rewinds the device, and the file cap needs its size.
    if (!device.isOpen() || device.isSequential() || device.size() - device.pos() > maxFileBytes)
        return {};
    const qint64 start = device.pos();

    QImageReader reader(&device);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    if (!isPhotoFormat(format))
        return {};

    const bool jpeg = format == "jpeg";
    double extraBytes = 0;
    if (jpeg) {
        const JpegLayout layout = walkJpeg(device);
        if (!layout.complete || !device.seek(start))
            return {};
        // Every Huffman-coded block costs at least one bit: a tiny file that declares a huge picture is damaged,
        // and decoding it would only spend seconds on grey.
        if (layout.huffman && double(device.size() - start) * 8 < layout.blocks)
            return {};
        extraBytes = layout.coefficientBytes;
    }

    const QSize declared = reader.size();
    if (declared.isEmpty())
        return {};
    // Qt scales before it turns the picture upright, so a quarter turn needs the frame's size turned too.
    const bool quarterTurn = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const QSize decodeSize = quarterTurn ? target.transposed() : target;
    if (decodeBytes(declared, reader.imageFormat(), decodeSize, jpeg) + extraBytes > decodeLimitBytes)
        return {};

    reader.setScaledSize(decodeSize);
    QImage picture;
    {
        const AllocationLimitScope limit;
        const DamageWatch damage;
        if (!reader.read(&picture) || damage.seen())
            return {};
    }
    picture.setDevicePixelRatio(devicePixelRatio);
    return picture;
}

} // namespace platform
