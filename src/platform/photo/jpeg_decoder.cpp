#include "platform/photo/jpeg_decoder.h"

#include <QIODevice>
#include <QImageIOHandler>
#include <QTransform>

#include <array>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, whose configuration decides which message codes jerror.h numbers (arithmetic coding's among them).
#include <jerror.h>
#include <libexif/exif-data.h>

#include "platform/photo/picture_limits.h"

namespace photo {

namespace {

    // One decode's libjpeg state. The library reports errors through longjmp, so everything that must be
    // released after one lives here, outside the frame that calls setjmp.
    struct Decoder {
        jpeg_decompress_struct info {};
        jpeg_error_mgr errors {};
        jpeg_progress_mgr progress {};
        std::jmp_buf failed {};
        // The file is read through a small buffer as libjpeg asks for it, not copied whole first: a copy of a phone
        // photo is megabytes of fresh memory, faulted in again for every photo once it has been handed back.
        jpeg_source_mgr source {};
        QIODevice* device = nullptr;
        static constexpr std::size_t bufferBytes = 256 * 1024;
        std::unique_ptr<JOCTET[]> buffer = std::make_unique_for_overwrite<JOCTET[]>(bufferBytes);
    };

    Decoder& decoderOf(j_common_ptr info) { return *static_cast<Decoder*>(info->client_data); }

    [[noreturn]] void fail(j_common_ptr info) { std::longjmp(decoderOf(info).failed, 1); }

    boolean fillInput(j_decompress_ptr info)
    {
        Decoder& decoder = decoderOf(reinterpret_cast<j_common_ptr>(info));
        qint64 read = decoder.device->read(reinterpret_cast<char*>(decoder.buffer.get()), qint64(Decoder::bufferBytes));
        if (read <= 0) {
            // As libjpeg's own sources end data cut short: a warning (which ends the decode), then an end marker.
            WARNMS(info, JWRN_JPEG_EOF);
            decoder.buffer[0] = 0xFF;
            decoder.buffer[1] = JPEG_EOI;
            read = 2;
        }
        info->src->next_input_byte = decoder.buffer.get();
        info->src->bytes_in_buffer = std::size_t(read);
        return TRUE;
    }

    void skipInput(j_decompress_ptr info, long bytes)
    {
        if (bytes <= 0)
            return;
        jpeg_source_mgr& source = *info->src;
        if (std::size_t(bytes) <= source.bytes_in_buffer) {
            source.next_input_byte += bytes;
            source.bytes_in_buffer -= std::size_t(bytes);
            return;
        }
        // Past the buffer: the rest is skipped on the device, and a skip beyond its end is found by the next fill.
        decoderOf(reinterpret_cast<j_common_ptr>(info)).device->skip(qint64(bytes) - qint64(source.bytes_in_buffer));
        source.bytes_in_buffer = 0;
    }

    void noSourceWork(j_decompress_ptr) { }

    // The warnings that mean the entropy-coded data broke: the decoder met a marker before the scan's last block,
    // had to resynchronise, read a code no table holds, or ran out of data. libjpeg paints such blocks grey and goes
    // on. Bytes left over after a scan's last block (which some cameras and editors write before the end marker)
    // and the other warnings leave every block as the file coded it.
    bool isEntropyDamage(int code)
    {
        switch (code) {
        case JWRN_HIT_MARKER:
        case JWRN_MUST_RESYNC:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_ARITH_BAD_CODE:
        case JWRN_JPEG_EOF:
            return true;
        default:
            return false;
        }
    }

    void emitMessage(j_common_ptr info, int level)
    {
        // Negative levels are warnings.
        if (level < 0 && isEntropyDamage(info->err->msg_code))
            fail(info);
    }

    void outputMessage(j_common_ptr) { }

    void checkScans(j_common_ptr info)
    {
        if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > picture_limits::maxJpegScans)
            fail(info);
    }

    // Within the pixel cap, and carrying bits enough for the blocks it declares.
    bool withinLimits(const jpeg_decompress_struct& info, qint64 fileBytes)
    {
        if (double(info.image_width) * info.image_height > double(picture_limits::maxScaledPixels))
            return false;
        double blocks = 0;
        for (int c = 0; c < info.num_components; ++c)
            blocks += double(info.comp_info[c].width_in_blocks) * info.comp_info[c].height_in_blocks;
        const double bitsPerBlock
            = info.arith_code ? picture_limits::minArithmeticJpegBitsPerBlock : picture_limits::minJpegBitsPerBlock;
        return double(fileBytes) * 8 >= blocks * bitsPerBlock;
    }

    // The smallest scale in eighths whose output still covers `cover`, or the full size.
    void chooseScale(jpeg_decompress_struct& info, QSize cover)
    {
        info.scale_denom = 8;
        for (info.scale_num = 1; info.scale_num < 8; ++info.scale_num) {
            jpeg_calc_output_dimensions(&info);
            if (info.output_width >= JDIMENSION(cover.width()) && info.output_height >= JDIMENSION(cover.height()))
                return;
        }
    }

    // Adobe's CMYK is stored inverted, as Photoshop writes it: the ink's complement times the black's.
    void cmykRowToRgb(const JSAMPLE* cmyk, QRgb* rgb, JDIMENSION width)
    {
        for (JDIMENSION x = 0; x < width; ++x, cmyk += 4) {
            const int k = cmyk[3];
            rgb[x] = qRgb(k * cmyk[0] / 255, k * cmyk[1] / 255, k * cmyk[2] / 255);
        }
    }

    using Transformations = QImageIOHandler::Transformations;

    // The turn and mirror of the Exif orientation in the file's first Exif segment (libjpeg keeps APP1 for it).
    Transformations exifTransformations(const jpeg_decompress_struct& info)
    {
        static constexpr std::array<QImageIOHandler::Transformation, 9> byOrientation {
            QImageIOHandler::TransformationNone, QImageIOHandler::TransformationNone,
            QImageIOHandler::TransformationMirror, QImageIOHandler::TransformationRotate180,
            QImageIOHandler::TransformationFlip, QImageIOHandler::TransformationFlipAndRotate90,
            QImageIOHandler::TransformationRotate90, QImageIOHandler::TransformationMirrorAndRotate90,
            QImageIOHandler::TransformationRotate270
        };
        for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
            if (marker->marker != JPEG_APP0 + 1 || marker->data_length < 6
                || std::memcmp(marker->data, "Exif\0", 6) != 0)
                continue;
            const std::unique_ptr<ExifData, void (*)(ExifData*)> exif(
                exif_data_new_from_data(marker->data, marker->data_length), exif_data_unref);
            const ExifEntry* entry
                = exif ? exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION) : nullptr;
            if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components != 1)
                return QImageIOHandler::TransformationNone;
            const ExifShort orientation = exif_get_short(entry->data, exif_data_get_byte_order(exif.get()));
            return orientation < byOrientation.size() ? byOrientation[orientation]
                                                      : QImageIOHandler::TransformationNone;
        }
        return QImageIOHandler::TransformationNone;
    }

    // Mirrors first, then turns a quarter, as Exif orientations are defined.
    QImage transformed(QImage picture, Transformations transformations)
    {
        picture = std::move(picture).mirrored(transformations.testFlag(QImageIOHandler::TransformationMirror),
            transformations.testFlag(QImageIOHandler::TransformationFlip));
        if (transformations.testFlag(QImageIOHandler::TransformationRotate90))
            picture = picture.transformed(QTransform().rotate(90));
        return picture;
    }

    // Only trivially destructible locals from here on: a failure jumps back into this frame.
    bool run(Decoder& decoder, QSize cover, qint64 fileBytes, QImage& picture, std::vector<JSAMPLE>& cmykRow,
        Transformations& transformations)
    {
        jpeg_decompress_struct& info = decoder.info;
        if (setjmp(decoder.failed))
            return false;

        jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
        jpeg_read_header(&info, TRUE);
        if (!withinLimits(info, fileBytes))
            return false;
        transformations = exifTransformations(info);
        if (transformations.testFlag(QImageIOHandler::TransformationRotate90))
            cover.transpose();
        const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
        // Straight into QImage's 32-bit layout, 0xffRRGGBB in native byte order.
        info.out_color_space = cmyk ? JCS_CMYK : (Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB);
        chooseScale(info, cover);

        jpeg_start_decompress(&info);
        picture = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
        if (picture.isNull())
            return false;
        if (cmyk)
            cmykRow.resize(std::size_t(info.output_width) * 4);
        while (info.output_scanline < info.output_height) {
            const int y = int(info.output_scanline);
            JSAMPROW row = cmyk ? cmykRow.data() : picture.scanLine(y);
            if (jpeg_read_scanlines(&info, &row, 1) != 1)
                return false;
            if (cmyk)
                cmykRowToRgb(cmykRow.data(), reinterpret_cast<QRgb*>(picture.scanLine(y)), info.output_width);
        }
        // Reads on to the end-of-image marker, so data cut short or left over after the last scan is seen.
        jpeg_finish_decompress(&info);
        return true;
    }

} // namespace

QImage decodeJpeg(QIODevice& device, QSize cover)
{
    const qint64 fileBytes = device.size() - device.pos();
    const auto decoder = std::make_unique<Decoder>();
    jpeg_decompress_struct& info = decoder->info;
    info.err = jpeg_std_error(&decoder->errors);
    decoder->errors.error_exit = fail;
    decoder->errors.emit_message = emitMessage;
    decoder->errors.output_message = outputMessage;
    info.client_data = decoder.get();
    jpeg_create_decompress(&info);
    // With no backing store, libjpeg fails a decode whose coefficients (several scans) would pass this, before
    // reading them (JERR_NO_BACKING_STORE), instead of growing.
    info.mem->max_memory_to_use = picture_limits::maxJpegMemoryBytes;
    decoder->progress.progress_monitor = checkScans;
    info.progress = &decoder->progress;
    // Data cut short ends in a JWRN_JPEG_EOF warning, which ends the decode.
    decoder->device = &device;
    decoder->source.init_source = noSourceWork;
    decoder->source.fill_input_buffer = fillInput;
    decoder->source.skip_input_data = skipInput;
    decoder->source.resync_to_restart = jpeg_resync_to_restart;
    decoder->source.term_source = noSourceWork;
    info.src = &decoder->source;

    QImage picture;
    std::vector<JSAMPLE> cmykRow;
    Transformations transformations;
    const bool decoded = run(*decoder, cover, fileBytes, picture, cmykRow, transformations);
    jpeg_destroy_decompress(&info);
    return decoded ? transformed(std::move(picture), transformations) : QImage();
}

} // namespace photo
