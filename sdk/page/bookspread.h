// Finds an open book lying under the camera: its skew, its gutter and the
// curved top and bottom edges of each page, for the flattening to undo.
#ifndef ORVIX_BOOKSPREAD_H
#define ORVIX_BOOKSPREAD_H

#include "sdk/frame.h"

#include <opencv2/core.hpp>

#include <vector>

namespace orvix {

// One page as seen from above, in the upright work picture: for every
// column from `left` on, the rows of its top and bottom edges.
struct PageEdges {
    int left = 0;
    std::vector<double> top;
    std::vector<double> bottom;
    int right() const { return left + int(top.size()) - 1; }
};

struct BookSpread {
    bool found = false;    // a page-like region lies on the desk
    bool twoPages = false; // it is an open book with a gutter
    // Frame point = toFrame * (work x, work y, 1): the work picture is the
    // frame reduced and turned upright.
    cv::Matx23d toFrame;
    cv::Point2d principalPoint; // the frame's centre, in work pixels
    double workToFrame = 1.0;   // frame pixels per work pixel
    std::vector<PageEdges> pages; // left to right
};

// The middle value of `values` (0 for none).
double medianOf(std::vector<double> values);

// Looks at a copy whose long side is at most workLongSide.
BookSpread findBookSpread(const Frame &frame, int workLongSide = 1100);

} // namespace orvix

#endif
