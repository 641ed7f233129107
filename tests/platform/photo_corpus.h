#pragma once

// The picture files people have, written at test time by the tools that write them in real life (ImageMagick,
// cjpeg, cwebp, img2webp, heif-enc, exiv2) and, where no tool does, by libjpeg or Qt themselves. One row per
// variant; the loader test checks each against its decoder's own full-size picture, and the fuzzer starts from
// small copies of them.

#include <QBuffer>
#include <QByteArray>
#include <QColorSpace>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QtEndian>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>

namespace corpus {

struct Variant {
    std::string name;
    std::string format; // the format it is written in, as the loader should find it
    // bash, with SRC a landscape and TALL a portrait RGB picture (PNG, and PPM as SRC_PPM and TALL_PPM for
    // cjpeg), RGBA one with transparency, DIR the folder with further pictures, and OUT the file to write.
    std::string command;
    // Where no tool writes the variant: turns what the command wrote into it.
    QByteArray (*rewrite)(const QByteArray&) = nullptr;
};

// Blurred quadrants of four colours: every turn and mirror shows, and decoders that scale in different ways
// (libjpeg in its transform, Qt after decoding) still agree closely away from hard edges.
inline const std::string kPictures = R"(
quadrants() { convert -size "$1" xc:'#2050c0' \( -size "$2" xc:'#e03020' \) -geometry +0+0 -composite \
    \( -size "$2" xc:'#30b040' \) -gravity northeast -composite \( -size "$2" xc:'#f0d020' \) \
    -gravity southeast -composite -blur 0x$3 -depth 8 "$4"; }
quadrants ${W}x${H} $((W/2))x$((H/2)) $((W/64+1)) "$SRC" && convert "$SRC" "$SRC_PPM" &&
quadrants ${H}x${W} $((H/2))x$((W/2)) $((W/64+1)) "$TALL" && convert "$TALL" "$TALL_PPM" &&
convert "$SRC" \( -size ${W}x${H} gradient:white-none \) -compose copy-opacity -composite "$RGBA" &&
convert "$SRC" -negate "$DIR/negative.png" &&
convert xc:'#e03020' xc:'#2050c0' +append "$DIR/palette2.png" &&
convert xc:'#e03020' xc:'#30b040' xc:'#2050c0' xc:'#f0d020' +append "$DIR/palette4.png" &&
convert -size 16x1 gradient:'#e03020'-'#2050c0' "$DIR/palette16.png"
)";

namespace detail {

    // CMYK as Adobe stores it, inverted, made by libjpeg itself, which turns it into YCCK.
    inline QByteArray ycckOf(const QByteArray& png)
    {
        const QImage rgb = QImage::fromData(png).convertToFormat(QImage::Format_RGB32);
        jpeg_compress_struct info {};
        jpeg_error_mgr errors {};
        info.err = jpeg_std_error(&errors);
        jpeg_create_compress(&info);
        unsigned char* buffer = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&info, &buffer, &size);
        info.image_width = JDIMENSION(rgb.width());
        info.image_height = JDIMENSION(rgb.height());
        info.input_components = 4;
        info.in_color_space = JCS_CMYK;
        jpeg_set_defaults(&info);
        jpeg_set_colorspace(&info, JCS_YCCK);
        jpeg_set_quality(&info, 90, TRUE);
        jpeg_start_compress(&info, TRUE);
        std::vector<JSAMPLE> row(std::size_t(rgb.width()) * 4);
        for (int y = 0; y < rgb.height(); ++y) {
            for (int x = 0; x < rgb.width(); ++x) {
                const QRgb pixel = rgb.pixel(x, y);
                const int k = std::max({ qRed(pixel), qGreen(pixel), qBlue(pixel), 1 });
                JSAMPLE* cmyk = &row[std::size_t(x) * 4];
                cmyk[0] = JSAMPLE(qRed(pixel) * 255 / k);
                cmyk[1] = JSAMPLE(qGreen(pixel) * 255 / k);
                cmyk[2] = JSAMPLE(qBlue(pixel) * 255 / k);
                cmyk[3] = JSAMPLE(k);
            }
            JSAMPROW pointer = row.data();
            jpeg_write_scanlines(&info, &pointer, 1);
        }
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
        const QByteArray jpeg(reinterpret_cast<const char*>(buffer), qsizetype(size));
        std::free(buffer);
        return jpeg;
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

    inline int le32(const QByteArray& bytes, int at)
    {
        QDataStream in(bytes);
        in.setByteOrder(QDataStream::LittleEndian);
        qint32 value = 0;
        in.skipRawData(at);
        in >> value;
        return value;
    }

    // The same 4-bit picture run-length coded: each row as runs of one byte (two pixels), then end of line.
    inline QByteArray rle4Of(const QByteArray& bmp)
    {
        const int offset = le32(bmp, 10);
        const int width = le32(bmp, 18);
        const int height = le32(bmp, 22);
        const int stride = ((width + 1) / 2 + 3) / 4 * 4;
        QByteArray data;
        for (int y = 0; y < height; ++y) {
            const char* row = bmp.constData() + offset + y * stride;
            for (int x = 0; x < width;) {
                int run = 2;
                while (x + run < width && run < 254 && row[(x + run) / 2] == row[x / 2])
                    run += 2;
                run = std::min(run, width - x);
                data.append(char(run)).append(row[x / 2]);
                x += run;
            }
            data.append('\0').append('\0');
        }
        data.append('\0').append('\1');
        QByteArray out = bmp.left(offset) + data;
        qToLittleEndian<quint32>(2, out.data() + 30); // BI_RLE4
        qToLittleEndian<quint32>(quint32(data.size()), out.data() + 34);
        qToLittleEndian<quint32>(quint32(out.size()), out.data() + 2);
        return out;
    }

    // The same 24-bit picture stored top row first, which a negative height declares.
    inline QByteArray topDownOf(const QByteArray& bmp)
    {
        const int offset = le32(bmp, 10);
        const int width = le32(bmp, 18);
        const int height = le32(bmp, 22);
        const int stride = (width * 3 + 3) / 4 * 4;
        QByteArray out = bmp.left(offset);
        for (int y = height - 1; y >= 0; --y)
            out += bmp.mid(offset + y * stride, stride);
        qToLittleEndian<qint32>(-height, out.data() + 22);
        return out;
    }

} // namespace detail

inline const std::vector<Variant>& variants()
{
    static const std::vector<Variant> rows = [] {
        std::vector<Variant> list {
            // Palette PNGs as ImageMagick writes them for few colours: 1, 2 and 4 bits when no background chunk
            // asks for a further entry.
            { "png palette 1-bit solid blue", "png", R"(convert -size 300x200 xc:'#0000FF' png:"$OUT")" },
            { "png palette 1-bit", "png",
                R"(convert "$SRC" +dither -remap "$DIR/palette2.png" -define png:exclude-chunk=bKGD png:"$OUT")" },
            { "png palette 2-bit", "png",
                R"(convert "$SRC" +dither -remap "$DIR/palette4.png" -define png:exclude-chunk=bKGD png:"$OUT")" },
            { "png palette 4-bit", "png",
                R"(convert "$SRC" +dither -remap "$DIR/palette16.png" -define png:exclude-chunk=bKGD png:"$OUT")" },
            { "png palette 8-bit", "png", R"(convert "$SRC" -colors 200 -define png:color-type=3 png:"$OUT")" },
            { "png grey 1-bit", "png",
                R"(convert "$SRC" -colorspace gray -depth 1 -define png:bit-depth=1 -define png:color-type=0 png:"$OUT")" },
            { "png grey 2-bit", "png",
                R"(convert "$SRC" -colorspace gray -depth 2 -define png:bit-depth=2 -define png:color-type=0 png:"$OUT")" },
            { "png grey 4-bit", "png",
                R"(convert "$SRC" -colorspace gray -depth 4 -define png:bit-depth=4 -define png:color-type=0 png:"$OUT")" },
            { "png grey 8-bit", "png",
                R"(convert "$SRC" -colorspace gray -define png:bit-depth=8 -define png:color-type=0 png:"$OUT")" },
            { "png grey 16-bit", "png",
                R"(convert "$SRC" -colorspace gray -depth 16 -define png:bit-depth=16 -define png:color-type=0 png:"$OUT")" },
            { "png grey with alpha", "png", R"(convert "$RGBA" -colorspace gray -define png:color-type=4 png:"$OUT")" },
            { "png rgb 8-bit", "png", R"(convert "$SRC" -define png:bit-depth=8 -define png:color-type=2 png:"$OUT")" },
            { "png rgb 16-bit", "png",
                R"(convert "$SRC" -depth 16 -define png:bit-depth=16 -define png:color-type=2 png:"$OUT")" },
            { "png rgba 8-bit", "png",
                R"(convert "$RGBA" -define png:bit-depth=8 -define png:color-type=6 png:"$OUT")" },
            { "png rgba 16-bit", "png",
                R"(convert "$RGBA" -depth 16 -define png:bit-depth=16 -define png:color-type=6 png:"$OUT")" },
            { "png interlaced", "png", R"(convert "$SRC" -interlace PNG png:"$OUT")" },
            { "png rgb with tRNS", "png",
                R"(convert "$SRC" -fuzz 10% -transparent '#2050c0' -define png:color-type=2 png:"$OUT")" },
            { "png palette with tRNS", "png",
                R"(convert "$SRC" +dither -colors 16 -fuzz 10% -transparent '#2050c0' png:"$OUT")" },
            { "png gamma chunk", "png", R"(convert "$SRC" -set gamma 0.8 -define png:include-chunk=gAMA png:"$OUT")" },
            { "png colour profile", "png", R"(cp "$SRC" "$OUT")", detail::withProfile },
            // JPEG as cameras, phones and editors write it.
            { "jpeg baseline 4:2:0", "jpeg", R"(cjpeg -quality 90 -outfile "$OUT" "$SRC_PPM")" },
            { "jpeg baseline 4:2:2", "jpeg", R"(cjpeg -quality 90 -sample 2x1 -outfile "$OUT" "$SRC_PPM")" },
            { "jpeg baseline 4:4:4", "jpeg", R"(cjpeg -quality 90 -sample 1x1 -outfile "$OUT" "$SRC_PPM")" },
            { "jpeg progressive 4:2:0", "jpeg", R"(cjpeg -quality 90 -progressive -outfile "$OUT" "$SRC_PPM")" },
            { "jpeg progressive 4:4:4", "jpeg",
                R"(cjpeg -quality 90 -progressive -sample 1x1 -outfile "$OUT" "$SRC_PPM")" },
            { "jpeg grey", "jpeg", R"(cjpeg -quality 90 -grayscale -outfile "$OUT" "$SRC_PPM")" },
            { "jpeg arithmetic progressive 4:4:4", "jpeg",
                R"(cjpeg -quality 90 -arithmetic -progressive -sample 1x1 -outfile "$OUT" "$SRC_PPM")" },
            { "jpeg restart markers", "jpeg", R"(cjpeg -quality 90 -restart 1 -outfile "$OUT" "$SRC_PPM")" },
            { "jpeg cmyk adobe", "jpeg", R"(convert "$SRC" -colorspace CMYK -quality 90 jpg:"$OUT")" },
            { "jpeg ycck adobe", "jpeg", R"(cp "$SRC" "$OUT")", detail::ycckOf },
            { "jpeg stray bytes between segments", "jpeg", R"(cjpeg -quality 90 -outfile "$OUT" "$SRC_PPM")",
                detail::withStrayBytes },
            { "gif interlaced", "gif", R"(convert "$SRC" -interlace GIF gif:"$OUT")" },
            { "gif transparent", "gif", R"(convert "$RGBA" -channel A -threshold 50% +channel gif:"$OUT")" },
            { "gif animated", "gif", R"(convert -delay 20 "$SRC" "$DIR/negative.png" -loop 0 gif:"$OUT")" },
            { "bmp 1-bit", "bmp", R"(convert "$SRC" +dither -remap "$DIR/palette2.png" -type palette bmp3:"$OUT")" },
            { "bmp 4-bit", "bmp", R"(convert "$SRC" +dither -colors 16 -type palette bmp3:"$OUT")" },
            { "bmp 8-bit", "bmp", R"(convert "$SRC" +dither -colors 200 -type palette bmp3:"$OUT")" },
            { "bmp rle8", "bmp", R"(convert "$SRC" +dither -colors 200 -type palette -compress RLE bmp3:"$OUT")" },
            { "bmp rle4", "bmp", R"(convert "$SRC" +dither -colors 16 -type palette bmp3:"$OUT")", detail::rle4Of },
            { "bmp 16-bit bit-fields", "bmp", R"(convert "$SRC" -define bmp:subtype=RGB565 bmp:"$OUT")" },
            { "bmp 24-bit", "bmp", R"(convert "$SRC" -type truecolor bmp3:"$OUT")" },
            { "bmp 24-bit top-down", "bmp", R"(convert "$SRC" -type truecolor bmp3:"$OUT")", detail::topDownOf },
            { "bmp 32-bit with alpha", "bmp", R"(convert "$RGBA" -type truecoloralpha bmp:"$OUT")" },
            { "ico 256 64 32 16", "ico", R"(convert "$SRC" -define icon:auto-resize=256,64,32,16 ico:"$OUT")" },
            { "webp lossy", "webp", R"(cwebp -quiet -q 85 "$SRC" -o "$OUT")" },
            { "webp lossless", "webp", R"(cwebp -quiet -lossless "$SRC" -o "$OUT")" },
            { "webp with alpha", "webp", R"(cwebp -quiet -q 85 -exact "$RGBA" -o "$OUT")" },
            { "webp animated", "webp", R"(img2webp -q 85 -lossy "$SRC" "$DIR/negative.png" -o "$OUT" >/dev/null)" },
            { "tiff lzw", "tiff", R"(convert "$SRC" -compress lzw tiff:"$OUT")" },
            { "tiff two pages", "tiff", R"(convert "$SRC" "$DIR/negative.png" -compress zip tiff:"$OUT")" },
            { "heic", "heif", R"(heif-enc -q 90 "$SRC" -o "$OUT.heic" >/dev/null && mv "$OUT.heic" "$OUT")" },
            { "heic with thumbnail", "heif",
                R"(heif-enc -q 90 -t $((W / 2)) "$SRC" -o "$OUT.heic" >/dev/null && mv "$OUT.heic" "$OUT")" },
            { "heic with alpha", "heif",
                R"(heif-enc -q 90 "$RGBA" -o "$OUT.heic" >/dev/null && mv "$OUT.heic" "$OUT")" },
            { "avif", "heif", R"(convert "$SRC" -quality 90 avif:"$OUT")" },
            { "avif with alpha", "heif", R"(convert "$RGBA" -quality 90 avif:"$OUT")" },
        };
        // Every Exif orientation, on a landscape and on a portrait picture.
        for (const char* shape : { "landscape", "portrait" }) {
            for (int orientation = 1; orientation <= 8; ++orientation) {
                list.push_back({ "jpeg exif " + std::string(shape) + " " + std::to_string(orientation), "jpeg",
                    "cjpeg -quality 90 -outfile \"$OUT\" \"$" + std::string(shape[0] == 'l' ? "SRC" : "TALL")
                        + "_PPM\" && exiv2 -M'set Exif.Image.Orientation Short " + std::to_string(orientation)
                        + "' \"$OUT\"" });
            }
        }
        return list;
    }();
    return rows;
}

struct File {
    QString name;
    QString format;
    QString path;
};

// Writes every variant into `folder` from pictures of `size`; returns them, or an empty list with `error` set.
inline std::vector<File> write(const QDir& folder, QSize size, QString* error)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const auto set = [&](const char* name, const QString& value) { environment.insert(QLatin1String(name), value); };
    set("W", QString::number(size.width()));
    set("H", QString::number(size.height()));
    set("DIR", folder.path());
    for (const auto& [name, file] : { std::pair { "SRC", "src.png" }, { "TALL", "tall.png" }, { "RGBA", "rgba.png" },
             { "SRC_PPM", "src.ppm" }, { "TALL_PPM", "tall.ppm" } })
        set(name, folder.filePath(QLatin1String(file)));
    // Every variant at once, in the background: most of the time goes to starting the tools.
    std::string script = "set -o pipefail; " + kPictures;
    std::vector<File> files;
    for (const Variant& variant : variants()) {
        const QString name = QString::fromStdString(variant.name);
        files.push_back({ name, QString::fromStdString(variant.format),
            folder.filePath(QString(name).replace(QLatin1Char(' '), QLatin1Char('-'))) });
        script += "\n( OUT='" + files.back().path.toStdString() + "'; " + variant.command + " ) || echo '"
            + variant.name + "' >>\"$DIR/failed\" &";
    }
    script += "\nwait; ! cat \"$DIR/failed\" 2>/dev/null";
    QProcess shell;
    shell.setProcessEnvironment(environment);
    shell.start(QStringLiteral("bash"), { QStringLiteral("-c"), QString::fromStdString(script) });
    if (!shell.waitForFinished(120000) || shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0) {
        *error = QStringLiteral("not written: ") + QString::fromLocal8Bit(shell.readAll());
        return {};
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!variants()[i].rewrite)
            continue;
        QFile file(files[i].path);
        const QByteArray bytes = file.open(QIODevice::ReadWrite) ? variants()[i].rewrite(file.readAll()) : QByteArray();
        if (bytes.isEmpty() || !file.resize(0) || file.write(bytes) != bytes.size()) {
            *error = files[i].name + QStringLiteral(": not rewritten");
            return {};
        }
    }
    return files;
}

} // namespace corpus
