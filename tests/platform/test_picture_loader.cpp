// The photo loader against an independent oracle: for every variant in the corpus, the frame must show what the
// format's own decoder shows (Qt's full-size decode, or libheif's through heif-convert), turned as the file says,
// scaled smoothly to the frame and drawn over the panel's green. Damaged files must never show damage that their
// decoder can see, and hostile files must be refused at once.

#include "photo_corpus.h"
#include "platform/controls.h"
#include "platform/picture_loader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

using namespace platform;

namespace {

const QSize kFrame(144, 137); // Image1 and Image2
const QColor kGreen(0x00, 0x80, 0x00);
// Most decoders agree with their reference exactly. libjpeg scaling in its transform (averaging each 8 x 8 block
// before the inverse DCT) and Qt scaling after a full decode differ by up to 4 in a channel here, a HEIC thumbnail
// (a picture encoded apart) by up to 6. A turn, a mirror, a mangled palette, swapped channels or a garbled block
// each differ by far more than 8: the four quadrants of the test pictures are at least 100 apart in a channel.
constexpr int kTolerance = 8;

// What the picture looks like in a photo frame on a screen of `dpr`, in device pixels.
QImage shownInFrame(const QImage& picture, qreal dpr)
{
    PictureFrame frame(nullptr);
    frame.resize(kFrame);
    frame.setPicture(picture);
    QImage shown(kFrame * dpr, QImage::Format_RGB32);
    shown.setDevicePixelRatio(dpr);
    shown.fill(kGreen);
    frame.render(&shown, QPoint(), QRegion(), QWidget::RenderFlags());
    return shown;
}

QImage referenceDecode(const corpus::File& file, const QDir& scratch)
{
    QString path = file.path;
    if (file.format == QLatin1String("heif")) {
        path = scratch.filePath(QStringLiteral("reference.png"));
        QFile::remove(path);
        QProcess convert;
        convert.start(QStringLiteral("heif-convert"), { file.path, path });
        if (!convert.waitForFinished(30000) || convert.exitCode() != 0)
            return {};
    }
    // Of an icon, the first image, the largest as ImageMagick writes them.
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return reader.read();
}

QImage expectedInFrame(const QImage& reference, qreal dpr)
{
    const QSize target = kFrame * dpr;
    QImage expected(target, QImage::Format_RGB32);
    expected.fill(kGreen);
    // Scaled in 8-bit premultiplied colour: smooth scaling cannot average palette entries, nor colours that
    // transparency hides, and at 16 bits a channel Qt 6.4 scales premultiplied pixels into invalid ones.
    QPainter(&expected).drawImage(QPoint(),
        reference.convertToFormat(QImage::Format_ARGB32_Premultiplied)
            .scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return expected;
}

// The largest difference in any channel of any pixel.
int largestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            largest = std::max({ largest, std::abs(qRed(rowA[x]) - qRed(rowB[x])),
                std::abs(qGreen(rowA[x]) - qGreen(rowB[x])), std::abs(qBlue(rowA[x]) - qBlue(rowB[x])) });
        }
    }
    return largest;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A header that lies: a real file with bytes at `at` rewritten, the data left as it was.
QByteArray patched(QByteArray bytes, qsizetype at, const QByteArray& with)
{
    return bytes.replace(at, with.size(), with);
}

// A PNG's header declaring another size, its checksum made right again so that the size is what gets read.
QByteArray pngDeclaring(const QByteArray& png, const char (&size)[9])
{
    QByteArray header = png.mid(12, 17).replace(4, 8, QByteArray(size, 8));
    const auto crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(header.constData()), uInt(header.size())));
    return patched(png, 12, header + QByteArray(1, char(crc >> 24)) + char(crc >> 16) + char(crc >> 8) + char(crc));
}

qint64 residentKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    return statm.open(QIODevice::ReadOnly)
        ? statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE) / 1024
        : -1;
}

} // namespace

class TestPictureLoader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void showsWhatItsDecoderShows_data();
    void showsWhatItsDecoderShows();
    void neverShowsDamageItsDecoderSees_data();
    void neverShowsDamageItsDecoderSees();
    void refusesHostileFilesAtOnce_data();
    void refusesHostileFilesAtOnce();
    void givesMemoryBack();

private:
    [[nodiscard]] const corpus::File& file(const char* name) const;

    QTemporaryDir m_dir;
    std::vector<corpus::File> m_files;
};

void TestPictureLoader::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QString error;
    m_files = corpus::write(QDir(m_dir.path()), QSize(640, 480), &error);
    QVERIFY2(!m_files.empty(), qPrintable(error));
}

const corpus::File& TestPictureLoader::file(const char* name) const
{
    return *std::find_if(
        m_files.begin(), m_files.end(), [&](const corpus::File& f) { return f.name == QLatin1String(name); });
}

void TestPictureLoader::showsWhatItsDecoderShows_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qreal>("dpr");
    QTest::addColumn<QImage>("expected");
    // Decoded here, where the reference decoders' own complaints (stray bytes in a JPEG) stay out of the check.
    for (const corpus::File& file : m_files) {
        const QImage reference = referenceDecode(file, QDir(m_dir.path()));
        for (const qreal dpr : { 1.0, 2.0 })
            QTest::addRow("%s at %gx", qPrintable(file.name), dpr)
                << file.path << dpr << expectedInFrame(reference, dpr);
    }
}

void TestPictureLoader::showsWhatItsDecoderShows()
{
    QFETCH(QString, path);
    QFETCH(qreal, dpr);
    QFETCH(QImage, expected);

    const QImage picture = FilePictureLoader().load(path, kFrame, dpr);
    QVERIFY2(!picture.isNull(), "refused");
    QCOMPARE(picture.size(), kFrame * dpr);
    QCOMPARE(picture.devicePixelRatio(), dpr);
    const int difference = largestDifference(shownInFrame(picture, dpr), expected);
    QVERIFY2(difference <= kTolerance, qPrintable(QStringLiteral("differs by %1").arg(difference)));
}

void TestPictureLoader::neverShowsDamageItsDecoderSees_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QImage>("undamaged");
    QTest::addColumn<bool>("checked");

    // One file of each accepted format, and the JPEG variants that take their own paths through libjpeg.
    // Only PNG guards its data (a CRC for each chunk, Adler-32 over the image); in the others a changed byte
    // can decode into other pixels without a word from the decoder, so those rows ask only for safety.
    const struct {
        const char* name;
        bool checked;
    } samples[] = { { "png rgb 8-bit", true }, { "png palette 4-bit", true }, { "png interlaced", true },
        { "jpeg baseline 4:2:0", false }, { "jpeg progressive 4:4:4", false },
        { "jpeg arithmetic progressive 4:4:4", false }, { "jpeg restart markers", false }, { "gif interlaced", false },
        { "bmp 24-bit", false }, { "bmp rle8", false }, { "ico 256 64 32 16", false }, { "webp lossy", false },
        { "webp lossless", false }, { "tiff lzw", false }, { "heic", false }, { "avif", false } };
    for (const auto& sample : samples) {
        const QByteArray bytes = readFile(file(sample.name).path);
        const QImage undamaged = FilePictureLoader().load(file(sample.name).path, kFrame, 1.0);
        // Cut short, as an interrupted copy or download leaves a file: every decoder can tell.
        for (const qsizetype kept :
            { bytes.size() / 10, bytes.size() * 4 / 10, bytes.size() * 7 / 10, bytes.size() - 1 })
            QTest::addRow("%s cut to %lld bytes", sample.name, qlonglong(kept))
                << bytes.left(kept) << undamaged << true;
        for (const qsizetype at : { bytes.size() * 3 / 10, bytes.size() / 2, bytes.size() * 7 / 10 }) {
            QByteArray changed = bytes;
            for (int i = 0; i < 8; ++i)
                changed[at + i] = char(changed[at + i] ^ (0x5A + 37 * i));
            QTest::addRow("%s with 8 bytes changed at %lld", sample.name, qlonglong(at))
                << changed << undamaged << sample.checked;
        }
    }
}

void TestPictureLoader::neverShowsDamageItsDecoderSees()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QImage, undamaged);
    QFETCH(bool, checked);

    const QString path = QDir(m_dir.path()).filePath(QStringLiteral("damaged"));
    QVERIFY(writeFile(path, bytes));
    QElapsedTimer clock;
    clock.start();
    const QImage picture = FilePictureLoader().load(path, kFrame, 1.0);
    QVERIFY2(clock.elapsed() < 1000, "took a second or more");
    if (picture.isNull())
        return;
    QCOMPARE(picture.size(), kFrame);
    // A later frame or page may be the one damaged: the first can still be shown.
    if (checked)
        QVERIFY(largestDifference(shownInFrame(picture, 1.0), shownInFrame(undamaged, 1.0)) <= kTolerance);
}

void TestPictureLoader::refusesHostileFilesAtOnce_data()
{
    QTest::addColumn<QString>("path");
    const QDir dir(m_dir.path());
    const auto written = [&](const char* name, const QByteArray& bytes) {
        const QString path = dir.filePath(QLatin1String(name));
        return writeFile(path, bytes) ? path : QString();
    };
    const QByteArray png = readFile(file("png rgb 8-bit").path);
    const QByteArray jpeg = readFile(file("jpeg baseline 4:2:0").path);

    const qsizetype frame = jpeg.indexOf("\xFF\xC0") + 5; // the start of frame's height and width
    QTest::newRow("PNG declaring 30000 x 30000") << written("wide.png", pngDeclaring(png, "\0\0\x75\x30\0\0\x75\x30"));
    QTest::newRow("GIF declaring 65535 x 65535")
        << written("wide.gif", patched(readFile(file("gif interlaced").path), 6, QByteArray(4, '\xFF')));
    QTest::newRow("BMP declaring 50000 x 50000") << written(
        "wide.bmp", patched(readFile(file("bmp 24-bit").path), 18, QByteArray("\x50\xC3\0\0\x50\xC3\0\0", 8)));
    QTest::newRow("JPEG declaring 10000 x 10001") << written("wide.jpg", patched(jpeg, frame, "\x27\x11\x27\x10"));
    QTest::newRow("JPEG declaring 4000 x 3000 in 10 kB")
        << written("thin.jpg", patched(jpeg, frame, "\x0B\xB8\x0F\xA0"));
    // Arithmetic coding can spend less than a bit on a block, but not the 413 MiB of coefficients this would need.
    const QByteArray arithmetic = readFile(file("jpeg arithmetic progressive 4:4:4").path);
    QTest::newRow("progressive JPEG declaring 8500 x 8500")
        << written("deep.jpg", patched(arithmetic, arithmetic.indexOf("\xFF\xCA") + 5, "\x21\x34\x21\x34"));
    QTest::newRow("text named .jpg") << written("text.jpg", "not a picture\n");
    QTest::newRow("empty file") << written("empty.jpg", "");
    QTest::newRow("SVG named .png") << written("drawing.png",
        R"(<svg xmlns="http://www.w3.org/2000/svg" width="64" height="48"><rect width="32" height="24"/></svg>)");
    QTest::newRow("PPM, which Qt reads but photos are not") << dir.filePath(QStringLiteral("src.ppm"));
    const QString fifo = dir.filePath(QStringLiteral("pipe.jpg"));
    QTest::newRow("pipe named .jpg") << (::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0 ? fifo : QString());
    const QString device = dir.filePath(QStringLiteral("device.png"));
    QTest::newRow("device named .png") << (QFile::link(QStringLiteral("/dev/zero"), device) ? device : QString());
    QTest::newRow("folder named .jpg") << (dir.mkdir(QStringLiteral("folder.jpg"))
            ? dir.filePath(QStringLiteral("folder.jpg"))
            : QString());
    QTest::newRow("missing file") << dir.filePath(QStringLiteral("missing.jpg"));
    QFile huge(dir.filePath(QStringLiteral("huge.jpg")));
    QTest::newRow("file over the size cap")
        << (huge.open(QIODevice::WriteOnly) && huge.write(jpeg) == jpeg.size() && huge.resize(256 * 1024 * 1024 + 1)
                   ? huge.fileName()
                   : QString()); // sparse: costs no disk
    // Inputs the fuzzer once found a fault with.
    const QDir kept(QStringLiteral(SCOREBOARD_FUZZ_REGRESSIONS));
    for (const QString& name : kept.entryList(QDir::Files, QDir::Name))
        QTest::addRow("kept fuzzing input %s", qPrintable(name)) << kept.filePath(name);
}

void TestPictureLoader::refusesHostileFilesAtOnce()
{
    QFETCH(QString, path);
    QVERIFY(!path.isEmpty());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(FilePictureLoader().load(path, kFrame, 2.0).isNull());
    QVERIFY2(clock.elapsed() < 50, qPrintable(QStringLiteral("took %1 ms").arg(clock.elapsed())));
}

// Whatever a load takes is handed back: after each variant once (the libraries are loaded by then), another round
// of them, a 12-megapixel progressive JPEG (72 MB of coefficients while it decodes) and a PNG as large (48 MB of
// pixels) leave resident memory within 5 MB of where it was.
void TestPictureLoader::givesMemoryBack()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer keeps freed memory in quarantine; its leak check covers the loads instead");
#endif
    QVERIFY(QProcess::execute(QStringLiteral("bash"),
                { QStringLiteral("-c"),
                    QStringLiteral("cd '%1' && convert -size 4000x3000 gradient:red-blue large.ppm && "
                                   "cjpeg -progressive -sample 1x1 -outfile large.jpg large.ppm && "
                                   "convert -size 4000x3000 gradient:green-yellow large.png")
                        .arg(m_dir.path()) })
        == 0);
    qint64 before = 0;
    for (int round = 0; round < 2; ++round) {
        if (round == 1)
            before = residentKb();
        for (const corpus::File& file : m_files)
            QVERIFY(!FilePictureLoader().load(file.path, kFrame, 1.0).isNull());
    }
    for (const char* name : { "large.jpg", "large.png" })
        QVERIFY(!FilePictureLoader().load(QDir(m_dir.path()).filePath(QLatin1String(name)), kFrame, 1.0).isNull());
    QVERIFY2(residentKb() - before <= 5 * 1024, qPrintable(QStringLiteral("%1 kB kept").arg(residentKb() - before)));
}

QTEST_MAIN(TestPictureLoader)
#include "test_picture_loader.moc"
