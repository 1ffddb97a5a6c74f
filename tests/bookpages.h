// Flat pages for the book suites: text-like lines from pagescene and a large
// block, high on the left page and low on the right, so that a page is told
// from its neighbour at a glance.
#ifndef QUILLO_TESTS_BOOKPAGES_H
#define QUILLO_TESTS_BOOKPAGES_H

#include "bookscene.h"
#include "pagescene.h"

namespace bookpages {

inline cv::Mat page(int width, int height, bool left)
{
    cv::RNG rng(left ? 11 : 12);
    cv::Mat p = pagescene::makePage(width, height, rng);
    const int y = left ? height / 5 : height * 3 / 5;
    cv::rectangle(p, cv::Rect(width / 4, y, width / 2, height / 6), cv::Scalar(20, 20, 24), cv::FILLED);
    return p;
}

// Correlation of two pictures at a small common size, grey and blurred.
inline double likeness(const cv::Mat &a, const cv::Mat &b)
{
    const cv::Size size(200, std::max(1, 200 * b.rows / b.cols));
    cv::Mat ga, gb;
    cv::resize(a, ga, size, 0, 0, cv::INTER_AREA);
    cv::resize(b, gb, size, 0, 0, cv::INTER_AREA);
    cv::cvtColor(ga, ga, cv::COLOR_RGB2GRAY);
    cv::cvtColor(gb, gb, cv::COLOR_RGB2GRAY);
    ga.convertTo(ga, CV_32F);
    gb.convertTo(gb, CV_32F);
    cv::GaussianBlur(ga, ga, cv::Size(0, 0), 2);
    cv::GaussianBlur(gb, gb, cv::Size(0, 0), 2);
    cv::Mat r;
    cv::matchTemplate(ga, gb, r, cv::TM_CCOEFF_NORMED);
    return double(r.at<float>(0, 0));
}

} // namespace bookpages

#endif
