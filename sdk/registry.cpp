#include "sdk/registry.h"

#include "sdk/backends.h"
#include "sdk/jpeg/jpegcodec.h"
#include "sdk/lasterror.h"
#include "sdk/page/previewoutliner.h"
#include "sdk/page/processing.h"

#include "fileio/freestamp.h"

#include <cstdio>
#include <utility>

#include <unistd.h>

namespace orvix {
namespace {

constexpr int kJpegQuality = 90;
constexpr int kStillTimeoutMs = 3000;

// A capture's work with what it throws turned into a result and a last error.
template <typename Work>
int captureResult(Work work)
{
    try {
        return work();
    } catch (const std::bad_alloc &) {
        setLastError("out of memory");
        return ORVIX_E_NOMEM;
    } catch (const std::exception &e) {
        setLastError(std::string("capture failed: ") + e.what());
        return ORVIX_E_IO;
    }
}

// Set while the application's frame callback runs on this thread: start,
// stop and init from inside it would wait for the very thread they run on.
thread_local bool t_inFrameCallback = false;

struct CallbackScope {
    CallbackScope() { t_inFrameCallback = true; }
    ~CallbackScope() { t_inFrameCallback = false; }
};

int refuseFromCallback(const char *operation)
{
    setLastError(std::string(operation) + " cannot be called from the frame callback");
    return ORVIX_E_STATE;
}

int noDevice(long index)
{
    setLastError("no device at index " + std::to_string(index));
    return ORVIX_E_NODEVICE;
}

} // namespace

Registry &Registry::instance()
{
    static Registry registry;
    return registry;
}

int Registry::init()
{
    if (t_inFrameCallback)
        return refuseFromCallback("Cam_Init");
    std::lock_guard<std::mutex> control(m_controlMutex);
    stopLocked();
    std::vector<std::shared_ptr<Device>> found;
    for (std::unique_ptr<Backend> &owned : makeBackends()) {
        // Each device keeps its backend alive, however long a caller holds it.
        std::shared_ptr<Backend> backend(std::move(owned));
        try {
            for (std::unique_ptr<Device> &d : backend->enumerate())
                found.emplace_back(d.release(), [backend](Device *p) { delete p; });
        } catch (const std::exception &e) {
            std::fprintf(stderr, "orvix: listing %s cameras failed: %s\n", backend->name(), e.what());
        }
    }
    std::vector<std::shared_ptr<Device>> previous;
    {
        std::lock_guard<std::mutex> state(m_stateMutex);
        previous.swap(m_devices);
        m_devices = std::move(found);
        m_initialised = true;
        m_lastUsed = m_formatCounted = m_resolutionCountedDevice = m_resolutionCountedFormat = -1;
    }
    return ORVIX_OK; // `previous` goes away here, outside the state lock
}

std::shared_ptr<Device> Registry::deviceLocked(long index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_devices.size())
        return nullptr;
    return m_devices[static_cast<size_t>(index)];
}

std::shared_ptr<Device> Registry::device(long index) const
{
    std::lock_guard<std::mutex> state(m_stateMutex);
    return deviceLocked(index);
}

int Registry::deviceCount(long &count) const
{
    std::lock_guard<std::mutex> state(m_stateMutex);
    count = static_cast<long>(m_devices.size());
    if (!m_initialised) {
        setLastError("Cam_Init has not been called");
        return ORVIX_E_STATE;
    }
    return ORVIX_OK;
}

int Registry::deviceName(long index, std::string &name) const
{
    const std::shared_ptr<Device> d = device(index);
    if (!d)
        return noDevice(index);
    name = d->name();
    return ORVIX_OK;
}

int Registry::formatCount(long index, long &count)
{
    std::lock_guard<std::mutex> state(m_stateMutex);
    count = 0;
    const std::shared_ptr<Device> d = deviceLocked(index);
    if (!d)
        return noDevice(index);
    count = static_cast<long>(d->formats().size());
    m_formatCounted = index;
    return ORVIX_OK;
}

int Registry::formatName(long format, std::string &name) const
{
    std::lock_guard<std::mutex> state(m_stateMutex);
    const std::shared_ptr<Device> d = deviceLocked(m_formatCounted);
    if (!d) {
        setLastError("no device was counted with Cam_GetCameraFormatCount");
        return ORVIX_E_STATE;
    }
    const std::vector<std::string> formats = d->formats();
    if (format < 0 || static_cast<size_t>(format) >= formats.size()) {
        setLastError("no format at index " + std::to_string(format));
        return ORVIX_E_ARGUMENT;
    }
    name = formats[static_cast<size_t>(format)];
    return ORVIX_OK;
}

int Registry::resolutionCount(long index, long format, long &count)
{
    std::lock_guard<std::mutex> state(m_stateMutex);
    count = 0;
    const std::shared_ptr<Device> d = deviceLocked(index);
    if (!d)
        return noDevice(index);
    if (format < 0 || static_cast<size_t>(format) >= d->formats().size()) {
        setLastError("no format at index " + std::to_string(format));
        return ORVIX_E_ARGUMENT;
    }
    count = static_cast<long>(d->resolutions(static_cast<int>(format)).size());
    m_resolutionCountedDevice = index;
    m_resolutionCountedFormat = format;
    return ORVIX_OK;
}

int Registry::resolutionName(long index, long &width, long &height) const
{
    std::lock_guard<std::mutex> state(m_stateMutex);
    const std::shared_ptr<Device> d = deviceLocked(m_resolutionCountedDevice);
    if (!d) {
        setLastError("no device was counted with Cam_GetCameraResolutionCount");
        return ORVIX_E_STATE;
    }
    const std::vector<Resolution> list = d->resolutions(static_cast<int>(m_resolutionCountedFormat));
    if (index < 0 || static_cast<size_t>(index) >= list.size()) {
        setLastError("no resolution at index " + std::to_string(index));
        return ORVIX_E_ARGUMENT;
    }
    width = list[static_cast<size_t>(index)].width;
    height = list[static_cast<size_t>(index)].height;
    return ORVIX_OK;
}

int Registry::setResolution(long index, long width, long height)
{
    const std::shared_ptr<Device> d = device(index);
    if (!d)
        return noDevice(index);
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) {
        setLastError("unusable resolution " + std::to_string(width) + "x" + std::to_string(height));
        return ORVIX_E_ARGUMENT;
    }
    const int rc = d->setResolution(static_cast<int>(width), static_cast<int>(height));
    if (rc == ORVIX_OK) {
        std::lock_guard<std::mutex> state(m_stateMutex);
        m_lastUsed = index;
    }
    return rc;
}

int Registry::setFormat(long index, long format)
{
    const std::shared_ptr<Device> d = device(index);
    if (!d)
        return noDevice(index);
    if (format < 0 || format > 1000) {
        setLastError("no format at index " + std::to_string(format));
        return ORVIX_E_ARGUMENT;
    }
    const int rc = d->setFormat(static_cast<int>(format));
    if (rc == ORVIX_OK) {
        std::lock_guard<std::mutex> state(m_stateMutex);
        m_lastUsed = index;
    }
    return rc;
}

Device::FrameSink Registry::makeSink(CamFrameCallback callback)
{
    // Only the delivery thread touches the scratch frame and the outliner.
    auto scratch = std::make_shared<Frame>();
    auto outliner = std::make_shared<PreviewOutliner>();
    return [this, callback, scratch, outliner](const Frame &frame) {
        const Frame *shown = &frame;
        if (m_autoCrop) {
            try {
                scratch->width = frame.width;
                scratch->height = frame.height;
                scratch->rgb.assign(frame.rgb.begin(), frame.rgb.end());
                outliner->annotate(*scratch);
                shown = scratch.get();
                setOutlineSeen({true, outliner->hasPage(), outliner->corners(), frame.width, frame.height});
            } catch (const std::exception &e) {
                setLastError(std::string("preview outline failed: ") + e.what());
                setOutlineSeen({});
            }
        } else {
            outliner->forget();
            setOutlineSeen({});
        }
        CallbackScope scope;
        try {
            callback(const_cast<uint8_t *>(shown->rgb.data()), static_cast<int>(shown->rgb.size()),
                     shown->width, shown->height, 0);
        } catch (...) {
            // An exception must not end the delivery thread (and the process).
        }
        ++m_delivered;
    };
}

void Registry::setOutlineSeen(const OutlineSeen &seen)
{
    std::lock_guard<std::mutex> lock(m_outlineMutex);
    m_outlineSeen = seen;
}

int Registry::previewOutline(Quad &corners, int &width, int &height) const
{
    std::lock_guard<std::mutex> lock(m_outlineMutex);
    if (!m_outlineSeen.drawn) {
        setLastError("no page outline is drawn on the preview");
        return ORVIX_E_STATE;
    }
    corners = m_outlineSeen.corners;
    width = m_outlineSeen.width;
    height = m_outlineSeen.height;
    return m_outlineSeen.found ? 1 : 0;
}

void Registry::stopLocked()
{
    std::shared_ptr<Device> running;
    {
        std::lock_guard<std::mutex> state(m_stateMutex);
        running = std::move(m_streaming);
        m_streaming.reset();
    }
    if (running)
        running->stop();
    setOutlineSeen({});
}

int Registry::startCapture(long index, CamFrameCallback callback)
{
    if (t_inFrameCallback)
        return refuseFromCallback("Cam_CameraCaptureStart");
    if (!callback) {
        setLastError("no frame callback given");
        return ORVIX_E_ARGUMENT;
    }
    std::lock_guard<std::mutex> control(m_controlMutex);
    const std::shared_ptr<Device> d = device(index);
    if (!d)
        return noDevice(index);
    stopLocked();
    {
        std::lock_guard<std::mutex> state(m_stateMutex);
        m_lastUsed = index;
    }
    if (!d->accessible()) {
        setLastError(d->name() + " cannot be opened with the user's rights");
        return ORVIX_E_ACCESS;
    }
    m_delivered = 0;
    const int rc = d->start(makeSink(callback));
    if (rc == ORVIX_OK) {
        std::lock_guard<std::mutex> state(m_stateMutex);
        m_streaming = d;
    }
    return rc;
}

int Registry::stopCapture()
{
    if (t_inFrameCallback)
        return refuseFromCallback("Cam_CameraCaptureStop");
    std::lock_guard<std::mutex> control(m_controlMutex);
    stopLocked();
    return ORVIX_OK;
}

// The streaming device; else the one last started or configured; else the
// first listed.
std::shared_ptr<Device> Registry::captureDevice() const
{
    std::lock_guard<std::mutex> state(m_stateMutex);
    if (m_streaming)
        return m_streaming;
    if (auto d = deviceLocked(m_lastUsed))
        return d;
    return deviceLocked(0);
}

int Registry::captureBookFiles(const std::string &path, const IMAGEPARAM &param, bool privateFile,
                               std::vector<std::string> &usedPaths)
{
    usedPaths.clear();
    const std::shared_ptr<Device> d = captureDevice();
    if (!d) {
        setLastError("no camera to capture from");
        return ORVIX_E_NODEVICE;
    }
    const int rc = captureResult([&] {
        Frame still;
        int result = d->grabStill(still, kStillTimeoutMs);
        std::vector<Frame> pages;
        if (result == ORVIX_OK)
            pages = processBookCapture(std::move(still), param);
        if (result == ORVIX_OK && pages.empty()) {
            setLastError("page processing gave no page");
            result = ORVIX_E_IO;
        }
        std::string next = path;
        for (size_t i = 0; result == ORVIX_OK && i < pages.size(); ++i) {
            std::vector<uint8_t> bytes;
            result = jpeg::encode(pages[i], kJpegQuality, bytes, true);
            if (result == ORVIX_OK && next.empty()) {
                setLastError("no free name for the next page of " + usedPaths.back());
                result = ORVIX_E_IO;
            }
            std::string used;
            if (result == ORVIX_OK)
                result = jpeg::writeNewFile(next, bytes, privateFile, used);
            if (result == ORVIX_OK) {
                usedPaths.push_back(used);
                next = fileio::nextFreeStampedPath(used);
            }
        }
        return result;
    });
    if (rc != ORVIX_OK) {
        // Half a spread is not kept: the book is still there to scan again.
        for (const std::string &written : usedPaths)
            ::unlink(written.c_str());
        usedPaths.clear();
        std::fprintf(stderr, "orvix: book capture to %s failed: %s\n", path.c_str(), lastError());
    }
    return rc;
}

int Registry::captureFile(const std::string &path, const IMAGEPARAM &param, NewFile *newFile)
{
    const std::shared_ptr<Device> d = captureDevice();
    int rc = ORVIX_OK;
    if (!d) {
        setLastError("no camera to capture from");
        rc = ORVIX_E_NODEVICE;
    } else {
        rc = captureResult([&] {
            Frame still;
            int result = d->grabStill(still, kStillTimeoutMs);
            if (result == ORVIX_OK) {
                const Frame page = processCapture(std::move(still), param, m_autoCrop);
                std::vector<uint8_t> bytes;
                result = page.empty() ? ORVIX_E_IO : jpeg::encode(page, kJpegQuality, bytes, true);
                if (page.empty())
                    setLastError("page processing gave an empty picture");
                if (result == ORVIX_OK && newFile)
                    result = jpeg::writeNewFile(path, bytes, newFile->privateFile, newFile->usedPath);
                else if (result == ORVIX_OK)
                    result = jpeg::writeFileAtomic(path, bytes);
            }
            return result;
        });
    }
    if (rc != ORVIX_OK)
        std::fprintf(stderr, "orvix: capture to %s failed: %s\n", path.c_str(), lastError());
    return rc;
}

int Registry::accessible(long index) const
{
    const std::shared_ptr<Device> d = device(index);
    return d ? (d->accessible() ? 1 : 0) : noDevice(index);
}

int Registry::tarvo(long index) const
{
    const std::shared_ptr<Device> d = device(index);
    return d ? (d->tarvo() ? 1 : 0) : noDevice(index);
}

} // namespace orvix
