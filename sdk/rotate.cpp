#include "processing.h"

#include <algorithm>
#include <cstring>

namespace orvix {
namespace {

// Quarter turns clockwise in 0..3; angles between quarters round down.
int quarterTurns(int degrees)
{
    const long long d = degrees;
    const long long quarters = d >= 0 ? d / 90 : -((-d + 89) / 90);
    return static_cast<int>(((quarters % 4) + 4) % 4);
}

void turnHalf(const Frame &in, Frame &out)
{
    out.allocate(in.width, in.height);
    const int w = in.width;
    for (int y = 0; y < in.height; ++y) {
        const uint8_t *src = in.row(y);
        uint8_t *dst = out.row(in.height - 1 - y) + static_cast<size_t>(w - 1) * 3;
        for (int x = 0; x < w; ++x, src += 3, dst -= 3) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
}

// Walks the source in square tiles so that both pictures stay in cache.
constexpr int kTile = 64;

// clockwise: source (x, y) lands at (h-1-y, x); otherwise at (y, w-1-x).
void turnQuarter(const Frame &in, Frame &out, bool clockwise)
{
    const int w = in.width;
    const int h = in.height;
    out.allocate(h, w);
    const size_t outStride = out.stride();
    for (int ty = 0; ty < h; ty += kTile) {
        const int yEnd = std::min(h, ty + kTile);
        for (int tx = 0; tx < w; tx += kTile) {
            const int xEnd = std::min(w, tx + kTile);
            for (int y = ty; y < yEnd; ++y) {
                const uint8_t *src = in.row(y) + static_cast<size_t>(tx) * 3;
                uint8_t *dst;
                ptrdiff_t step;
                if (clockwise) {
                    dst = out.rgb.data() + static_cast<size_t>(tx) * outStride +
                          static_cast<size_t>(h - 1 - y) * 3;
                    step = static_cast<ptrdiff_t>(outStride);
                } else {
                    dst = out.rgb.data() + static_cast<size_t>(w - 1 - tx) * outStride +
                          static_cast<size_t>(y) * 3;
                    step = -static_cast<ptrdiff_t>(outStride);
                }
                for (int x = tx; x < xEnd; ++x, src += 3, dst += step) {
                    dst[0] = src[0];
                    dst[1] = src[1];
                    dst[2] = src[2];
                }
            }
        }
    }
}

} // namespace

Frame rotateFrame(const Frame &in, int degrees)
{
    if (in.empty())
        return in;
    Frame out;
    switch (quarterTurns(degrees)) {
    case 1:
        turnQuarter(in, out, true);
        break;
    case 2:
        turnHalf(in, out);
        break;
    case 3:
        turnQuarter(in, out, false);
        break;
    default:
        out = in;
        break;
    }
    return out;
}

} // namespace orvix
