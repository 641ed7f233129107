// libFuzzer entry: arbitrary bytes reach the picture loader the way a picked file's do, once read, for a photo frame
// on a normal and on a double-density screen. The loader may refuse anything;
// what it returns must exactly fill the frame, and it must neither crash, leak, hang nor blow up memory.

#include "platform/photo/picture_loader.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// The sanitizer runtimes of LLVM 14 (and GCC 12) sometimes mistake a dynamic TLS block for one with an old glibc
// header and hand LeakSanitizer a bogus range; its check after an input then dies ("Tracer caught signal 11").
// Without tracking dynamic TLS the check is reliable; at worst a block held only in a plugin's thread-local
// storage would be reported as a leak, a false alarm rather than a missed fault.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QSize frame(144, 137); // Image1 and Image2
    // No copy: a read past the input's end lands outside libFuzzer's buffer, where AddressSanitizer sees it.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const qreal dpr : { 1.0, 2.0 }) {
        const QImage picture = photo::FilePictureLoader().decode(bytes, frame, dpr);
        if (!picture.isNull() && (picture.size() != frame * dpr || picture.devicePixelRatio() != dpr)) {
            std::fprintf(stderr, "at device pixel ratio %g: a picture of %d x %d at %g\n", dpr, picture.width(),
                picture.height(), picture.devicePixelRatio());
            std::abort();
        }
    }
    return 0;
}
