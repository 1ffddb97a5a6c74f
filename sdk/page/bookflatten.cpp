#include "sdk/page/bookflatten.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace orvix {

namespace {

// Desk left at a page's border after the remap is cut off with this much of the page.
constexpr double kInset = 0.004;
// The shadow's correction: no column is brightened more than this.
constexpr double kMaxGain = 3.0;

} // namespace

Frame flattenPage(const Frame &frame, const BookSpread &spread, const PageEdges &page, bool outerIsLeft)
{
    const int n = int(page.top.size());
    if (n < 8 || frame.empty())
        return Frame();
    // The page's height at a column grows as the camera's magnification
    // there, so it tells how high the paper lies: relative to the flat outer
    // part, s = h / h_outer and the height z = H (1 - 1/s).
    std::vector<double> height(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        height[size_t(i)] = std::max(1.0, page.bottom[size_t(i)] - page.top[size_t(i)]);
    const int outerCount = std::max(1, n / 10);
    const auto outerBegin = outerIsLeft ? height.begin() : height.end() - outerCount;
    const double outerHeight = medianOf(std::vector<double>(outerBegin, outerBegin + outerCount));
    const double cameraHeight = kCameraHeightInLongSides * std::max(frame.width, frame.height) / spread.workToFrame;
    const double cx = spread.principalPoint.x;

    // Arc length along the paper from the page's left end, column by column.
    std::vector<double> arc(static_cast<size_t>(n), 0.0);
    double prevX = 0.0, prevZ = 0.0;
    for (int i = 0; i < n; ++i) {
        const double s = height[size_t(i)] / outerHeight;
        const double x = cx + (page.left + i - cx) / s;
        const double z = cameraHeight * (1.0 - 1.0 / s);
        if (i > 0)
            arc[size_t(i)] = arc[size_t(i - 1)] + std::hypot(x - prevX, z - prevZ);
        prevX = x;
        prevZ = z;
    }
    const double length = arc.back();
    const double inset = kInset * length;
    const int outWidth = int(std::lround((length - 2 * inset) * spread.workToFrame));
    const int outHeight = int(std::lround(outerHeight * (1.0 - 2 * kInset) * spread.workToFrame));
    if (outWidth < 8 || outHeight < 8)
        return Frame();

    // Each output column is one column of the work picture (the spine runs
    // down it), so its map is a straight run from the top edge to the bottom.
    cv::Mat map(outHeight, outWidth, CV_32FC2);
    const cv::Matx23d &a = spread.toFrame;
    std::vector<cv::Vec2f> start(static_cast<size_t>(outWidth)), step(static_cast<size_t>(outWidth));
    int j = 0;
    for (int u = 0; u < outWidth; ++u) {
        const double t = inset + (u + 0.5) * (length - 2 * inset) / outWidth;
        while (j < n - 2 && arc[size_t(j + 1)] < t)
            ++j;
        const double f = std::clamp((t - arc[size_t(j)]) / std::max(1e-9, arc[size_t(j + 1)] - arc[size_t(j)]), 0.0, 1.0);
        const double x = page.left + j + f;
        const double top = page.top[size_t(j)] + f * (page.top[size_t(j + 1)] - page.top[size_t(j)]);
        const double bottom = page.bottom[size_t(j)] + f * (page.bottom[size_t(j + 1)] - page.bottom[size_t(j)]);
        const double y0 = top + kInset * (bottom - top);
        const double dy = (bottom - top) * (1.0 - 2 * kInset) / outHeight;
        const double firstY = y0 + 0.5 * dy;
        start[size_t(u)] = cv::Vec2f(float(a(0, 0) * x + a(0, 1) * firstY + a(0, 2)),
                                     float(a(1, 0) * x + a(1, 1) * firstY + a(1, 2)));
        step[size_t(u)] = cv::Vec2f(float(a(0, 1) * dy), float(a(1, 1) * dy));
    }
    cv::parallel_for_(cv::Range(0, outHeight), [&](const cv::Range &rows) {
        for (int v = rows.start; v < rows.end; ++v) {
            auto *out = map.ptr<cv::Vec2f>(v);
            for (int u = 0; u < outWidth; ++u)
                out[u] = start[size_t(u)] + float(v) * step[size_t(u)];
        }
    });

    Frame flat;
    flat.allocate(outWidth, outHeight);
    const cv::Mat src(frame.height, frame.width, CV_8UC3, const_cast<uint8_t *>(frame.rgb.data()));
    cv::Mat dst(outHeight, outWidth, CV_8UC3, flat.rgb.data());
    cv::remap(src, dst, map, cv::noArray(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
    return flat;
}

void evenGutterShadow(Frame &page)
{
    if (page.empty())
        return;
    cv::Mat rgb(page.height, page.width, CV_8UC3, page.rgb.data());
    constexpr int kReduce = 4;
    cv::Mat small, gray;
    cv::resize(rgb, small, cv::Size(std::max(1, page.width / kReduce), std::max(1, page.height / kReduce)), 0, 0,
               cv::INTER_AREA);
    cv::cvtColor(small, gray, cv::COLOR_RGB2GRAY);
    // The paper of a column: most of a column of text is paper.
    std::vector<double> level(size_t(gray.cols));
    std::vector<uchar> column(size_t(gray.rows));
    for (int x = 0; x < gray.cols; ++x) {
        for (int y = 0; y < gray.rows; ++y)
            column[size_t(y)] = gray.at<uchar>(y, x);
        const auto p85 = column.begin() + std::ptrdiff_t(column.size() * 85 / 100);
        std::nth_element(column.begin(), p85, column.end());
        level[size_t(x)] = std::max<double>(1.0, *p85);
    }
    std::vector<double> sorted = level;
    std::sort(sorted.begin(), sorted.end());
    const double paper = sorted[sorted.size() * 9 / 10];
    std::vector<float> gain(size_t(page.width), 1.0f);
    bool any = false;
    for (int x = 0; x < page.width; ++x) {
        const double sx = std::clamp((x + 0.5) / kReduce - 0.5, 0.0, double(gray.cols - 1));
        const int i = std::min(int(sx), gray.cols - 2 < 0 ? 0 : gray.cols - 2);
        const double f = gray.cols > 1 ? sx - i : 0.0;
        const double l = gray.cols > 1 ? level[size_t(i)] * (1 - f) + level[size_t(i + 1)] * f : level[0];
        const double g = std::clamp(paper / l, 1.0, kMaxGain);
        if (g > 1.01) {
            gain[size_t(x)] = float(g);
            any = true;
        }
    }
    if (!any)
        return;
    cv::parallel_for_(cv::Range(0, page.height), [&](const cv::Range &rows) {
        for (int y = rows.start; y < rows.end; ++y) {
            uint8_t *p = page.row(y);
            for (int x = 0; x < page.width; ++x) {
                const float g = gain[size_t(x)];
                if (g == 1.0f)
                    continue;
                for (int c = 0; c < 3; ++c)
                    p[3 * x + c] = cv::saturate_cast<uint8_t>(p[3 * x + c] * g);
            }
        }
    });
}

} // namespace orvix
