#include "sdk/page/marginclean.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdio>

namespace orvix {

namespace {

constexpr int kReduce = 4;
// Colour (max - min of R, G, B) above which a pixel is not ink or paper: skin.
constexpr int kMinColour = 28;
// A column with at least this many ink pixels (reduced picture) holds text.
constexpr int kMinInkPerColumn = 2;

} // namespace

MarginCleaning cleanOuterMargin(Frame &page, bool outerIsLeft)
{
    MarginCleaning result;
    if (page.width < 4 * kReduce || page.height < 4 * kReduce)
        return result;
    cv::Mat rgb(page.height, page.width, CV_8UC3, page.rgb.data());
    cv::Mat small;
    cv::resize(rgb, small, cv::Size(page.width / kReduce, page.height / kReduce), 0, 0, cv::INTER_AREA);
    cv::Mat gray, maxC, minC, colour;
    cv::cvtColor(small, gray, cv::COLOR_RGB2GRAY);
    std::vector<cv::Mat> ch;
    cv::split(small, ch);
    cv::max(ch[0], cv::max(ch[1], ch[2]), maxC);
    cv::min(ch[0], cv::min(ch[1], ch[2]), minC);
    colour = maxC - minC;

    std::vector<uchar> values(gray.begin<uchar>(), gray.end<uchar>());
    const auto p90 = values.begin() + std::ptrdiff_t(values.size() * 9 / 10);
    std::nth_element(values.begin(), p90, values.end());
    const double paperGray = *p90;
    const cv::Mat paperMask = (gray >= 0.85 * paperGray) & (colour < kMinColour);
    const cv::Scalar paper = cv::mean(small, paperMask);

    // Not paper: coloured, or darker than paper. Thumbs are both; ink is dark only.
    cv::Mat foreign = (colour >= kMinColour) | (gray < 0.75 * paperGray);
    cv::morphologyEx(foreign, foreign, cv::MORPH_CLOSE, cv::getStructuringElement(cv::MORPH_ELLIPSE, {5, 5}));
    cv::Mat labels, stats, centroids;
    const int n = cv::connectedComponentsWithStats(foreign, labels, stats, centroids, 8, CV_32S);
    const int edgeBand = std::max(2, small.cols / 100);
    std::vector<bool> atEdge(size_t(n), false);
    for (int i = 1; i < n; ++i) {
        const int x0 = stats.at<int>(i, cv::CC_STAT_LEFT);
        const int x1 = x0 + stats.at<int>(i, cv::CC_STAT_WIDTH) - 1;
        atEdge[size_t(i)] = outerIsLeft ? x0 < edgeBand : x1 >= small.cols - edgeBand;
    }

    // Where the text begins, seen from the outer side: ink not part of a region at the edge.
    std::vector<int> ink(size_t(small.cols), 0);
    for (int y = 0; y < small.rows; ++y) {
        const int *label = labels.ptr<int>(y);
        for (int x = 0; x < small.cols; ++x)
            if (!atEdge[size_t(label[x])] && gray.at<uchar>(y, x) < 0.6 * paperGray &&
                colour.at<uchar>(y, x) < kMinColour)
                ++ink[size_t(x)];
    }
    int textDistance = small.cols;
    for (int d = 0; d < small.cols; ++d) {
        const int x = outerIsLeft ? d : small.cols - 1 - d;
        if (ink[size_t(x)] >= kMinInkPerColumn) {
            textDistance = d;
            break;
        }
    }
    const int gap = std::max(2, small.cols / 100);

    cv::Mat paint = cv::Mat::zeros(small.size(), CV_8U);
    for (int i = 1; i < n; ++i) {
        if (!atEdge[size_t(i)])
            continue;
        const int x0 = stats.at<int>(i, cv::CC_STAT_LEFT);
        const int x1 = x0 + stats.at<int>(i, cv::CC_STAT_WIDTH) - 1;
        const int reach = outerIsLeft ? x1 : small.cols - 1 - x0;
        if (reach + gap >= textDistance) {
            ++result.kept;
            continue;
        }
        paint |= labels == i;
        ++result.painted;
    }
    if (result.kept)
        std::printf("orvix: %d region(s) over the text of a page left as they are\n", result.kept);
    if (!result.painted)
        return result;
    cv::dilate(paint, paint, cv::getStructuringElement(cv::MORPH_ELLIPSE, {5, 5}));
    cv::Mat full;
    cv::resize(paint, full, rgb.size(), 0, 0, cv::INTER_NEAREST);
    rgb.setTo(paper, full);
    std::printf("orvix: %d region(s) painted out of a page's outer margin\n", result.painted);
    return result;
}

} // namespace orvix
