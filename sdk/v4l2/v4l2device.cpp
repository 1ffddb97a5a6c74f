#include "sdk/v4l2/v4l2device.h"

#include "camera/camsdk.h"
#include "sdk/jpeg/jpegcodec.h"
#include "sdk/lasterror.h"
#include "sdk/v4l2/yuyv.h"

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
// restarted, as the kernel's queue stays in its error state until then.
constexpr int kRestartAfterEio = 20;
constexpr int kMaxIdleErrors = 50;     // POLLERR without a buffer, in a row
constexpr int kDefaultStillTimeoutMs = 3000;
// Restarts in a row without a frame between them before delivery is given
// up; they come ever slower, up to kMaxRestartPauseMs apart.
constexpr int kMaxRestarts = 6;
constexpr int kMaxRestartPauseMs = 2000;
// USB bandwidth (ENOSPC) and a busy or slow camera (EIO, ETIMEDOUT, EPROTO)
// often pass: the call is tried again a few times, a little later each time.
constexpr int kTransientRetries = 3;
constexpr int kTransientPauseMs = 100;
// A slow camera is not kept waiting for its settling frames longer than this.
constexpr int kMaxSettleMs = 1500;

bool isTransient(int negativeErrno)
{
    const int e = -negativeErrno;
    return e == EIO || e == ETIMEDOUT || e == EPROTO || e == ENOSPC;
}

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
    case EBUSY:
        return ORVIX_E_BUSY;
    default:
        return ORVIX_E_IO;
    }
}

} // namespace

V4l2Device::V4l2Device(std::shared_ptr<V4l2Io> io, V4l2DeviceInfo info, NodeLocator locate)
    : m_io(std::move(io)), m_info(std::move(info)), m_locate(std::move(locate))
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
    std::lock_guard<std::mutex> control(m_control);
    stopLocked();
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
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide)
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

bool V4l2Device::reconfigurePending()
{
    std::lock_guard<std::mutex> lock(m_configMutex);
    return m_reconfigure;
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
        auto largest = std::max_element(format.sizes.begin(), format.sizes.end(), byArea);
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
    const std::string path = currentNodePath();
    if (path.empty())
        return fail(ORVIX_E_NODEVICE, "not plugged in");
    const int fd = m_io->open(path);
    if (fd < 0)
        return fail(codeForErrno(fd), "cannot open %s: %s", path.c_str(), std::strerror(-fd));
    if (path != m_openedPath && path != m_info.nodePath)
        trace("found as %s", path.c_str());
    takeNode(fd, path);
    return ORVIX_OK;
}

// By its USB identity: after a replug the camera may have another node,
// and another camera may have taken its old one.
std::string V4l2Device::currentNodePath() const
{
    return m_locate ? m_locate() : m_info.nodePath;
}

// Every node just opened, at a start or after a loss, gets the same settings.
void V4l2Device::takeNode(int fd, const std::string &path)
{
    m_fd = V4l2Fd(m_io, fd);
    m_openedPath = path;
    useAutomaticPowerLine();
}

// 50 Hz lamps band the picture of a camera set for 60 Hz and the other way
// round; a camera that can tell by itself is left to do so.
void V4l2Device::useAutomaticPowerLine()
{
    v4l2_queryctrl query;
    std::memset(&query, 0, sizeof query);
    query.id = V4L2_CID_POWER_LINE_FREQUENCY;
    if (m_io->ioctl(m_fd.get(), VIDIOC_QUERYCTRL, &query) != 0 || query.type != V4L2_CTRL_TYPE_MENU ||
        (query.flags & V4L2_CTRL_FLAG_DISABLED) || query.maximum < V4L2_CID_POWER_LINE_FREQUENCY_AUTO)
        return;
    v4l2_querymenu item;
    std::memset(&item, 0, sizeof item);
    item.id = V4L2_CID_POWER_LINE_FREQUENCY;
    item.index = V4L2_CID_POWER_LINE_FREQUENCY_AUTO;
    if (m_io->ioctl(m_fd.get(), VIDIOC_QUERYMENU, &item) != 0)
        return;
    v4l2_control value;
    std::memset(&value, 0, sizeof value);
    value.id = V4L2_CID_POWER_LINE_FREQUENCY;
    value.value = V4L2_CID_POWER_LINE_FREQUENCY_AUTO;
    const int rc = m_io->ioctl(m_fd.get(), VIDIOC_S_CTRL, &value);
    if (rc != 0)
        trace("cannot set the power-line frequency to automatic: %s", std::strerror(-rc));
}

// ORVIX_OK once the node is open, with the driver's answer in `err`.
int V4l2Device::openAndNegotiate(const PixelFormat &wanted, int &err)
{
    int rc = openNode();
    if (rc != ORVIX_OK)
        return rc;
    err = negotiateRetrying(wanted);
    if (err == -ENODEV) {
        // Opened before the camera was replugged: try the node once afresh.
        m_fd.reset();
        if ((rc = openNode()) != ORVIX_OK)
            return rc;
        err = negotiateRetrying(wanted);
    }
    return ORVIX_OK;
}

int V4l2Device::negotiateRetrying(const PixelFormat &wanted)
{
    int err = 0;
    for (int attempt = 0;; ++attempt) {
        err = negotiate(wanted);
        if (err == 0 || !isTransient(err) || attempt == kTransientRetries)
            return err;
        trace("setting the format failed (%s); trying again", std::strerror(-err));
        std::this_thread::sleep_for(std::chrono::milliseconds(kTransientPauseMs * (attempt + 1)));
    }
}

std::unique_ptr<V4l2Stream> V4l2Device::startStream(int &err)
{
    for (int attempt = 0;; ++attempt) {
        std::unique_ptr<V4l2Stream> stream = V4l2Stream::start(m_io, m_fd.get(), kBufferCount, err);
        if (stream) {
            m_settleLeft = kSettleFrames;
            m_streamStarted = Clock::now();
            return stream;
        }
        if (!isTransient(err) || attempt == kTransientRetries)
            return nullptr;
        trace("streaming refused (%s); trying again", std::strerror(-err));
        std::this_thread::sleep_for(std::chrono::milliseconds(kTransientPauseMs * (attempt + 1)));
    }
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
    reapLocked();
    if (m_worker.joinable() && m_stillOnly) {
        // A still is being taken: the preview joins its stream.
        std::lock_guard<std::mutex> lock(m_sinkMutex);
        m_sink = std::move(sink);
        m_stillOnly = false;
        m_stillUsers = 0;
        return ORVIX_OK;
    }
    stopLocked();
    return startLocked(std::move(sink));
}

int V4l2Device::startLocked(FrameSink sink)
{
    if (m_info.formats.empty())
        return fail(ORVIX_E_STATE, "offers no format we can decode");
    const PixelFormat wanted = wantedFormat();
    int err = 0;
    const int rc = openAndNegotiate(wanted, err);
    if (rc != ORVIX_OK)
        return rc;
    std::unique_ptr<V4l2Stream> stream;
    if (err == 0)
        stream = startStream(err);
    if (!stream) {
        // Closed, so that the next start finds the camera afresh and no
        // other program is kept from it.
        m_fd.reset();
        if (err == -EBUSY)
            return fail(ORVIX_E_BUSY, "cannot stream: the camera is in use by another program");
        return fail(codeForErrno(err), "cannot stream %s %dx%d: %s", fourccName(wanted.fourcc).c_str(),
                    wanted.width, wanted.height, std::strerror(-err));
    }
    m_stopRequested = false;
    m_stills.setRunning(true);
    {
        std::lock_guard<std::mutex> lock(m_sinkMutex);
        m_sink = std::move(sink);
    }
    m_stillOnly = false;
    m_stillUsers = 0;
    ++m_session;
    m_dog = Watchdog();
    m_dog.lastFrame = Clock::now();
    m_worker = std::thread(&V4l2Device::run, this, std::move(stream));
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
    // A stream taken up only for a still has no sink to stop; the still's
    // caller ends it, and the application does not wait for that.
    if (m_stillOnly && m_stills.running())
        return;
    stopLocked();
}

void V4l2Device::stopLocked()
{
    m_stillOnly = false;
    m_stillUsers = 0;
    if (!m_worker.joinable())
        return;
    m_stopRequested = true;
    m_worker.join();
    m_workerId = std::thread::id();
    {
        std::lock_guard<std::mutex> lock(m_sinkMutex);
        m_sink = nullptr;
    }
    // Reopened at the next start, so a camera plugged in again is found.
    m_fd.reset();
}

V4l2Device::FrameSink V4l2Device::currentSink()
{
    std::lock_guard<std::mutex> lock(m_sinkMutex);
    return m_sink;
}

void V4l2Device::reapLocked()
{
    if (m_worker.joinable() && !m_stills.running())
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
    if (!m_worker.joinable()) {
        // No preview running: stream just long enough for the still.
        const int rc = startLocked(nullptr);
        if (rc != ORVIX_OK)
            return rc;
        m_stillOnly = true;
    }
    const bool shareStream = m_stillOnly;
    const uint64_t session = m_session;
    if (shareStream)
        ++m_stillUsers;
    // Not held while waiting, so that a stop or start is not kept waiting.
    control.unlock();
    const int result = waitForStill(out, timeoutMs);
    if (shareStream) {
        control.lock();
        if (m_session == session && m_stillOnly && --m_stillUsers == 0)
            stopLocked();
    }
    return result;
}

int V4l2Device::waitForStill(Frame &out, int timeoutMs)
{
    switch (m_stills.wait(out, timeoutMs)) {
    case StillHandoff::Outcome::Taken:
        return ORVIX_OK;
    case StillHandoff::Outcome::NotRunning:
        return fail(ORVIX_E_STATE, "no still: the capture has ended");
    case StillHandoff::Outcome::Ended:
        return fail(ORVIX_E_IO, "no still: the capture ended before a frame came");
    case StillHandoff::Outcome::WrongSizeOnly:
        return fail(ORVIX_E_IO, "no still: the camera sends frames of another size than agreed");
    case StillHandoff::Outcome::TimedOut:
        break;
    }
    return fail(ORVIX_E_IO, "no still: no frame within %d ms", timeoutMs);
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

// Switches format or size between two frames. Leaves no stream when the
// camera cannot stream again; the watchdog takes over.
void V4l2Device::reconfigure(std::unique_ptr<V4l2Stream> &stream)
{
    if (!reconfigurePending())
        return;
    const PixelFormat wanted = wantedFormat();
    if (wanted == m_requested)
        return;
    stream.reset();
    int err = negotiateRetrying(wanted);
    if (err != 0) {
        trace("cannot switch to %s %dx%d (%s); keeping %s %dx%d", fourccName(wanted.fourcc).c_str(), wanted.width,
              wanted.height, std::strerror(-err), fourccName(m_active.fourcc).c_str(), m_active.width,
              m_active.height);
        m_requested = wanted; // do not retry at every frame
    }
    if (err != -ENODEV)
        stream = startStream(err);
    if (!stream) {
        trace("cannot stream again after the switch (%s)", std::strerror(-err));
        lose(stream, err == -ENODEV);
    }
}

void V4l2Device::lose(std::unique_ptr<V4l2Stream> &stream, bool unplugged)
{
    stream.reset();
    if (unplugged) {
        m_fd.reset(); // the node is dead; the camera is looked for afresh
        if (!m_dog.unplugged)
            trace("unplugged; waiting for it to come back");
        m_dog.unplugged = true;
    } else {
        ++m_dog.restarts;
    }
}

bool V4l2Device::sleepUnlessStopped(int ms)
{
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!m_stopRequested && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 20)));
    return !m_stopRequested;
}

// One paced attempt to stream again; false gives delivery up.
bool V4l2Device::recover(std::unique_ptr<V4l2Stream> &stream)
{
    const int watchdog = m_watchdogMs.load();
    if (!m_dog.unplugged && m_dog.restarts > kMaxRestarts) {
        trace("%d restarts without a frame; delivery stopped", m_dog.restarts - 1);
        return false;
    }
    int pause = watchdog / 6; // how often an unplugged camera is looked for
    if (!m_dog.unplugged)
        pause = m_dog.restarts <= 1 ? 0 : std::min(kMaxRestartPauseMs, (watchdog / 12) << (m_dog.restarts - 2));
    if (!sleepUnlessStopped(pause))
        return false;
    if (!m_fd.valid()) {
        const std::string path = currentNodePath();
        const int fd = path.empty() ? -ENODEV : m_io->open(path);
        if (fd < 0)
            return true; // not back yet
        if (path != m_openedPath)
            trace("found again as %s", path.c_str());
        takeNode(fd, path);
    }
    int err = negotiateRetrying(wantedFormat());
    if (err == 0)
        stream = startStream(err);
    if (!stream) {
        trace("cannot stream again (%s)", std::strerror(-err));
        lose(stream, err == -ENODEV || err == -ENOENT);
        return true;
    }
    trace(m_dog.unplugged ? "back again; streaming resumes" : "streaming again");
    m_dog.unplugged = false;
    m_dog.lastFrame = Clock::now();
    return true;
}

int V4l2Device::deliver(V4l2Stream &stream, const V4l2Stream::Buffer &buffer, Frame &frame)
{
    Clock::time_point since;
    const bool stillAsked = m_stills.wanted(since);
    // A size switch asked before the still completes before it is taken.
    if (stillAsked && reconfigurePending())
        return stream.requeue(buffer.index) == -ENODEV ? -ENODEV : -EAGAIN;
    // Captured after the request: a buffer the driver held since before it
    // may carry an old frame (a still must show the page as it is now).
    const bool fresh = buffer.captured != Clock::time_point() ? buffer.captured >= since : buffer.queued >= since;
    // The first frame is always dropped; a slow camera is not made to send
    // all of its settling frames.
    const bool settled = m_settleLeft <= 0 || (m_settleLeft < kSettleFrames &&
                                               Clock::now() - m_streamStarted >= std::chrono::milliseconds(kMaxSettleMs));
    if (m_settleLeft > 0)
        --m_settleLeft;
    const bool still = stillAsked && fresh && settled;
    const FrameSink sink = currentSink();
    // Without a preview, or catching up with old frames for a still, the
    // decode is not worth its time.
    if (!still && (!sink || (stillAsked && !fresh)))
        return stream.requeue(buffer.index) == -ENODEV ? -ENODEV : -EAGAIN;
    const bool converted = convert(buffer, still, frame);
    const int requeued = stream.requeue(buffer.index);
    if (!converted) {
        if (m_decodeTrace.due())
            trace("a %s frame of %zu bytes could not be decoded (%llu so far); skipped",
                  fourccName(m_active.fourcc).c_str(), buffer.bytesUsed,
                  static_cast<unsigned long long>(m_decodeTrace.count));
        return requeued;
    }
    if (still) {
        if (frame.width == m_active.width && frame.height == m_active.height) {
            m_stills.publish(frame);
        } else {
            m_stills.refusedForSize();
            if (m_sizeTrace.due())
                trace("a %dx%d frame came while %dx%d is agreed; not taken as the still", frame.width,
                      frame.height, m_active.width, m_active.height);
        }
    }
    if (sink && !m_stopRequested)
        sink(frame);
    return requeued;
}

void V4l2Device::run(std::unique_ptr<V4l2Stream> stream)
{
    m_workerId = std::this_thread::get_id();
    Frame frame;
    RepeatLimiter eioTrace, errorBufferTrace;
    int consecutiveEio = 0, idleErrors = 0;
    while (!m_stopRequested) {
        if (!stream) {
            if (!recover(stream))
                break;
            consecutiveEio = idleErrors = 0;
            continue;
        }
        reconfigure(stream);
        if (!stream)
            continue;
        const int events = m_io->poll(m_fd.get(), kPollMs);
        if (events == -EINTR)
            continue;
        const bool silent = Clock::now() - m_dog.lastFrame > std::chrono::milliseconds(m_watchdogMs.load());
        if (events == 0) {
            if (silent) {
                trace("no frame for %d ms; restarting the stream", m_watchdogMs.load());
                lose(stream, false);
            }
            continue;
        }
        if (events < 0) {
            if (events != -ENODEV)
                trace("poll failed (%s); restarting the stream", std::strerror(-events));
            lose(stream, events == -ENODEV);
            continue;
        }
        V4l2Stream::Buffer buffer;
        const int rc = stream->dequeue(buffer);
        if (rc == -EAGAIN) {
            if (events & (POLLERR | POLLHUP)) {
                if (++idleErrors > kMaxIdleErrors) {
                    trace("the stream reports errors and gives no frames; restarting it");
                    lose(stream, false);
                    continue;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (silent) {
                trace("no frame for %d ms; restarting the stream", m_watchdogMs.load());
                lose(stream, false);
            }
            continue;
        }
        if (rc == -EIO) {
            if (eioTrace.due())
                trace("transient I/O error while dequeuing (%llu so far); frame skipped",
                      static_cast<unsigned long long>(eioTrace.count));
            if (++consecutiveEio % kRestartAfterEio == 0) {
                trace("%d I/O errors in a row; restarting the stream", consecutiveEio);
                lose(stream, false);
                continue;
            }
            // A failing link answers at once; do not spin on it.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (rc != 0) {
            // EINVAL: the kernel ended streaming itself (a failed resume).
            if (rc != -ENODEV)
                trace("the driver ended streaming (%s); restarting it", std::strerror(-rc));
            lose(stream, rc == -ENODEV);
            continue;
        }
        consecutiveEio = 0;
        idleErrors = 0;
        m_dog.lastFrame = Clock::now();
        m_dog.restarts = 0;
        if (buffer.flags & V4L2_BUF_FLAG_ERROR) {
            if (errorBufferTrace.due())
                trace("the driver flagged a damaged frame (%llu so far); skipped",
                      static_cast<unsigned long long>(errorBufferTrace.count));
            if (stream->requeue(buffer.index) == -ENODEV)
                lose(stream, true);
            continue;
        }
        if (deliver(*stream, buffer, frame) == -ENODEV)
            lose(stream, true);
    }
    stream.reset();
    if (!m_stopRequested)
        m_fd.reset(); // given up: no other program is kept from the camera
    m_workerId = std::thread::id(); // ids of ended threads get reused
    m_stills.setRunning(false);
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
