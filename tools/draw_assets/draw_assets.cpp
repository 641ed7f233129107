// Draws the panel's pictures into a folder: the default player photo, the eight-ball icon resource and the
// same icon as PNG files for the desktop icon theme. Every icon size is drawn from vectors on its own, so the
// small ones stay crisp instead of being scaled down. Usage: draw_assets <output folder>

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QDataStream>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRawFont>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QTransform>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::array iconSizes { 32, 48, 64, 256 };
// The 24-bit icon image has no alpha; its antialiased rim is blended over this instead.
const QColor iconBackground(0xC0, 0xC0, 0xC0);

[[noreturn]] void fail(const QString& message)
{
    std::fprintf(stderr, "draw_assets: %s\n", qPrintable(message));
    std::exit(EXIT_FAILURE);
}

// Without a real CJK face Qt would silently draw boxes; refuse instead.
QFont cjkFont()
{
    const QString word = QStringLiteral("照片");
    const QStringList families = QFontDatabase::families();
    for (const QString& family : { QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC") }) {
        if (!families.contains(family))
            continue;
        const QFont font(family);
        const QRawFont raw = QRawFont::fromFont(font, QFontDatabase::SimplifiedChinese);
        if (QFontInfo(font).family() == family && raw.supportsCharacter(word.at(0))
            && raw.supportsCharacter(word.at(1)))
            return font;
    }
    fail(QStringLiteral("no Noto Sans/Serif CJK SC font found (install fonts-noto-cjk)"));
}

// Centres the ink of a path (not its advance box) on a point, scaled to a given ink height.
QPainterPath fitted(const QPainterPath& path, QPointF centre, qreal inkHeight)
{
    const QRectF ink = path.boundingRect();
    const qreal scale = inkHeight / ink.height();
    QTransform transform;
    transform.translate(centre.x(), centre.y());
    transform.scale(scale, scale);
    transform.translate(-ink.center().x(), -ink.center().y());
    return transform.map(path);
}

QImage drawPhoto(const QFont& cjk)
{
    QImage image(316, 334, QImage::Format_RGB32);
    image.fill(QColor(0xFF, 0xFF, 0xC0));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor grey(0x8C, 0x8C, 0x8C);

    QFont font = cjk;
    font.setPixelSize(100);
    QPainterPath word;
    word.addText(0, 0, font, QStringLiteral("照片"));
    const qreal height = 46; // large enough to read once the panel shrinks the photo to 144 x 137
    const qreal wordWidth = word.boundingRect().width() * height / word.boundingRect().height();
    const qreal plus = height * 0.9;
    const qreal stroke = height * 0.12;
    const qreal gap = height * 0.35;
    const qreal left = (image.width() - (plus + gap + wordWidth)) / 2;
    const qreal middle = image.height() / 2.0;

    painter.setBrush(grey);
    painter.drawRect(QRectF(left, middle - stroke / 2, plus, stroke));
    painter.drawRect(QRectF(left + (plus - stroke) / 2, middle - plus / 2, stroke, plus));
    painter.drawPath(fitted(word, QPointF(left + plus + gap + wordWidth / 2, middle), height));
    return image;
}

QImage drawEightBall(int size, const QFont& latin)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    const QPointF centre(size / 2.0, size / 2.0);
    const qreal r = size / 2.0 - qMax(0.5, size / 64.0);

    // Lit from the upper left: the gradient's focal point sits there.
    QRadialGradient body(centre, r, centre + QPointF(-0.35 * r, -0.4 * r));
    body.setColorAt(0.0, QColor(0x80, 0x80, 0x80));
    body.setColorAt(0.35, QColor(0x22, 0x22, 0x22));
    body.setColorAt(0.8, QColor(0x06, 0x06, 0x06));
    body.setColorAt(1.0, QColor(0x00, 0x00, 0x00));
    painter.setBrush(body);
    painter.drawEllipse(centre, r, r);

    // A faint bounce light on the lower right keeps the outline readable on dark backgrounds.
    QRadialGradient rim(centre + QPointF(0.35 * r, 0.45 * r), 0.6 * r);
    rim.setColorAt(0.0, QColor(255, 255, 255, 50));
    rim.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setBrush(rim);
    painter.drawEllipse(centre, r, r);

    // Small icons get a larger disc so the "8" stays legible at a few pixels high.
    const qreal discRadius = (size <= 32 ? 0.6 : 0.52) * r;
    QRadialGradient disc(centre, discRadius, centre + QPointF(-0.3 * discRadius, -0.3 * discRadius));
    disc.setColorAt(0.0, Qt::white);
    disc.setColorAt(0.8, QColor(0xF4, 0xF4, 0xF4));
    disc.setColorAt(1.0, QColor(0xD8, 0xD8, 0xD8));
    painter.setBrush(disc);
    painter.drawEllipse(centre, discRadius, discRadius);

    QFont font = latin;
    font.setPixelSize(100);
    QPainterPath eight;
    eight.addText(0, 0, font, QStringLiteral("8"));
    painter.setBrush(Qt::black);
    painter.drawPath(fitted(eight, centre, 1.2 * discRadius));

    // Specular highlight: a soft tilted ellipse on the upper left, over everything, for the gloss.
    painter.translate(centre + QPointF(-0.44 * r, -0.5 * r));
    painter.rotate(-40);
    painter.scale(1.0, 0.55);
    QRadialGradient highlight(QPointF(0, 0), 0.42 * r);
    highlight.setColorAt(0.0, QColor(255, 255, 255, 245));
    highlight.setColorAt(0.45, QColor(255, 255, 255, 150));
    highlight.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setBrush(highlight);
    painter.drawEllipse(QPointF(0, 0), 0.42 * r, 0.42 * r);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// One icon image in the icon file's BMP form: BITMAPINFOHEADER (height doubled for the mask), the colour
// pixels bottom-up in BGR or BGRA, then the 1-bit AND mask, where 1 marks the transparent outside.
QByteArray iconDib(const QImage& picture, bool withAlpha)
{
    const int n = picture.width();
    const int bytesPerPixel = withAlpha ? 4 : 3;
    const int colourRow = (n * bytesPerPixel + 3) / 4 * 4;
    const int maskRow = (n + 31) / 32 * 4;

    QByteArray dib;
    QDataStream out(&dib, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(40) << qint32(n) << qint32(2 * n) << quint16(1) << quint16(8 * bytesPerPixel) << quint32(0)
        << quint32(n * (colourRow + maskRow)) << qint32(0) << qint32(0) << quint32(0) << quint32(0);

    for (int y = n - 1; y >= 0; --y) {
        for (int x = 0; x < n; ++x) {
            const QRgb pixel = picture.pixel(x, y);
            const int a = qAlpha(pixel);
            if (withAlpha) {
                out << quint8(qBlue(pixel)) << quint8(qGreen(pixel)) << quint8(qRed(pixel)) << quint8(a);
            } else if (a < 128) {
                out << quint8(0) << quint8(0) << quint8(0); // masked out: black leaves the screen unchanged
            } else {
                const auto blend = [a](int over, int under) { return quint8((over * a + under * (255 - a)) / 255); };
                out << blend(qBlue(pixel), iconBackground.blue()) << blend(qGreen(pixel), iconBackground.green())
                    << blend(qRed(pixel), iconBackground.red());
            }
        }
        for (int pad = n * bytesPerPixel; pad < colourRow; ++pad)
            out << quint8(0);
    }
    for (int y = n - 1; y >= 0; --y) {
        QByteArray row(maskRow, '\0');
        for (int x = 0; x < n; ++x) {
            if (qAlpha(picture.pixel(x, y)) < 128)
                row[x / 8] = char(row.at(x / 8) | (0x80 >> (x % 8)));
        }
        out.writeRawData(row.constData(), row.size());
    }
    return dib;
}

QByteArray png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        fail(QStringLiteral("could not encode a PNG"));
    return bytes;
}

// Qt's own ICO writer stores one BMP image per file, so the container is written here: ICONDIR, one
// ICONDIRENTRY per image, then the images. 32 px is 24-bit, 48 and 64 px are 32-bit, 256 px is a PNG.
QByteArray iconFile(const std::array<QImage, iconSizes.size()>& pictures)
{
    QList<QByteArray> images;
    QList<quint16> depths;
    for (const QImage& picture : pictures) {
        const int n = picture.width();
        images.append(n == 256 ? png(picture) : iconDib(picture, n != 32));
        depths.append(n == 32 ? 24 : 32);
    }

    QByteArray ico;
    QDataStream out(&ico, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size());
    quint32 offset = 6 + 16 * images.size();
    for (qsizetype i = 0; i < images.size(); ++i) {
        const quint8 side = pictures.at(i).width() == 256 ? 0 : quint8(pictures.at(i).width()); // 0 means 256
        out << side << side << quint8(0) << quint8(0) << quint16(1) << depths.at(i) << quint32(images.at(i).size())
            << offset;
        offset += images.at(i).size();
    }
    for (const QByteArray& image : images)
        out.writeRawData(image.constData(), image.size());
    return ico;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        fail(QStringLiteral("could not write %1: %2").arg(path, file.errorString()));
}

} // namespace

int main(int argc, char* argv[])
{
    // A drawing tool needs no screen; this also lets it run on build machines without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() != 2)
        fail(QStringLiteral("usage: draw_assets <output folder>"));
    const QDir folder(arguments.at(1));
    if (!folder.mkpath(QStringLiteral(".")))
        fail(QStringLiteral("cannot create %1").arg(folder.path()));

    QImageWriter photo(folder.filePath(QStringLiteral("default_photo.jpg")), "jpeg");
    photo.setQuality(92);
    if (!photo.write(drawPhoto(cjkFont())))
        fail(QStringLiteral("could not write %1: %2").arg(photo.fileName(), photo.errorString()));

    QFont latin(QStringLiteral("DejaVu Sans"));
    latin.setStyleHint(QFont::SansSerif);
    latin.setWeight(QFont::Bold);
    std::array<QImage, iconSizes.size()> pictures;
    for (std::size_t i = 0; i < iconSizes.size(); ++i) {
        const int n = iconSizes.at(i);
        pictures.at(i) = drawEightBall(n, latin);
        const QString theme = QStringLiteral("icons/hicolor/%1x%1/apps").arg(n);
        if (!folder.mkpath(theme))
            fail(QStringLiteral("cannot create %1").arg(folder.filePath(theme)));
        writeFile(folder.filePath(theme + QStringLiteral("/scoreboard.png")), png(pictures.at(i)));
    }
    writeFile(folder.filePath(QStringLiteral("eightball.ico")), iconFile(pictures));
    return EXIT_SUCCESS;
}
