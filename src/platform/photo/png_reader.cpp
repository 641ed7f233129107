#include "platform/photo/png_reader.h"

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QVariant>

#include <csetjmp>
#include <memory>
#include <vector>

#include <png.h>

#include "platform/photo/picture_limits.h"

namespace photo {

namespace {

    thread_local int t_scopes = 0;

    const QByteArray kSignature("\x89PNG\r\n\x1a\n", 8);

    // libpng's state for one pass over the data; errors arrive through longjmp, so it is released outside the
    // frame that calls setjmp.
    class Reading {
    public:
        explicit Reading(QIODevice* device)
            : m_png(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning))
            , m_info(m_png ? png_create_info_struct(m_png) : nullptr)
        {
            if (!m_info)
                return;
            png_set_read_fn(m_png, device, readFromDevice);
            // No chunk can be longer than the data it is in.
            png_set_chunk_malloc_max(m_png, png_alloc_size_t(device->size() - device->pos()));
            // libpng only warns about a text chunk longer than that limit, and still allocates what it declares
            // (tests/platform/photo/regressions/png-text-chunk-before-image-declares-553-mb.png); the pixels need
            // no chunk beyond the critical ones, so every other is skipped unread.
            png_set_keep_unknown_chunks(m_png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
        }
        ~Reading() { png_destroy_read_struct(&m_png, m_info ? &m_info : nullptr, nullptr); }
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;

        [[nodiscard]] bool isValid() const { return m_info != nullptr; }
        [[nodiscard]] png_structp png() const { return m_png; }
        [[nodiscard]] png_infop info() const { return m_info; }

    private:
        [[noreturn]] static void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
        static void onWarning(png_structp, png_const_charp) { }
        static void readFromDevice(png_structp png, png_bytep into, size_t size)
        {
            auto* device = static_cast<QIODevice*>(png_get_io_ptr(png));
            if (device->read(reinterpret_cast<char*>(into), qint64(size)) != qint64(size))
                png_error(png, "cut short");
        }

        png_structp m_png;
        png_infop m_info;
    };

    // Only trivially destructible locals here: a failure jumps back into this frame.
    bool readSize(const Reading& reading, QSize& size)
    {
        if (setjmp(png_jmpbuf(reading.png())))
            return false;
        png_read_info(reading.png(), reading.info());
        size = QSize(int(png_get_image_width(reading.png(), reading.info())),
            int(png_get_image_height(reading.png(), reading.info())));
        return true;
    }

    // Every kind of PNG comes out as 8-bit blue, green, red and alpha (or filler) in QImage's 32-bit layout.
    bool readImage(const Reading& reading, QImage& image, std::vector<png_bytep>& rows)
    {
        png_structp png = reading.png();
        png_infop info = reading.info();
        if (setjmp(png_jmpbuf(png)))
            return false;
        png_read_info(png, info);
        // Also for the PNG pictures inside icons, which Qt's icon reader decodes without asking their size first.
        if (qint64(png_get_image_width(png, info)) * png_get_image_height(png, info) > picture_limits::maxWholePixels)
            return false;
        const bool alpha
            = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
        png_set_expand(png);
        png_set_scale_16(png);
        png_set_gray_to_rgb(png);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        png_set_bgr(png);
        if (!alpha)
            png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
#else
        if (alpha)
            png_set_swap_alpha(png);
        else
            png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
#endif
        png_read_update_info(png, info);
        image = QImage(int(png_get_image_width(png, info)), int(png_get_image_height(png, info)),
            alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (image.isNull())
            return false;
        rows.resize(std::size_t(image.height()));
        for (int y = 0; y < image.height(); ++y)
            rows[std::size_t(y)] = image.scanLine(y);
        png_read_image(png, rows.data());
        // On to the end, so damage after the image data is seen too.
        png_read_end(png, nullptr);
        return true;
    }

} // namespace

PngLimitScope::PngLimitScope() { ++t_scopes; }

PngLimitScope::~PngLimitScope() { --t_scopes; }

bool PngLimitScope::isActive() { return t_scopes > 0; }

bool LimitedPngHandler::hasSignature(QIODevice* device) { return device && device->peek(8) == kSignature; }

bool LimitedPngHandler::canRead() const
{
    if (!hasSignature(device()))
        return false;
    setFormat("png");
    return true;
}

bool LimitedPngHandler::read(QImage* image)
{
    const Reading reading(device());
    std::vector<png_bytep> rows;
    QImage decoded;
    if (!reading.isValid() || !readImage(reading, decoded, rows))
        return false;
    *image = std::move(decoded);
    return true;
}

bool LimitedPngHandler::supportsOption(ImageOption option) const { return option == Size; }

QVariant LimitedPngHandler::option(ImageOption option) const
{
    if (option != Size || !device())
        return {};
    // The header is read ahead and the data left where it was, for the read that follows.
    const qint64 start = device()->pos();
    QSize size;
    bool read = false;
    {
        const Reading reading(device());
        read = reading.isValid() && readSize(reading, size);
    }
    device()->seek(start);
    return read ? QVariant(size) : QVariant();
}

QImageIOPlugin::Capabilities LimitedPngPlugin::capabilities(QIODevice* device, const QByteArray& format) const
{
    if (!PngLimitScope::isActive())
        return {};
    if (format == "png" || (format.isEmpty() && LimitedPngHandler::hasSignature(device)))
        return CanRead;
    return {};
}

// QImageReader gives the handler its device and format.
QImageIOHandler* LimitedPngPlugin::create(QIODevice*, const QByteArray&) const { return new LimitedPngHandler; }

} // namespace photo
