// Figures for the camera library at the largest simulated resolution:
// decoding (whole, scaled for a 200-pixel hint, from the embedded preview),
// encoding, rotation, and simulated frame production.
#include "sdk/backend.h"
#include "camera/camsdk.h"
#include "sdk/jpeg/jpegcodec.h"
#include "sdk/page/processing.h"
#include "sdk/simulated/simulateddevice.h"
#include "sdk/simulated/simulatedscene.h"
#include "sdk/simulated/simulatedspec.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

using namespace orvix;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 3264;
constexpr int kHeight = 2448;

// Milliseconds per run, the best of `runs` (least disturbed by other work).
double bestMs(int runs, const std::function<void()> &work)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        work();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return best;
}

// Camera pictures carry sensor noise; a flat synthetic page would flatter the codec.
Frame photoLikePage()
{
    Frame f = renderDeskScene(kWidth, kHeight);
    uint32_t seed = 99;
    for (uint8_t &b : f.rgb) {
        seed = seed * 1664525u + 1013904223u;
        const int v = b + int((seed >> 24) % 9) - 4;
        b = uint8_t(std::clamp(v, 0, 255));
    }
    return f;
}

} // namespace

int main()
{
    const Frame page = photoLikePage();
    std::vector<uint8_t> plain, withPreview;
    jpeg::encode(page, 90, plain, false);
    jpeg::encode(page, 90, withPreview, true);
    std::printf("JPEG of %dx%d at quality 90: %.0f KiB (%.0f KiB with the embedded preview)\n",
                kWidth, kHeight, plain.size() / 1024.0, withPreview.size() / 1024.0);

    Frame out;
    const double full = bestMs(5, [&] { jpeg::decode(plain.data(), plain.size(), out); });
    std::printf("decode whole:                 %7.1f ms -> %dx%d\n", full, out.width, out.height);
    const double scaled = bestMs(5, [&] { jpeg::decode(plain.data(), plain.size(), out, 200, 200); });
    std::printf("decode with 200x200 hint:     %7.1f ms -> %dx%d (%.1fx faster than whole)\n", scaled,
                out.width, out.height, full / scaled);
    const double preview =
        bestMs(20, [&] { jpeg::decode(withPreview.data(), withPreview.size(), out, 200, 200); });
    std::printf("decode via embedded preview:  %7.1f ms -> %dx%d (%.1fx faster than whole)\n", preview,
                out.width, out.height, full / preview);

    std::vector<uint8_t> bytes;
    const double enc = bestMs(5, [&] { jpeg::encode(page, 90, bytes, false); });
    const double encPreview = bestMs(5, [&] { jpeg::encode(page, 90, bytes, true); });
    std::printf("encode q90:                   %7.1f ms (%.1f ms with preview)\n", enc, encPreview);

    const double turn = bestMs(5, [&] { out = rotateFrame(page, 90); });
    std::printf("rotate 90:                    %7.1f ms\n", turn);

    const double render = bestMs(3, [&] { out = renderDeskScene(kWidth, kHeight); });
    std::printf("render static desk scene:     %7.1f ms (once per resolution)\n", render);
    const Frame still = renderDeskScene(kWidth, kHeight);
    Frame live = still;
    LiveMarks marks;
    uint64_t n = 0;
    const int frames = 200;
    const double marksMs = bestMs(1, [&] {
        for (int i = 0; i < frames; ++i)
            marks.paint(live, still, n++);
    }) / frames;
    std::printf("paint live marks per frame:   %7.3f ms -> at most %.0f frames/s\n", marksMs,
                1000.0 / marksMs);

    std::vector<std::string> problems;
    SimulatedDevice device(parseSimulatedCameras("Bench|3264x2448|", problems).front());
    std::atomic<int> delivered{0};
    device.start([&](const Frame &) { ++delivered; });
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // scene rendered, pace settled
    const int before = delivered;
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const int after = delivered;
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    device.stop();
    std::printf("simulated device delivery:    %7.1f frames/s at %dx%d (target 15)\n",
                (after - before) / seconds, kWidth, kHeight);
    return 0;
}
