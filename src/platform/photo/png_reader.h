#pragma once

// A chunk is never longer than the data it is in, and libpng is never asked to allocate for one that claims to be:
// Qt's own PNG reader lets libpng allocate, and clear, whatever length a chunk declares, up to 2 GiB, before it finds
// the file too short (tests/platform/photo/regressions/png-text-chunk-declares-1.6-gb.png, and the icon holding one
// beside it). While a PngLimitScope is alive on this thread, Qt reads PNG through this handler instead (a static
// image-format plugin that overrides the built-in reader, also for the PNG images inside an ICO): libpng's own API
// with its chunk limit set to the length of the data and every chunk the pixels do not need skipped unread.
// Everywhere else Qt's reader stays in charge.

#include <QImageIOHandler>
#include <QImageIOPlugin>

namespace photo {

class PngLimitScope {
public:
    PngLimitScope();
    ~PngLimitScope();
    PngLimitScope(const PngLimitScope&) = delete;
    PngLimitScope& operator=(const PngLimitScope&) = delete;
    [[nodiscard]] static bool isActive();
};

class LimitedPngHandler final : public QImageIOHandler {
public:
    [[nodiscard]] bool canRead() const override;
    bool read(QImage* image) override;
    [[nodiscard]] QVariant option(ImageOption option) const override;
    [[nodiscard]] bool supportsOption(ImageOption option) const override;
    [[nodiscard]] static bool hasSignature(QIODevice* device);
};

class LimitedPngPlugin final : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "png_reader.json")
public:
    [[nodiscard]] Capabilities capabilities(QIODevice* device, const QByteArray& format) const override;
    [[nodiscard]] QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override;
};

} // namespace photo
