// The photo loader against an independent oracle: every picture in corpus/ must show in the frame as its reference
// there (NAME.png, made once by the format's own decoder; a PNG is decoded by Qt here) shows, scaled smoothly to the
// frame and drawn over the panel's green. Damaged files must never show damage their decoder can see, hostile files
// (regressions/: all the fuzzer ever failed on, and headers that lie) must be refused at once, photos are held to
// what decoding them costs, and a load's memory must be given back.

#include <QDirIterator>
#include <QElapsedTimer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <atomic>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <turbojpeg.h>

#include "../../support/pixels.h"
#include "platform/controls/picture_frame.h"
#include "platform/photo/jpeg_decoder.h"
#include "platform/photo/picture_loader.h"

using photo::FilePictureLoader;

namespace {

const QSize kFrame(144, 137); // Image1 and Image2
const QDir kCorpus(QStringLiteral(SCOREBOARD_PHOTO_CORPUS));
const QDir kHostile(QStringLiteral(SCOREBOARD_PHOTO_HOSTILE));

// How far a format's pictures may stray from their reference, in one channel: 1 for a 16-bit PNG brought to 8 bits;
// libjpeg scaling in its transform (averaging each 8 x 8 block before the inverse DCT) and Qt scaling after a full
// decode differ by up to 2, a HEIC thumbnail (a picture encoded apart) by up to 6. A turn, a mirror, a mangled
// palette, swapped channels or a garbled block differ by far more: the four quadrants of the pictures are at least
// 100 apart in a channel.
int tolerance(const QString& suffix) { return suffix == "jpg" ? 3 : suffix == "heic" ? 7 : 1; }

// The picture over the panel's green in a frame on a screen of `dpr`, in device pixels: the loader's own through the
// photo frame, or a reference scaled smoothly to the frame (in 8-bit premultiplied colour: smooth scaling averages
// neither palette entries nor colours that transparency hides).
QImage framed(const QImage& picture, qreal dpr, bool reference)
{
    QImage shown(kFrame * dpr, QImage::Format_RGB32);
    shown.fill(QColor(0x00, 0x80, 0x00));
    if (reference) {
        QPainter(&shown).drawImage(QPoint(),
            picture.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                .scaled(kFrame * dpr, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        return shown;
    }
    controls::PictureFrame frame(nullptr);
    frame.resize(kFrame);
    frame.setPicture(picture);
    shown.setDevicePixelRatio(dpr);
    frame.render(&shown, QPoint(), QRegion(), QWidget::RenderFlags());
    return shown;
}

int largestDifference(const QImage& a, const QImage& b) { return testing::differences(a, b, 255).second; }

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString written(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

// A HEIF picture's stored size (its ispe property) rewritten from `from` to `to`, the coded data left as it was.
QByteArray heifDeclaring(QByteArray heif, QSize from, QSize to)
{
    const auto sizeBytes = [](QSize size) {
        QByteArray bytes(8, '\0');
        qToBigEndian<quint32>(quint32(size.width()), bytes.data());
        qToBigEndian<quint32>(quint32(size.height()), bytes.data() + 4);
        return bytes;
    };
    const qsizetype at = heif.indexOf("ispe" + QByteArray(4, '\0') + sizeBytes(from));
    return at < 0 ? QByteArray() : heif.replace(at + 8, 8, sizeBytes(to));
}

// A grey JPEG, baseline or progressive, written by TurboJPEG.
QString greyJpeg(const QString& path, QSize size, bool progressive = false, bool noisy = false)
{
    std::vector<unsigned char> grey(std::size_t(size.width()) * size.height(), 128);
    if (noisy) // as large as a phone's file of many times the pixels
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(grey.data()), qsizetype(grey.size() / 4));
    unsigned char* bytes = nullptr;
    unsigned long length = 0;
    tjhandle compressor = tjInitCompress();
    const bool compressed = tjCompress2(compressor, grey.data(), size.width(), 0, size.height(), TJPF_GRAY, &bytes,
                                &length, TJSAMP_GRAY, noisy ? 100 : 90, progressive ? TJFLAG_PROGRESSIVE : 0)
        == 0;
    const QString file = compressed
        ? written(path, QByteArray::fromRawData(reinterpret_cast<char*>(bytes), qsizetype(length)))
        : QString();
    tjFree(bytes);
    tjDestroy(compressor);
    return file;
}

// A line of /proc/self/status, such as VmRSS (resident now) or VmHWM (the peak since the last reset), in kB.
qint64 statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const qsizetype at = text.indexOf(field);
    return at < 0 ? -1 : text.mid(at + qstrlen(field) + 1).trimmed().split(' ').value(0).toLongLong();
}

} // namespace

class TestPictureLoader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What Qt's readers say as they decode (here, the TGA reader's refusal of a PPM) is not printed; what the rest
    // of the program says still is. First, so that the loader's handler goes on to this test's.
    void keepsDecodersQuiet()
    {
        static QStringList said;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& message) { said << message; });
        const QImage picture = FilePictureLoader().load(kCorpus.filePath("ppm.ppm"), kFrame, 1.0);
        qWarning("after");
        qInstallMessageHandler(previous);
        QVERIFY(!picture.isNull());
        QCOMPARE(said, QStringList { "after" });
    }

    void showsWhatItsDecoderShows_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qreal>("dpr");
        QTest::addColumn<QImage>("expected");
        for (const QFileInfo& file : kCorpus.entryInfoList(QDir::Files, QDir::Name)) {
            const QString reference = kCorpus.filePath(file.completeBaseName() + ".png");
            // A PNG that stands beside a picture of another format is that picture's reference.
            if (file.suffix().isEmpty()
                || (file.suffix() == "png" && kCorpus.entryList({ file.completeBaseName() + ".*" }).size() > 1))
                continue;
            for (const qreal dpr : { 1.0, 2.0 })
                QTest::addRow("%s at %gx", qPrintable(file.fileName()), dpr)
                    << file.filePath() << dpr << framed(QImage(reference), dpr, true);
        }
    }

    void showsWhatItsDecoderShows()
    {
        QFETCH(QString, path);
        QFETCH(qreal, dpr);
        QFETCH(QImage, expected);
        const QImage picture = FilePictureLoader().load(path, kFrame, dpr);
        QVERIFY2(
            picture.size() == kFrame * dpr && picture.devicePixelRatio() == dpr, "refused, or not the frame's size");
        const int difference = largestDifference(framed(picture, dpr, false), expected);
        QVERIFY2(difference <= tolerance(QFileInfo(path).suffix()),
            qPrintable(QStringLiteral("differs by %1").arg(difference)));
    }

    // One file of each accepted format, and the JPEG variants that take their own paths through libjpeg, cut short
    // (as an interrupted copy or download leaves them: every decoder can tell) and with 8 bytes changed. Only PNG
    // guards its data (a CRC for each chunk, Adler-32 over the image); in the others a changed byte can decode into
    // other pixels without a word from the decoder, so those rows ask only for safety.
    void neverShowsDamageItsDecoderSees_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QImage>("undamaged");
        QTest::addColumn<bool>("checked");
        for (const char* name :
            { "png-rgb-8-bit.png", "png-palette-4-bit.png", "png-interlaced.png", "jpeg-baseline-420-large.jpg",
                "jpeg-progressive-444-medium.jpg", "jpeg-arithmetic-progressive-444.jpg", "jpeg-restart-markers.jpg",
                "gif-interlaced.gif", "bmp-24-bit.bmp", "bmp-rle8.bmp", "ico-16-32-64-256.ico", "webp-lossy.webp",
                "tiff-lzw.tiff", "heic.heic", "avif.avif", "ppm.ppm", "pgm.pgm", "xpm.xpm", "xbm.xbm", "tga.tga",
                "tga-without-footer.tga", "wbmp.wbmp", "cur.cur" }) {
            const QByteArray bytes = readFile(kCorpus.filePath(name));
            const QImage undamaged = FilePictureLoader().load(kCorpus.filePath(name), kFrame, 1.0);
            for (const int tenths : { 1, 4, 7, 10 })
                QTest::addRow("%s cut to %d tenths", name, tenths)
                    << bytes.left(bytes.size() * tenths / 10 - 1) << undamaged << true;
            for (const int tenths : { 3, 5, 7 }) {
                QByteArray changed = bytes;
                for (int i = 0; i < 8; ++i)
                    changed[changed.size() * tenths / 10 + i] ^= char(0x5A + 37 * i);
                QTest::addRow("%s changed at %d tenths", name, tenths)
                    << changed << undamaged << QByteArray(name).startsWith("png");
            }
        }
    }

    void neverShowsDamageItsDecoderSees()
    {
        QFETCH(QByteArray, bytes);
        QElapsedTimer clock;
        clock.start();
        const QImage picture = FilePictureLoader().load(written(m_dir.filePath("damaged"), bytes), kFrame, 1.0);
        QVERIFY2(clock.elapsed() < 1000, "took a second or more");
        QVERIFY(picture.isNull() || picture.size() == kFrame);
        // A later frame or page may be the one damaged: the first can still be shown.
        QFETCH(bool, checked);
        QFETCH(QImage, undamaged);
        QVERIFY(picture.isNull() || !checked
            || largestDifference(framed(picture, 1, false), framed(undamaged, 1, false)) <= 2);
    }

    // Every input the fuzzer ever failed on and every header that lies, and what is no file at all.
    void refusesHostileFilesAtOnce_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString& name : kHostile.entryList(QDir::Files))
            QTest::newRow(qPrintable(name)) << kHostile.filePath(name);
        const auto at = [&](const char* name) { return m_dir.filePath(name); };
        QTest::newRow("pipe named .jpg") << (::mkfifo(QFile::encodeName(at("pipe.jpg")).constData(), 0600)
                ? ""
                : at("pipe.jpg"));
        QTest::newRow("device named .png") << (QFile::link("/dev/zero", at("device.png")) ? at("device.png") : "");
        QTest::newRow("folder named .jpg") << (QDir(m_dir.path()).mkdir("folder.jpg") ? at("folder.jpg") : "");
        QTest::newRow("missing file") << at("missing.jpg");
        QFile huge(written(at("huge.jpg"), readFile(kCorpus.filePath("jpeg-baseline-444.jpg"))));
        QTest::newRow("file over the size cap") << (huge.resize(256 * 1024 * 1024 + 1) ? huge.fileName() : "");
    }

    void refusesHostileFilesAtOnce()
    {
        QFETCH(QString, path);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!path.isEmpty() && FilePictureLoader().load(path, kFrame, 2.0).isNull());
        QVERIFY2(clock.elapsed() < 50, qPrintable(QStringLiteral("took %1 ms").arg(clock.elapsed())));
    }

    // A HEIF picture decoded whole is held to 100 megapixels, one whose thumbnail covers the frame to 200. The caps
    // count the size the file states, whatever its coded data holds; the one at the cap is a real picture, tiled as
    // cameras store large photos, since libheif 1.22 and later refuse one whose coded data is of another size.
    void takesPhotosByWhatTheyCost_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("shown");
        const QByteArray plain = readFile(kCorpus.filePath("heic.heic"));
        const QByteArray thumbnailed = readFile(kCorpus.filePath("heic-with-thumbnail.heic"));
        QTest::newRow("HEIC of 100 MP") << readFile(kCorpus.filePath("../large/heic-grid-10000x10000.heic")) << true;
        QTest::newRow("HEIC past 100 MP") << heifDeclaring(plain, { 192, 144 }, { 10000, 10001 }) << false;
        // The largest of the thumbnail's shape within 200 MP (32 pixels short).
        QTest::newRow("HEIC of 200 MP with a thumbnail")
            << heifDeclaring(thumbnailed, { 576, 548 }, { 14518, 13776 }) << true;
        QTest::newRow("HEIC past 200 MP with a thumbnail")
            << heifDeclaring(thumbnailed, { 576, 548 }, { 14518, 13777 }) << false;
    }

    void takesPhotosByWhatTheyCost()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!bytes.isEmpty());
        const QImage picture = FilePictureLoader().load(written(m_dir.filePath("declared.heic"), bytes), kFrame, 1.0);
        QTEST(!picture.isNull(), "shown");
    }

    // A frame with no pixels, or more than a picture may have, gets nothing; nor does JPEG data that libjpeg fails
    // on while it is set up (none at all), before it reads a header.
    void refusesFramesNoPictureMayFill()
    {
        for (const auto& [frame, dpr] : { std::pair { QSize(0, 137), 1.0 }, { kFrame, 0.0 }, { kFrame, 72.0 } })
            QVERIFY(FilePictureLoader().load(kCorpus.filePath("png-rgb-8-bit.png"), frame, dpr).isNull());
        QVERIFY(photo::decodeJpeg(QByteArray(), kFrame).isNull());
    }

    // Qt keeps one allocation limit for the whole process, which the interface thread's own image loads (the window
    // icon, the file dialog's) read while photos decode on other threads: decoding leaves it as it was set.
    void leavesQtsAllocationLimitAlone()
    {
        const FilePictureLoader loader;
        const int limit = QImageReader::allocationLimit();
        std::atomic<bool> done = false;
        std::thread decoding([&] {
            for (int round = 0; round < 3; ++round)
                for (const QString& name : kCorpus.entryList(QDir::Files))
                    Q_UNUSED(loader.load(kCorpus.filePath(name), kFrame, 1.0))
            done = true;
        });
        QSet<int> seen;
        while (!done)
            seen << QImageReader::allocationLimit();
        decoding.join();
        QCOMPARE(seen, QSet<int> { limit });
    }

    // After the corpus once (the libraries are loaded by then), another round of it, a 12-megapixel progressive JPEG
    // (every coefficient held while it decodes), a 72-megapixel TIFF scan (more than Qt's readers may allocate unless
    // told), a 108-megapixel phone photo (baseline: decoded at an eighth, it costs little more than its file) and a
    // JPEG of 200 megapixels, the largest allowed (one row more is refused), leave resident memory within 5 MB of
    // where it was; a photo loaded once more takes few page faults.
    void givesMemoryBack()
    {
#ifdef SCOREBOARD_SANITIZED
        QSKIP("A sanitizer's allocator keeps freed memory to itself; the AddressSanitizer build's leak check covers "
              "the loads");
#endif
        const QString progressive = greyJpeg(m_dir.filePath("progressive.jpg"), { 4000, 3000 }, true);
        const QString phone = greyJpeg(m_dir.filePath("phone.jpg"), { 12000, 9000 });
        QImage scan(9000, 8000, QImage::Format_ARGB32);
        scan.fill(QColor(0x20, 0x50, 0xC0));
        QImageWriter writer(m_dir.filePath("scan.tif"));
        writer.setCompression(1);
        QVERIFY(writer.write(scan));
        qint64 before = 0;
        for (int round = 0; round < 2; ++round) {
            if (round == 1)
                before = statusKb("VmRSS:");
            QDirIterator pictures(kCorpus.path(), QDir::Files);
            while (pictures.hasNext()) {
                const QImage shown = FilePictureLoader().load(pictures.next(), kFrame, 1.0);
                Q_UNUSED(shown)
            }
        }
        // A photo loaded again finds the memory the last load left, where handing it all back made every load of a
        // phone's JPEG fault its picture and file in afresh, some two thousand pages.
        const QString camera = greyJpeg(m_dir.filePath("camera.jpg"), { 2400, 2000 }, false, true);
        for (int load = 0; load < 3; ++load) {
            rusage before {}, after {};
            getrusage(RUSAGE_SELF, &before);
            QVERIFY(!FilePictureLoader().load(camera, kFrame, 1.0).isNull());
            getrusage(RUSAGE_SELF, &after);
            if (load == 2)
                QVERIFY2(after.ru_minflt - before.ru_minflt < 64,
                    qPrintable(QStringLiteral("%1 page faults").arg(after.ru_minflt - before.ru_minflt)));
        }
        QFile clearRefs(QStringLiteral("/proc/self/clear_refs")); // "5" starts VmHWM again from VmRSS
        QVERIFY(clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1 && clearRefs.flush());
        QVERIFY(!FilePictureLoader().load(phone, kFrame, 1.0).isNull());
        QVERIFY2(statusKb("VmHWM:") - statusKb("VmRSS:") < QFileInfo(phone).size() / 1024 + 32 * 1024,
            "a 108-megapixel JPEG cost more than its file and 32 MiB");
        for (const QString& path : { progressive, m_dir.filePath("scan.tif") })
            QVERIFY(!FilePictureLoader().load(path, kFrame, 1.0).isNull());
        for (const int height : { 10000, 10001 })
            QCOMPARE(
                FilePictureLoader().load(greyJpeg(m_dir.filePath("grey.jpg"), { 20000, height }), kFrame, 1.0).isNull(),
                height > 10000);
        const qint64 kept = statusKb("VmRSS:") - before;
        QVERIFY2(kept <= 5 * 1024, qPrintable(QStringLiteral("%1 kB kept").arg(kept)));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestPictureLoader)
#include "test_picture_loader.moc"
