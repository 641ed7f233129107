// How fast and how small a camera photo loads into a photo frame, and how fast a hostile file is refused.
// Targets on a 2-core machine: median load at most 30 ms, peak memory at most 40 MB above idle,
// refusal of a PNG declaring 30000 x 30000 pixels within 50 ms.
//
// Memory is measured in a fresh child process (this program started again with --peak), so that the
// parent's own 100 MB test picture does not hide the figure.

#include "../tests/platform/picture_samples.h"
#include "photo_common.h"
#include "platform/picture_loader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using bench::statusKib;

const QSize frame(144, 137);
constexpr int runs = 15;

struct Timing {
    double median;
    double min;
    double max;
};

template <typename Work> Timing timeRuns(Work work)
{
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return { ms[ms.size() / 2], ms.front(), ms.back() };
}

// The child: idle, then (when warm) one small decode so plugins and libraries are already loaded, then the
// photo. Resetting the high-water mark makes VmHWM the peak of the load alone.
int measurePeak(const QString& path, bool warm)
{
    const platform::QtPictureLoader loader;
    if (warm) {
        QByteArray small = platform::samples::encoded(platform::samples::quadrantPicture(), "jpeg", 90);
        QBuffer buffer(&small);
        buffer.open(QIODevice::ReadOnly);
        if (loader.decode(buffer, frame, 1.0).isNull())
            return 1;
    }
    QFile clearRefs("/proc/self/clear_refs");
    const bool reset = clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
    clearRefs.close();
    const qint64 idle = reset ? statusKib("VmRSS:") : statusKib("VmHWM:");
    const QImage picture = loader.load(path, frame, 1.0);
    const qint64 peak = statusKib("VmHWM:");
    std::printf("%lld %lld %d\n", peak - idle, idle, picture.isNull() ? 0 : 1);
    return 0;
}

qint64 childPeakKib(const QString& path, bool warm)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), { "--peak", path, warm ? "warm" : "cold" });
    if (!child.waitForFinished(60000) || child.exitCode() != 0)
        return -1;
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 3 || fields[2] != "1")
        return -1;
    std::printf("  %s: idle resident %lld KiB, peak above idle %lld KiB\n", warm ? "warm" : "cold",
        fields[1].toLongLong(), fields[0].toLongLong());
    return fields[0].toLongLong();
}

} // namespace

int main(int argc, char* argv[])
{
    const QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == "--peak")
        return measurePeak(arguments[2], arguments[3] == "warm");

    QTemporaryDir dir;
    const QString photoPath = dir.filePath("photo.jpg");
    const QString hostilePath = dir.filePath("hostile.png");
    {
        QElapsedTimer timer;
        timer.start();
        QFile photoFile(photoPath);
        const QByteArray jpeg = platform::samples::encoded(bench::cameraPicture({ 6000, 4000 }), "jpeg", 90);
        QFile hostileFile(hostilePath);
        const QByteArray png = platform::samples::pngDeclaring(30000, 30000);
        if (jpeg.isEmpty() || !photoFile.open(QIODevice::WriteOnly) || photoFile.write(jpeg) != jpeg.size()
            || !hostileFile.open(QIODevice::WriteOnly) || hostileFile.write(png) != png.size()) {
            std::fprintf(stderr, "could not write the test files\n");
            return 1;
        }
        std::printf(
            "6000 x 4000 JPEG, quality 90: %.1f MB, made in %lld ms\n", double(jpeg.size()) / 1e6, timer.elapsed());
    }

    const platform::QtPictureLoader loader;
    // First, so that its first run also pays for loading the image plugins.
    bool refused = true;
    const Timing refusal = timeRuns([&] { refused = refused && loader.load(hostilePath, frame, 1.0).isNull(); });
    bool loaded = true;
    const Timing load = timeRuns([&] {
        const QImage picture = loader.load(photoPath, frame, 1.0);
        loaded = loaded && picture.size() == frame;
    });
    // What the loader cannot beat: Qt's JPEG decoder alone at the same size, without any of the checks.
    const Timing decoder = timeRuns([&] {
        QImageReader reader(photoPath);
        reader.setScaledSize(frame);
        loaded = loaded && reader.read().size() == frame;
    });

    std::printf("refuse 30000 x 30000 PNG (%d runs): median %.2f ms, min %.2f ms, max %.2f ms%s\n", runs,
        refusal.median, refusal.min, refusal.max, refused ? "" : "  NOT REFUSED");
    std::printf("load into 144 x 137 (%d runs): median %.1f ms, min %.1f ms, max %.1f ms%s\n", runs, load.median,
        load.min, load.max, loaded ? "" : "  WRONG RESULT");
    std::printf(
        "  Qt's decoder alone: median %.1f ms, min %.1f ms, max %.1f ms\n", decoder.median, decoder.min, decoder.max);
    std::printf("peak memory of one load in a fresh process:\n");
    const qint64 cold = childPeakKib(photoPath, false);
    const qint64 warm = childPeakKib(photoPath, true);

    const bool met
        = loaded && refused && load.median <= 30 && refusal.max <= 50 && cold >= 0 && warm >= 0 && cold <= 40 * 1024;
    std::printf("%s\n", met ? "targets met" : "TARGETS MISSED");
    return met ? 0 : 1;
}
