// A UVC camera behind a V4L2 capture node. Frames are dequeued, decoded and
// handed to the sink on a thread of the device's own.
#ifndef ORVIX_V4L2DEVICE_H
#define ORVIX_V4L2DEVICE_H

#include "backend.h"
#include "v4l2io.h"
#include "v4l2probe.h"
#include "v4l2stream.h"

#include <atomic>
#include <cstdarg>
#include <condition_variable>
#include <cstdint>
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

    V4l2Device(std::shared_ptr<V4l2Io> io, V4l2DeviceInfo info);
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

    bool onWorkerThread() const { return m_workerId.load() == std::this_thread::get_id(); }
    PixelFormat wantedFormat();
    int openNode();
    int openAndNegotiate(const PixelFormat &wanted, int &err);
    int negotiate(const PixelFormat &wanted);
    int applyNow();
    int startLocked(FrameSink sink);
    void stopLocked();
    void reapLocked();
    bool workerAlive();
    void run(std::unique_ptr<V4l2Stream> stream, FrameSink sink);
    bool reconfigure(std::unique_ptr<V4l2Stream> &stream, bool &gone);
    bool stillWanted();
    void publishStill(const Frame &frame);
    bool convert(const V4l2Stream::Buffer &buffer, bool fullSize, Frame &out);
    int waitForStill(Frame &out, int timeoutMs);
    int fail(int code, const char *format, ...) __attribute__((format(printf, 3, 4)));
    void trace(const char *format, ...) const __attribute__((format(printf, 2, 3)));
    // Prints the line and hands it back for the error string.
    std::string vtrace(const char *format, va_list args) const;

    const std::shared_ptr<V4l2Io> m_io;
    const V4l2DeviceInfo m_info;

    // Start, stop and negotiation outside streaming. Never held while
    // waiting for a still of a running stream.
    std::mutex m_control;
    std::thread m_worker;
    std::atomic<std::thread::id> m_workerId{std::thread::id()};
    std::atomic<bool> m_stopRequested{false};
    V4l2Fd m_fd;             // the worker's while it runs, m_control's otherwise
    PixelFormat m_requested; // last format asked of the driver
    PixelFormat m_active;    // what the driver gave

    // What the following frames should be; set from any thread.
    std::mutex m_configMutex;
    int m_formatIndex = 0;
    Resolution m_wantedSize;
    bool m_reconfigure = false;

    std::mutex m_stillMutex;
    std::condition_variable m_stillCv;
    bool m_workerAlive = false;
    int m_stillRequests = 0;
    uint64_t m_stillGeneration = 0;
    Frame m_still;

    std::atomic<int> m_previewLongSide{kDefaultPreviewLongSide};
};

} // namespace orvix

#endif
