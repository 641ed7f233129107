// Photo loading for bench/run: camera and phone pictures into a 144 x 137 photo frame through the program's
// loader, beside the floor of each format's own decoder on the same file in the same run:
//   6000 x 4000 JPEG, baseline and progressive   TurboJPEG decoding at the scale the loader picks
//   5000 x 4000 PNG                               a plain QImageReader decode
//   4000 x 3000 HEIC (12 MP)                      libheif decoding the primary picture
//
//   bench_photo [--runs N]     one line per file and way:
//                              "photo FILE|WAY| median-ms M min-ms A max-ms B cpu-ms C peak-above-idle-kib K"
//                              (C: the median CPU time of a load, every thread of the process)
//   bench_photo --repeat INDEX loader|floor N
//                              one way on one file (0 baseline JPEG, 1 progressive, 2 PNG, 3 HEIC), once unmeasured
//                              and then N times, and nothing else: for perf stat and callgrind, which see the whole
//                              process (bench/README.md, "Where a photo load goes")
//   bench_photo --serve INDEX loader|floor
//                              one way on one file, once unmeasured, then once for every line read, answering each
//                              with "WALL_MS CPU_MS": the timed runs' servers
//
// Peak memory is taken in a fresh process per file and way (this program started again with --peak), after a
// small load of each format has loaded the libraries and plugins, so the figure is the load alone.

#include "platform/photo/picture_loader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include <libheif/heif.h>
#include <turbojpeg.h>

namespace {

const QSize kFrame(144, 137);

// Smooth gradients like sky and skin, plus sensor noise, which is what makes camera files large.
QImage cameraPicture(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        const double v = double(y) / size.height();
        for (int x = 0; x < size.width(); ++x) {
            const double u = double(x) / size.width();
            const int noise = int(random.bounded(25)) - 12;
            const auto channel = [&](double value) { return std::clamp(int(value * 255) + noise, 0, 255); };
            row[x] = qRgb(channel(0.2 + 0.6 * u), channel(0.5 + 0.4 * std::sin(6 * u + 3 * v)), channel(0.9 - 0.7 * v));
        }
    }
    return picture;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// TurboJPEG at the smallest scale that covers the frame, as the loader decodes.
bool turboJpegFloor(const QString& path)
{
    const QByteArray jpeg = readFile(path);
    const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.constData());
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    if (!handle
        || tjDecompressHeader3(handle.get(), data, jpeg.size(), &width, &height, &subsampling, &colourspace) != 0)
        return false;
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    tjscalingfactor best { 1, 1 };
    for (int i = 0; i < count; ++i) {
        const tjscalingfactor f = factors[i];
        if (TJSCALED(width, f) >= kFrame.width() && TJSCALED(height, f) >= kFrame.height()
            && TJSCALED(width, f) < TJSCALED(width, best))
            best = f;
    }
    std::vector<unsigned char> pixels(std::size_t(TJSCALED(width, best)) * TJSCALED(height, best) * 4);
    return tjDecompress2(handle.get(), data, jpeg.size(), pixels.data(), TJSCALED(width, best), 0,
               TJSCALED(height, best), TJPF_BGRX, 0)
        == 0;
}

bool libheifFloor(const QString& path)
{
    const std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(), heif_context_free);
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    const bool decoded
        = heif_context_read_from_file(context.get(), QFile::encodeName(path).constData(), nullptr).code == heif_error_Ok
        && heif_context_get_primary_image_handle(context.get(), &handle).code == heif_error_Ok
        && heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code
            == heif_error_Ok;
    heif_image_release(image);
    heif_image_handle_release(handle);
    return decoded;
}

struct Sample {
    const char* name;
    const char* floor;
    QString path;
};

bool loadOnce(const Sample& sample, bool floor)
{
    if (!floor)
        return !photo::FilePictureLoader().load(sample.path, kFrame, 1.0).isNull();
    const QByteArray way(sample.floor);
    if (way == "turbojpeg")
        return turboJpegFloor(sample.path);
    if (way == "libheif")
        return libheifFloor(sample.path);
    return !QImageReader(sample.path).read().isNull();
}

// CPU time of every thread of this process, less dependent on what else the machine runs than wall time.
double processCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

qint64 statusKib(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// The child: libraries and plugins loaded by a small load, the high-water mark reset, then one load.
int measurePeak(const Sample& sample, bool floor, const QString& warmUp)
{
    if (!loadOnce({ sample.name, sample.floor, warmUp }, floor))
        return 1;
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (!clearRefs.open(QIODevice::WriteOnly) || clearRefs.write("5") != 1)
        return 1;
    clearRefs.close();
    const qint64 idle = statusKib("VmRSS:");
    const bool loaded = loadOnce(sample, floor);
    std::printf("%lld %d\n", statusKib("VmHWM:") - idle, loaded ? 1 : 0);
    return 0;
}

qint64 childPeak(int index, bool floor)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--peak"), QString::number(index), QString::number(int(floor)) });
    if (!child.waitForFinished(120000) || child.exitCode() != 0)
        return -1;
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    return fields.size() == 2 && fields[1] == "1" ? fields[0].toLongLong() : -1;
}

bool run(const QString& script)
{
    return QProcess::execute(QStringLiteral("bash"), { QStringLiteral("-c"), script }) == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    // The files live in one folder per user, made once: the camera picture takes a few seconds to draw.
    const QString folder = QDir::temp().filePath(QStringLiteral("scoreboard-bench-photo"));
    QDir().mkpath(folder);
    const auto file = [&](const char* name) { return QDir(folder).filePath(QLatin1String(name)); };
    const std::vector<Sample> samples { { "6000 × 4000 JPEG, baseline", "turbojpeg", file("baseline.jpg") },
        { "6000 × 4000 JPEG, progressive", "turbojpeg", file("progressive.jpg") },
        { "5000 × 4000 PNG", "qimagereader", file("photo.png") },
        { "4000 × 3000 HEIC", "libheif", file("photo.heic") } };
    const QStringList warmUps { file("small.jpg"), file("small.jpg"), file("small.png"), file("small.heic") };

    if (arguments.size() == 4 && arguments[1] == QLatin1String("--peak")) {
        const int index = arguments[2].toInt();
        return measurePeak(samples.at(std::size_t(index)), arguments[3] == QLatin1String("1"), warmUps.at(index));
    }
    int runs = 10;
    if (arguments.size() == 3 && arguments[1] == QLatin1String("--runs"))
        runs = std::max(1, arguments[2].toInt());

    if (!QFile::exists(file("photo.heic"))) {
        const QImage camera = cameraPicture({ 6000, 4000 });
        QImageWriter baseline(file("baseline.jpg"), "jpeg");
        baseline.setQuality(90);
        QImageWriter progressive(file("progressive.jpg"), "jpeg");
        progressive.setQuality(90);
        progressive.setProgressiveScanWrite(true);
        const bool written = baseline.write(camera) && progressive.write(camera)
            && camera.copy(0, 0, 5000, 4000).save(file("photo.png")) && camera.scaled(4000, 3000).save(file("heic.png"))
            && camera.scaled(64, 48).save(file("small.jpg")) && camera.scaled(64, 48).save(file("small.png"))
            && run(QStringLiteral("cd '%1' && heif-enc -q 85 heic.png -o photo.heic >/dev/null && "
                                  "convert small.png -quality 85 small.heic && rm heic.png")
                       .arg(folder));
        if (!written) {
            std::fputs("bench_photo: could not write the sample pictures\n", stderr);
            return 1;
        }
    }

    if (arguments.size() == 4 && arguments[1] == QLatin1String("--serve")) {
        const Sample& sample = samples.at(std::size_t(arguments[2].toInt()));
        const bool floor = arguments[3] == QLatin1String("floor");
        if (!loadOnce(sample, floor))
            return 1;
        char line[16];
        while (std::fgets(line, sizeof line, stdin)) {
            QElapsedTimer timer;
            const double cpuBefore = processCpuMs();
            timer.start();
            if (!loadOnce(sample, floor))
                return 1;
            std::printf("%.3f %.3f\n", double(timer.nsecsElapsed()) / 1e6, processCpuMs() - cpuBefore);
            std::fflush(stdout);
        }
        return 0;
    }
    if (arguments.size() == 5 && arguments[1] == QLatin1String("--repeat")) {
        const Sample& sample = samples.at(std::size_t(arguments[2].toInt()));
        const bool floor = arguments[3] == QLatin1String("floor");
        bool loaded = loadOnce(sample, floor);
        for (int i = 0, n = arguments[4].toInt(); i < n; ++i)
            loaded = loadOnce(sample, floor) && loaded;
        return loaded ? 0 : 1;
    }
    bool allLoaded = true;
    for (std::size_t index = 0; index < samples.size(); ++index) {
        const Sample& sample = samples[index];
        // The two ways load in two processes of their own, each keeping its heap from load to load as the program
        // does, and take turns (ABBA), so that whatever else the machine does meets both alike.
        std::vector<std::unique_ptr<QProcess>> servers;
        for (const bool floor : { false, true }) {
            servers.push_back(std::make_unique<QProcess>());
            servers.back()->start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("--serve"), QString::number(index),
                    floor ? QStringLiteral("floor") : QStringLiteral("loader") });
        }
        std::vector<std::vector<double>> ms(2), cpu(2);
        const auto loadIn = [&](int way) {
            QProcess& server = *servers[std::size_t(way)];
            server.write("load\n");
            while (!server.canReadLine())
                if (!server.waitForReadyRead(120000))
                    return false;
            const QList<QByteArray> fields = server.readLine().trimmed().split(' ');
            if (fields.size() != 2)
                return false;
            ms[std::size_t(way)].push_back(fields[0].toDouble());
            cpu[std::size_t(way)].push_back(fields[1].toDouble());
            return true;
        };
        for (int i = 0; i < runs; ++i) {
            const int first = (i % 4 == 1 || i % 4 == 2) ? 1 : 0;
            allLoaded = loadIn(first) && loadIn(1 - first) && allLoaded;
        }
        for (const auto& server : servers) {
            server->closeWriteChannel();
            allLoaded = server->waitForFinished(120000) && server->exitCode() == 0 && allLoaded;
        }
        for (const bool floor : { false, true }) {
            std::vector<double>& wall = ms[floor];
            std::vector<double>& used = cpu[floor];
            if (wall.empty()) {
                allLoaded = false;
                continue;
            }
            std::sort(wall.begin(), wall.end());
            std::sort(used.begin(), used.end());
            const auto median
                = [](const std::vector<double>& v) { return (v[(v.size() - 1) / 2] + v[v.size() / 2]) / 2; };
            const qint64 peak = childPeak(int(index), floor);
            allLoaded = allLoaded && peak >= 0;
            std::printf("photo %s|%s| median-ms %.2f min-ms %.2f max-ms %.2f cpu-ms %.2f peak-above-idle-kib %lld\n",
                sample.name, floor ? sample.floor : "loader", median(wall), wall.front(), wall.back(), median(used),
                peak);
            std::fflush(stdout);
        }
    }
    if (!allLoaded)
        std::fputs("bench_photo: a load failed\n", stderr);
    return allLoaded ? 0 : 1;
}
