#include "sdk/page/bookspread.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orvix {

namespace {

// Paper must stand out from the desk by this many grey levels.
constexpr int kMinPaperContrast = 25;
// Two narrow pages curled toward their spine still give a spread at least
// this wide for its height; a portrait sheet is far narrower and never splits.
constexpr double kMinSpreadAspect = 0.9;
// The gutter: pages lower at the spine (their height dips by this fraction)
// or a shadow (paper darker by this fraction) in the middle of the book.
constexpr double kMinGutterDip = 0.012;
constexpr double kMinGutterShadow = 0.12;
// Skews beyond this are not a book lying roughly square to the camera.
constexpr double kMaxSkewDegrees = 20.0;

// The bright regions of `gray` that make up the book (255 inside), from
// Otsu's split: the largest and those nearly as large, as a deep gutter
// shadow parts the two pages.
cv::Mat brightRegion(const cv::Mat &gray)
{
    cv::Mat mask;
    cv::threshold(gray, mask, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    cv::morphologyEx(mask, mask, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, {5, 5}));
    cv::Mat labels, stats, centroids;
    const int n = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8, CV_32S);
    int largest = 0;
    for (int i = 1; i < n; ++i)
        largest = std::max(largest, stats.at<int>(i, cv::CC_STAT_AREA));
    if (largest == 0)
        return cv::Mat();
    cv::Mat region = cv::Mat::zeros(gray.size(), CV_8U);
    for (int i = 1; i < n; ++i)
        if (stats.at<int>(i, cv::CC_STAT_AREA) * 4 >= largest)
            region |= labels == i;
    return region;
}

// The angle (degrees) of the region's box edge nearest to the horizontal.
double skewOf(const cv::Mat &region)
{
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(region.clone(), contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    if (contours.empty())
        return 0.0;
    const auto largest = std::max_element(contours.begin(), contours.end(), [](const auto &a, const auto &b) {
        return cv::contourArea(a) < cv::contourArea(b);
    });
    cv::Point2f p[4];
    cv::minAreaRect(*largest).points(p);
    double best = 90.0;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2f d = p[(i + 1) % 4] - p[i];
        double a = std::atan2(double(d.y), double(d.x)) * 180.0 / CV_PI;
        while (a > 90.0)
            a -= 180.0;
        while (a <= -90.0)
            a += 180.0;
        if (std::abs(a) < std::abs(best))
            best = a;
    }
    return std::abs(best) <= kMaxSkewDegrees ? best : 0.0;
}

// Where the column of `gray` first rises over `threshold`, walking from
// `from` by `step`, to a fraction of a pixel; -1 when it never does.
double crossing(const cv::Mat &gray, int x, int from, int to, int step, double threshold)
{
    constexpr int kRun = 3; // paper, not a bright speck of the desk
    for (int y = from; y != to; y += step) {
        bool run = true;
        for (int k = 0; k < kRun && run; ++k) {
            const int yy = y + k * step;
            run = yy >= 0 && yy < gray.rows && gray.at<uchar>(yy, x) >= threshold;
        }
        if (!run)
            continue;
        const int prev = y - step;
        if (prev < 0 || prev >= gray.rows)
            return y;
        const double a = gray.at<uchar>(prev, x), b = gray.at<uchar>(y, x);
        return y - step * ((b - threshold) / std::max(1.0, b - a));
    }
    return -1.0;
}

// Gaussian smoothing of a profile that stops at its ends (no mixing across the gutter).
std::vector<double> smoothProfile(const std::vector<double> &values, double sigma)
{
    const int n = int(values.size());
    const int r = std::max(1, int(std::ceil(2.5 * sigma)));
    std::vector<double> out(values.size());
    for (int i = 0; i < n; ++i) {
        double sum = 0.0, weight = 0.0;
        for (int k = std::max(0, i - r); k <= std::min(n - 1, i + r); ++k) {
            const double w = std::exp(-0.5 * (k - i) * (k - i) / (sigma * sigma));
            sum += w * values[size_t(k)];
            weight += w;
        }
        out[size_t(i)] = sum / weight;
    }
    return out;
}

struct Columns {
    std::vector<double> top, bottom, paper;
    std::vector<bool> valid;
};

Columns measureColumns(const cv::Mat &gray, const cv::Rect &box, double desk)
{
    Columns c;
    const int n = box.width;
    c.top.assign(size_t(n), 0.0);
    c.bottom.assign(size_t(n), 0.0);
    c.paper.assign(size_t(n), 0.0);
    c.valid.assign(size_t(n), false);
    const int y0 = box.y + box.height / 4, y1 = box.y + 3 * box.height / 4;
    std::vector<double> samples;
    for (int i = 0; i < n; ++i) {
        const int x = box.x + i;
        samples.clear();
        for (int y = y0; y < y1; y += 2)
            samples.push_back(gray.at<uchar>(y, x));
        if (samples.empty())
            continue;
        const auto p80 = samples.begin() + std::ptrdiff_t(samples.size() * 4 / 5);
        std::nth_element(samples.begin(), p80, samples.end());
        const double paper = *p80;
        c.paper[size_t(i)] = paper;
        if (paper - desk < kMinPaperContrast)
            continue;
        const double threshold = 0.5 * (paper + desk);
        const double top = crossing(gray, x, std::max(0, box.y - 3), gray.rows, 1, threshold);
        const double bottom = crossing(gray, x, std::min(gray.rows - 1, box.y + box.height + 2), -1, -1, threshold);
        if (top < 0 || bottom <= top)
            continue;
        c.top[size_t(i)] = top;
        c.bottom[size_t(i)] = bottom;
        c.valid[size_t(i)] = true;
    }
    // Columns over the desk (a thumb beside the book, say) are far shorter than the pages.
    std::vector<double> spans;
    for (int i = 0; i < n; ++i)
        if (c.valid[size_t(i)])
            spans.push_back(c.bottom[size_t(i)] - c.top[size_t(i)]);
    const double typical = medianOf(spans);
    for (int i = 0; i < n; ++i)
        if (c.valid[size_t(i)] && c.bottom[size_t(i)] - c.top[size_t(i)] < 0.6 * typical)
            c.valid[size_t(i)] = false;
    return c;
}

// The page between columns [from, to] of the box, invalid columns bridged
// from their neighbours, edges smoothed.
PageEdges pageBetween(const Columns &c, int boxX, int from, int to, double sigma)
{
    PageEdges page;
    page.left = boxX + from;
    std::vector<double> top, bottom;
    int lastValid = -1;
    for (int i = from; i <= to; ++i) {
        if (!c.valid[size_t(i)])
            continue;
        for (int k = lastValid < 0 ? from : lastValid + 1; k < i; ++k) {
            const double t = lastValid < 0 ? 1.0 : double(k - lastValid) / (i - lastValid);
            const size_t a = size_t(lastValid < 0 ? i : lastValid);
            top.push_back(c.top[a] + t * (c.top[size_t(i)] - c.top[a]));
            bottom.push_back(c.bottom[a] + t * (c.bottom[size_t(i)] - c.bottom[a]));
        }
        top.push_back(c.top[size_t(i)]);
        bottom.push_back(c.bottom[size_t(i)]);
        lastValid = i;
    }
    while (!top.empty() && int(top.size()) < to - from + 1) {
        top.push_back(top.back());
        bottom.push_back(bottom.back());
    }
    page.top = smoothProfile(top, sigma);
    page.bottom = smoothProfile(bottom, sigma);
    return page;
}

} // namespace

double medianOf(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto mid = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

BookSpread findBookSpread(const Frame &frame, int workLongSide)
{
    BookSpread spread;
    if (frame.empty())
        return spread;
    const double scale = std::min(1.0, double(workLongSide) / std::max(frame.width, frame.height));
    const cv::Mat rgb(frame.height, frame.width, CV_8UC3, const_cast<uint8_t *>(frame.rgb.data()));
    cv::Mat small, gray;
    cv::resize(rgb, small, cv::Size(), scale, scale, cv::INTER_AREA);
    cv::cvtColor(small, gray, cv::COLOR_RGB2GRAY);
    cv::GaussianBlur(gray, gray, {3, 3}, 0);

    cv::Mat region = brightRegion(gray);
    if (region.empty() || size_t(cv::countNonZero(region)) < gray.total() / 10)
        return spread;

    // Upright: turn about the frame's centre, where the camera looks straight down.
    const cv::Point2d centre(0.5 * frame.width * scale, 0.5 * frame.height * scale);
    const cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(centre), skewOf(region), 1.0);
    cv::warpAffine(gray, gray, turn, gray.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    cv::warpAffine(region, region, turn, region.size(), cv::INTER_NEAREST);
    cv::Mat back;
    cv::invertAffineTransform(turn, back);
    spread.toFrame = cv::Matx23d(back) * (1.0 / scale);
    spread.principalPoint = centre;
    spread.workToFrame = 1.0 / scale;

    std::vector<double> deskSamples;
    for (int y = 0; y < gray.rows; y += 4)
        for (int x = 0; x < gray.cols; x += 4)
            if (!region.at<uchar>(y, x))
                deskSamples.push_back(gray.at<uchar>(y, x));
    const double desk = deskSamples.empty() ? 0.0 : medianOf(deskSamples);
    const cv::Rect box = cv::boundingRect(region);
    const Columns columns = measureColumns(gray, box, desk);

    int first = -1, last = -1;
    std::vector<double> spans;
    for (int i = 0; i < box.width; ++i) {
        if (!columns.valid[size_t(i)])
            continue;
        if (first < 0)
            first = i;
        last = i;
        spans.push_back(columns.bottom[size_t(i)] - columns.top[size_t(i)]);
    }
    if (first < 0 || last - first < 20)
        return spread;
    spread.found = true;
    const double height = medianOf(spans);
    const int width = last - first + 1;
    const double sigma = std::max(1.5, width * 0.004);

    // The gutter lies in the middle of the book: the pages dip toward the
    // spine, and the paper darkens in its shadow.
    std::vector<double> span(size_t(box.width), 0.0), paper(size_t(box.width), 0.0);
    {
        const PageEdges whole = pageBetween(columns, 0, first, last, sigma);
        const std::vector<double> light = smoothProfile(
            std::vector<double>(columns.paper.begin() + first, columns.paper.begin() + last + 1), sigma);
        for (int i = first; i <= last; ++i) {
            span[size_t(i)] = whole.bottom[size_t(i - first)] - whole.top[size_t(i - first)];
            paper[size_t(i)] = light[size_t(i - first)];
        }
    }
    const int from = first + int(0.3 * width), to = first + int(0.7 * width);
    int dipAt = from, darkAt = from;
    for (int i = from; i <= to; ++i) {
        if (span[size_t(i)] < span[size_t(dipAt)])
            dipAt = i;
        if (paper[size_t(i)] < paper[size_t(darkAt)])
            darkAt = i;
    }
    const int quarter = width / 4;
    const double leftSpan = medianOf(std::vector<double>(span.begin() + first, span.begin() + first + quarter));
    const double rightSpan = medianOf(std::vector<double>(span.begin() + last - quarter, span.begin() + last + 1));
    const double dip = (std::min(leftSpan, rightSpan) - span[size_t(dipAt)]) / height;
    const double paperLevel = medianOf(std::vector<double>(paper.begin() + first, paper.begin() + last + 1));
    const double shadow = (paperLevel - paper[size_t(darkAt)]) / std::max(1.0, paperLevel);
    const double aspect = width / std::max(1.0, height);
    std::printf("orvix: book %dx%.0f, gutter dip %.3f at %d, shadow %.2f at %d\n", width, height, dip, dipAt, shadow,
                darkAt);
    if (aspect < kMinSpreadAspect || (dip < kMinGutterDip && shadow < kMinGutterShadow))
        return spread;

    const int gutter = dip >= kMinGutterDip ? dipAt : darkAt;
    spread.twoPages = true;
    spread.pages.push_back(pageBetween(columns, box.x, first, gutter, sigma));
    spread.pages.push_back(pageBetween(columns, box.x, gutter, last, sigma));
    return spread;
}

} // namespace orvix
