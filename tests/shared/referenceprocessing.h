// The page processing as it was before it was made faster, kept word for
// word as the oracle that the faster code must match pixel for pixel, and as
// the baseline the benchmarks print beside it.
#ifndef QUILLO_TESTS_REFERENCEPROCESSING_H
#define QUILLO_TESTS_REFERENCEPROCESSING_H

#include "sdk/frame.h"
#include "sdk/page/pagedetector.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace reference {

// Below this background level the picture is desk or shadow, not paper:
// dividing by it would paint the desk white.
constexpr int kDarkestPaper = 64;
// Ratios to the paper level: below kInk becomes black, above kPaper white.
constexpr double kInk = 0.12;
constexpr double kPaper = 0.86;
// Paper under the dimmest light is at least this share of the brightest paper.
constexpr double kPaperFloor = 0.5;

// lut[background * 256 + value]
inline const std::array<uint8_t, 256 * 256> &ratioTable()
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

inline orvix::Frame optimiseDocument(const orvix::Frame &in)
{
    if (in.empty() || in.rgb.size() < in.stride() * size_t(in.height))
        return in;
    const cv::Mat src(in.height, in.width, CV_8UC3, const_cast<uint8_t *>(in.rgb.data()));

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

    orvix::Frame out;
    out.allocate(in.width, in.height);
    const auto &table = ratioTable();
    for (int y = 0; y < in.height; ++y) {
        const uint8_t *s = in.row(y);
        const uint8_t *b = background.ptr<uint8_t>(y);
        uint8_t *d = out.row(y);
        const size_t n = in.stride();
        for (size_t i = 0; i < n; ++i)
            d[i] = table[size_t(b[i]) * 256 + s[i]];
    }
    return out;
}


// Quarter turns clockwise in 0..3; angles between quarters round down.
inline int quarterTurns(int degrees)
{
    const long long d = degrees;
    const long long quarters = d >= 0 ? d / 90 : -((-d + 89) / 90);
    return static_cast<int>(((quarters % 4) + 4) % 4);
}

inline void turnHalf(const orvix::Frame &in, orvix::Frame &out)
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
inline void turnQuarter(const orvix::Frame &in, orvix::Frame &out, bool clockwise)
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


inline orvix::Frame rotateFrame(const orvix::Frame &in, int degrees)
{
    if (in.empty())
        return in;
    orvix::Frame out;
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

// The page warp as it was: OpenCV's perspective warp into a new picture.
inline orvix::Frame warpPage(const orvix::Frame &frame, const orvix::Quad &c)
{
    auto dist = [](const orvix::PointF &a, const orvix::PointF &b) { return std::hypot(a.x - b.x, a.y - b.y); };
    const double width = 0.5 * (dist(c[0], c[1]) + dist(c[3], c[2]));
    const double height = 0.5 * (dist(c[0], c[3]) + dist(c[1], c[2]));
    const int limit = 2 * std::max(frame.width, frame.height);
    const int w = std::min(limit, std::max(8, int(std::lround(width))));
    const int h = std::min(limit, std::max(8, int(std::lround(height))));

    const cv::Point2f src[4] = {{float(c[0].x), float(c[0].y)}, {float(c[1].x), float(c[1].y)},
                                {float(c[2].x), float(c[2].y)}, {float(c[3].x), float(c[3].y)}};
    const cv::Point2f dst[4] = {{-0.5f, -0.5f}, {w - 0.5f, -0.5f}, {w - 0.5f, h - 0.5f}, {-0.5f, h - 0.5f}};
    const cv::Mat transform = cv::getPerspectiveTransform(src, dst);

    orvix::Frame out;
    out.allocate(w, h);
    const cv::Mat in(frame.height, frame.width, CV_8UC3, const_cast<uint8_t *>(frame.rgb.data()));
    cv::Mat result(h, w, CV_8UC3, out.rgb.data());
    cv::warpPerspective(in, result, transform, result.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                        cv::Scalar(255, 255, 255));
    return out;
}

} // namespace reference

#endif
