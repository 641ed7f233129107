// Photo loading for bench/run: a 6000 x 4000 camera JPEG and a 4000 x 3000 PNG into a 144 x 137 photo frame
// through the program's picture loader, against what a plain Qt program would do with the same file in the
// same run: decode it at full size (QImage(path)), and decode it and then scale it (QImage::scaled).
//
//   bench_photo [--runs N]     one line per file and way of loading:
//                              "photo FORMAT WAY median-ms M min-ms A max-ms B peak-above-idle-kib K idle-kib I"
//
// Peak memory is taken in a fresh process per file and way (this program started again with --peak), after a
// small decode of each format has loaded the image plugins, so the figure is the load alone and not the
// test pictures this process holds.

#include "../photo_common.h"
#include "platform/picture_loader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using bench::cameraPicture;
using bench::statusKib;

const QSize kFrame(144, 137);

bool writePicture(const QImage& picture, const QString& path, const char* format, int quality)
{
    QImageWriter writer(path, format);
    writer.setQuality(quality);
    return writer.write(picture);
}

enum class Way { Loader, Plain, Scaled };
constexpr std::array kWays { Way::Loader, Way::Plain, Way::Scaled };

const char* wayName(Way way)
{
    switch (way) {
    case Way::Loader:
        return "loader";
    case Way::Plain:
        return "plain";
    case Way::Scaled:
        return "scaled";
    }
    return "";
}

QImage loadOnce(Way way, const QString& path)
{
    switch (way) {
    case Way::Loader:
        return platform::QtPictureLoader().load(path, kFrame, 1.0);
    case Way::Plain:
        return QImage(path);
    case Way::Scaled:
        // Stretched to the frame, as the loader does ({} is the mode that ignores the proportions).
        return QImage(path).scaled(kFrame, {}, Qt::SmoothTransformation);
    }
    return {};
}

// The child: plugins loaded by small decodes, the high-water mark reset, then one load.
int measurePeak(Way way, const QString& path)
{
    for (const char* format : { "jpeg", "png" }) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImage small(16, 16, QImage::Format_RGB32);
        small.fill(Qt::white);
        if (!QImageWriter(&buffer, format).write(small))
            return 1;
        buffer.close();
        buffer.open(QIODevice::ReadOnly);
        if (platform::QtPictureLoader().decode(buffer, kFrame, 1.0).isNull())
            return 1;
    }
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    const bool reset = clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
    clearRefs.close();
    if (!reset)
        return 1;
    const qint64 idle = statusKib("VmRSS:");
    const QImage picture = loadOnce(way, path);
    const qint64 peak = statusKib("VmHWM:");
    std::printf("%lld %lld %d\n", peak - idle, idle, picture.isNull() ? 0 : 1);
    return 0;
}

struct Peak {
    qint64 aboveIdleKib = -1;
    qint64 idleKib = -1;
};

Peak childPeak(Way way, const QString& path)
{
    QProcess child;
    child.start(
        QCoreApplication::applicationFilePath(), { QStringLiteral("--peak"), QString::fromUtf8(wayName(way)), path });
    if (!child.waitForFinished(60000) || child.exitCode() != 0)
        return {};
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 3 || fields[2] != "1")
        return {};
    return { fields[0].toLongLong(), fields[1].toLongLong() };
}

} // namespace

int main(int argc, char* argv[])
{
    const QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--peak")) {
        for (Way way : kWays) {
            if (arguments[2] == QLatin1String(wayName(way)))
                return measurePeak(way, arguments[3]);
        }
        return 2;
    }
    int runs = 10;
    if (arguments.size() == 3 && arguments[1] == QLatin1String("--runs"))
        runs = std::max(1, arguments[2].toInt());

    QTemporaryDir dir;
    struct Sample {
        const char* format;
        QSize size;
        int quality;
        QString path;
    };
    // Quality 90 is what cameras write; the PNG at the default compression, as an image editor saves one.
    std::vector<Sample> samples { { "jpeg", { 6000, 4000 }, 90, dir.filePath(QStringLiteral("photo.jpg")) },
        { "png", { 4000, 3000 }, -1, dir.filePath(QStringLiteral("photo.png")) } };
    for (const Sample& sample : samples) {
        QElapsedTimer timer;
        timer.start();
        if (!writePicture(cameraPicture(sample.size), sample.path, sample.format, sample.quality)) {
            std::fprintf(stderr, "bench_photo: could not write the %s sample\n", sample.format);
            return 1;
        }
        std::fprintf(stderr, "bench_photo: %d x %d %s, %.1f MB, made in %lld ms\n", sample.size.width(),
            sample.size.height(), sample.format, double(QFile(sample.path).size()) / 1e6, timer.elapsed());
    }

    bool allLoaded = true;
    for (const Sample& sample : samples) {
        for (Way way : kWays) {
            // One load first, which also pays for the plugins, then the timed ones.
            allLoaded = allLoaded && !loadOnce(way, sample.path).isNull();
            std::vector<double> ms;
            for (int run = 0; run < runs; ++run) {
                QElapsedTimer timer;
                timer.start();
                const QImage picture = loadOnce(way, sample.path);
                ms.push_back(double(timer.nsecsElapsed()) / 1e6);
                allLoaded = allLoaded && !picture.isNull();
            }
            std::sort(ms.begin(), ms.end());
            const Peak peak = childPeak(way, sample.path);
            allLoaded = allLoaded && peak.aboveIdleKib >= 0;
            std::printf("photo %s %s median-ms %.2f min-ms %.2f max-ms %.2f peak-above-idle-kib %lld idle-kib %lld\n",
                sample.format, wayName(way), (ms[(ms.size() - 1) / 2] + ms[ms.size() / 2]) / 2, ms.front(), ms.back(),
                peak.aboveIdleKib, peak.idleKib);
            std::fflush(stdout);
        }
    }
    if (!allLoaded)
        std::fprintf(stderr, "bench_photo: a load failed\n");
    return allLoaded ? 0 : 1;
}
