#include "sdk/page/processing.h"

#include "sdk/page/picturepool.h"

#include <algorithm>
#include <cstring>

#include <opencv2/core/utility.hpp>

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
    // Every byte is written: a kept buffer needs no clearing.
    out = picturepool::takeFrame(in.width, in.height);
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

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the pixel packing below assumes little-endian words");

// Four pixels down a source column become 12 bytes of an output row: four
// 4-byte loads (each takes one spare byte of the next pixel along the source
// row, dropped here) and two stores instead of four 3-byte copies.
inline void putFour(uint8_t *dst, const uint8_t *src, ptrdiff_t srcStep)
{
    uint32_t a, b, c, d;
    std::memcpy(&a, src, 4);
    std::memcpy(&b, src + srcStep, 4);
    std::memcpy(&c, src + 2 * srcStep, 4);
    std::memcpy(&d, src + 3 * srcStep, 4);
    const uint64_t low = (uint64_t(a) & 0xffffffu) | ((uint64_t(b) & 0xffffffu) << 24) | (uint64_t(c) << 48);
    const uint32_t high = ((c >> 16) & 0xffu) | ((d & 0xffffffu) << 8);
    std::memcpy(dst, &low, 8);
    std::memcpy(dst + 8, &high, 4);
}

// A strip of source columns is a band of output rows, filled left to right
// in blocks of source rows: a block (64 x 64 pixels, 12 KB each way) stays
// in the first-level cache while it is turned, and each output row is
// written on from where the previous block left it. Square tiles walked
// along the source rows measured nearly twice as slow: they leave every output
// row's cache line half written until the next band of source rows.
constexpr int kStripColumns = 64;
constexpr int kBlockRows = 64;

// One source column, `run` pixels from src on by srcStep, into an output
// row. Kept apart, with the direction folded into the pointers and steps:
// written out in the loop below with a branch per direction, GCC spilled
// the inner loop's values to the stack and the turn took twice as long.
inline void turnRun(uint8_t *dst, const uint8_t *src, ptrdiff_t srcStep, int run, bool spareByte)
{
    int k = 0;
    if (spareByte)
        for (; k + 4 <= run; k += 4, src += 4 * srcStep, dst += 12)
            putFour(dst, src, srcStep);
    for (; k < run; ++k, src += srcStep, dst += 3)
        std::memcpy(dst, src, 3);
}

// clockwise: source (x, y) lands at (h-1-y, x); otherwise at (y, w-1-x).
// Either way output column c of source column x's row is read at
// inFirst + c * srcStep + 3x, and that row starts at outFirst + x * rowStep.
// Turns the source columns [xBegin, xEnd).
void turnColumns(const Frame &in, Frame &out, bool clockwise, int xBegin, int xEnd)
{
    const int w = in.width;
    const int h = in.height;
    const ptrdiff_t inStride = ptrdiff_t(in.stride()), outStride = ptrdiff_t(out.stride());
    const uint8_t *const inFirst = clockwise ? in.row(h - 1) : in.row(0);
    const ptrdiff_t srcStep = clockwise ? -inStride : inStride;
    uint8_t *const outFirst = clockwise ? out.rgb.data() : out.rgb.data() + ptrdiff_t(w - 1) * outStride;
    const ptrdiff_t rowStep = clockwise ? outStride : -outStride;
    for (int tx = xBegin; tx < xEnd; tx += kStripColumns) {
        const int stripEnd = std::min(xEnd, tx + kStripColumns);
        for (int c = 0; c < h; c += kBlockRows) {
            const int run = std::min(kBlockRows, h - c);
            // The last source column has no spare byte after it on the last row.
            for (int x = tx; x < stripEnd; ++x)
                turnRun(outFirst + x * rowStep + ptrdiff_t(c) * 3, inFirst + c * srcStep + ptrdiff_t(x) * 3, srcStep,
                        run, x + 1 < w);
        }
    }
}

// Strips are independent; the library's worker threads share them out.
void turnQuarter(const Frame &in, Frame &out, bool clockwise)
{
    out = picturepool::takeFrame(in.height, in.width);
    const int strips = (in.width + kStripColumns - 1) / kStripColumns;
    cv::parallel_for_(cv::Range(0, strips), [&](const cv::Range &r) {
        turnColumns(in, out, clockwise, r.start * kStripColumns, std::min(in.width, r.end * kStripColumns));
    });
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
