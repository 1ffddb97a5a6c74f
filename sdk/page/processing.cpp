#include "sdk/page/processing.h"

#include "sdk/page/bookflatten.h"
#include "sdk/page/bookspread.h"
#include "sdk/page/docoptimiser.h"
#include "sdk/page/marginclean.h"
#include "sdk/page/pagedetector.h"
#include "sdk/page/picturepool.h"
#include "sdk/page/previewoutliner.h"
#include "sdk/watermark/watermark.h"

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

namespace {

Frame turned(Frame in, int degrees)
{
    if (degrees % 360 == 0)
        return in;
    Frame out = rotateFrame(in, degrees);
    picturepool::give(std::move(in.rgb));
    return out;
}

Frame optimisedAndMarked(Frame out, const IMAGEPARAM &param)
{
    if (param.bIsTextEn)
        out = optimiseDocument(std::move(out));
    if (param.bIsWater) {
        const WatermarkStyle style{uint8_t(std::clamp(param.nR, 0, 255)), uint8_t(std::clamp(param.nG, 0, 255)),
                                   uint8_t(std::clamp(param.nB, 0, 255)), param.nFont};
        drawWatermark(out, param.szWaterContent, style);
    }
    return out;
}

} // namespace

Frame processCapture(Frame in, const IMAGEPARAM &param, bool autoCrop)
{
    if (in.empty() || in.rgb.size() < in.stride() * size_t(in.height))
        return in;
    Frame out = (autoCrop || param.nCropType == 1) ? cropToPage(std::move(in)) : std::move(in);
    return optimisedAndMarked(turned(std::move(out), param.nRotate), param);
}

std::vector<Frame> processBookCapture(Frame in, const IMAGEPARAM &param)
{
    std::vector<Frame> pages;
    if (in.empty() || in.rgb.size() < in.stride() * size_t(in.height))
        return pages;
    // Turned first, so that a book lying sideways splits across its spine.
    Frame upright = turned(std::move(in), param.nRotate);
    const BookSpread spread = findBookSpread(upright);
    if (!spread.twoPages) {
        pages.push_back(optimisedAndMarked(cropToPage(std::move(upright)), param));
        return pages;
    }
    for (size_t i = 0; i < spread.pages.size(); ++i) {
        const bool outerIsLeft = i == 0;
        Frame page = flattenPage(upright, spread, spread.pages[i], outerIsLeft);
        if (page.empty()) {
            std::printf("orvix: the %s page of the book is too small to flatten\n", outerIsLeft ? "left" : "right");
            continue;
        }
        evenGutterShadow(page);
        cleanOuterMargin(page, outerIsLeft);
        pages.push_back(optimisedAndMarked(std::move(page), param));
    }
    if (pages.empty())
        pages.push_back(optimisedAndMarked(cropToPage(std::move(upright)), param));
    return pages;
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
