#include "core/framecopy.h"

#include "pdf/decodedjpeg.h"

#include <cstring>
#include <limits>

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

QImage toImage(const DecodedJpeg &decoded)
{
    if (decoded.isNull() || decoded.width > std::numeric_limits<int>::max() / 3 ||
        decoded.height > std::numeric_limits<int>::max())
        return QImage();
    const int w = int(decoded.width);
    const int h = int(decoded.height);
    QImage image(w, h, QImage::Format_RGB888);
    if (image.isNull())
        return QImage();
    copyRgbFrame(image, decoded.pixels.get(), w, h);
    return image;
}
