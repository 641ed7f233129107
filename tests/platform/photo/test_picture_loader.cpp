// The photo loader against an independent oracle: for every variant in the corpus, the frame must show what the
// format's own decoder shows (Qt's full-size decode, or libheif's through heif-convert), turned as the file says,
// scaled smoothly to the frame and drawn over the panel's green. Damaged files must never show damage that their
// decoder can see, hostile files must be refused at once, and a load's memory must be given back.

#include "photo_corpus.h"
#include "platform/controls/picture_frame.h"
#include "platform/photo/picture_loader.h"

#include <QElapsedTimer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cstdlib>
#include <numeric>

#include <jpeglib.h>
#include <sys/stat.h>
#include <zlib.h>

using photo::FilePictureLoader;

namespace {

const QSize kFrame(144, 137); // Image1 and Image2
// Most decoders agree with their reference exactly. libjpeg scaling in its transform (averaging each 8 x 8 block
// before the inverse DCT) and Qt scaling after a full decode differ by up to 4 in a channel here, a HEIC thumbnail
// (a picture encoded apart) by up to 6. A turn, a mirror, a mangled palette, swapped channels or a garbled block
// each differ by far more than 8: the four quadrants of the test pictures are at least 100 apart in a channel.
constexpr int kTolerance = 8;

// The picture over the panel's green in a frame on a screen of `dpr`, in device pixels; the loader's own through
// the photo frame, a reference scaled smoothly to the frame (in 8-bit premultiplied colour: smooth scaling cannot
// average palette entries, nor colours that transparency hides, and at 16 bits a channel Qt 6.4 scales
// premultiplied pixels into invalid ones).
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

int largestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (const int shift : { 0, 8, 16 })
                largest = std::max(
                    largest, std::abs(int(a.pixel(x, y) >> shift & 0xFF) - int(b.pixel(x, y) >> shift & 0xFF)));
    return largest;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A grey progressive JPEG sent in 127 scans, written by libjpeg itself (its tools stop at 100): the DC, then each
// AC coefficient alone, first without its lowest bit, then that bit.
QByteArray jpegOf127Scans()
{
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &bytes, &size);
    info.image_width = 64;
    info.image_height = 48;
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    std::vector<jpeg_scan_info> scans { { 1, { 0 }, 0, 0, 0, 0 } };
    for (const int refining : { 0, 1 })
        for (int k = 1; k < DCTSIZE2; ++k)
            scans.push_back({ 1, { 0 }, k, k, refining, 1 - refining });
    info.scan_info = scans.data();
    info.num_scans = int(scans.size());
    jpeg_start_compress(&info, TRUE);
    std::array<JSAMPLE, 64> row;
    for (JSAMPROW rows = row.data(); info.next_scanline < info.image_height; jpeg_write_scanlines(&info, &rows, 1))
        std::iota(row.begin(), row.end(), JSAMPLE(info.next_scanline * 4));
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray file(reinterpret_cast<const char*>(bytes), qsizetype(size));
    std::free(bytes);
    return file;
}

QString written(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

// A baseline JPEG as a phone saves it (4:2:0, a gradient from red to blue) or a plain grey one, written by TurboJPEG.
QString baselineJpeg(const QString& path, int width, int height, bool colour)
{
    const int channels = colour ? 3 : 1;
    std::vector<unsigned char> pixels(std::size_t(width) * height * channels, 128);
    for (std::size_t row = 0; colour && row < std::size_t(height); ++row)
        for (std::size_t x = 0; x < std::size_t(width); ++x) {
            unsigned char* pixel = &pixels[(row * width + x) * 3];
            pixel[0] = static_cast<unsigned char>(255 * x / width);
            pixel[2] = static_cast<unsigned char>(255 - pixel[0]);
        }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjhandle compressor = tjInitCompress();
    const bool compressed = tjCompress2(compressor, pixels.data(), width, 0, height, colour ? TJPF_RGB : TJPF_GRAY,
                                &jpeg, &size, colour ? TJSAMP_420 : TJSAMP_GRAY, 90, 0)
        == 0;
    const QString file = compressed
        ? written(path, QByteArray::fromRawData(reinterpret_cast<char*>(jpeg), qsizetype(size)))
        : QString();
    tjFree(jpeg);
    tjDestroy(compressor);
    return file;
}

// A header that lies: a real file with bytes at `at` rewritten, the data left as it was.
QByteArray patched(QByteArray bytes, qsizetype at, const QByteArray& with)
{
    return bytes.replace(at, with.size(), with);
}

// A PNG's header declaring another size, its checksum made right again so that the size is what gets read.
QByteArray pngDeclaring(const QByteArray& png, const char (&size)[9])
{
    const QByteArray header = png.mid(12, 17).replace(4, 8, QByteArray(size, 8));
    const auto crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(header.constData()), uInt(header.size())));
    return patched(png, 12, header + char(crc >> 24) + char(crc >> 16) + char(crc >> 8) + char(crc));
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
    return at < 0 ? QByteArray() : patched(heif, at + 8, sizeBytes(to));
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
    void initTestCase()
    {
        QString error;
        m_files = corpus::write(QDir(m_dir.path()), QSize(640, 480), &error);
        QVERIFY2(!m_files.empty(), qPrintable(error));
    }

    void showsWhatItsDecoderShows_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qreal>("dpr");
        QTest::addColumn<QImage>("expected");
        // Decoded here, where the reference decoders' own complaints (stray bytes in a JPEG) stay out of the check.
        for (const corpus::File& file : m_files) {
            QString path = file.path;
            if (file.name.startsWith("heic") || file.name.startsWith("avif"))
                QProcess::execute("heif-convert", { file.path, path = file.path + ".png" });
            // Of an icon, the largest image, the last as written here; of any other file, its first. The format
            // comes from the name: some readers' own checks take others' files (a TGA for a cursor).
            QImageReader reader(path, file.name.section(' ', 0, 0).toLatin1());
            reader.setAutoTransform(true);
            if (file.name.startsWith("ico"))
                reader.jumpToImage(reader.imageCount() - 1);
            const QImage reference = reader.read();
            for (const qreal dpr : { 1.0, 2.0 })
                QTest::addRow("%s at %gx", qPrintable(file.name), dpr)
                    << file.path << dpr << framed(reference, dpr, true);
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
        QVERIFY2(difference <= kTolerance, qPrintable(QStringLiteral("differs by %1").arg(difference)));
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
        for (const char* name : { "png rgb 8-bit", "png palette 4-bit", "png interlaced", "jpeg baseline 4:2:0",
                 "jpeg progressive 4:4:4", "jpeg arithmetic progressive 4:4:4", "jpeg restart markers",
                 "gif interlaced", "bmp 24-bit", "bmp rle8", "ico 16 32 64 256", "webp lossy", "webp lossless",
                 "tiff lzw", "heic", "avif", "ppm", "ppm ascii", "xpm", "xbm", "tga", "wbmp", "cur" }) {
            const QString path = file(name).path;
            const QByteArray bytes = readFile(path);
            const QImage undamaged = FilePictureLoader().load(path, kFrame, 1.0);
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
            || largestDifference(framed(picture, 1, false), framed(undamaged, 1, false)) <= kTolerance);
    }

    void refusesHostileFilesAtOnce_data()
    {
        QTest::addColumn<QString>("path");
        const QByteArray jpeg = readFile(file("jpeg baseline 4:2:0").path);
        const QByteArray arithmetic = readFile(file("jpeg arithmetic progressive 4:4:4").path);
        const auto at = [&](const char* name) { return m_dir.filePath(name); };
        QTest::newRow("PNG declaring 30000 x 30000")
            << written(at("wide.png"), pngDeclaring(readFile(file("png rgb 8-bit").path), "\0\0\x75\x30\0\0\x75\x30"));
        QTest::newRow("GIF declaring 65535 x 65535")
            << written(at("wide.gif"), patched(readFile(file("gif interlaced").path), 6, QByteArray(4, '\xFF')));
        QTest::newRow("BMP declaring 50000 x 50000") << written(
            at("wide.bmp"), patched(readFile(file("bmp 24-bit").path), 18, QByteArray("\x50\xC3\0\0\x50\xC3\0\0", 8)));
        // The frame header's height and width follow its marker by five bytes.
        QTest::newRow("JPEG declaring 10000 x 10001")
            << written(at("wide.jpg"), patched(jpeg, jpeg.indexOf("\xFF\xC0") + 5, "\x27\x11\x27\x10"));
        QTest::newRow("JPEG declaring 4000 x 3000 in 10 kB")
            << written(at("thin.jpg"), patched(jpeg, jpeg.indexOf("\xFF\xC0") + 5, "\x0B\xB8\x0F\xA0"));
        // Arithmetic coding can spend less than a bit on a block, but not the 413 MiB of coefficients this would need.
        QTest::newRow("progressive JPEG declaring 8500 x 8500")
            << written(at("deep.jpg"), patched(arithmetic, arithmetic.indexOf("\xFF\xCA") + 5, "\x21\x34\x21\x34"));
        // Thousands of tiny scans make a small file decode for minutes; real files have about ten, and 100 load.
        QTest::newRow("progressive JPEG in 127 scans") << written(at("scans.jpg"), jpegOf127Scans());
        QTest::newRow("text named .jpg") << written(at("text.jpg"), "not a picture\n");
        QTest::newRow("empty file") << written(at("empty.jpg"), "");
        QTest::newRow("SVG named .png") << written(
            at("drawing.png"), "<svg xmlns='http://www.w3.org/2000/svg' width='64' height='48'/>");
        QTest::newRow("pipe named .jpg") << (::mkfifo(QFile::encodeName(at("pipe.jpg")).constData(), 0600)
                ? ""
                : at("pipe.jpg"));
        QTest::newRow("device named .png") << (QFile::link("/dev/zero", at("device.png")) ? at("device.png") : "");
        QTest::newRow("folder named .jpg") << (QDir(m_dir.path()).mkdir("folder.jpg") ? at("folder.jpg") : "");
        QTest::newRow("missing file") << at("missing.jpg");
        QFile huge(written(at("huge.jpg"), jpeg)); // sparse beyond the picture: costs no disk
        QTest::newRow("file over the size cap") << (huge.resize(256 * 1024 * 1024 + 1) ? huge.fileName() : "");
        const QDir kept(QStringLiteral(SCOREBOARD_FUZZ_REGRESSIONS));
        for (const QString& name : kept.entryList(QDir::Files))
            QTest::addRow("kept fuzzing input %s", qPrintable(name)) << kept.filePath(name);
    }

    void refusesHostileFilesAtOnce()
    {
        QFETCH(QString, path);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!path.isEmpty() && FilePictureLoader().load(path, kFrame, 2.0).isNull());
        QVERIFY2(clock.elapsed() < 50, qPrintable(QStringLiteral("took %1 ms").arg(clock.elapsed())));
    }

    // A photo is held to what decoding it costs: a HEIF picture decoded whole to 100 megapixels, one whose thumbnail
    // covers the frame to 200. The caps count the size the file states, whatever its coded data holds.
    void takesPhotosByWhatTheyCost_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("shown");
        const QByteArray plain = readFile(file("heic").path), thumbnailed = readFile(file("heic with thumbnail").path);
        const QSize stored(640, 480);
        QTest::newRow("HEIC of 100 MP") << heifDeclaring(plain, stored, { 10000, 10000 }) << true;
        QTest::newRow("HEIC past 100 MP") << heifDeclaring(plain, stored, { 10000, 10001 }) << false;
        QTest::newRow("HEIC of 200 MP with a thumbnail")
            << heifDeclaring(thumbnailed, stored, { 20000, 10000 }) << true;
        QTest::newRow("HEIC past 200 MP with a thumbnail")
            << heifDeclaring(thumbnailed, stored, { 20000, 10001 }) << false;
    }

    void takesPhotosByWhatTheyCost()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(!bytes.isEmpty());
        const QImage picture = FilePictureLoader().load(written(m_dir.filePath("declared.heic"), bytes), kFrame, 1.0);
        QTEST(!picture.isNull(), "shown");
    }

    // A frame with no pixels, or more than a picture may have, gets nothing.
    void refusesFramesNoPictureMayFill()
    {
        for (const auto& [frame, dpr] : { std::pair { QSize(0, 137), 1.0 }, { kFrame, 0.0 }, { kFrame, 72.0 } })
            QVERIFY(FilePictureLoader().load(file("png rgb 8-bit").path, frame, dpr).isNull());
    }

    // After each variant once (the libraries are loaded by then), another round of them, a 12-megapixel
    // progressive JPEG (72 MB of coefficients while it decodes), a PNG as large (48 MB of pixels), a 108-megapixel
    // baseline JPEG and a grey JPEG of 200 megapixels, the largest photo allowed (one row more is refused), leave
    // resident memory within 5 MB of where it was. A baseline JPEG decodes at its smallest scale: at full size 12
    // megapixels take 48 MB.
    void givesMemoryBack()
    {
#ifdef SCOREBOARD_SANITIZED
        QSKIP("AddressSanitizer keeps freed memory in quarantine; its leak check covers the loads instead");
#endif
        QVERIFY(QProcess::execute("bash",
                    { "-c",
                        "cd '" + m_dir.path()
                            + "' && convert -size 4000x3000 gradient:red-blue large.ppm && cjpeg -outfile baseline.jpg "
                              "large.ppm && cjpeg -progressive -sample 1x1 -outfile large.jpg large.ppm && convert "
                              "large.ppm large.png" })
            == 0);
        qint64 before = 0;
        for (int round = 0; round < 2; ++round) {
            if (round == 1)
                before = statusKb("VmRSS:");
            for (const corpus::File& file : m_files)
                QVERIFY(!FilePictureLoader().load(file.path, kFrame, 1.0).isNull());
        }
        QFile clearRefs(QStringLiteral("/proc/self/clear_refs")); // "5" starts VmHWM again from VmRSS
        QVERIFY(clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1 && clearRefs.flush());
        QVERIFY(!FilePictureLoader().load(m_dir.filePath("baseline.jpg"), kFrame, 1.0).isNull());
        QVERIFY2(statusKb("VmHWM:") - statusKb("VmRSS:") < 16 * 1024, "decoded at more than the frame needs");
        for (const char* name : { "large.jpg", "large.png" })
            QVERIFY(!FilePictureLoader().load(m_dir.filePath(name), kFrame, 1.0).isNull());
        { // A 72-megapixel scan decodes to 288 MB, more than Qt's image readers may allocate unless told otherwise.
            QImage scan(9000, 8000, QImage::Format_ARGB32);
            scan.fill(QColor(0x20, 0x50, 0xC0));
            QImageWriter writer(m_dir.filePath("scan.tif"));
            writer.setCompression(1);
            QVERIFY(writer.write(scan));
        }
        QVERIFY(!FilePictureLoader().load(m_dir.filePath("scan.tif"), kFrame, 1.0).isNull());
        // A 108-megapixel phone photo, baseline, costs little more than its file: it is decoded at an eighth.
        const QString phone = baselineJpeg(m_dir.filePath("phone.jpg"), 12000, 9000, true);
        QVERIFY(clearRefs.write("5") == 1 && clearRefs.flush());
        QVERIFY(!FilePictureLoader().load(phone, kFrame, 1.0).isNull());
        QVERIFY2(statusKb("VmHWM:") - statusKb("VmRSS:") < QFileInfo(phone).size() / 1024 + 32 * 1024,
            "a 108-megapixel JPEG cost more than its file and 32 MiB");
        // At the cap and one row over it, each with data enough.
        for (const int height : { 10000, 10001 })
            QCOMPARE(FilePictureLoader()
                         .load(baselineJpeg(m_dir.filePath("grey.jpg"), 20000, height, false), kFrame, 1.0)
                         .isNull(),
                height > 10000);
        const qint64 kept = statusKb("VmRSS:") - before;
        QVERIFY2(kept <= 5 * 1024, qPrintable(QStringLiteral("%1 kB kept").arg(kept)));
    }

private:
    const corpus::File& file(const char* name) const
    {
        return *std::find_if(m_files.begin(), m_files.end(), [&](const corpus::File& f) { return f.name == name; });
    }

    QTemporaryDir m_dir;
    std::vector<corpus::File> m_files;
};

QTEST_MAIN(TestPictureLoader)
#include "test_picture_loader.moc"
