// Page processing figures on a full camera-resolution capture (3264x2448):
// each processing option alone, all together, and the preview outline; the
// faster steps beside the methods they replaced, measured in the same run.
#include "tests/shared/pagescene.h"
#include "tests/shared/referenceprocessing.h"
#include "sdk/jpeg/wholefactorreduce.h"
#include "sdk/page/docoptimiser.h"
#include "sdk/jpeg/jpegcodec.h"
#include "sdk/page/pagedetector.h"
#include "sdk/page/picturepool.h"
#include "sdk/page/previewoutliner.h"
#include "sdk/page/processing.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <unistd.h>
#include <functional>
#include <vector>

namespace {

// The middle of a set of timings: on a shared machine it says more than a mean.
double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Only `work` is timed; `prepare` runs before each run.
double medianMs(int runs, const std::function<void()> &prepare, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return median(std::move(times));
}

double medianMs(int runs, const std::function<void()> &work)
{
    return medianMs(runs, [] {}, work);
}

// Today's method and its replacement run by turns, so that a load that comes
// and goes on a shared machine falls on both alike; medians of each.
struct Pair {
    double today = 0;
    double now = 0;
};

Pair byTurns(int runs, const std::function<void()> &today, const std::function<void()> &prepareNow,
             const std::function<void()> &now)
{
    std::vector<double> a, b;
    for (int i = 0; i < runs; ++i) {
        a.push_back(medianMs(1, today));
        b.push_back(medianMs(1, prepareNow, now));
    }
    return {median(std::move(a)), median(std::move(b))};
}

const char *same(const orvix::Frame &a, const orvix::Frame &b)
{
    return a.width == b.width && a.height == b.height && a.rgb == b.rgb ? "pixel-identical" : "DIFFERENT";
}

// The page moved by (dx, dy) pixels, the uncovered border repeated.
orvix::Frame shifted(const orvix::Frame &f, double dx, double dy)
{
    orvix::Frame out;
    out.allocate(f.width, f.height);
    const cv::Mat m = (cv::Mat_<double>(2, 3) << 1, 0, dx, 0, 1, dy);
    cv::Mat dst = pagescene::asMat(out);
    cv::warpAffine(pagescene::asMat(f), dst, m, dst.size(), cv::INTER_NEAREST, cv::BORDER_REPLICATE);
    return out;
}

// Where a scan's time goes once the still has come: the library's steps in
// turn, as a capture to a JPEG file with cropping on runs them.
void scanSteps(const orvix::Frame &capture)
{
    char folder[] = "/tmp/benchprocessing-XXXXXX";
    if (!mkdtemp(folder))
        return;
    const std::string path = std::string(folder) + "/page.jpg";
    orvix::Frame still, page;
    std::vector<uint8_t> bytes;
    std::vector<double> copy, crop, encode, write;
    for (int i = 0; i < 9; ++i) {
        copy.push_back(medianMs(1, [&] { still = capture; }));
        crop.push_back(medianMs(1, [&] { page = orvix::cropToPage(std::move(still)); }));
        encode.push_back(medianMs(1, [&] { orvix::jpeg::encode(page, 90, bytes, true); }));
        write.push_back(medianMs(1, [&] { orvix::jpeg::writeFileAtomic(path, bytes); }));
    }
    std::printf("a scan's steps after the still came, median of 9: copy of the still %.1f ms, crop %.1f ms, "
                "JPEG with its EXIF preview %.1f ms (%zu bytes), file written and synced %.1f ms\n",
                median(copy), median(crop), median(encode), bytes.size(), median(write));
    std::remove(path.c_str());
    rmdir(folder);
}

// A stream of preview frames: the page lies still (only a small live mark
// moves), is slid across the desk, and lies still again. Every frame goes
// through today's per-frame outline and through the outliner.
void previewStream(const orvix::Frame &still)
{
    const int phase = 30;
    orvix::PreviewOutliner outliner;
    double everyFrame[3] = {0, 0, 0}, outlined[3] = {0, 0, 0};
    long looksBefore = 0, looks[3] = {0, 0, 0};
    orvix::Frame scene = still, a, b;
    for (int i = 0; i < 3 * phase; ++i) {
        const int part = i / phase;
        if (part == 1)
            scene = shifted(still, 6.0 * (i - phase + 1), 3.0 * (i - phase + 1));
        else if (part == 2 && i == 2 * phase)
            scene = shifted(still, 6.0 * phase, 3.0 * phase);
        a = scene;
        cv::Mat view = pagescene::asMat(a);
        const int r = a.height / 60;
        cv::circle(view, cv::Point(r + 30 * i, a.height - 3 * r), r, cv::Scalar(228, 64, 44), cv::FILLED);
        b = a;
        everyFrame[part] += medianMs(1, [&] { orvix::annotatePreview(a); });
        outlined[part] += medianMs(1, [&] { outliner.annotate(b); });
        looks[part] += outliner.looks() - looksBefore;
        looksBefore = outliner.looks();
    }
    const char *names[3] = {"page lying still", "page sliding across", "page still again"};
    double before = 0, after = 0;
    std::printf("preview outline over %d frames of %dx%d, ms per frame (today: the page looked for in every frame):\n",
                3 * phase, still.width, still.height);
    for (int part = 0; part < 3; ++part) {
        std::printf("  %-22s today %6.2f ms, now %6.2f ms (%ld looks in %d frames)\n", names[part],
                    everyFrame[part] / phase, outlined[part] / phase, looks[part], phase);
        before += everyFrame[part];
        after += outlined[part];
    }
    std::printf("  %-22s today %6.2f ms, now %6.2f ms\n", "whole stream", before / (3 * phase), after / (3 * phase));
    orvix::Frame copy;
    std::printf("  (the frame path also copies each frame before drawing on it: %.2f ms)\n",
                medianMs(15, [&] { copy = still; }));
}

// How often the page is found, and how well, over random desks, angles,
// perspectives, light and hands or pens over an edge (1600x1200); today's
// detection and the current one by turns on each scene.
void detectionOnRandomScenes(int count)
{
    struct Tally {
        const char *label;
        orvix::PageDetector detector;
        int found = 0, withinOnePercent = 0;
        double sum = 0, worst = 0, slowest = 0, totalMs = 0;
    } tallies[2] = {{"today's detection (one look at 800)", orvix::PageDetector(800, true, 0)},
                    {"now (a look at 400 first)", orvix::PageDetector()}};
    cv::RNG rng(12345);
    for (int i = 0; i < count; ++i) {
        const pagescene::Setup s = pagescene::randomSetup(rng, unsigned(100 + i));
        const pagescene::Scene scene = pagescene::makeScene(s);
        for (Tally &t : tallies) {
            orvix::Quad q;
            bool ok = false;
            const double ms = medianMs(1, [&] { ok = t.detector.detect(scene.frame, q); });
            t.totalMs += ms;
            t.slowest = std::max(t.slowest, ms);
            if (!ok)
                continue;
            ++t.found;
            const double error = pagescene::relativeCornerError(q, scene.corners);
            t.sum += error;
            t.worst = std::max(t.worst, error);
            if (error < 0.01)
                ++t.withinOnePercent;
        }
    }
    for (const Tally &t : tallies)
        std::printf("%s, random scenes: %d of %d pages found, %d within 1 %% of the diagonal; mean corner error of "
                    "found pages %.4f %%, worst %.3f %%; detection %.1f ms mean, %.1f ms worst\n",
                    t.label, t.found, count, t.withinOnePercent, t.found ? 100 * t.sum / t.found : 0.0,
                    100 * t.worst, t.totalMs / count, t.slowest);
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

    // The faster steps beside today's, on the same capture.
    orvix::Frame work, reference;
    const double copyMs = medianMs(9, [&] { work = frame; });
    std::printf("beside today's methods (frame copy %.2f ms):\n", copyMs);

    const auto nothing = [] {};
    // A capture hands the picture it turned back for the next one to use;
    // so does this run before each turn.
    Pair p = byTurns(9, [&] { reference = reference::rotateFrame(frame, 90); },
                     [&] { orvix::picturepool::give(std::move(out.rgb)); },
                     [&] { out = orvix::rotateFrame(frame, 90); });
    cv::Mat turned;
    const double viaOpenCv = medianMs(9, [&] { cv::rotate(pagescene::asMat(frame), turned, cv::ROTATE_90_CLOCKWISE); });
    std::printf("  %-24s today %6.1f ms, now %6.1f ms (%.1fx the copy; OpenCV's rotate %.1f ms), %s\n",
                "quarter turn", p.today, p.now, p.now / copyMs, viaOpenCv, same(out, reference));

    // The capture hands its picture over; the copy it is made from is not timed.
    p = byTurns(7, [&] { reference = reference::optimiseDocument(frame); }, [&] { work = frame; },
                [&] { out = orvix::optimiseDocument(std::move(work)); });
    std::printf("  %-24s today %6.1f ms, now %6.1f ms, %s\n", "document optimisation", p.today, p.now,
                same(out, reference));

    // Today's detection is one look at an 800-pixel copy (the light fit's
    // faster sums, which change no result, are in both).
    const orvix::PageDetector todaysDetector(800, true, 0), detector;
    orvix::Quad corners, todays;
    p = byTurns(7, [&] { todaysDetector.detect(frame, todays); }, nothing, [&] { detector.detect(frame, corners); });
    std::printf("  %-24s today %6.1f ms, now %6.1f ms, corners %.4f %% and %.4f %% of the diagonal off\n",
                "page detection", p.today, p.now, 100 * pagescene::relativeCornerError(todays, scene.corners),
                100 * pagescene::relativeCornerError(corners, scene.corners));
    p = byTurns(
        7,
        [&] {
            todaysDetector.detect(frame, todays);
            reference = reference::warpPage(frame, todays);
        },
        [&] { work = frame; }, [&] { out = orvix::cropToPage(std::move(work)); });
    std::printf("  %-24s today %6.1f ms, now %6.1f ms -> %dx%d (today %dx%d)\n", "automatic crop", p.today, p.now,
                out.width, out.height, reference.width, reference.height);
    // The warp alone; the picture it fills comes from the pool once a
    // capture has handed its frame back, as at every scan after the first.
    p = byTurns(7, [&] { reference = reference::warpPage(frame, corners); },
                [&] { orvix::picturepool::give(std::move(out.rgb)); },
                [&] { out = orvix::PageDetector::warpPage(frame, corners); });
    std::printf("  %-24s today %6.1f ms, now %6.1f ms (OpenCV's warp into a new picture, then ours)\n",
                "  of it the warp", p.today, p.now);
    // The saved file's preview starts with an area reduction by a whole factor.
    cv::Mat before, after;
    const cv::Mat whole = pagescene::asMat(frame)(cv::Rect(0, 0, frame.width / 10 * 10, frame.height / 10 * 10));
    p = byTurns(9, [&] { cv::resize(whole, before, whole.size() / 10, 0, 0, cv::INTER_AREA); }, nothing,
                [&] { orvix::reduceByWholeFactor(whole, 10, after); });
    std::printf("  %-24s today %6.1f ms, now %6.1f ms, %s\n", "preview reduction by 10", p.today, p.now,
                cv::norm(before, after, cv::NORM_INF) == 0 ? "pixel-identical" : "DIFFERENT");
    orvix::Frame fresh;
    std::printf("  (a copy into a new picture, as every step that makes one pays for its memory: %.1f ms)\n",
                medianMs(7, [&] { fresh = orvix::Frame(); }, [&] { fresh = frame; }));

    scanSteps(frame);
    previewStream(frame);
    detectionOnRandomScenes(60);
    return 0;
}
