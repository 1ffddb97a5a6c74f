// Page processing figures on a full camera-resolution capture (3264x2448):
// each processing option alone, all together, and the preview outline.
#include "../tests/pagescene.h"
#include "jpegcodec.h"
#include "pagedetector.h"
#include "processing.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// How often the page is found, and how well, over random desks, angles,
// perspectives, light and hands or pens over an edge (1600x1200).
void detectionOnRandomScenes(int count)
{
    cv::RNG rng(12345);
    int found = 0, withinOnePercent = 0;
    double sum = 0, worst = 0, slowest = 0, totalMs = 0;
    for (int i = 0; i < count; ++i) {
        const pagescene::Setup s = pagescene::randomSetup(rng, unsigned(100 + i));
        const pagescene::Scene scene = pagescene::makeScene(s);
        orvix::Quad q;
        bool ok = false;
        const double ms = medianMs(1, [&] { ok = orvix::PageDetector().detect(scene.frame, q); });
        totalMs += ms;
        slowest = std::max(slowest, ms);
        if (!ok)
            continue;
        ++found;
        const double error = pagescene::relativeCornerError(q, scene.corners);
        sum += error;
        worst = std::max(worst, error);
        if (error < 0.01)
            ++withinOnePercent;
    }
    std::printf("random scenes: %d of %d pages found, %d within 1 %% of the diagonal; "
                "mean corner error of found pages %.3f %%, worst %.3f %%; detection %.1f ms mean, %.1f ms worst\n",
                found, count, withinOnePercent, found ? 100 * sum / found : 0.0, 100 * worst, totalMs / count, slowest);
}

} // namespace

int main()
{
    pagescene::Setup setup;
    setup.width = 3264;
    setup.height = 2448;
    setup.pageWidth = 1560;
    setup.pageHeight = 2060;
    setup.angle = 7;
    setup.keystone = 0.04;
    setup.jitter = 0.02;
    setup.lightFalloff = 0.3;
    setup.seed = 12;
    const pagescene::Scene scene = pagescene::makeScene(setup);
    const orvix::Frame &frame = scene.frame;
    std::printf("page processing, %dx%d capture, median of 5 runs\n", frame.width, frame.height);

    IMAGEPARAM none = {};
    IMAGEPARAM rotate = none;
    rotate.nRotate = 90;
    IMAGEPARAM optimise = none;
    optimise.bIsTextEn = true;
    char text[] = "Quillo 文档 2026-12-07";
    IMAGEPARAM water = none;
    water.bIsWater = true;
    water.nR = 200;
    water.szWaterContent = text;
    IMAGEPARAM all = optimise;
    all.nRotate = 90;
    all.bIsWater = true;
    all.nR = 200;
    all.szWaterContent = text;

    orvix::Frame out;
    struct Case {
        const char *name;
        const IMAGEPARAM *param;
        bool crop;
    } cases[] = {{"nothing (copy)", &none, false},    {"automatic crop", &none, true},
                 {"rotate 90", &rotate, false},       {"document optimisation", &optimise, false},
                 {"watermark", &water, false},        {"all four", &all, true}};
    for (const Case &c : cases) {
        const double ms = medianMs(5, [&] { out = orvix::processCapture(frame, *c.param, c.crop); });
        std::printf("  %-24s %8.1f ms  -> %dx%d\n", c.name, ms, out.width, out.height);
    }

    orvix::Quad corners;
    std::printf("  %-24s %8.1f ms\n", "page detection only",
                medianMs(5, [&] { orvix::PageDetector().detect(frame, corners); }));

    std::vector<uint8_t> jpeg;
    const IMAGEPARAM &allParam = all;
    const double withEncode = medianMs(3, [&] {
        out = orvix::processCapture(frame, allParam, true);
        orvix::jpeg::encode(out, 90, jpeg);
    });
    if (jpeg.empty())
        std::printf("  %-24s (JPEG encoder unavailable)\n", "all four + encode");
    else
        std::printf("  %-24s %8.1f ms  (%zu bytes)\n", "all four + encode", withEncode, jpeg.size());

    orvix::Frame preview;
    const double annotate = medianMs(31, [&] {
        preview = frame;
        orvix::annotatePreview(preview);
    });
    const double copyOnly = medianMs(31, [&] { preview = frame; });
    std::printf("preview outline: %.1f ms per %dx%d frame (of which %.1f ms is the test's frame copy)\n", annotate,
                frame.width, frame.height, copyOnly);
    detectionOnRandomScenes(60);
    return 0;
}
