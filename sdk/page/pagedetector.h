// Finds a light page lying on a desk in an overhead photo and cuts it out.
#ifndef ORVIX_PAGEDETECTOR_H
#define ORVIX_PAGEDETECTOR_H

#include "sdk/frame.h"

#include <array>

namespace orvix {

// Pixel-centre coordinates: the centre of pixel (i, j) is (i, j).
struct PointF {
    double x = 0.0;
    double y = 0.0;
};

// Corners in page order: top-left, top-right, bottom-right, bottom-left.
using Quad = std::array<PointF, 4>;

class PageDetector
{
public:
    // Detection runs on a copy whose long side is at most workLongSide;
    // refine adds a sub-pixel pass on the edges at full resolution. With a
    // smaller quickLongSide the page is first looked for on a copy that
    // small, at a fraction of the cost; the larger copy is looked at only
    // when it finds none (a page in poor light, a busy desk).
    explicit PageDetector(int workLongSide = 800, bool refine = true, int quickLongSide = kQuickLongSide);

    static constexpr int kQuickLongSide = 400;

    // True and the page corners in frame coordinates when a page is seen.
    // The first corner is the one that keeps the page's top edge closest to
    // the frame's horizontal, so a slightly turned page comes out upright.
    bool detect(const Frame &frame, Quad &corners) const;

    // The page warped to an upright rectangle sized from its edge lengths.
    static Frame warpPage(const Frame &frame, const Quad &corners);

private:
    bool detectAt(const Frame &frame, int longSide, Quad &corners) const;

    int m_workLongSide;
    int m_quickLongSide;
    bool m_refine;
};

} // namespace orvix

#endif
