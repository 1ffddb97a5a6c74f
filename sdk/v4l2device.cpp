#include "v4l2device.h"

#include "camsdk.h"
#include "jpegcodec.h"
#include "yuyv.h"

#include <linux/videodev2.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace orvix {
namespace {

constexpr int kPollMs = 100;          // how soon a stop is noticed
// I/O errors in a row (10 ms apart): after a fifth of a second the stream is
// restarted, as the kernel's queue stays in its error state until then;
// after about two seconds it is given up.
constexpr int kRestartAfterEio = 20;
constexpr int kMaxConsecutiveEio = 200;
constexpr int kMaxIdleErrors = 50;     // POLLERR without a buffer, in a row
constexpr int kDefaultStillTimeoutMs = 3000;

// Repeated faults (a camera sending a corrupt frame every time) would flood
// the trace; the first few and then every hundredth are enough.
struct RepeatLimiter {
    uint64_t count = 0;
    bool due() { return ++count <= 5 || count % 100 == 0; }
};

int codeForErrno(int negativeErrno)
{
    switch (-negativeErrno) {
    case EACCES:
    case EPERM:
        return ORVIX_E_ACCESS;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return ORVIX_E_NODEVICE;
    case ENOMEM:
        return ORVIX_E_NOMEM;
    case EINVAL:
        return ORVIX_E_ARGUMENT;
    default:
        return ORVIX_E_IO;
    }
}

} // namespace

V4l2Device::V4l2Device(std::shared_ptr<V4l2Io> io, V4l2DeviceInfo info)
    : m_io(std::move(io)), m_info(std::move(info))
{
}

V4l2Device::~V4l2Device()
{
    if (onWorkerThread()) {
        // Destroyed from inside its own sink: we cannot wait for ourselves.
        m_stopRequested = true;
        m_worker.detach();
        return;
    }
    stop();
}

std::vector<std::string> V4l2Device::formats() const
{
    std::vector<std::string> names;
    for (const V4l2FormatInfo &f : m_info.formats)
        names.push_back(f.name);
    return names;
}

std::vector<Resolution> V4l2Device::resolutions(int format) const
{
    if (format < 0 || format >= static_cast<int>(m_info.formats.size()))
        return {};
    return m_info.formats[static_cast<size_t>(format)].sizes;
}

int V4l2Device::setResolution(int width, int height)
{
    if (width <= 0 || height <= 0 || width > 65536 || height > 65536)
        return fail(ORVIX_E_ARGUMENT, "resolution %dx%d refused", width, height);
    if (!m_info.accessible)
        return fail(ORVIX_E_ACCESS, "cannot be opened with this user's rights");
    {
        std::lock_guard<std::mutex> lock(m_configMutex);
        m_wantedSize = {width, height};
        m_reconfigure = true;
    }
    return applyNow();
}

int V4l2Device::setFormat(int format)
{
    if (format < 0 || format >= static_cast<int>(m_info.formats.size()))
        return fail(ORVIX_E_ARGUMENT, "no format %d", format);
    if (!m_info.accessible)
        return fail(ORVIX_E_ACCESS, "cannot be opened with this user's rights");
    {
        std::lock_guard<std::mutex> lock(m_configMutex);
        m_formatIndex = format;
        m_reconfigure = true;
    }
    return applyNow();
}

// Outside streaming the driver is asked at once, so a refusal is reported
// to the caller; while streaming the worker switches between two frames.
int V4l2Device::applyNow()
{
    if (onWorkerThread())
        return ORVIX_OK;
    std::lock_guard<std::mutex> control(m_control);
    reapLocked();
    if (m_worker.joinable())
        return ORVIX_OK;
    const PixelFormat wanted = wantedFormat();
    int err = 0;
    const int rc = openAndNegotiate(wanted, err);
    if (rc != ORVIX_OK)
        return rc;
    if (err == -ENODEV)
        m_fd.reset();
    if (err != 0)
        return fail(codeForErrno(err), "format %s %dx%d refused: %s", fourccName(wanted.fourcc).c_str(),
                    wanted.width, wanted.height, std::strerror(-err));
    return ORVIX_OK;
}

V4l2Device::PixelFormat V4l2Device::wantedFormat()
{
    std::lock_guard<std::mutex> lock(m_configMutex);
    m_reconfigure = false;
    PixelFormat wanted;
    if (m_info.formats.empty())
        return wanted;
    const V4l2FormatInfo &format = m_info.formats[static_cast<size_t>(m_formatIndex)];
    wanted.fourcc = format.fourcc;
    if (m_wantedSize.width > 0) {
        wanted.width = m_wantedSize.width;
        wanted.height = m_wantedSize.height;
    } else {
        // Nothing chosen yet: a document camera is bought for its largest picture.
        auto largest = std::max_element(format.sizes.begin(), format.sizes.end(),
                                        [](const Resolution &a, const Resolution &b) {
                                            return static_cast<long long>(a.width) * a.height <
                                                   static_cast<long long>(b.width) * b.height;
                                        });
        if (largest != format.sizes.end()) {
            wanted.width = largest->width;
            wanted.height = largest->height;
        }
    }
    return wanted;
}

int V4l2Device::openNode()
{
    if (m_fd.valid())
        return ORVIX_OK;
    const int fd = m_io->open(m_info.nodePath);
    if (fd < 0)
        return fail(codeForErrno(fd), "cannot open: %s", std::strerror(-fd));
    m_fd = V4l2Fd(m_io, fd);
    return ORVIX_OK;
}

// ORVIX_OK once the node is open, with the driver's answer in `err`.
int V4l2Device::openAndNegotiate(const PixelFormat &wanted, int &err)
{
    int rc = openNode();
    if (rc != ORVIX_OK)
        return rc;
    err = negotiate(wanted);
    if (err == -ENODEV) {
        // Opened before the camera was replugged: try the node once afresh.
        m_fd.reset();
        if ((rc = openNode()) != ORVIX_OK)
            return rc;
        err = negotiate(wanted);
    }
    return ORVIX_OK;
}

int V4l2Device::negotiate(const PixelFormat &wanted)
{
    if (wanted.fourcc == 0)
        return -EINVAL;
    v4l2_format format;
    std::memset(&format, 0, sizeof format);
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.width = static_cast<uint32_t>(wanted.width);
    format.fmt.pix.height = static_cast<uint32_t>(wanted.height);
    format.fmt.pix.pixelformat = wanted.fourcc;
    format.fmt.pix.field = V4L2_FIELD_ANY;
    const int rc = m_io->ioctl(m_fd.get(), VIDIOC_S_FMT, &format);
    if (rc != 0)
        return rc;
    PixelFormat given;
    given.fourcc = format.fmt.pix.pixelformat;
    given.width = static_cast<int>(format.fmt.pix.width);
    given.height = static_cast<int>(format.fmt.pix.height);
    given.bytesPerLine = format.fmt.pix.bytesperline;
    if (!isDecodableFormat(given.fourcc) || given.width <= 0 || given.height <= 0) {
        trace("the driver answered %s %dx%d, which we cannot decode", fourccName(given.fourcc).c_str(),
              given.width, given.height);
        return -EINVAL;
    }
    if (!(given == wanted))
        trace("asked for %s %dx%d, the camera gives %s %dx%d", fourccName(wanted.fourcc).c_str(), wanted.width,
              wanted.height, fourccName(given.fourcc).c_str(), given.width, given.height);
    m_requested = wanted;
    m_active = given;
    return 0;
}

int V4l2Device::start(FrameSink sink)
{
    if (onWorkerThread())
        return fail(ORVIX_E_STATE, "start asked from inside the frame callback; ignored");
    if (!m_info.accessible)
        return fail(ORVIX_E_ACCESS, "cannot be opened with this user's rights");
    std::lock_guard<std::mutex> control(m_control);
    stopLocked();
    return startLocked(std::move(sink));
}

int V4l2Device::startLocked(FrameSink sink)
{
    const PixelFormat wanted = wantedFormat();
    int err = 0;
    const int rc = openAndNegotiate(wanted, err);
    if (rc != ORVIX_OK)
        return rc;
    std::unique_ptr<V4l2Stream> stream;
    if (err == 0)
        stream = V4l2Stream::start(m_io, m_fd.get(), kBufferCount, err);
    if (!stream) {
        if (err == -ENODEV)
            m_fd.reset();
        if (err == -EBUSY)
            return fail(ORVIX_E_IO, "cannot stream: the camera is in use by another program");
        return fail(codeForErrno(err), "cannot stream %s %dx%d: %s", fourccName(wanted.fourcc).c_str(),
                    wanted.width, wanted.height, std::strerror(-err));
    }
    m_stopRequested = false;
    {
        std::lock_guard<std::mutex> lock(m_stillMutex);
        m_workerAlive = true;
    }
    m_worker = std::thread(&V4l2Device::run, this, std::move(stream), std::move(sink));
    return ORVIX_OK;
}

void V4l2Device::stop()
{
    if (onWorkerThread()) {
        // The app's frame callback stopped the capture: we cannot wait for
        // the callback we are in, so delivery ends once it returns.
        trace("stop asked from inside the frame callback; delivery ends after it returns");
        m_stopRequested = true;
        return;
    }
    std::lock_guard<std::mutex> control(m_control);
    stopLocked();
}

void V4l2Device::stopLocked()
{
    if (!m_worker.joinable())
        return;
    m_stopRequested = true;
    m_worker.join();
    m_workerId = std::thread::id();
    // Reopened at the next start, so a camera plugged in again is found.
    m_fd.reset();
}

bool V4l2Device::workerAlive()
{
    std::lock_guard<std::mutex> lock(m_stillMutex);
    return m_workerAlive;
}

void V4l2Device::reapLocked()
{
    if (m_worker.joinable() && !workerAlive())
        stopLocked();
}

int V4l2Device::grabStill(Frame &out, int timeoutMs)
{
    out = Frame();
    if (onWorkerThread())
        return fail(ORVIX_E_STATE, "a still cannot be taken from inside the frame callback");
    if (!m_info.accessible)
        return fail(ORVIX_E_ACCESS, "cannot be opened with this user's rights");
    if (timeoutMs <= 0)
        timeoutMs = kDefaultStillTimeoutMs;
    std::unique_lock<std::mutex> control(m_control);
    reapLocked();
    if (m_worker.joinable()) {
        control.unlock();
        return waitForStill(out, timeoutMs);
    }
    // No preview running: stream just long enough for one frame.
    const int rc = startLocked(nullptr);
    if (rc != ORVIX_OK)
        return rc;
    const int result = waitForStill(out, timeoutMs);
    stopLocked();
    return result;
}

int V4l2Device::waitForStill(Frame &out, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_stillMutex);
    if (!m_workerAlive)
        return fail(ORVIX_E_STATE, "no still: the capture has ended");
    const uint64_t generation = m_stillGeneration;
    ++m_stillRequests;
    m_stillCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [&] { return m_stillGeneration != generation || !m_workerAlive; });
    if (m_stillGeneration != generation) {
        out = m_still;
        return ORVIX_OK;
    }
    if (m_stillRequests > 0)
        --m_stillRequests;
    if (!m_workerAlive)
        return fail(ORVIX_E_IO, "no still: the capture ended before a frame came");
    return fail(ORVIX_E_IO, "no still: no frame within %d ms", timeoutMs);
}

bool V4l2Device::stillWanted()
{
    std::lock_guard<std::mutex> lock(m_stillMutex);
    return m_stillRequests > 0;
}

void V4l2Device::publishStill(const Frame &frame)
{
    {
        std::lock_guard<std::mutex> lock(m_stillMutex);
        m_still = frame;
        ++m_stillGeneration;
        m_stillRequests = 0;
    }
    m_stillCv.notify_all();
}

bool V4l2Device::convert(const V4l2Stream::Buffer &buffer, bool fullSize, Frame &out)
{
    if (m_active.fourcc == V4L2_PIX_FMT_YUYV)
        return yuyvToRgb(buffer.data, buffer.bytesUsed, m_active.width, m_active.height, m_active.bytesPerLine, out);
    int hintWidth = 0, hintHeight = 0;
    const int limit = m_previewLongSide.load();
    const int longSide = std::max(m_active.width, m_active.height);
    if (!fullSize && limit > 0 && longSide > limit) {
        hintWidth = static_cast<int>(static_cast<long long>(m_active.width) * limit / longSide);
        hintHeight = static_cast<int>(static_cast<long long>(m_active.height) * limit / longSide);
    }
    return jpeg::decode(buffer.data, buffer.bytesUsed, out, hintWidth, hintHeight) == ORVIX_OK;
}

// Switches format or size between two frames. False ends delivery.
bool V4l2Device::reconfigure(std::unique_ptr<V4l2Stream> &stream, bool &gone)
{
    {
        std::lock_guard<std::mutex> lock(m_configMutex);
        if (!m_reconfigure)
            return true;
    }
    const PixelFormat wanted = wantedFormat();
    if (wanted == m_requested)
        return true;
    stream.reset();
    int err = negotiate(wanted);
    if (err != 0) {
        trace("cannot switch to %s %dx%d (%s); keeping %s %dx%d", fourccName(wanted.fourcc).c_str(), wanted.width,
              wanted.height, std::strerror(-err), fourccName(m_active.fourcc).c_str(), m_active.width,
              m_active.height);
        m_requested = wanted; // do not retry at every frame
    }
    if (err != -ENODEV)
        stream = V4l2Stream::start(m_io, m_fd.get(), kBufferCount, err);
    if (!stream) {
        gone = err == -ENODEV;
        trace("cannot restart streaming (%s); delivery stopped", std::strerror(-err));
        return false;
    }
    return true;
}

void V4l2Device::run(std::unique_ptr<V4l2Stream> stream, FrameSink sink)
{
    m_workerId = std::this_thread::get_id();
    Frame frame;
    RepeatLimiter eioTrace, errorBufferTrace, decodeTrace;
    int consecutiveEio = 0, idleErrors = 0;
    bool gone = false;
    while (!m_stopRequested) {
        if (!reconfigure(stream, gone))
            break;
        const int events = m_io->poll(m_fd.get(), kPollMs);
        if (events == -EINTR || events == 0)
            continue;
        if (events < 0) {
            gone = events == -ENODEV;
            trace(gone ? "unplugged; delivery stopped" : "poll failed (%s); delivery stopped", std::strerror(-events));
            break;
        }
        V4l2Stream::Buffer buffer;
        const int rc = stream->dequeue(buffer);
        if (rc == -EAGAIN) {
            if (events & (POLLERR | POLLHUP)) {
                if (++idleErrors > kMaxIdleErrors) {
                    trace("the stream reports errors and gives no frames; delivery stopped");
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            continue;
        }
        if (rc == -EIO) {
            if (eioTrace.due())
                trace("transient I/O error while dequeuing (%llu so far); frame skipped",
                      static_cast<unsigned long long>(eioTrace.count));
            if (++consecutiveEio > kMaxConsecutiveEio) {
                trace("%d I/O errors in a row; delivery stopped", consecutiveEio);
                break;
            }
            if (consecutiveEio % kRestartAfterEio == 0) {
                trace("%d I/O errors in a row; restarting the stream", consecutiveEio);
                stream.reset();
                int err = 0;
                stream = V4l2Stream::start(m_io, m_fd.get(), kBufferCount, err);
                if (!stream) {
                    gone = err == -ENODEV;
                    trace("cannot restart streaming (%s); delivery stopped", std::strerror(-err));
                    break;
                }
            }
            // A failing link answers at once; do not spin on it.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (rc != 0) {
            gone = rc == -ENODEV;
            if (gone)
                trace("unplugged; delivery stopped");
            else
                trace("dequeue failed (%s); delivery stopped", std::strerror(-rc));
            break;
        }
        consecutiveEio = 0;
        idleErrors = 0;
        if (buffer.flags & V4L2_BUF_FLAG_ERROR) {
            if (errorBufferTrace.due())
                trace("the driver flagged a damaged frame (%llu so far); skipped",
                      static_cast<unsigned long long>(errorBufferTrace.count));
            if (stream->requeue(buffer.index) == -ENODEV) {
                gone = true;
                trace("unplugged; delivery stopped");
                break;
            }
            continue;
        }
        const bool still = stillWanted();
        if (!sink && !still) {
            // Streaming only for a still that has not been asked for yet.
            if (stream->requeue(buffer.index) == -ENODEV) {
                gone = true;
                trace("unplugged; delivery stopped");
                break;
            }
            continue;
        }
        const bool converted = convert(buffer, still, frame);
        const int requeued = stream->requeue(buffer.index);
        if (!converted) {
            if (decodeTrace.due())
                trace("a %s frame of %zu bytes could not be decoded (%llu so far); skipped",
                      fourccName(m_active.fourcc).c_str(), buffer.bytesUsed,
                      static_cast<unsigned long long>(decodeTrace.count));
        } else {
            if (still)
                publishStill(frame);
            if (sink && !m_stopRequested)
                sink(frame);
        }
        if (requeued == -ENODEV) {
            gone = true;
            trace("unplugged; delivery stopped");
            break;
        }
    }
    stream.reset();
    if (gone)
        m_fd.reset(); // a later start reopens the node, or fails cleanly
    m_workerId = std::thread::id(); // ids of ended threads get reused
    {
        std::lock_guard<std::mutex> lock(m_stillMutex);
        m_workerAlive = false;
    }
    m_stillCv.notify_all();
}

int V4l2Device::fail(int code, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = vtrace(format, args);
    va_end(args);
    setLastError(m_info.name + ": " + text);
    return code;
}

void V4l2Device::trace(const char *format, ...) const
{
    va_list args;
    va_start(args, format);
    vtrace(format, args);
    va_end(args);
}

std::string V4l2Device::vtrace(const char *format, va_list args) const
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    std::fprintf(stderr, "orvix v4l2: %s: %s\n", m_info.nodePath.c_str(), text);
    return text;
}

} // namespace orvix
