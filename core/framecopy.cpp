#include "core/framecopy.h"

#include <cstring>

bool copyRgbFrame(QImage &dst, const void *src, int w, int h)
{
    if (!src || w <= 0 || h <= 0 || dst.format() != QImage::Format_RGB888 || dst.width() != w ||
        dst.height() != h)
        return false;

    const auto *in = static_cast<const uchar *>(src);
    const size_t srcStride = size_t(w) * 3;
    const size_t dstStride = size_t(dst.bytesPerLine());
    uchar *out = dst.bits(); // detaches once if shared; the frame image never is
    if (dstStride == srcStride) {
        std::memcpy(out, in, srcStride * size_t(h));
        return true;
    }
    for (int y = 0; y < h; ++y)
        std::memcpy(out + size_t(y) * dstStride, in + size_t(y) * srcStride, srcStride);
    return true;
}
