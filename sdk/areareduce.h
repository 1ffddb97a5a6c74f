// Area averaging by a whole factor, exactly as cv::resize with INTER_AREA
// does it, in a fraction of its time: OpenCV sums each block pixel by pixel
// through an offset table, this sums whole rows at a time.
#ifndef ORVIX_AREAREDUCE_H
#define ORVIX_AREAREDUCE_H

#include <opencv2/core.hpp>

namespace orvix {

// dst becomes src reduced by `factor` in both directions (8-bit pixels, any
// channel count; sizes divisible by the factor; other cases are handed
// to cv::resize itself), byte for byte what
// cv::resize(src, dst, src.size() / factor, 0, 0, cv::INTER_AREA) gives.
void reduceByWholeFactor(const cv::Mat &src, int factor, cv::Mat &dst);

// Byte for byte cv::resize(src, dst, size, 0, 0, cv::INTER_AREA) for any
// shrinking of 8-bit pixels, its float sums done for four source rows at
// once. Where this build's float arithmetic could differ from OpenCV's (as
// a check on first use finds), OpenCV does the work.
void reduceByArea(const cv::Mat &src, cv::Size size, cv::Mat &dst);

} // namespace orvix

#endif
