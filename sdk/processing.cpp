#include "processing.h"

#include "docoptimiser.h"
#include "pagedetector.h"
#include "watermark.h"

#include <algorithm>
#include <cstdio>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace orvix {

Frame cropToPage(const Frame &in)
{
    Quad corners;
    if (!PageDetector().detect(in, corners)) {
        std::printf("orvix: no page found, keeping the whole %dx%d frame\n", in.width, in.height);
        return in;
    }
    return PageDetector::warpPage(in, corners);
}

Frame processCapture(const Frame &in, const IMAGEPARAM &param, bool autoCrop)
{
    if (in.empty() || in.rgb.size() < in.stride() * size_t(in.height))
        return in;
    Frame out = (autoCrop || param.nCropType == 1) ? cropToPage(in) : in;
    if (param.nRotate % 360 != 0)
        out = rotateFrame(out, param.nRotate);
    if (param.bIsTextEn)
        out = optimiseDocument(out);
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
    if (!PageDetector(kPreviewDetectLongSide, false).detect(frame, corners))
        return;
    cv::Mat view(frame.height, frame.width, CV_8UC3, frame.rgb.data());
    std::vector<cv::Point> outline;
    for (const PointF &p : corners)
        outline.emplace_back(int(p.x + 0.5), int(p.y + 0.5));
    const int thickness = std::max(2, std::max(frame.width, frame.height) / 400);
    cv::polylines(view, outline, true, cv::Scalar(kOutlineColour[0], kOutlineColour[1], kOutlineColour[2]),
                  thickness, cv::LINE_AA);
}

} // namespace orvix
