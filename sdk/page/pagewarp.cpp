#include "sdk/page/pagewarp.h"

#include "sdk/page/picturepool.h"

#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace orvix {
namespace {

constexpr int kFracBits = 5;
constexpr int kFrac = 1 << kFracBits;
constexpr int kWhite = 255;
constexpr size_t kPrefetchRows = 8;

// Positions this far outside the frame are all the same: blank.
constexpr float kFar = 4.0f * kFrac;

// Sample positions of one output row in 1/32 pixels, rounded to nearest on
// a positive range where truncation floors. A position behind the camera
// (divisor not positive) is out of view.
inline int toFixed(float v) { return int(v + (kFar + 0.5f)) - int(kFar); }

// With SIMD, `fast` gets the byte offset of the pixel's top-left
// neighbour where the 2x2 lies in view with eight bytes to read on each row
// (what interpolate() needs), else -1; without, -1 throughout.
void rowPositions(const cv::Matx33d &m, int y, int width, const cv::Size &frame, int *xs, int *ys, int *fast)
{
    const float x0 = float(m(0, 1) * y + m(0, 2)), y0 = float(m(1, 1) * y + m(1, 2)), w0 = float(m(2, 1) * y + m(2, 2));
    const float mx = float(m(0, 0)), my = float(m(1, 0)), mw = float(m(2, 0));
    const float maxX = frame.width * float(kFrac) + kFar, maxY = frame.height * float(kFrac) + kFar;
    int x = 0;
#if CV_SIMD128
    const cv::v_float32x4 step(0.f, 1.f, 2.f, 3.f), frac = cv::v_setall_f32(float(kFrac)),
        tiny = cv::v_setall_f32(1e-12f), far = cv::v_setall_f32(-kFar), lift = cv::v_setall_f32(kFar + 0.5f),
        maxXv = cv::v_setall_f32(maxX), maxYv = cv::v_setall_f32(maxY), mxv = cv::v_setall_f32(mx),
        myv = cv::v_setall_f32(my), mwv = cv::v_setall_f32(mw), x0v = cv::v_setall_f32(x0),
        y0v = cv::v_setall_f32(y0), w0v = cv::v_setall_f32(w0);
    const cv::v_int32x4 drop = cv::v_setall_s32(int(kFar)), none = cv::v_setall_s32(-1),
                        zero = cv::v_setall_s32(0), lastX = cv::v_setall_s32(frame.width - 1),
                        lastY = cv::v_setall_s32(frame.height - 1), wide = cv::v_setall_s32(frame.width - 3),
                        high = cv::v_setall_s32(frame.height - 2), stride = cv::v_setall_s32(frame.width * 3);
    for (; x + 4 <= width; x += 4) {
        const cv::v_float32x4 xv = cv::v_setall_f32(float(x)) + step;
        const cv::v_float32x4 w = w0v + mwv * xv;
        const cv::v_float32x4 visible = w > tiny;
        const cv::v_float32x4 scale = frac / cv::v_select(visible, w, frac);
        const cv::v_float32x4 sx = cv::v_select(visible, (x0v + mxv * xv) * scale, far);
        const cv::v_float32x4 sy = cv::v_select(visible, (y0v + myv * xv) * scale, far);
        const cv::v_int32x4 fx = cv::v_trunc(cv::v_min(cv::v_max(sx, far), maxXv) + lift) - drop;
        const cv::v_int32x4 fy = cv::v_trunc(cv::v_min(cv::v_max(sy, far), maxYv) + lift) - drop;
        cv::v_store(xs + x, fx);
        cv::v_store(ys + x, fy);
        const cv::v_int32x4 ix = fx >> kFracBits, iy = fy >> kFracBits;
        const cv::v_int32x4 inView = (ix >= zero) & (iy >= zero) & (ix < lastX) & (iy < lastY)
                                     & ((ix < wide) | (iy < high));
        cv::v_store(fast + x, cv::v_select(inView, iy * stride + ix + ix + ix, none));
    }
#endif
    for (; x < width; ++x) {
        const float w = w0 + mw * x;
        const bool visible = w > 1e-12f;
        const float scale = visible ? float(kFrac) / w : 0.0f;
        const float sx = visible ? (x0 + mx * x) * scale : -kFar;
        const float sy = visible ? (y0 + my * x) * scale : -kFar;
        xs[x] = toFixed(std::min(std::max(sx, -kFar), maxX));
        ys[x] = toFixed(std::min(std::max(sy, -kFar), maxY));
        fast[x] = -1;
    }
}

// One pixel where part of its 2x2 neighbourhood lies out of view.
void borderPixel(const Frame &in, int ix, int iy, int fx, int fy, uint8_t *d)
{
    const int weights[4] = {(kFrac - fx) * (kFrac - fy), fx * (kFrac - fy), (kFrac - fx) * fy, fx * fy};
    int sum[3] = {0, 0, 0};
    for (int k = 0; k < 4; ++k) {
        const int x = ix + (k & 1), y = iy + (k >> 1);
        const bool inside = x >= 0 && y >= 0 && x < in.width && y < in.height;
        const uint8_t *p = inside ? in.row(y) + size_t(x) * 3 : nullptr;
        for (int c = 0; c < 3; ++c)
            sum[c] += weights[k] * (p ? p[c] : kWhite);
    }
    for (int c = 0; c < 3; ++c)
        d[c] = uint8_t((sum[c] + (1 << (2 * kFracBits - 1))) >> (2 * kFracBits));
}

#if CV_SIMD128
// The same sums as the plain path, exact: rows blended first (at most
// 255 * 32, which 16 bits hold), then the pixel and its right neighbour
// side by side in one multiply-add.
inline void interpolate(const uint8_t *p, size_t stride, int fx, int fy, uint8_t *d, bool spareByte)
{
    const cv::v_uint16x8 top = cv::v_load_expand(p), bottom = cv::v_load_expand(p + stride);
    // Wrapping multiplies: OpenCV's operator* saturates, at several times the cost.
    const cv::v_uint16x8 rows = cv::v_add_wrap(cv::v_mul_wrap(top, cv::v_setall_u16(uint16_t(kFrac - fy))),
                                               cv::v_mul_wrap(bottom, cv::v_setall_u16(uint16_t(fy))));
    cv::v_uint16x8 pairs, unused;
    cv::v_zip(rows, cv::v_rotate_right<3>(rows), pairs, unused);
    const cv::v_int16x8 weights = cv::v_reinterpret_as_s16(cv::v_setall_u32(uint32_t(kFrac - fx) | (uint32_t(fx) << 16)));
    const cv::v_int32x4 sums = cv::v_dotprod(cv::v_reinterpret_as_s16(pairs), weights)
                               + cv::v_setall_s32(1 << (2 * kFracBits - 1));
    const cv::v_int16x8 narrow = cv::v_pack(sums >> (2 * kFracBits), sums);
    const uint32_t bytes = cv::v_reinterpret_as_u32(cv::v_pack_u(narrow, narrow)).get0();
    // One 4-byte store where the byte after the pixel is the next pixel's,
    // written after it: a 3-byte copy is two stores and a shift.
    if (spareByte)
        std::memcpy(d, &bytes, 4);
    else
        std::memcpy(d, &bytes, 3);
}
#endif

void warpRows(const Frame &in, const cv::Matx33d &m, Frame &out, int yBegin, int yEnd)
{
    std::vector<int> positions(size_t(out.width) * 3);
    int *const xs = positions.data(), *const ys = xs + out.width, *const fast = ys + out.width;
    const size_t stride = in.stride();
    const uint8_t *const src = in.rgb.data();
    const unsigned lastX = unsigned(in.width - 1), lastY = unsigned(in.height - 1);
#if CV_SIMD128
    // The byte offsets are ints: a frame beyond their range takes the plain path.
    const bool offsetsFit = in.rgb.size() <= size_t(std::numeric_limits<int>::max());
#endif
    for (int y = yBegin; y < yEnd; ++y) {
        rowPositions(m, y, out.width, cv::Size(in.width, in.height), xs, ys, fast);
        uint8_t *d = out.row(y);
        for (int x = 0; x < out.width; ++x, d += 3) {
            const int fx = xs[x] & (kFrac - 1), fy = ys[x] & (kFrac - 1);
#if CV_SIMD128
            if (offsetsFit && fast[x] >= 0) {
                // A turned page is read along slanted lines, which the
                // hardware does not foresee: ask for the rows the next
                // output rows will read, a cache line at a time.
                if ((x & 7) == 0)
                    __builtin_prefetch(src + fast[x] + kPrefetchRows * stride);
                interpolate(src + fast[x], stride, fx, fy, d, x + 1 < out.width);
                continue;
            }
#endif
            const int ix = xs[x] >> kFracBits, iy = ys[x] >> kFracBits;
            if (unsigned(ix) >= lastX || unsigned(iy) >= lastY) {
                if (ix < -1 || iy < -1 || ix > int(lastX) || iy > int(lastY)) {
                    d[0] = d[1] = d[2] = kWhite;
                } else {
                    borderPixel(in, ix, iy, fx, fy, d);
                }
                continue;
            }
            const uint8_t *p = src + size_t(iy) * stride + size_t(ix) * 3;
            const uint8_t *q = p + stride;
            const int w11 = fx * fy, w10 = (kFrac - fx) * fy, w01 = fx * (kFrac - fy);
            const int w00 = kFrac * kFrac - w11 - w10 - w01;
            constexpr int half = 1 << (2 * kFracBits - 1);
            d[0] = uint8_t((p[0] * w00 + p[3] * w01 + q[0] * w10 + q[3] * w11 + half) >> (2 * kFracBits));
            d[1] = uint8_t((p[1] * w00 + p[4] * w01 + q[1] * w10 + q[4] * w11 + half) >> (2 * kFracBits));
            d[2] = uint8_t((p[2] * w00 + p[5] * w01 + q[2] * w10 + q[5] * w11 + half) >> (2 * kFracBits));
        }
    }
}

} // namespace

Frame warpPerspectiveWhite(const Frame &frame, const cv::Matx33d &outputToFrame, int width, int height)
{
    Frame out = picturepool::takeFrame(width, height);
    if (frame.empty() || width <= 0 || height <= 0) {
        std::fill(out.rgb.begin(), out.rgb.end(), uint8_t(kWhite));
        return out;
    }
    cv::parallel_for_(cv::Range(0, height), [&](const cv::Range &rows) {
        warpRows(frame, outputToFrame, out, rows.start, rows.end);
    }, 16);
    return out;
}

} // namespace orvix
