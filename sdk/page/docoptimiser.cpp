#include "sdk/page/docoptimiser.h"

#include "sdk/page/areareduce.h"
#include "sdk/page/picturepool.h"

#include <opencv2/core.hpp>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

namespace orvix {
namespace {

// Below this background level the picture is desk or shadow, not paper:
// dividing by it would paint the desk white.
constexpr int kDarkestPaper = 64;
// Ratios to the paper level: below kInk becomes black, above kPaper white.
constexpr double kInk = 0.12;
constexpr double kPaper = 0.86;
// Paper under the dimmest light is at least this share of the brightest paper.
constexpr double kPaperFloor = 0.5;

// lut[background * 256 + value]
const std::array<uint8_t, 256 * 256> &ratioTable()
{
    static const std::array<uint8_t, 256 * 256> table = [] {
        std::array<uint8_t, 256 * 256> t{};
        for (int bg = 0; bg < 256; ++bg) {
            const double paper = std::max(bg, kDarkestPaper);
            for (int v = 0; v < 256; ++v) {
                double r = (v / paper - kInk) / (kPaper - kInk);
                r = std::min(1.0, std::max(0.0, r));
                // A gentle S keeps mid tones (pictures, pencil) from washing out.
                r = r * r * (3 - 2 * r) * 0.5 + r * 0.5;
                t[size_t(bg) * 256 + size_t(v)] = uint8_t(std::lround(255 * r));
            }
        }
        return t;
    }();
    return table;
}

// pixels[i] = table[light[i] * 256 + pixels[i]]. The two bytes side by side
// are the table's index as a little-endian 16-bit number: sixteen indices
// come from two interleaves, and each byte then costs a load and a store.
void applyRatios(const uint8_t *table, const uint8_t *light, uint8_t *pixels, size_t count)
{
    size_t i = 0;
#if CV_SIMD128
    alignas(16) uint16_t index[16];
    for (; i + 16 <= count; i += 16) {
        cv::v_uint8x16 low, high;
        cv::v_zip(cv::v_load(pixels + i), cv::v_load(light + i), low, high);
        cv::v_store_aligned(index, cv::v_reinterpret_as_u16(low));
        cv::v_store_aligned(index + 8, cv::v_reinterpret_as_u16(high));
#pragma GCC unroll 16
        for (int k = 0; k < 16; ++k)
            pixels[i + size_t(k)] = table[index[k]];
    }
#endif
    for (; i < count; ++i)
        pixels[i] = table[size_t(light[i]) * 256 + pixels[i]];
}

} // namespace

Frame optimiseDocument(Frame in)
{
    if (in.empty() || in.rgb.size() < in.stride() * size_t(in.height))
        return in;
    const cv::Mat src(in.height, in.width, CV_8UC3, in.rgb.data());

    // The paper level comes from a small copy: closing removes strokes and
    // lines of text, the blur smooths what is left into a light field.
    const double scale = std::min(1.0, 512.0 / std::max(in.width, in.height));
    cv::Mat small;
    reduceByArea(src, cv::Size(std::max(1, int(in.width * scale)), std::max(1, int(in.height * scale))), small);
    const int k = std::max(3, std::max(small.cols, small.rows) / 32) | 1;
    cv::morphologyEx(small, small, cv::MORPH_CLOSE, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(k, k)));
    cv::GaussianBlur(small, small, cv::Size(0, 0), k / 2.0);
    // Where the estimate falls far below the page's paper (an uncropped desk,
    // a dark picture), it is not paper: keep such areas dark, not whitened.
    std::vector<cv::Mat> channels;
    cv::split(small, channels);
    for (cv::Mat &c : channels) {
        std::vector<uint8_t> values(c.begin<uint8_t>(), c.end<uint8_t>());
        std::nth_element(values.begin(), values.begin() + values.size() * 95 / 100, values.end());
        cv::max(c, kPaperFloor * values[values.size() * 95 / 100], c);
    }
    cv::merge(channels, small);
    // The full-size light field goes into a kept buffer: a fresh 24 MB
    // picture costs more in page faults than the enlarging itself.
    std::vector<uint8_t> field = picturepool::take(in.stride() * size_t(in.height));
    cv::Mat background(in.height, in.width, CV_8UC3, field.data());
    cv::resize(small, background, src.size(), 0, 0, cv::INTER_LINEAR);
    CV_Assert(background.data == field.data());

    // In place: every byte is read once, then written over with its result.
    // Bands of rows on the library's worker threads; the table stays in cache.
    // Everything the loop needs is copied into locals first: its byte stores
    // could alias whatever the closure refers to, which would then be read
    // again from memory for every byte.
    const uint8_t *const table = ratioTable().data();
    const size_t n = in.stride();
    uint8_t *const pixels = in.rgb.data();
    const uint8_t *const light = field.data();
    cv::parallel_for_(cv::Range(0, in.height), [table, n, pixels, light](const cv::Range &rows) {
        for (int y = rows.start; y < rows.end; ++y)
            applyRatios(table, light + size_t(y) * n, pixels + size_t(y) * n, n);
    }, 8);
    picturepool::give(std::move(field));
    return in;
}

} // namespace orvix
