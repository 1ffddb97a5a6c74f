// Arbitrary bytes through the library's JPEG entry points, the maker's decode
// (whatever its variables hold on entry) and our reduced one: each must
// answer with a picture or with 0 x 0 and no buffer.
#include "camera/camsdk.h"
#include "camera/orvixext.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(unsigned char *rgb, long width, long height)
{
    if (rgb) {
        if (width <= 0 || height <= 0)
            std::abort();
        // Touch the last byte: the buffer must be as large as it claims.
        volatile unsigned char last = rgb[width * height * 3 - 1];
        (void)last;
        delete[] rgb;
    } else if (width != 0 || height != 0) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const long hints[] = {0L, 200L};
    for (long hint : hints) {
        long width = hint;
        long height = hint;
        unsigned char *rgb = nullptr;
        Cam_readBufFromJpegBuf(data, static_cast<long>(size), &width, &height, &rgb);
        check(rgb, width, height);
        rgb = nullptr;
        Orvix_ReadBufFromJpegBufScaled(data, static_cast<long>(size), hint, hint, &width, &height, &rgb);
        check(rgb, width, height);
    }
    return 0;
}
