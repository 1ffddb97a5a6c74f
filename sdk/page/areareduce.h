// Area averaging exactly as cv::resize with INTER_AREA does it, in a
// fraction of its time.
#ifndef ORVIX_AREAREDUCE_H
#define ORVIX_AREAREDUCE_H

#include <opencv2/core.hpp>

namespace orvix {

// Byte for byte cv::resize(src, dst, size, 0, 0, cv::INTER_AREA) for any
// shrinking of 8-bit pixels, its float sums done for four source rows at
// once. Where this build's float arithmetic could differ from OpenCV's (as
// a check on first use finds), OpenCV does the work.
void reduceByArea(const cv::Mat &src, cv::Size size, cv::Mat &dst);

} // namespace orvix

#endif
