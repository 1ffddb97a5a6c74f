// Perspective warp of a camera frame into an upright picture, bilinear, in
// bands of rows on the library's worker threads.
#ifndef ORVIX_PAGEWARP_H
#define ORVIX_PAGEWARP_H

#include "sdk/frame.h"

#include <opencv2/core.hpp>

namespace orvix {

// Output pixel (x, y) samples the frame at outputToFrame * (x, y, 1), pixel
// centres at whole coordinates, to 1/32 pixel as OpenCV's warps do; what
// lies out of view comes out white. The picture is taken from the picture
// pool: no fresh memory once a capture has handed one back.
Frame warpPerspectiveWhite(const Frame &frame, const cv::Matx33d &outputToFrame, int width, int height);

} // namespace orvix

#endif
