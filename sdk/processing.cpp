#include "sdk/processing.h"

#include "sdk/docoptimiser.h"
#include "sdk/pagedetector.h"
#include "sdk/picturepool.h"
#include "sdk/previewoutliner.h"
#include "sdk/watermark.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace orvix {

Frame cropToPage(Frame in)
{
    Quad corners;
    if (!PageDetector().detect(in, corners)) {
        std::printf("orvix: no page found, keeping the whole %dx%d frame\n", in.width, in.height);
        return in;
    }
    Frame page = PageDetector::warpPage(in, corners);
    // The frame's memory serves the next picture a step makes.
    picturepool::give(std::move(in.rgb));
    return page;
}

Frame processCapture(Frame in, const IMAGEPARAM &param, bool autoCrop)
{
    if (in.empty() || in.rgb.size() < in.stride() * size_t(in.height))
        return in;
    Frame out = (autoCrop || param.nCropType == 1) ? cropToPage(std::move(in)) : std::move(in);
    if (param.nRotate % 360 != 0) {
        Frame turned = rotateFrame(out, param.nRotate);
        picturepool::give(std::move(out.rgb));
        out = std::move(turned);
    }
    if (param.bIsTextEn)
        out = optimiseDocument(std::move(out));
    if (param.bIsWater) {
        const WatermarkStyle style{uint8_t(std::clamp(param.nR, 0, 255)), uint8_t(std::clamp(param.nG, 0, 255)),
                                   uint8_t(std::clamp(param.nB, 0, 255)), param.nFont};
        drawWatermark(out, param.szWaterContent, style);
    }
    return out;
}

void annotatePreview(Frame &frame)
{
    if (frame.empty() || frame.rgb.size() < frame.stride() * size_t(frame.height))
        return;
    // A small working copy and no fine pass keep this within a preview frame's budget.
    Quad corners;
    if (PageDetector(kPreviewDetectLongSide, false).detect(frame, corners))
        drawOutline(frame, corners);
}

} // namespace orvix
