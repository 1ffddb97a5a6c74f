// Streaming from scripted cameras: decoding, damaged frames, unplugging,
// stopping from other threads and from inside the frame callback, stills.
#include "fakev4l2io.h"

#include "camsdk.h"
#include "jpegcodec.h"
#include "v4l2device.h"
#include "v4l2probe.h"

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
};

void TestV4l2Device::yuyvFrames()
{
    auto io = std::make_shared<FakeV4l2Io>();
    {
        auto device = attachDevice(io, yuyvCamera({frameEvent(yuyv(kRed)), frameEvent(yuyv(kBlue))}));
        QCOMPARE(device->setResolution(64, 48), int(ORVIX_OK));
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
    auto device = attachDevice(io, yuyvCamera({frameEvent(yuyv(kBlue))}));
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

QTEST_GUILESS_MAIN(TestV4l2Device)
#include "testv4l2device.moc"
