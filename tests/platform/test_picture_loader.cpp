#include "picture_samples.h"
#include "platform/picture_loader.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <initializer_list>

using namespace platform;

namespace {

enum class Entry { File, Missing, Directory, OversizedFile };

const QSize frame(30, 21);

// JPEG and WebP shift colours a little.
bool isNear(QColor actual, QColor expected)
{
    return qAbs(actual.red() - expected.red()) < 60 && qAbs(actual.green() - expected.green()) < 60
        && qAbs(actual.blue() - expected.blue()) < 60;
}

} // namespace

Q_DECLARE_METATYPE(Entry)

class TestPictureLoader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void loadsPhotosToFillTheFrame_data();
    void loadsPhotosToFillTheFrame();
    void refusesQuietly_data();
    void refusesQuietly();
};

void TestPictureLoader::init()
{
    // The operator is never told about a bad file, so neither is stderr.
    QTest::failOnWarning(QRegularExpression(".*"));
}

void TestPictureLoader::loadsPhotosToFillTheFrame_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qreal>("dpr");
    QTest::addColumn<QPoint>("redQuadrant");

    const QImage picture = samples::quadrantPicture();
    const QByteArray jpeg = samples::encoded(picture, "jpeg", 90);
    const struct {
        const char* name;
        QString fileName;
        QByteArray bytes;
        QPoint redQuadrant;
    } photos[] = {
        { "JPEG", "photo.jpg", jpeg, { 0, 0 } },
        { "progressive JPEG", "photo.jpg", samples::encoded(picture, "jpeg", 90, true), { 0, 0 } },
        { "JPEG with bytes after its end", "photo.jpg", jpeg + QByteArray(5000, '\x5A'), { 0, 0 } },
        { "JPEG of 20 megapixels", "photo.jpg", samples::encoded(samples::quadrantPicture({ 5472, 3648 }), "jpeg", 90),
            { 0, 0 } },
        { "JPEG named .png", "photo.png", jpeg, { 0, 0 } },
        { "JPEG named .tga", "photo.tga", jpeg, { 0, 0 } },
        { "JPEG turned by Exif", "photo.jpg", samples::withExifOrientation(jpeg, 6), { 1, 0 } },
        { "PNG", "photo.png", samples::encoded(picture, "png"), { 0, 0 } },
        { "BMP", "photo.bmp", samples::encoded(picture, "bmp"), { 0, 0 } },
        { "GIF", "photo.gif", samples::gifOf(picture), { 0, 0 } },
        { "WebP", "photo.webp", samples::encoded(picture, "webp", 90), { 0, 0 } },
        { "ICO", "photo.ico", samples::encoded(picture, "ico"), { 0, 0 } },
    };
    for (const auto& photo : photos) {
        for (const qreal dpr : { 1.0, 1.5, 2.0 })
            QTest::addRow("%s at %gx", photo.name, dpr) << photo.fileName << photo.bytes << dpr << photo.redQuadrant;
    }
}

void TestPictureLoader::loadsPhotosToFillTheFrame()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(qreal, dpr);
    QFETCH(QPoint, redQuadrant);

    QTemporaryDir dir;
    QFile file(dir.filePath(fileName));
    QVERIFY(!bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    const QImage picture = QtPictureLoader().load(file.fileName(), frame, dpr);

    QCOMPARE(picture.size(), QSize(qRound(frame.width() * dpr), qRound(frame.height() * dpr)));
    QCOMPARE(picture.devicePixelRatio(), dpr);
    for (const QPoint quadrant : { QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1) }) {
        const QPoint centre(
            (2 * quadrant.x() + 1) * picture.width() / 4, (2 * quadrant.y() + 1) * picture.height() / 4);
        const QColor expected = quadrant == redQuadrant ? samples::red : samples::blue;
        QVERIFY(isNear(picture.pixelColor(centre), expected));
    }
}

void TestPictureLoader::refusesQuietly_data()
{
    QTest::addColumn<Entry>("entry");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");

    const QImage picture = samples::quadrantPicture();
    const QByteArray jpeg = samples::encoded(picture, "jpeg", 90);
    const QByteArray noise = samples::encoded(samples::noisePicture(), "jpeg", 90);
    const QByteArray svg
        = R"(<svg xmlns="http://www.w3.org/2000/svg" width="64" height="48"><rect width="32" height="24" fill="red"/></svg>)";

    QTest::newRow("JPEG cut short") << Entry::File << "photo.jpg" << noise.left(noise.size() / 2);
    QTest::newRow("empty file") << Entry::File << "photo.jpg" << QByteArray();
    QTest::newRow("text") << Entry::File << "photo.jpg" << QByteArray("not a picture\n");
    QTest::newRow("XPM") << Entry::File << "photo.xpm" << samples::encoded(picture, "xpm");
    QTest::newRow("PPM") << Entry::File << "photo.ppm" << samples::encoded(picture, "ppm");
    QTest::newRow("TIFF") << Entry::File << "photo.tif" << samples::encoded(picture, "tiff");
    QTest::newRow("SVG named .jpg") << Entry::File << "photo.jpg" << svg;
    QTest::newRow("PNG declaring 30000 x 30000") << Entry::File << "photo.png" << samples::pngDeclaring(30000, 30000);
    QTest::newRow("progressive JPEG declaring 8000 x 8000")
        << Entry::File << "photo.jpg"
        << samples::withDeclaredJpegSize(samples::encoded(picture, "jpeg", 90, true), 8000, 8000);
    QTest::newRow("file over the size cap") << Entry::OversizedFile << "photo.jpg" << jpeg;
    QTest::newRow("missing file") << Entry::Missing << "photo.jpg" << QByteArray();
    QTest::newRow("directory") << Entry::Directory << "photo.jpg" << QByteArray();
}

void TestPictureLoader::refusesQuietly()
{
    QFETCH(Entry, entry);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);

    QTemporaryDir dir;
    const QString path = dir.filePath(fileName);
    if (entry == Entry::Directory) {
        QVERIFY(QDir(dir.path()).mkdir(fileName));
    } else if (entry != Entry::Missing) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        if (entry == Entry::OversizedFile)
            QVERIFY(file.resize(QtPictureLoader::maxFileBytes + 1)); // sparse: costs no disk
    }

    QVERIFY(QtPictureLoader().load(path, frame, 1.0).isNull());
}

QTEST_MAIN(TestPictureLoader)
#include "test_picture_loader.moc"
