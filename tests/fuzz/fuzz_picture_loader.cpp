// libFuzzer entry: arbitrary bytes reach the picture loader the way a picked file does, through an open,
// seekable device, for a photo frame on a normal and on a double-density screen.

#include "picture_check.h"

#include <QByteArray>
#include <QString>

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
    // No copy: a read past the input's end lands outside libFuzzer's buffer, where AddressSanitizer sees it.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const qreal devicePixelRatio : { 1.0, 2.0 }) {
        const QString fault = fuzzing::decodeFault(bytes, devicePixelRatio);
        if (!fault.isEmpty()) {
            std::fprintf(stderr, "at device pixel ratio %g: %s\n", devicePixelRatio, qPrintable(fault));
            std::abort();
        }
    }
    return 0;
}
