#include "platform/photo/heif_decoder.h"

#include <QIODevice>
#include <QLibrary>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include <libheif/heif.h>

#include "platform/photo/picture_limits.h"

namespace photo {

namespace {

    // libheif 1.19 and later hold a context to limits of their own, whose defaults are not the loader's caps. Their
    // struct grows by versions, each keeping the fields before it; this is the first version, which every such libheif
    // takes (the headers of an older one, as on Debian 12, do not have it).
    struct SecurityLimits {
        uint8_t version;
        uint64_t maxImagePixels;
        uint64_t maxTiles;
        uint32_t maxBayerPatternPixels;
        uint32_t maxItems;
        uint32_t maxColourProfileBytes;
        uint64_t maxMemoryBlockBytes;
        uint32_t maxComponents;
        uint32_t maxExtentsPerItem;
        uint32_t maxEntityGroupSize;
        uint32_t maxChildrenPerBox;
    };
#if LIBHEIF_NUMERIC_VERSION >= 0x01130000
    static_assert(offsetof(heif_security_limits, max_image_size_pixels) == offsetof(SecurityLimits, maxImagePixels)
        && offsetof(heif_security_limits, max_memory_block_size) == offsetof(SecurityLimits, maxMemoryBlockBytes)
        && offsetof(heif_security_limits, max_children_per_box) == offsetof(SecurityLimits, maxChildrenPerBox));
#endif

    // libheif brings four video codecs whose start-up work would cost the program a quarter of its start-up time,
    // so it is loaded the first time a picked file could be one of its pictures, and never before.
    struct Heif {
#define SCOREBOARD_HEIF_FUNCTION(name) decltype(&heif_##name) name = nullptr;
#define SCOREBOARD_HEIF_FUNCTIONS(X)                                                                                   \
    X(check_filetype)                                                                                                  \
    X(context_alloc)                                                                                                   \
    X(context_free)                                                                                                    \
    X(context_read_from_memory_without_copy)                                                                           \
    X(context_get_primary_image_ID)                                                                                    \
    X(context_get_number_of_top_level_images)                                                                          \
    X(context_get_list_of_top_level_image_IDs)                                                                         \
    X(context_get_image_handle)                                                                                        \
    X(context_set_maximum_image_size_limit)                                                                            \
    X(image_handle_release)                                                                                            \
    X(image_handle_get_width)                                                                                          \
    X(image_handle_get_height)                                                                                         \
    X(image_handle_get_ispe_width)                                                                                     \
    X(image_handle_get_ispe_height)                                                                                    \
    X(image_handle_has_alpha_channel)                                                                                  \
    X(image_handle_get_number_of_thumbnails)                                                                           \
    X(image_handle_get_list_of_thumbnail_IDs)                                                                          \
    X(image_handle_get_thumbnail)                                                                                      \
    X(decoding_options_alloc)                                                                                          \
    X(decoding_options_free)                                                                                           \
    X(decode_image)                                                                                                    \
    X(image_release)                                                                                                   \
    X(image_get_plane_readonly)                                                                                        \
    X(image_get_width)                                                                                                 \
    X(image_get_height)
        SCOREBOARD_HEIF_FUNCTIONS(SCOREBOARD_HEIF_FUNCTION)
        // Only in libheif 1.19 and later.
        SecurityLimits* (*context_get_security_limits)(const heif_context*) = nullptr;
        heif_error (*context_set_security_limits)(heif_context*, const SecurityLimits*) = nullptr;
    };

    // Null when libheif is not installed or not the version built against.
    const Heif* heif()
    {
        static const std::unique_ptr<const Heif> loaded = [] {
            QLibrary library(QStringLiteral("heif"), 1);
            auto table = std::make_unique<Heif>();
            bool complete = library.load();
#define SCOREBOARD_HEIF_RESOLVE(name)                                                                                  \
    table->name = reinterpret_cast<decltype(table->name)>(library.resolve("heif_" #name));                             \
    complete = complete && table->name;
            SCOREBOARD_HEIF_FUNCTIONS(SCOREBOARD_HEIF_RESOLVE)
            table->context_get_security_limits = reinterpret_cast<decltype(table->context_get_security_limits)>(
                library.resolve("heif_context_get_security_limits"));
            table->context_set_security_limits = reinterpret_cast<decltype(table->context_set_security_limits)>(
                library.resolve("heif_context_set_security_limits"));
            return complete ? std::unique_ptr<const Heif>(std::move(table)) : nullptr;
        }();
        return loaded.get();
    }
#undef SCOREBOARD_HEIF_RESOLVE
#undef SCOREBOARD_HEIF_FUNCTIONS
#undef SCOREBOARD_HEIF_FUNCTION

    struct Release {
        void operator()(heif_context* p) const { heif()->context_free(p); }
        void operator()(const heif_image_handle* p) const { heif()->image_handle_release(p); }
        void operator()(const heif_image* p) const { heif()->image_release(p); }
        void operator()(heif_decoding_options* p) const { heif()->decoding_options_free(p); }
    };
    template <typename T> using Owned = std::unique_ptr<T, Release>;

    // The size of the picture the handle decodes to, before any crop or turn.
    QSize storedSize(const heif_image_handle* handle)
    {
        return { heif()->image_handle_get_ispe_width(handle), heif()->image_handle_get_ispe_height(handle) };
    }

    // The size a handle shows at, after any crop or turn.
    QSize shownSize(const heif_image_handle* handle)
    {
        return { heif()->image_handle_get_width(handle), heif()->image_handle_get_height(handle) };
    }

    std::vector<heif_item_id> thumbnailIds(const heif_image_handle* handle)
    {
        std::vector<heif_item_id> ids(std::size_t(std::max(0, heif()->image_handle_get_number_of_thumbnails(handle))));
        ids.resize(std::size_t(
            std::max(0, heif()->image_handle_get_list_of_thumbnail_IDs(handle, ids.data(), int(ids.size())))));
        return ids;
    }

    // The picture the file stands for. A file may name one of its thumbnails as its primary item, and libheif then
    // hands that thumbnail back as the primary picture; the picture is the one that lists it as its thumbnail.
    Owned<const heif_image_handle> primaryPicture(heif_context* context)
    {
        heif_item_id primary = 0;
        if (heif()->context_get_primary_image_ID(context, &primary).code != heif_error_Ok)
            return nullptr;
        std::vector<heif_item_id> pictures(
            std::size_t(std::max(0, heif()->context_get_number_of_top_level_images(context))));
        pictures.resize(std::size_t(std::max(
            0, heif()->context_get_list_of_top_level_image_IDs(context, pictures.data(), int(pictures.size())))));
        heif_item_id chosen = primary;
        for (const heif_item_id id : pictures) {
            heif_image_handle* handle = nullptr;
            if (id == primary || heif()->context_get_image_handle(context, id, &handle).code != heif_error_Ok)
                break;
            const Owned<const heif_image_handle> picture(handle);
            const std::vector<heif_item_id> thumbnails = thumbnailIds(picture.get());
            if (std::find(thumbnails.begin(), thumbnails.end(), primary) != thumbnails.end()) {
                chosen = id;
                break;
            }
        }
        heif_image_handle* handle = nullptr;
        if (heif()->context_get_image_handle(context, chosen, &handle).code != heif_error_Ok)
            return nullptr;
        return Owned<const heif_image_handle>(handle);
    }

    // The picture's first thumbnail, if it is at least as large as the frame on both sides whichever way it is turned
    // (at the frame's own size, a thumbnail encoded apart shows its coding more than the picture scaled down does),
    // and it is the same picture made smaller: no larger on either side, and of the same shape to within a pixel. A
    // file may list any picture as a thumbnail.
    Owned<const heif_image_handle> coveringThumbnail(const heif_image_handle* primary, QSize cover)
    {
        const std::vector<heif_item_id> ids = thumbnailIds(primary);
        heif_image_handle* thumbnail = nullptr;
        if (ids.empty() || heif()->image_handle_get_thumbnail(primary, ids.front(), &thumbnail).code != heif_error_Ok)
            return nullptr;
        Owned<const heif_image_handle> owned(thumbnail);
        const QSize size = shownSize(thumbnail), picture = shownSize(primary);
        const qint64 shapeError
            = std::abs(qint64(size.width()) * picture.height() - qint64(size.height()) * picture.width());
        const int needed = std::max(cover.width(), cover.height());
        if (std::min(size.width(), size.height()) < needed || size.width() > picture.width()
            || size.height() > picture.height() || shapeError > std::max(picture.width(), picture.height()))
            return nullptr;
        return owned;
    }

    // libheif refuses a picture beyond its limits, which are set from the loader's caps for the picture chosen: coded
    // at most maxCodedPadding beyond each side it states (a tiled picture is put together at the size its grid
    // declares, which libheif does not hold to the size the file states:
    // tests/platform/photo/regressions/heic-48x32-declares-grid-26979x28275.heic), no buffer wider than
    // maxBytesPerPixel for each of those pixels nor, for coded data, larger than a file may be.
    void limitTo(heif_context* context, QSize picture)
    {
        using namespace picture_limits;
        if (!heif()->context_get_security_limits || !heif()->context_set_security_limits) {
            // Before 1.19 the one limit is a side, which a coded side may not reach.
            heif()->context_set_maximum_image_size_limit(
                context, std::max(picture.width(), picture.height()) + maxCodedPadding + 1);
            return;
        }
        const auto coded = quint64(picture.width() + maxCodedPadding) * quint64(picture.height() + maxCodedPadding);
        SecurityLimits limits;
        std::memcpy(&limits, heif()->context_get_security_limits(context), sizeof limits);
        // The later versions' fields keep libheif's defaults.
        limits.version = 1;
        limits.maxImagePixels = coded;
        limits.maxMemoryBlockBytes = std::max(quint64(maxFileBytes), coded * maxBytesPerPixel);
        heif()->context_set_security_limits(context, &limits);
    }

} // namespace

bool isHeif(const QByteArray& head)
{
    // No HEIF file starts without a file-type box.
    if (head.mid(4, 4) != "ftyp" || !heif())
        return false;
    // "Maybe" is the answer for HEIF's basic brand, mif1, which many encoders write: libheif decides as it reads.
    const heif_filetype_result type
        = heif()->check_filetype(reinterpret_cast<const uint8_t*>(head.constData()), int(head.size()));
    return type == heif_filetype_yes_supported || type == heif_filetype_maybe;
}

QImage decodeHeif(QIODevice& device, QSize cover)
{
    const QByteArray data = device.readAll();
    const Owned<heif_context> context(heif()->context_alloc());
    if (!context
        || heif()
                ->context_read_from_memory_without_copy(
                    context.get(), data.constData(), std::size_t(data.size()), nullptr)
                .code
            != heif_error_Ok)
        return {};
    const Owned<const heif_image_handle> primaryOwned = primaryPicture(context.get());
    if (!primaryOwned)
        return {};
    const heif_image_handle* primary = primaryOwned.get();
    const QSize stored = storedSize(primary);
    const qint64 storedPixels = qint64(stored.width()) * stored.height();
    if (storedPixels > picture_limits::maxScaledPixels)
        return {};
    const Owned<const heif_image_handle> thumbnail = coveringThumbnail(primary, cover);
    // Without a thumbnail that covers the frame the picture itself is decoded, whole.
    if (!thumbnail && storedPixels > picture_limits::maxWholePixels)
        return {};
    const heif_image_handle* chosen = thumbnail ? thumbnail.get() : primary;

    limitTo(context.get(), storedSize(chosen));
    const bool alpha = heif()->image_handle_has_alpha_channel(chosen) != 0;
    const Owned<heif_decoding_options> options(heif()->decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    // An error for damaged data, where libheif can tell, instead of a picture with the damage painted in.
    options->strict_decoding = 1;
    // Four bytes a pixel, which the picture wraps as it is: without alpha, the layout Qt scales without converting.
    heif_image* decoded = nullptr;
    if (heif()->decode_image(chosen, &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, options.get()).code
        != heif_error_Ok)
        return {};
    Owned<const heif_image> image(decoded);
    int stride = 0;
    const uint8_t* pixels = heif()->image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    if (!pixels)
        return {};
    // From here on the picture owns libheif's buffer.
    image.release();
    const QImage coded(
        pixels, heif()->image_get_width(decoded, heif_channel_interleaved),
        heif()->image_get_height(decoded, heif_channel_interleaved), stride,
        alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888,
        [](void* released) { heif()->image_release(static_cast<const heif_image*>(released)); }, decoded);
    // A picture that comes back at its coded size, padded to whole blocks, is cut back to the size the file states.
    const QRect stated(0, 0, heif()->image_handle_get_width(chosen), heif()->image_handle_get_height(chosen));
    return stated.contains(coded.rect()) ? coded : coded.copy(stated & coded.rect());
}

} // namespace photo
