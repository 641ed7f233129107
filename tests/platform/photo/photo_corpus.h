#pragma once

// The picture files people have, written at test time by the tools that write them in real life (ImageMagick,
// cjpeg, cwebp, img2webp, heif-enc, exiv2) and, where no tool does, by libjpeg-turbo or Qt themselves. One row per
// variant; the loader test checks each against its decoder's own full-size picture, and the fuzzer starts from
// small copies of them.

#include <QBuffer>
#include <QColorSpace>
#include <QDataStream>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QtEndian>

#include <string>
#include <vector>

#include <turbojpeg.h>

namespace corpus {

// Blurred quadrants of four colours: every turn and mirror shows, and decoders that scale in different ways
// (libjpeg in its transform, Qt after decoding) still agree closely away from hard edges. SRC is landscape, TALL
// portrait, RGBA has transparency; cj, im and im2 wrap cjpeg and ImageMagick for the rows below.
inline const std::string kPictures = R"(
quadrants() { convert -size "$1" xc:'#2050c0' \( -size "$2" xc:'#e03020' \) -geometry +0+0 -composite \
    \( -size "$2" xc:'#30b040' \) -gravity northeast -composite \( -size "$2" xc:'#f0d020' \) \
    -gravity southeast -composite -blur 0x$((W / 64 + 1)) -depth 8 "$3"; }
cd "$DIR" && quadrants ${W}x${H} $((W / 2))x$((H / 2)) src.png && quadrants ${H}x${W} $((H / 2))x$((W / 2)) tall.png &&
convert src.png src.ppm && convert tall.png tall.ppm && convert src.png -negate negative.png &&
convert src.png \( -size ${W}x${H} gradient:white-none \) -compose copy-opacity -composite rgba.png &&
convert xc:'#e03020' xc:'#2050c0' +append palette2.png &&
convert xc:'#e03020' xc:'#30b040' xc:'#2050c0' xc:'#f0d020' +append palette4.png &&
convert -size 16x1 gradient:'#e03020'-'#2050c0' palette16.png || exit 1
cj() { cjpeg -quality 90 "$@" -outfile "$OUT" src.ppm; }
im() { convert src.png "${@:2}" "$1:$OUT"; }
im2() { convert "$2" "${@:3}" "$1:$OUT"; }
)";

struct Variant {
    std::string name; // its first word is the format
    std::string command; // bash, writing the file OUT
    QByteArray (*rewrite)(const QByteArray&) = nullptr; // where no tool writes it: made from what the command wrote
};

namespace detail {

    // CMYK as Adobe stores it, inverted; TurboJPEG writes CMYK as YCCK.
    inline QByteArray ycckOf(const QByteArray& png)
    {
        const QImage rgb = QImage::fromData(png).convertToFormat(QImage::Format_RGB32);
        std::vector<unsigned char> cmyk;
        for (int y = 0; y < rgb.height(); ++y) {
            for (int x = 0; x < rgb.width(); ++x) {
                const QRgb p = rgb.pixel(x, y);
                const int k = std::max({ qRed(p), qGreen(p), qBlue(p), 1 });
                cmyk.insert(cmyk.end(),
                    { uchar(qRed(p) * 255 / k), uchar(qGreen(p) * 255 / k), uchar(qBlue(p) * 255 / k), uchar(k) });
            }
        }
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        tjhandle compressor = tjInitCompress();
        tjCompress2(compressor, cmyk.data(), rgb.width(), 0, rgb.height(), TJPF_CMYK, &jpeg, &size, TJSAMP_420, 90, 0);
        const QByteArray bytes(reinterpret_cast<const char*>(jpeg), qsizetype(size));
        tjFree(jpeg);
        tjDestroy(compressor);
        return bytes;
    }

    // Qt writes the profile of the picture's colour space into an iCCP chunk.
    inline QByteArray withProfile(const QByteArray& png)
    {
        QImage picture = QImage::fromData(png);
        picture.setColorSpace(QColorSpace::DisplayP3);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        return buffer.open(QIODevice::WriteOnly) && picture.save(&buffer, "png") ? bytes : QByteArray();
    }

    // Cameras that pad a segment leave stray bytes before the next marker; libjpeg skips them.
    inline QByteArray withStrayBytes(const QByteArray& jpeg)
    {
        return jpeg.left(20) + QByteArray(3, '\0') + jpeg.mid(20);
    }

    // Some cameras and editors leave a few bytes after the last block of the scan, before the end marker.
    inline QByteArray withStrayBytesAtTheEnd(const QByteArray& jpeg)
    {
        return jpeg.chopped(2) + QByteArray("\x12\x34\x56", 3) + jpeg.right(2);
    }

    // HEIF's basic brand as the major one, as many encoders write it; heif-enc writes "heic" there.
    inline QByteArray withBrandMif1(const QByteArray& heic) { return QByteArray(heic).replace(8, 4, "mif1"); }

    // The TrueVision 2.0 footer (no extension or developer area), which Qt's reader asks for and ImageMagick leaves
    // out.
    inline QByteArray withTgaFooter(const QByteArray& tga)
    {
        return tga + QByteArray(8, '\0') + QByteArray("TRUEVISION-XFILE.", 18);
    }

    struct Bmp {
        qint32 offset, width, height;
        explicit Bmp(const QByteArray& bytes)
        {
            QDataStream in(bytes);
            in.setByteOrder(QDataStream::LittleEndian);
            in.skipRawData(10);
            in >> offset;
            in.skipRawData(4);
            in >> width >> height;
        }
    };

    // The same 4-bit picture run-length coded: each row as runs of one byte (two pixels), then end of line.
    inline QByteArray rle4Of(const QByteArray& bmp)
    {
        const Bmp header(bmp);
        const int stride = ((header.width + 1) / 2 + 3) / 4 * 4;
        QByteArray data;
        for (int y = 0; y < header.height; ++y) {
            const char* row = bmp.constData() + header.offset + y * stride;
            for (int x = 0, run = 2; x < header.width; x += run, run = 2) {
                while (x + run < header.width && run < 254 && row[(x + run) / 2] == row[x / 2])
                    run += 2;
                run = std::min(run, header.width - x);
                data.append(char(run)).append(row[x / 2]);
            }
            data.append(2, '\0');
        }
        data.append('\0').append('\1');
        QByteArray out = bmp.left(header.offset) + data;
        qToLittleEndian<quint32>(quint32(out.size()), out.data() + 2);
        qToLittleEndian<quint32>(2, out.data() + 30); // BI_RLE4
        qToLittleEndian<quint32>(quint32(data.size()), out.data() + 34);
        return out;
    }

    // The same 24-bit picture stored top row first, which a negative height declares.
    inline QByteArray topDownOf(const QByteArray& bmp)
    {
        const Bmp header(bmp);
        const int stride = (header.width * 3 + 3) / 4 * 4;
        QByteArray out = bmp.left(header.offset);
        for (int y = header.height - 1; y >= 0; --y)
            out += bmp.mid(header.offset + y * stride, stride);
        qToLittleEndian<qint32>(-header.height, out.data() + 22);
        return out;
    }

} // namespace detail

inline const std::vector<Variant>& variants()
{
    static const std::vector<Variant> rows = [] {
        // Palette PNGs as ImageMagick writes them for few colours: 1, 2 and 4 bits when no background chunk asks
        // for a further entry.
        std::vector<Variant> list { { "png palette 1-bit solid blue",
                                        "convert -size 300x200 xc:'#0000FF' png:\"$OUT\"" },
            { "png palette 1-bit", "im png +dither -remap palette2.png -define png:exclude-chunk=bKGD" },
            { "png palette 2-bit", "im png +dither -remap palette4.png -define png:exclude-chunk=bKGD" },
            { "png palette 4-bit", "im png +dither -remap palette16.png -define png:exclude-chunk=bKGD" },
            { "png palette 8-bit", "im png -colors 200 -define png:color-type=3" },
            { "png grey with alpha", "im2 png rgba.png -colorspace gray -define png:color-type=4" },
            { "png rgb 8-bit", "im png -define png:color-type=2" },
            { "png single pixel", "im png -resize 1x1! -define png:color-type=2" },
            { "png rgb 16-bit", "im png -depth 16 -define png:bit-depth=16 -define png:color-type=2" },
            { "png rgba 8-bit", "im2 png rgba.png -define png:color-type=6" },
            { "png rgba 16-bit", "im2 png rgba.png -depth 16 -define png:bit-depth=16 -define png:color-type=6" },
            { "png interlaced", "im png -interlace PNG" },
            { "png rgb with tRNS", "im png -fuzz 10% -transparent '#2050c0' -define png:color-type=2" },
            { "png palette with tRNS", "im png +dither -colors 16 -fuzz 10% -transparent '#2050c0'" },
            { "png gamma chunk", "im png -set gamma 0.8 -define png:include-chunk=gAMA" },
            { "png colour profile", "cp src.png \"$OUT\"", detail::withProfile },
            // JPEG as cameras, phones and editors write it.
            { "jpeg baseline 4:2:0", "cj" }, { "jpeg baseline 4:2:2", "cj -sample 2x1" },
            { "jpeg baseline 4:4:4", "cj -sample 1x1" }, { "jpeg progressive 4:2:0", "cj -progressive" },
            { "jpeg progressive 4:4:4", "cj -progressive -sample 1x1" }, { "jpeg grey", "cj -grayscale" },
            { "jpeg arithmetic progressive 4:4:4", "cj -arithmetic -progressive -sample 1x1" },
            // As many scans as a file may have: each coefficient on its own, and the first 36 refined.
            { "jpeg progressive 100 scans",
                "cj -grayscale && { echo '0: 0 0 0 0;'; for k in $(seq 63); do echo \"0: $k $k 0 1;\"; done; "
                "for k in $(seq 36); do echo \"0: $k $k 1 0;\"; done; } >\"$OUT.scans\" && jpegtran -scans "
                "\"$OUT.scans\" \"$OUT\" >\"$OUT.jpg\" && mv \"$OUT.jpg\" \"$OUT\" && rm \"$OUT.scans\"" },
            { "jpeg restart markers", "cj -restart 1" }, { "jpeg cmyk adobe", "im jpg -colorspace CMYK -quality 90" },
            { "jpeg ycck adobe", "cp src.png \"$OUT\"", detail::ycckOf },
            { "jpeg stray bytes between segments", "cj", detail::withStrayBytes },
            { "jpeg stray bytes before its end", "cj", detail::withStrayBytesAtTheEnd },
            { "gif interlaced", "im gif -interlace GIF" },
            { "gif transparent", "im2 gif rgba.png -channel A -threshold 50% +channel" },
            { "gif animated", "convert -delay 20 src.png negative.png -loop 0 gif:\"$OUT\"" },
            { "bmp 1-bit", "im bmp3 +dither -remap palette2.png -type palette" },
            { "bmp 4-bit", "im bmp3 +dither -colors 16 -type palette" },
            { "bmp 8-bit", "im bmp3 +dither -colors 200 -type palette" },
            { "bmp rle8", "im bmp3 +dither -colors 200 -type palette -compress RLE" },
            { "bmp rle4", "im bmp3 +dither -colors 16 -type palette", detail::rle4Of },
            { "bmp 16-bit bit-fields", "im bmp -define bmp:subtype=RGB565" },
            { "bmp 24-bit", "im bmp3 -type truecolor" },
            { "bmp 24-bit top-down", "im bmp3 -type truecolor", detail::topDownOf },
            { "bmp 32-bit with alpha", "im2 bmp rgba.png -type truecoloralpha" },
            { "ico 16 32 64 256", "im ico -define icon:auto-resize=16,32,64,256" },
            { "webp lossy", "cwebp -quiet -q 85 src.png -o \"$OUT\"" },
            { "webp lossless", "cwebp -quiet -lossless src.png -o \"$OUT\"" },
            { "webp with alpha", "cwebp -quiet -q 85 -exact rgba.png -o \"$OUT\"" },
            { "webp animated", "img2webp -q 85 -lossy src.png negative.png -o \"$OUT\" >/dev/null" },
            { "tiff lzw", "im tiff -compress lzw" }, { "tiff two pages", "convert src.png negative.png tiff:\"$OUT\"" },
            { "tiff turned by its orientation tag", "im tiff -compress lzw -orient RightTop" },
            { "heic", "heif-enc -q 90 src.png -o \"$OUT.heic\" >/dev/null && mv \"$OUT.heic\" \"$OUT\"" },
            { "heic with thumbnail",
                "heif-enc -q 90 -t $((W / 2)) src.png -o \"$OUT.heic\" >/dev/null && mv \"$OUT.heic\" \"$OUT\"" },
            { "heic with alpha", "heif-enc -q 90 rgba.png -o \"$OUT.heic\" >/dev/null && mv \"$OUT.heic\" \"$OUT\"" },
            { "heic brand mif1", "heif-enc -q 90 src.png -o \"$OUT.heic\" >/dev/null && mv \"$OUT.heic\" \"$OUT\"",
                detail::withBrandMif1 },
            // Sides that are no multiples of a coding block: the encoder pads them, libheif crops them off.
            { "heic odd sides",
                "convert src.png -resize 321x241! odd.png && heif-enc -q 90 odd.png -o \"$OUT.heic\" "
                ">/dev/null && mv \"$OUT.heic\" \"$OUT\"" },
            { "avif", "im avif -quality 90" }, { "avif with alpha", "im2 avif rgba.png -quality 90" },
            // The other formats Qt's readers take.
            { "ppm", "im ppm" }, { "ppm ascii", "im ppm -compress none" }, { "pgm", "im pgm" },
            { "pbm", "im pbm -resize 50%" }, { "xpm", "im xpm -colors 32" }, { "xbm", "im xbm -resize 50%" },
            { "tga", "im tga", detail::withTgaFooter }, { "wbmp", "im wbmp -resize 50%" },
            { "cur", "im cur -resize 64x64" } };
        for (const int bits : { 1, 2, 4, 8, 16 })
            list.push_back({ "png grey " + std::to_string(bits) + "-bit",
                "im png -colorspace gray -depth " + std::to_string(bits)
                    + " -define png:bit-depth=" + std::to_string(bits) + " -define png:color-type=0" });
        // Every Exif orientation, on a landscape and on a portrait picture, and 9, which is none and leaves the
        // picture as it is.
        for (const char* shape : { "landscape", "portrait" })
            for (char orientation = '1'; orientation <= '9'; ++orientation)
                list.push_back({ "jpeg exif " + std::string(shape) + ' ' + orientation,
                    std::string("cjpeg -quality 90 -outfile \"$OUT\" ") + (shape[0] == 'l' ? "src" : "tall")
                        + ".ppm && exiv2 -M'set Exif.Image.Orientation Short " + orientation + "' \"$OUT\"" });
        return list;
    }();
    return rows;
}

struct File {
    QString name;
    QString path;
};

// Writes every variant into `folder` from pictures of `size`; returns them, or an empty list with `error` set.
inline std::vector<File> write(const QDir& folder, QSize size, QString* error)
{
    // Every variant at once, in the background: most of the time goes to starting the tools.
    std::string script = "set -o pipefail; W=" + std::to_string(size.width()) + " H=" + std::to_string(size.height())
        + " DIR='" + folder.path().toStdString() + "'\n" + kPictures;
    std::vector<File> files;
    for (const Variant& variant : variants()) {
        const QString name = QString::fromStdString(variant.name);
        files.push_back({ name, folder.filePath(QString(name).replace(QLatin1Char(' '), QLatin1Char('-'))) });
        script += "( OUT='" + files.back().path.toStdString() + "'; " + variant.command + " ) || echo '" + variant.name
            + "' >>failed &\n";
    }
    QProcess shell;
    shell.start(QStringLiteral("bash"),
        { QStringLiteral("-c"), QString::fromStdString(script + "wait; ! cat failed 2>/dev/null") });
    if (!shell.waitForFinished(120000) || shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0) {
        *error = QStringLiteral("not written: ") + QString::fromLocal8Bit(shell.readAll());
        return {};
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!variants()[i].rewrite)
            continue;
        QFile file(files[i].path);
        const QByteArray bytes = file.open(QIODevice::ReadWrite) ? variants()[i].rewrite(file.readAll()) : QByteArray();
        if (bytes.isEmpty() || !file.resize(0) || !file.seek(0) || file.write(bytes) != bytes.size()) {
            *error = files[i].name + QStringLiteral(": not rewritten");
            return {};
        }
    }
    return files;
}

} // namespace corpus
