// Page processing shared by every backend: pure picture in, picture out.
#ifndef ORVIX_PROCESSING_H
#define ORVIX_PROCESSING_H

#include "camera/camsdk.h"
#include "sdk/frame.h"

#include <vector>

namespace orvix {

// Quarter turns clockwise; any multiple of 90, negative or >= 360, works.
// Other angles are rounded down to the quarter turn below.
Frame rotateFrame(const Frame &in, int degrees);

// A capture in the fixed order: crop (when autoCrop or param.nCropType == 1),
// rotate by param.nRotate, optimise (bIsTextEn), watermark (bIsWater).
// Taken by value: a capture handed over with std::move is not copied.
Frame processCapture(Frame in, const IMAGEPARAM &param, bool autoCrop);

// A capture of an open book: turned as the preview shows it (nRotate), the
// book found whether cropping is on or not, split at its gutter into the left
// and the right page, each flattened, its gutter shadow evened and its outer
// margin cleaned, then optimised and watermarked like any capture. A single
// sheet gives one page, cropped as a capture with cropping on.
std::vector<Frame> processBookCapture(Frame in, const IMAGEPARAM &param);

// Marks the page outline on one preview frame, looking for the page in it
// alone; a stream of frames is cheaper through PreviewOutliner.
void annotatePreview(Frame &frame);

// The page warped upright, or the frame itself handed back when none is seen.
Frame cropToPage(Frame in);

} // namespace orvix

#endif
