// Where a page may lie in a small overhead picture: masks of candidate
// regions, each found a different way, for the page detector to judge.
#ifndef ORVIX_PAGEMASKS_H
#define ORVIX_PAGEMASKS_H

#include <opencv2/core.hpp>

#include <vector>

namespace orvix {

// Appends masks (255 inside) from: bright and colourless at a global
// threshold; the same under a fitted smooth light field (split once more on
// the bright side when a dark object took the first split); and the largest
// regions walled in by edges. `small` is RGB, `gray` its grey picture.
// sideBySide finds the first two kinds and the third on two worker threads
// (same masks, same order), for a caller that waits on the result.
void pageMasks(const cv::Mat &small, const cv::Mat &gray, std::vector<cv::Mat> &masks, bool sideBySide = false);

} // namespace orvix

#endif
