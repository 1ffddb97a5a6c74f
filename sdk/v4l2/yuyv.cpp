#include "sdk/frame.h"
#include "sdk/v4l2/yuyv.h"


namespace orvix {
namespace {

// Products and the clamp as tables: a lookup per term beats the multiplies
// and branches on the small in-order ARM cores this runs on.
struct Tables {
    int luma[256];
    int redV[256];
    int greenU[256];
    int greenV[256];
    int blueU[256];
    uint8_t clamp[1024]; // index (value >> 8) + kClampOffset
    static constexpr int kClampOffset = 384;

    Tables()
    {
        for (int i = 0; i < 256; ++i) {
            luma[i] = (i - 16) * 298 + 128;
            redV[i] = 409 * (i - 128);
            greenU[i] = -100 * (i - 128);
            greenV[i] = -208 * (i - 128);
            blueU[i] = 516 * (i - 128);
        }
        for (int i = 0; i < 1024; ++i) {
            const int v = i - kClampOffset;
            clamp[i] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
    }
};

const Tables &tables()
{
    static const Tables t;
    return t;
}

// One row; the chroma terms are shared by the pixel pair.
void convertRow(const Tables &t, const uint8_t *src, uint8_t *dst, int width)
{
    const uint8_t *clamp = t.clamp + Tables::kClampOffset;
    for (int x = 0; x < width; x += 2) {
        const int y0 = t.luma[src[0]];
        const int y1 = t.luma[src[2]];
        const int r = t.redV[src[3]];
        const int g = t.greenU[src[1]] + t.greenV[src[3]];
        const int b = t.blueU[src[1]];
        dst[0] = clamp[(y0 + r) >> 8];
        dst[1] = clamp[(y0 + g) >> 8];
        dst[2] = clamp[(y0 + b) >> 8];
        dst[3] = clamp[(y1 + r) >> 8];
        dst[4] = clamp[(y1 + g) >> 8];
        dst[5] = clamp[(y1 + b) >> 8];
        src += 4;
        dst += 6;
    }
}

} // namespace

bool yuyvToRgb(const uint8_t *data, size_t size, int width, int height, size_t bytesPerLine, Frame &out)
{
    if (!data || width <= 0 || height <= 0 || (width & 1) || width > kMaxPictureSide || height > kMaxPictureSide) {
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
    const Tables &t = tables();
    for (int y = 0; y < height; ++y)
        convertRow(t, data + bytesPerLine * static_cast<size_t>(y), out.row(y), width);
    return true;
}

} // namespace orvix
