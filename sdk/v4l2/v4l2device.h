// A UVC camera behind a V4L2 capture node. Frames are dequeued, decoded and
// handed to the sink on a thread of the device's own.
#ifndef ORVIX_V4L2DEVICE_H
#define ORVIX_V4L2DEVICE_H

#include "sdk/backend.h"
#include "sdk/v4l2/stillhandoff.h"
#include "sdk/v4l2/v4l2io.h"
#include "sdk/v4l2/v4l2probe.h"
#include "sdk/v4l2/v4l2stream.h"

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace orvix {

class V4l2Device : public Device
{
public:
    // MJPEG preview frames with a longer side than this are decoded at a
    // reduced scale, which keeps the frame rate of an 8-megapixel camera on
    // a small ARM board. Stills are always decoded at full size.
    static constexpr int kDefaultPreviewLongSide = 1280;
    static constexpr uint32_t kBufferCount = 4;
    // Frames dropped after a start or a size switch before one is taken as
    // a still: sensors send dark or unbalanced frames first.
    static constexpr int kSettleFrames = 3;
    // No frame for this long, and the stream is restarted.
    static constexpr int kDefaultWatchdogMs = 3000;

    // Where the camera's capture node is now; empty when it is not plugged in.
    using NodeLocator = std::function<std::string()>;

    V4l2Device(std::shared_ptr<V4l2Io> io, V4l2DeviceInfo info, NodeLocator locate = nullptr);
    ~V4l2Device() override;

    std::string name() const override { return m_info.name; }
    bool accessible() const override { return m_info.accessible; }
    bool tarvo() const override { return m_info.tarvo; }
    std::vector<std::string> formats() const override;
    std::vector<Resolution> resolutions(int format) const override;

    int setResolution(int width, int height) override;
    int setFormat(int format) override;
    int start(FrameSink sink) override;
    void stop() override;
    int grabStill(Frame &out, int timeoutMs) override;

    // 0 decodes every preview frame at full size.
    void setPreviewLongSide(int pixels) { m_previewLongSide = pixels; }
    // Silence before a restart; the pace of restarts and of looking for an
    // unplugged camera follows from it.
    void setWatchdogMs(int ms) { m_watchdogMs = ms > 0 ? ms : kDefaultWatchdogMs; }
    const std::string &nodePath() const { return m_info.nodePath; }

private:
    struct PixelFormat {
        uint32_t fourcc = 0;
        int width = 0;
        int height = 0;
        size_t bytesPerLine = 0;
        bool operator==(const PixelFormat &o) const
        {
            return fourcc == o.fourcc && width == o.width && height == o.height;
        }
    };

    using Clock = std::chrono::steady_clock;
    // Repeated faults (a camera sending a corrupt frame every time) would
    // flood the trace; the first few and then every hundredth are enough.
    struct RepeatLimiter {
        uint64_t count = 0;
        bool due() { return ++count <= 5 || count % 100 == 0; }
    };
    // The worker's account of a broken stream.
    struct Watchdog {
        Clock::time_point lastFrame;
        int restarts = 0;       // since the last frame
        bool unplugged = false; // the node is closed; looking for the camera
    };

    bool onWorkerThread() const { return m_workerId.load() == std::this_thread::get_id(); }
    PixelFormat wantedFormat();
    bool reconfigurePending();
    int openNode();
    std::string currentNodePath() const;
    void takeNode(int fd, const std::string &path);
    void useAutomaticPowerLine();
    int openAndNegotiate(const PixelFormat &wanted, int &err);
    int negotiate(const PixelFormat &wanted);
    int negotiateRetrying(const PixelFormat &wanted);
    std::unique_ptr<V4l2Stream> startStream(int &err);
    int applyNow();
    int startLocked(FrameSink sink);
    void stopLocked();
    void reapLocked();
    FrameSink currentSink();
    void run(std::unique_ptr<V4l2Stream> stream);
    void reconfigure(std::unique_ptr<V4l2Stream> &stream);
    void lose(std::unique_ptr<V4l2Stream> &stream, bool unplugged);
    bool recover(std::unique_ptr<V4l2Stream> &stream);
    bool sleepUnlessStopped(int ms);
    // -EAGAIN: the frame was handed back unused; else the requeue result.
    int deliver(V4l2Stream &stream, const V4l2Stream::Buffer &buffer, Frame &frame);
    bool convert(const V4l2Stream::Buffer &buffer, bool fullSize, Frame &out);
    int waitForStill(Frame &out, int timeoutMs);
    int fail(int code, const char *format, ...) __attribute__((format(printf, 3, 4)));
    void trace(const char *format, ...) const __attribute__((format(printf, 2, 3)));
    // Prints the line and hands it back for the error string.
    std::string vtrace(const char *format, va_list args) const;

    const std::shared_ptr<V4l2Io> m_io;
    const V4l2DeviceInfo m_info;
    const NodeLocator m_locate;

    // Start, stop and negotiation outside streaming. Never held while
    // waiting for a still of a running stream.
    std::mutex m_control;
    std::thread m_worker;
    std::atomic<std::thread::id> m_workerId{std::thread::id()};
    std::atomic<bool> m_stopRequested{false};
    V4l2Fd m_fd;             // the worker's while it runs, m_control's otherwise
    PixelFormat m_requested; // last format asked of the driver
    PixelFormat m_active;    // what the driver gave
    std::string m_openedPath;
    // A stream started only for stills: a stop() from the application has
    // nothing to wait for, and a start() takes it over.
    bool m_stillOnly = false;
    int m_stillUsers = 0;
    uint64_t m_session = 0;

    // The worker's alone.
    Watchdog m_dog;
    int m_settleLeft = 0;
    Clock::time_point m_streamStarted;
    RepeatLimiter m_decodeTrace, m_sizeTrace;

    std::mutex m_sinkMutex;
    FrameSink m_sink;

    // What the following frames should be; set from any thread.
    std::mutex m_configMutex;
    int m_formatIndex = 0;
    Resolution m_wantedSize;
    bool m_reconfigure = false;

    // Whether a delivery thread runs, and the stills asked of it.
    StillHandoff m_stills;

    std::atomic<int> m_previewLongSide{kDefaultPreviewLongSide};
    std::atomic<int> m_watchdogMs{kDefaultWatchdogMs};
};

} // namespace orvix

#endif
