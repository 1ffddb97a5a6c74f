// Preview frame rate of the V4L2 path for an 8-megapixel MJPEG camera, with
// full-size and reduced-scale decoding, the wait for a still, and the cost
// of YUYV conversion.
// Frames come from a scripted camera, so the figures are the CPU's limit,
// not the USB link's.
#include "tests/shared/fakev4l2io.h"

#include "camera/camsdk.h"
#include "sdk/jpeg/jpegcodec.h"
#include "sdk/v4l2/v4l2device.h"
#include "sdk/v4l2/v4l2probe.h"
#include "sdk/v4l2/yuyv.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A page of text on a grey desk: what a document camera sees.
std::vector<uint8_t> documentJpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(QColor(90, 80, 70));
    QPainter p(&image);
    const QRect page(width / 8, height / 12, width * 3 / 4, height * 5 / 6);
    p.fillRect(page, QColor(245, 243, 238));
    QFont font = p.font();
    font.setPixelSize(height / 80);
    p.setFont(font);
    p.setPen(Qt::black);
    for (int y = page.top() + height / 30; y < page.bottom() - height / 30; y += height / 55)
        p.drawText(page.left() + width / 30, y, "The quick brown fox jumps over the lazy dog 0123456789 ABCDEFGHIJ");
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);
    return withoutHuffmanTables(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void decodeOnly(const std::vector<uint8_t> &jpeg, int hintW, int hintH, const char *label)
{
    orvix::Frame out;
    orvix::jpeg::decode(jpeg.data(), jpeg.size(), out, hintW, hintH); // warm up
    const int rounds = 8;
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        orvix::jpeg::decode(jpeg.data(), jpeg.size(), out, hintW, hintH);
    const double s = secondsSince(start) / rounds;
    std::printf("  decode only, %-22s %4dx%-4d  %7.1f ms/frame  %5.1f fps\n", label, out.width, out.height, s * 1000,
                1 / s);
}

// A camera that sends the same MJPEG frame over and over.
FakeCamera mjpegCamera(const std::vector<uint8_t> &jpeg, decltype(FakeFormat::discrete) sizes, int frameIntervalMs)
{
    FakeCamera camera;
    camera.nodePath = "/dev/video0";
    FakeFormat mjpeg;
    mjpeg.fourcc = V4L2_PIX_FMT_MJPEG;
    mjpeg.discrete = std::move(sizes);
    camera.formats = {mjpeg};
    FakeEvent frame;
    frame.payload = jpeg;
    camera.script = {frame};
    camera.loopFrames = true;
    camera.frameIntervalMs = frameIntervalMs;
    return camera;
}

void pipeline(const std::vector<uint8_t> &jpeg, int previewLongSide, const char *label)
{
    auto io = std::make_shared<FakeV4l2Io>();
    FakeCamera camera = mjpegCamera(jpeg, {{3264, 2448}}, 0);
    const auto attached = attachDevice(io, camera);
    orvix::V4l2Device &device = *attached;
    device.setPreviewLongSide(previewLongSide);
    device.setResolution(3264, 2448);

    std::atomic<int> frames{0};
    std::atomic<int> width{0}, height{0};
    device.start([&](const orvix::Frame &f) {
        width = f.width;
        height = f.height;
        ++frames;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int before = frames;
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const int counted = frames - before;
    const double s = secondsSince(start);
    device.stop();
    std::printf("  preview pipeline, %-17s %4dx%-4d  %5.1f fps\n", label, width.load(), height.load(), counted / s);
}

// How long a scan waits for its still from an 8-megapixel camera at 15
// frames/s while the preview runs: at once, and right after a size switch
// (stream restart, settling frames, a frame captured after the request).
void stillLatency(const std::vector<uint8_t> &jpeg)
{
    auto io = std::make_shared<FakeV4l2Io>();
    FakeCamera camera = mjpegCamera(jpeg, {{1632, 1224}, {3264, 2448}}, 66);
    camera.dropsWhenNoBuffer = true;
    const auto attached = attachDevice(io, camera);
    orvix::V4l2Device &device = *attached;
    device.setResolution(3264, 2448);
    std::atomic<int> frames{0};
    device.start([&](const orvix::Frame &) { ++frames; });
    while (frames < 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const int rounds = 6;
    double steady = 0, switched = 0;
    for (int i = 0; i < rounds; ++i) {
        orvix::Frame still;
        auto start = Clock::now();
        device.grabStill(still, 5000);
        steady += secondsSince(start);
        device.setResolution(1632, 1224);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        start = Clock::now();
        device.setResolution(3264, 2448);
        device.grabStill(still, 5000);
        switched += secondsSince(start);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    device.stop();
    std::printf("  still while previewing at 15 fps: %4.0f ms; right after a size switch: %4.0f ms\n",
                steady / rounds * 1000, switched / rounds * 1000);
}

void yuyvConversion()
{
    const int w = 1920, h = 1080;
    std::vector<uint8_t> yuyv(static_cast<size_t>(w) * h * 2);
    for (size_t i = 0; i < yuyv.size(); ++i)
        yuyv[i] = static_cast<uint8_t>((i * 7) ^ (i >> 9));
    orvix::Frame out;
    orvix::yuyvToRgb(yuyv.data(), yuyv.size(), w, h, 0, out);
    const int rounds = 100;
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        orvix::yuyvToRgb(yuyv.data(), yuyv.size(), w, h, 0, out);
    const double s = secondsSince(start) / rounds;
    std::printf("  YUYV -> RGB 1920x1080: %.2f ms/frame (%.0f fps, %.0f Mpixel/s), one thread\n", s * 1000, 1 / s,
                w * h / s / 1e6);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for the generated page
    std::printf("V4L2 path on %u hardware threads\n", std::thread::hardware_concurrency());
    const std::vector<uint8_t> jpeg = documentJpeg(3264, 2448);
    std::printf("3264x2448 MJPEG frame without Huffman tables: %zu bytes\n", jpeg.size());
    decodeOnly(jpeg, 0, 0, "full size");
    decodeOnly(jpeg, 1280, 960, "reduced (hint 1280)");
    pipeline(jpeg, 0, "full size");
    pipeline(jpeg, orvix::V4l2Device::kDefaultPreviewLongSide, "reduced (default)");
    stillLatency(jpeg);
    yuyvConversion();
    return 0;
}
