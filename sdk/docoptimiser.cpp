#include "docoptimiser.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>

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
    cv::resize(src, small, cv::Size(std::max(1, int(in.width * scale)), std::max(1, int(in.height * scale))), 0, 0,
               cv::INTER_AREA);
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
    cv::Mat background;
    cv::resize(small, background, src.size(), 0, 0, cv::INTER_LINEAR);

    // In place: every byte is read once, then written over with its result.
    // Bands of rows on the library's worker threads; the table stays in cache.
    // Everything the loop needs is copied into locals first: its byte stores
    // could alias whatever the closure refers to, which would then be read
    // again from memory for every byte.
    const uint8_t *const table = ratioTable().data();
    const size_t n = in.stride();
    uint8_t *const pixels = in.rgb.data();
    const cv::Mat &light = background;
    cv::parallel_for_(cv::Range(0, in.height), [table, n, pixels, &light](const cv::Range &rows) {
        const uint8_t *const lut = table;
        const size_t count = n;
        for (int y = rows.start; y < rows.end; ++y) {
            uint8_t *d = pixels + size_t(y) * count;
            const uint8_t *b = light.ptr<uint8_t>(y);
            for (size_t i = 0; i < count; ++i)
                d[i] = lut[size_t(b[i]) * 256 + d[i]];
        }
    }, 8);
    return in;
}

} // namespace orvix
