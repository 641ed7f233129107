#include "platform/photo/picture_loader.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QtPlugin>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>

#include <malloc.h>
#include <unistd.h>

#include "platform/photo/heif_decoder.h"
#include "platform/photo/jpeg_decoder.h"
#include "platform/photo/picture_limits.h"
#include "platform/photo/png_reader.h"
#include "platform/photo/qt_picture_decoder.h"

Q_IMPORT_PLUGIN(LimitedPngPlugin)

namespace photo {

namespace {

    [[nodiscard]] bool isJpeg(const QByteArray& head) { return head.startsWith("\xFF\xD8\xFF"); }

    // Qt's readers speak of damage through Qt's messages; the operator is never told, so nothing a decode says is
    // printed. Photos decode on a worker thread while the rest of the program goes on, so only that thread is quiet;
    // every other message goes on to the handler that was there before (taken again at each decode, should another
    // have been installed meanwhile).
    thread_local int t_quietScopes = 0;
    std::atomic<QtMessageHandler> g_otherwise = nullptr;

    void dropWhileQuiet(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (const QtMessageHandler otherwise = g_otherwise; t_quietScopes == 0 && otherwise)
            otherwise(type, context, message);
    }

    class QuietScope {
    public:
        QuietScope()
        {
            if (const QtMessageHandler previous = qInstallMessageHandler(dropWhileQuiet); previous != dropWhileQuiet)
                g_otherwise = previous;
            ++t_quietScopes;
        }
        ~QuietScope() { --t_quietScopes; }
        QuietScope(const QuietScope&) = delete;
        QuietScope& operator=(const QuietScope&) = delete;
    };

    // Formats that smooth scaling takes as they are; any other it converts first, which for a large picture costs
    // several times the scaling itself.
    bool isScaledAsItIs(QImage::Format format)
    {
        return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied
            || format == QImage::Format_RGBX8888;
    }

    // Resident memory, from the kernel's count of the process's pages (-1 where it cannot be read).
    qint64 residentBytes()
    {
        std::FILE* statm = std::fopen("/proc/self/statm", "re");
        if (!statm)
            return -1;
        long long size = 0, resident = 0;
        const bool read = std::fscanf(statm, "%lld %lld", &size, &resident) == 2;
        std::fclose(statm);
        return read ? resident * sysconf(_SC_PAGESIZE) : -1;
    }

    // A large decode leaves freed memory in the heap's middle, where only trimming hands it back. Trimming also hands
    // back the few megabytes that every photo needs again at once, which the next photo then pays for in page faults
    // (some two thousand for a phone's JPEG): memory is trimmed only once it has grown by this much since the last
    // trim, so what the process keeps for photos stays within it. Until the first trim, the start of the first load
    // counts as the last trim: the program's first photo, its built-in one at start-up, leaves its heap alone.
    constexpr qint64 kUntrimmedBytes = 4LL * 1024 * 1024;
    std::atomic<qint64> g_residentAfterTrim = -1;

    void trimWhenGrown()
    {
        if (const qint64 resident = residentBytes(); resident >= 0 && resident - g_residentAfterTrim <= kUntrimmedBytes)
            return;
        malloc_trim(0);
        g_residentAfterTrim = residentBytes();
    }

    // Trims after a decode, whatever it returns.
    class TrimScope {
    public:
        TrimScope()
        {
            if (g_residentAfterTrim < 0)
                g_residentAfterTrim = residentBytes();
        }
        ~TrimScope() { trimWhenGrown(); }
        TrimScope(const TrimScope&) = delete;
        TrimScope& operator=(const TrimScope&) = delete;
    };

} // namespace

FilePictureLoader::FilePictureLoader()
{
    static std::once_flag limited;
    std::call_once(limited, limitQtReaderAllocations);
}

std::optional<QByteArray> FilePictureLoader::read(const QString& path) const
{
    // Directories, pipes and device nodes are no photos, and must not be read as if they were.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > picture_limits::maxFileBytes)
        return {};
    QByteArray bytes = file.readAll();
    // A file that grew while it was read may have grown past the cap.
    if (file.error() != QFileDevice::NoError || bytes.size() > picture_limits::maxFileBytes)
        return {};
    return bytes;
}

QImage FilePictureLoader::load(const QString& path, QSize frameSize, qreal devicePixelRatio) const
{
    const std::optional<QByteArray> bytes = read(path);
    return bytes ? decode(*bytes, frameSize, devicePixelRatio) : QImage();
}

QImage FilePictureLoader::decode(const QByteArray& bytes, QSize frameSize, qreal devicePixelRatio) const
{
    const TrimScope trim;
    const QSize target(
        int(std::round(frameSize.width() * devicePixelRatio)), int(std::round(frameSize.height() * devicePixelRatio)));
    if (target.isEmpty() || qint64(target.width()) * target.height() > picture_limits::maxWholePixels)
        return {};
    if (bytes.size() > picture_limits::maxFileBytes)
        return {};

    const QuietScope quiet;
    const PngLimitScope pngLimit;
    QByteArray shared = bytes;
    QBuffer device(&shared);
    device.open(QIODevice::ReadOnly);
    const QByteArray head = bytes.left(64);
    QImage picture;
    if (isJpeg(head))
        picture = decodeJpeg(bytes, target);
    else if (isHeif(head))
        picture = decodeHeif(device, target);
    else
        picture = decodeWithQt(device);
    if (picture.isNull())
        return {};

    // True colour first: smooth scaling keeps a palette picture's format and squeezes the result into a fixed
    // palette (a 1-bit one into black and white), and blends colours that transparency hides unless premultiplied.
    const QImage::Format shown = picture.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (!isScaledAsItIs(picture.format()))
        picture.convertTo(shown);
    picture = picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(shown);
    picture.setDevicePixelRatio(devicePixelRatio);
    return picture;
}

} // namespace photo
