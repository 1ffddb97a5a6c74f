#include "yuyv.h"

#include <limits>

namespace orvix {
namespace {

inline uint8_t clamp255(int v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// One row; the chroma terms are shared by the pixel pair.
void convertRow(const uint8_t *src, uint8_t *dst, int width)
{
    for (int x = 0; x < width; x += 2) {
        const int y0 = (src[0] - 16) * 298;
        const int u = src[1] - 128;
        const int y1 = (src[2] - 16) * 298;
        const int v = src[3] - 128;
        const int r = 409 * v + 128;
        const int g = -100 * u - 208 * v + 128;
        const int b = 516 * u + 128;
        dst[0] = clamp255((y0 + r) >> 8);
        dst[1] = clamp255((y0 + g) >> 8);
        dst[2] = clamp255((y0 + b) >> 8);
        dst[3] = clamp255((y1 + r) >> 8);
        dst[4] = clamp255((y1 + g) >> 8);
        dst[5] = clamp255((y1 + b) >> 8);
        src += 4;
        dst += 6;
    }
}

} // namespace

bool yuyvToRgb(const uint8_t *data, size_t size, int width, int height, size_t bytesPerLine, Frame &out)
{
    if (!data || width <= 0 || height <= 0 || (width & 1) || width > 65536 || height > 65536) {
        out = Frame();
        return false;
    }
    const size_t rowBytes = static_cast<size_t>(width) * 2;
    if (bytesPerLine == 0)
        bytesPerLine = rowBytes;
    if (bytesPerLine < rowBytes || size < bytesPerLine * static_cast<size_t>(height - 1) + rowBytes) {
        out = Frame();
        return false;
    }
    if (out.width != width || out.height != height || out.rgb.size() != static_cast<size_t>(width) * height * 3)
        out.allocate(width, height);
    for (int y = 0; y < height; ++y)
        convertRow(data + bytesPerLine * static_cast<size_t>(y), out.row(y), width);
    return true;
}

} // namespace orvix
