// Flat pages for the book suites: text-like lines from pagescene and a large
// block, high on the left page and low on the right, so that a page is told
// from its neighbour at a glance.
#ifndef QUILLO_TESTS_BOOKPAGES_H
#define QUILLO_TESTS_BOOKPAGES_H

#include "tests/shared/bookscene.h"
#include "tests/shared/pagescene.h"

namespace bookpages {

inline cv::Mat page(int width, int height, bool left)
{
    cv::RNG rng(left ? 11 : 12);
    cv::Mat p = pagescene::makePage(width, height, rng);
    const int y = left ? height / 5 : height * 3 / 5;
    cv::rectangle(p, cv::Rect(width / 4, y, width / 2, height / 6), cv::Scalar(20, 20, 24), cv::FILLED);
    return p;
}

// The open book (or sheet) of `s` photographed, and its flat left and right pages.
struct Spread {
    cv::Mat truth[2];
    orvix::Frame frame;
};

inline Spread spread(const bookscene::Setup &s)
{
    Spread out{{page(int(s.pageWidth), int(s.pageHeight), true), page(int(s.pageWidth), int(s.pageHeight), false)}, {}};
    out.frame = bookscene::makeScene(s, out.truth[0], out.truth[1]).frame;
    return out;
}

// Correlation of two pictures at a small common size, grey and blurred.
inline double likeness(const cv::Mat &a, const cv::Mat &b)
{
    const cv::Size size(200, std::max(1, 200 * b.rows / b.cols));
    const auto prepare = [&size](const cv::Mat &picture) {
        cv::Mat g;
        cv::resize(picture, g, size, 0, 0, cv::INTER_AREA);
        cv::cvtColor(g, g, cv::COLOR_RGB2GRAY);
        g.convertTo(g, CV_32F);
        cv::GaussianBlur(g, g, cv::Size(0, 0), 2);
        return g;
    };
    cv::Mat r;
    cv::matchTemplate(prepare(a), prepare(b), r, cv::TM_CCOEFF_NORMED);
    return double(r.at<float>(0, 0));
}

} // namespace bookpages

#endif
