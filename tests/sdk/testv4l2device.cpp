// Streaming from scripted cameras: decoding, damaged frames, unplugging,
// stopping from other threads and from inside the frame callback, stills.
#include "tests/shared/fakesysfs.h"
#include "tests/shared/fakev4l2io.h"

#include "camera/camsdk.h"
#include "sdk/jpeg/jpegcodec.h"
#include "sdk/lasterror.h"
#include "sdk/v4l2/v4l2backend.h"
#include "sdk/v4l2/v4l2device.h"
#include "sdk/v4l2/v4l2probe.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using orvix::Frame;
using orvix::Resolution;
using orvix::V4l2Device;

namespace {

const char *const kNode = "/dev/video0";

struct Seen {
    int width = 0;
    int height = 0;
    int r = 0, g = 0, b = 0; // at the left quarter, middle row
};

// Collects what the sink receives, from the delivery thread.
class FrameLog
{
public:
    void add(const Frame &frame)
    {
        Seen s;
        s.width = frame.width;
        s.height = frame.height;
        if (!frame.empty()) {
            const uint8_t *p = frame.row(frame.height / 2) + (frame.width / 4) * 3;
            s.r = p[0];
            s.g = p[1];
            s.b = p[2];
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_frames.push_back(s);
        m_changed.notify_all();
    }
    bool waitFor(size_t count, int timeoutMs = 3000)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_frames.size() >= count; });
    }
    std::vector<Seen> frames() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }
    size_t count() const { return frames().size(); }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Seen> m_frames;
};

FakeFormat format(uint32_t fourcc, std::vector<std::pair<int, int>> sizes)
{
    FakeFormat f;
    f.fourcc = fourcc;
    f.discrete = std::move(sizes);
    return f;
}

FakeEvent frameEvent(std::vector<uint8_t> payload, FakeEvent::Kind kind = FakeEvent::Frame)
{
    FakeEvent e;
    e.kind = kind;
    e.payload = std::move(payload);
    return e;
}

FakeEvent plainEvent(FakeEvent::Kind kind)
{
    FakeEvent e;
    e.kind = kind;
    return e;
}

const uint8_t kRed[3] = {81, 90, 240};   // Y, U, V
const uint8_t kBlue[3] = {41, 240, 110};

std::vector<uint8_t> yuyv(const uint8_t yuv[3], int width = 64, int height = 48)
{
    return yuyvFrame(width, height, yuv[0], yuv[1], yuv[2]);
}

// Red left half, blue right half: colours that survive JPEG at any scale.
std::vector<uint8_t> jpegPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, width / 2, height, Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

FakeCamera yuyvCamera(std::vector<FakeEvent> script, bool loop = false)
{
    FakeCamera camera;
    camera.nodePath = kNode;
    camera.formats = {format(V4L2_PIX_FMT_YUYV, {{64, 48}, {32, 24}})};
    camera.script = std::move(script);
    camera.loopFrames = loop;
    return camera;
}

FakeCamera mjpegCamera(std::vector<FakeEvent> script, bool loop = false)
{
    FakeCamera camera;
    camera.nodePath = kNode;
    camera.formats = {format(V4L2_PIX_FMT_MJPEG, {{640, 480}})};
    camera.script = std::move(script);
    camera.loopFrames = loop;
    camera.frameIntervalMs = 5;
    return camera;
}

bool isRed(const Seen &s) { return s.r > 200 && s.g < 60 && s.b < 60; }
bool isBlue(const Seen &s) { return s.b > 200 && s.r < 60 && s.g < 60; }

// A frame of this colour at whatever size the camera streams.
FakeEvent colourEvent(const uint8_t yuv[3])
{
    FakeEvent e;
    e.yuyvColour = true;
    std::copy(yuv, yuv + 3, e.yuv);
    return e;
}

Seen seenOf(const Frame &frame)
{
    FrameLog one;
    one.add(frame);
    return one.frames().front();
}

// Takes a still on a thread of its own, as the scan's save worker does.
int stillFromAnotherThread(V4l2Device &device, Frame &still, int timeoutMs = 5000)
{
    int rc = ORVIX_E_STATE;
    std::thread scan([&] { rc = device.grabStill(still, timeoutMs); });
    scan.join();
    return rc;
}

size_t countIf(const std::vector<Seen> &frames, bool (*test)(const Seen &))
{
    return static_cast<size_t>(std::count_if(frames.begin(), frames.end(), test));
}

} // namespace

class TestV4l2Device : public QObject
{
    Q_OBJECT
private slots:
    void yuyvFrames();
    void mjpegFrames_data();
    void mjpegFrames();
    void reducedPreviewFullStill();
    void damagedFramesSkipped();
    void lastingIoErrorsRestartTheStream();
    void undecodableFramesSkipped();
    void unplugMidStream_data();
    void unplugMidStream();
    void replugged();
    void stopWhileSinkIsSlow();
    void stopFromInsideSink();
    void stillWithoutFramesFails();
    void stillWithoutPreview();
    void resolutionChangeWhileStreaming();
    void stillAfterSwitchHasTheAskedSize();
    void stillIsSettledAndFresh_data();
    void stillIsSettledAndFresh();
    void wrongSizeFrameIsNoStill();
    void watchdogRestartsTheStream_data();
    void watchdogRestartsTheStream();
    void replugFoundByIdentity_data();
    void replugFoundByIdentity();
    void failedStarts_data();
    void failedStarts();
    void stopDoesNotWaitForAPendingStill();
};

void TestV4l2Device::yuyvFrames()
{
    auto io = std::make_shared<FakeV4l2Io>();
    {
        FakeCamera camera = yuyvCamera({frameEvent(yuyv(kRed)), frameEvent(yuyv(kBlue))});
        camera.powerLineItems = 0xf; // off, 50 Hz, 60 Hz, automatic
        auto device = attachDevice(io, camera);
        QCOMPARE(device->setResolution(64, 48), int(ORVIX_OK));
        // Automatic where offered, so 50 Hz lamps do not band the picture.
        QCOMPARE(io->powerLine(kNode), int(V4L2_CID_POWER_LINE_FREQUENCY_AUTO));
        QCOMPARE(device->setFormat(0), int(ORVIX_OK));
        FrameLog log;
        QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
        QVERIFY(log.waitFor(2));
        device->stop();
        const auto frames = log.frames();
        QCOMPARE(frames.size(), size_t(2));
        QCOMPARE(frames[0].width, 64);
        QCOMPARE(frames[0].height, 48);
        QVERIFY(isRed(frames[0]));
        QVERIFY(isBlue(frames[1]));
        QCOMPARE(io->liveMappings(), 0);
    }
    QCOMPARE(io->openDescriptors(), 0);
}

void TestV4l2Device::mjpegFrames_data()
{
    QTest::addColumn<bool>("huffmanTables");
    QTest::newRow("with Huffman tables") << true;
    QTest::newRow("without Huffman tables") << false;
}

void TestV4l2Device::mjpegFrames()
{
    QFETCH(bool, huffmanTables);
    std::vector<uint8_t> jpeg = jpegPicture(640, 480);
    if (!huffmanTables) {
        const size_t before = jpeg.size();
        jpeg = withoutHuffmanTables(jpeg);
        QVERIFY(jpeg.size() < before); // the tables really are gone
    }
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, mjpegCamera({frameEvent(jpeg)}));
    device->setPreviewLongSide(0);
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(1));
    device->stop();
    const auto frames = log.frames();
    QCOMPARE(frames.size(), size_t(1));
    QCOMPARE(frames[0].width, 640);
    QCOMPARE(frames[0].height, 480);
    QVERIFY2(isRed(frames[0]), qPrintable(QString("%1,%2,%3").arg(frames[0].r).arg(frames[0].g).arg(frames[0].b)));
}

void TestV4l2Device::reducedPreviewFullStill()
{
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, mjpegCamera({frameEvent(withoutHuffmanTables(jpegPicture(640, 480)))}, true));
    device->setPreviewLongSide(320);
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(1));
    QCOMPARE(log.frames()[0].width, 320);
    QCOMPARE(log.frames()[0].height, 240);

    Frame still;
    QCOMPARE(device->grabStill(still, 3000), int(ORVIX_OK));
    QCOMPARE(still.width, 640);
    QCOMPARE(still.height, 480);
    const uint8_t *left = still.row(240) + 100 * 3;
    const uint8_t *right = still.row(240) + 540 * 3;
    QVERIFY(left[0] > 200 && left[2] < 60);
    QVERIFY(right[2] > 200 && right[0] < 60);

    // The preview goes on, reduced again.
    const size_t seen = log.count();
    QVERIFY(log.waitFor(seen + 2));
    QCOMPARE(log.frames().back().width, 320);
    device->stop();
}

void TestV4l2Device::damagedFramesSkipped()
{
    // More flagged buffers than the stream has: each must be handed back,
    // or the stream would starve before the blue frame.
    std::vector<FakeEvent> script{frameEvent(yuyv(kRed))};
    for (int i = 0; i < 6; ++i)
        script.push_back(frameEvent(yuyv(kBlue), FakeEvent::ErrorBuffer));
    for (int i = 0; i < 3; ++i)
        script.push_back(plainEvent(FakeEvent::Eio));
    script.push_back(frameEvent(yuyv(kBlue, 64, 20))); // short: fewer bytes than a frame
    script.push_back(frameEvent(yuyv(kBlue)));
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, yuyvCamera(script));
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(2));
    QTRY_VERIFY(io->scriptDone(kNode));
    QTest::qWait(50);
    device->stop();
    const auto frames = log.frames();
    QCOMPARE(frames.size(), size_t(2));
    QVERIFY(isRed(frames[0]));
    QVERIFY(isBlue(frames[1]));
}

void TestV4l2Device::lastingIoErrorsRestartTheStream()
{
    std::vector<FakeEvent> script{frameEvent(yuyv(kRed))};
    for (int i = 0; i < 25; ++i)
        script.push_back(plainEvent(FakeEvent::Eio));
    script.push_back(frameEvent(yuyv(kBlue)));
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, yuyvCamera(script));
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(2));
    device->stop();
    QCOMPARE(io->streamOnCount(kNode), 2);
    const auto frames = log.frames();
    QCOMPARE(frames.size(), size_t(2));
    QVERIFY(isBlue(frames[1]));
    QCOMPARE(io->liveMappings(), 0);
}

void TestV4l2Device::undecodableFramesSkipped()
{
    const std::vector<uint8_t> good = jpegPicture(640, 480);
    std::vector<uint8_t> truncated(good.begin(), good.begin() + static_cast<long>(good.size() / 3));
    const std::vector<uint8_t> garbage(5000, 0x5a);
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, mjpegCamera({frameEvent(garbage), frameEvent(truncated), frameEvent(good),
                                                frameEvent({}), frameEvent(good)}));
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(2));
    QTRY_VERIFY(io->scriptDone(kNode));
    QTest::qWait(50);
    device->stop();
    const auto frames = log.frames();
    QCOMPARE(frames.size(), size_t(2));
    for (const Seen &s : frames)
        QVERIFY(isRed(s));
}

void TestV4l2Device::unplugMidStream_data()
{
    QTest::addColumn<bool>("whileWaiting");
    QTest::newRow("dequeue reports ENODEV") << false;
    QTest::newRow("unplugged while waiting for a frame") << true;
}

void TestV4l2Device::unplugMidStream()
{
    QFETCH(bool, whileWaiting);
    std::vector<FakeEvent> script{frameEvent(yuyv(kRed)), frameEvent(yuyv(kRed)), frameEvent(yuyv(kRed))};
    if (!whileWaiting)
        script.push_back(plainEvent(FakeEvent::Unplug));
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, yuyvCamera(script));
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(3));
    if (whileWaiting) {
        QTRY_VERIFY(io->scriptDone(kNode));
        io->unplug(kNode);
    }
    // The device lets go of the node once it notices.
    QTRY_COMPARE_WITH_TIMEOUT(io->openDescriptors(), 0, 3000);
    QCOMPARE(io->liveMappings(), 0);

    QElapsedTimer timer;
    timer.start();
    device->stop();
    QVERIFY2(timer.elapsed() < 2000, "stop hung after the camera went away");
    QCOMPARE(log.count(), size_t(3));

    Frame still;
    QVERIFY(device->grabStill(still, 500) != ORVIX_OK);
    QVERIFY(still.empty());
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_E_NODEVICE));
    QCOMPARE(io->openDescriptors(), 0);
}

void TestV4l2Device::replugged()
{
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, yuyvCamera({frameEvent(yuyv(kRed))}, true));
    // Unplugged and back while idle, with the node already open for a setting.
    QCOMPARE(device->setResolution(64, 48), int(ORVIX_OK));
    io->unplug(kNode);
    io->replug(kNode);
    QCOMPARE(device->setResolution(64, 48), int(ORVIX_OK));
    io->unplug(kNode);
    io->replug(kNode);
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(1));

    // Unplugged while streaming, back again: the next start works.
    io->unplug(kNode);
    QTRY_COMPARE_WITH_TIMEOUT(io->openDescriptors(), 0, 3000);
    device->stop();
    io->replug(kNode);
    const size_t before = log.count();
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(before + 1));
    device->stop();
    QCOMPARE(io->openDescriptors(), 0);
    QCOMPARE(io->liveMappings(), 0);
}

void TestV4l2Device::stopWhileSinkIsSlow()
{
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, yuyvCamera({frameEvent(yuyv(kRed))}, true));
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false}, returned{false};
    QCOMPARE(device->start([&](const Frame &) {
                 if (++calls == 1) {
                     inside = true;
                     std::this_thread::sleep_for(std::chrono::milliseconds(300));
                     returned = true;
                 }
             }),
             int(ORVIX_OK));
    QTRY_VERIFY(inside.load());
    bool returnedBeforeStop = false;
    int callsAtStop = 0;
    std::thread stopper([&] {
        device->stop();
        returnedBeforeStop = returned.load();
        callsAtStop = calls.load();
    });
    stopper.join();
    QVERIFY2(returnedBeforeStop, "stop returned while the sink was still running");
    QTest::qWait(50);
    QCOMPARE(calls.load(), callsAtStop);
    QCOMPARE(io->liveMappings(), 0);
}

void TestV4l2Device::stopFromInsideSink()
{
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, yuyvCamera({frameEvent(yuyv(kRed))}, true));
    std::atomic<int> calls{0};
    std::atomic<bool> stopReturned{false};
    QCOMPARE(device->start([&](const Frame &) {
                 if (++calls == 2) {
                     device->stop();
                     stopReturned = true;
                 }
             }),
             int(ORVIX_OK));
    QTRY_VERIFY_WITH_TIMEOUT(stopReturned.load(), 3000);
    QTest::qWait(50);
    QCOMPARE(calls.load(), 2);

    // The capture can start again afterwards.
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(1));
    device->stop();
    QCOMPARE(calls.load(), 2);
    QCOMPARE(io->liveMappings(), 0);
}

void TestV4l2Device::stillWithoutFramesFails()
{
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, yuyvCamera({}));
    Frame still;
    // Not previewing: a stream is opened for the still and closed again.
    QCOMPARE(device->grabStill(still, 200), int(ORVIX_E_IO));
    QVERIFY(still.empty());
    QCOMPARE(io->liveMappings(), 0);

    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QCOMPARE(device->grabStill(still, 200), int(ORVIX_E_IO));
    QVERIFY(still.empty());
    device->stop();
    QCOMPARE(log.count(), size_t(0));
}

void TestV4l2Device::stillWithoutPreview()
{
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, yuyvCamera({frameEvent(yuyv(kBlue))}, true));
    Frame still;
    QCOMPARE(device->grabStill(still, 2000), int(ORVIX_OK));
    QCOMPARE(still.width, 64);
    QCOMPARE(still.height, 48);
    QCOMPARE(int(still.row(10)[2]) > 200, true);
    QCOMPARE(io->liveMappings(), 0);
    QCOMPARE(io->streamOnCount(kNode), 1);
}

void TestV4l2Device::resolutionChangeWhileStreaming()
{
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, yuyvCamera({frameEvent(yuyv(kRed))}, true));
    QCOMPARE(device->setResolution(64, 48), int(ORVIX_OK));
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(1));
    QCOMPARE(log.frames()[0].width, 64);

    QCOMPARE(device->setResolution(32, 24), int(ORVIX_OK));
    QTRY_VERIFY(log.frames().back().width == 32);
    QCOMPARE(log.frames().back().height, 24);
    QCOMPARE(io->streamOnCount(kNode), 2);

    // Asking again for what is streaming does not restart the stream.
    QCOMPARE(device->setResolution(32, 24), int(ORVIX_OK));
    QCOMPARE(device->setFormat(0), int(ORVIX_OK));
    const size_t seen = log.count();
    QVERIFY(log.waitFor(seen + 3));
    QCOMPARE(io->streamOnCount(kNode), 2);
    device->stop();
}

void TestV4l2Device::stillAfterSwitchHasTheAskedSize()
{
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, yuyvCamera({colourEvent(kRed)}, true));
    QCOMPARE(device->setResolution(32, 24), int(ORVIX_OK));
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(1));
    int wrongSize = 0;
    for (int i = 0; i < 20; ++i) {
        const Resolution asked = i % 2 == 0 ? Resolution{64, 48} : Resolution{32, 24};
        QCOMPARE(device->setResolution(asked.width, asked.height), int(ORVIX_OK));
        Frame still;
        QCOMPARE(stillFromAnotherThread(*device, still), int(ORVIX_OK));
        if (still.width != asked.width || still.height != asked.height)
            ++wrongSize;
        QVERIFY(isRed(seenOf(still)));
    }
    QCOMPARE(wrongSize, 0);
    const size_t seen = log.count();
    QVERIFY(log.waitFor(seen + 2)); // the preview goes on
    device->stop();
    QCOMPARE(io->liveMappings(), 0);
}

void TestV4l2Device::stillIsSettledAndFresh_data()
{
    QTest::addColumn<bool>("preview");
    QTest::addColumn<bool>("switchFirst");
    QTest::addColumn<bool>("slowPreview");
    QTest::newRow("dark first frames, no preview") << false << false << false;
    QTest::newRow("dark first frames after a size switch") << true << true << false;
    QTest::newRow("old frames queued behind a slow preview") << true << false << true;
}

// The scene turns from red to blue just before the still is asked for: the
// still must be blue, never a dark settling frame, never one of the red
// frames waiting in the driver's buffers.
void TestV4l2Device::stillIsSettledAndFresh()
{
    QFETCH(bool, preview);
    QFETCH(bool, switchFirst);
    QFETCH(bool, slowPreview);
    FakeCamera camera = yuyvCamera({colourEvent(kRed)}, true);
    camera.darkFramesAfterStart = 2;
    camera.dropsWhenNoBuffer = true;
    camera.frameIntervalMs = 20;
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, camera);
    QCOMPARE(device->setResolution(64, 48), int(ORVIX_OK));
    FrameLog log;
    if (preview) {
        QCOMPARE(device->start([&](const Frame &f) {
                     log.add(f);
                     if (slowPreview)
                         std::this_thread::sleep_for(std::chrono::milliseconds(150));
                 }),
                 int(ORVIX_OK));
        QVERIFY(log.waitFor(4));
    }
    if (switchFirst)
        QCOMPARE(device->setResolution(32, 24), int(ORVIX_OK));
    io->replaceScript(kNode, {colourEvent(kBlue)}, true);
    Frame still;
    QCOMPARE(stillFromAnotherThread(*device, still), int(ORVIX_OK));
    const Seen s = seenOf(still);
    QVERIFY2(isBlue(s), qPrintable(QString("still %1,%2,%3").arg(s.r).arg(s.g).arg(s.b)));
    QCOMPARE(still.width, switchFirst ? 32 : 64);
    device->stop();
    if (preview)
        QVERIFY(countIf(log.frames(), isRed) > 0); // the preview showed frames as they came
    QCOMPARE(io->liveMappings(), 0);
}

void TestV4l2Device::wrongSizeFrameIsNoStill()
{
    // The camera keeps sending 32x24 pictures although 64x48 was agreed.
    FakeCamera camera = mjpegCamera({frameEvent(jpegPicture(32, 24))}, true);
    camera.formats = {format(V4L2_PIX_FMT_MJPEG, {{64, 48}, {32, 24}})};
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, camera);
    QCOMPARE(device->setResolution(64, 48), int(ORVIX_OK));
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(3));
    Frame still;
    QCOMPARE(device->grabStill(still, 600), int(ORVIX_E_IO));
    QVERIFY(still.empty());
    QVERIFY(QString(orvix::lastError()).contains("another size"));

    io->replaceScript(kNode, {frameEvent(jpegPicture(64, 48))}, true);
    QCOMPARE(device->grabStill(still, 5000), int(ORVIX_OK));
    QCOMPARE(still.width, 64);
    QCOMPARE(still.height, 48);
    device->stop();
}

void TestV4l2Device::watchdogRestartsTheStream_data()
{
    QTest::addColumn<int>("incident");
    QTest::addColumn<bool>("recovers");
    QTest::newRow("the camera goes silent") << int(FakeEvent::Silence) << true;
    QTest::newRow("a sticky queue error") << int(FakeEvent::StickyError) << true;
    QTest::newRow("the kernel stops the queue") << int(FakeEvent::QueueStopped) << true;
    QTest::newRow("silent for good") << int(FakeEvent::Silence) << false;
}

void TestV4l2Device::watchdogRestartsTheStream()
{
    QFETCH(int, incident);
    QFETCH(bool, recovers);
    std::vector<FakeEvent> script{colourEvent(kRed), colourEvent(kRed), plainEvent(FakeEvent::Kind(incident))};
    if (recovers) {
        for (int i = 0; i < 3; ++i)
            script.push_back(colourEvent(kBlue));
    }
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, yuyvCamera(script));
    device->setWatchdogMs(300);
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    if (recovers) {
        // Frames done before the incident may be lost with the queue.
        QTRY_COMPARE_WITH_TIMEOUT(countIf(log.frames(), isBlue), size_t(3), 15000);
        QVERIFY(io->streamOnCount(kNode) >= 2);
    } else {
        // Bounded: the device gives up and lets go of the camera.
        QTRY_COMPARE_WITH_TIMEOUT(io->openDescriptors(), 0, 30000);
        const int restarts = io->streamOnCount(kNode);
        QVERIFY2(restarts >= 3 && restarts <= 10, qPrintable(QString::number(restarts)));
        QTest::qWait(500);
        QCOMPARE(io->streamOnCount(kNode), restarts);
        QCOMPARE(log.count(), size_t(2));
    }
    device->stop();
    QCOMPARE(io->liveMappings(), 0);
    QCOMPARE(io->openDescriptors(), 0);
}

void TestV4l2Device::replugFoundByIdentity_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("newNode");
    QTest::addColumn<QString>("newPort");
    QTest::addColumn<bool>("strangerOnOldNode");
    QTest::newRow("same node") << "" << "video0" << "1-2" << false;
    QTest::newRow("another node number") << "" << "video3" << "1-2" << false;
    QTest::newRow("another port, known by its serial") << "A1" << "video5" << "1-4" << false;
    QTest::newRow("a stranger takes the old node") << "A1" << "video1" << "1-4" << true;
    QTest::newRow("a stranger on the old node, no serial") << "" << "video1" << "1-2" << true;
}

void TestV4l2Device::replugFoundByIdentity()
{
    QFETCH(QString, serial);
    QFETCH(QString, newNode);
    QFETCH(QString, newPort);
    QFETCH(bool, strangerOnOldNode);
    FakeSysfs sysfs;
    QVERIFY(sysfs.valid());
    auto io = std::make_shared<FakeV4l2Io>();
    FakeCamera ours = yuyvCamera({colourEvent(kRed)}, true);
    ours.card = "Tarvo T5";
    io->addCamera(ours);
    sysfs.addNode("video0", "1-2", "3c2e", "0007", serial.toStdString());
    auto devices = orvix::makeV4l2Backend(io, sysfs.root(), "/dev")->enumerate();
    QCOMPARE(devices.size(), size_t(1));
    auto *device = dynamic_cast<V4l2Device *>(devices[0].get());
    QVERIFY(device);
    device->setWatchdogMs(300);
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(2));

    io->unplug(kNode);
    sysfs.removeNode("video0");
    QTRY_COMPARE_WITH_TIMEOUT(io->openDescriptors(), 0, 5000);
    if (strangerOnOldNode) {
        // Same model, other unit, on our old node (and port, when we have
        // no serial to tell them apart by, on another one).
        FakeCamera stranger = yuyvCamera({colourEvent(kBlue)}, true);
        io->addCamera(stranger);
        sysfs.addNode("video0", serial.isEmpty() ? "1-3" : "1-2", "3c2e", "0007", serial.isEmpty() ? "" : "B2");
        QTest::qWait(1000); // several looks for our camera
        QCOMPARE(countIf(log.frames(), isBlue), size_t(0));
    }
    const size_t before = log.count();
    ours.nodePath = "/dev/" + newNode.toStdString();
    if (newNode == "video0")
        io->replug(kNode);
    else
        io->addCamera(ours);
    sysfs.addNode(newNode.toStdString(), newPort.toStdString(), "3c2e", "0007", serial.toStdString());
    QVERIFY2(log.waitFor(before + 3, 15000), "the preview did not resume by itself");
    // Started afresh, it opens the camera where it is now.
    device->stop();
    const size_t stopped = log.count();
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    QVERIFY(log.waitFor(stopped + 2));
    device->stop();
    QCOMPARE(countIf(log.frames(), isBlue), size_t(0));
    QCOMPARE(io->openDescriptors(), 0);
    QCOMPARE(io->liveMappings(), 0);
}

void TestV4l2Device::failedStarts_data()
{
    QTest::addColumn<QList<int>>("streamOnErrors");
    QTest::addColumn<QList<int>>("setFormatErrors");
    QTest::addColumn<bool>("otherProgramStreams");
    QTest::addColumn<bool>("starts");
    QTest::newRow("USB bandwidth short for a moment") << QList<int>{ENOSPC, ENOSPC} << QList<int>{} << false << true;
    QTest::newRow("format refused by a busy link") << QList<int>{} << QList<int>{EIO, ETIMEDOUT} << false << true;
    QTest::newRow("protocol errors that last") << QList<int>{EPROTO, EPROTO, EPROTO, EPROTO, EPROTO, EPROTO}
                                               << QList<int>{} << false << false;
    QTest::newRow("another program streams") << QList<int>{} << QList<int>{} << true << false;
}

void TestV4l2Device::failedStarts()
{
    QFETCH(QList<int>, streamOnErrors);
    QFETCH(QList<int>, setFormatErrors);
    QFETCH(bool, otherProgramStreams);
    QFETCH(bool, starts);
    FakeCamera camera = yuyvCamera({colourEvent(kRed)}, true);
    camera.streamOnErrors.assign(streamOnErrors.begin(), streamOnErrors.end());
    camera.setFormatErrors.assign(setFormatErrors.begin(), setFormatErrors.end());
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, camera);
    // The other program opens the same node through its own descriptor.
    orvix::V4l2DeviceInfo info;
    info.nodePath = kNode;
    info.name = "other program";
    info.accessible = true;
    info.formats = {{V4L2_PIX_FMT_YUYV, "YUYV", {{64, 48}}}};
    V4l2Device other(io, info);
    FrameLog otherLog;
    if (otherProgramStreams) {
        QCOMPARE(other.start([&](const Frame &f) { otherLog.add(f); }), int(ORVIX_OK));
        QVERIFY(otherLog.waitFor(1));
    }
    FrameLog log;
    const int rc = device->start([&](const Frame &f) { log.add(f); });
    if (starts) {
        QCOMPARE(rc, int(ORVIX_OK));
        QVERIFY(log.waitFor(2));
    } else {
        QCOMPARE(rc, int(otherProgramStreams ? ORVIX_E_BUSY : ORVIX_E_IO));
        QVERIFY(QString(orvix::lastError()).contains(otherProgramStreams ? "in use" : "Protocol error"));
        // Closed after the failure; the other program streams on.
        QCOMPARE(io->openDescriptors(), otherProgramStreams ? 1 : 0);
        if (otherProgramStreams) {
            const size_t seen = otherLog.count();
            QVERIFY(otherLog.waitFor(seen + 2));
        }
    }
    device->stop();
    other.stop();
    QCOMPARE(io->openDescriptors(), 0);
}

void TestV4l2Device::stopDoesNotWaitForAPendingStill()
{
    auto io = std::make_shared<FakeV4l2Io>();
    auto device = attachDevice(io, yuyvCamera({}));
    std::atomic<bool> stillReturned{false};
    int stillRc = ORVIX_E_STATE;
    Frame still;
    std::thread scan([&] {
        stillRc = device->grabStill(still, 20000);
        stillReturned = true;
    });
    QTRY_COMPARE(io->streamOnCount(kNode), 1);
    // The window closing or restarting the capture while a still without
    // preview is pending.
    device->stop();
    QVERIFY2(!stillReturned, "stop waited for the pending still");
    // A preview started now shares the stream; the still is served from it.
    FrameLog log;
    QCOMPARE(device->start([&](const Frame &f) { log.add(f); }), int(ORVIX_OK));
    io->replaceScript(kNode, {colourEvent(kBlue)}, true);
    QVERIFY(log.waitFor(1));
    scan.join();
    QCOMPARE(stillRc, int(ORVIX_OK));
    QVERIFY(isBlue(seenOf(still)));
    QCOMPARE(io->streamOnCount(kNode), 1);
    const size_t seen = log.count();
    QVERIFY(log.waitFor(seen + 2)); // the preview outlives the still
    device->stop();
    QCOMPARE(io->openDescriptors(), 0);
}

QTEST_GUILESS_MAIN(TestV4l2Device)
#include "testv4l2device.moc"
