#include "sdk/simulated/simulateddevice.h"

#include "camera/camsdk.h"
#include "sdk/lasterror.h"
#include "sdk/simulated/simulatedscene.h"

#include <chrono>
#include <cstdio>
#include <new>

namespace orvix {
namespace {
constexpr std::chrono::microseconds kFrameInterval(1000000 / 15);
const char *const kFormats[] = {"MJPG", "YUYV"};
constexpr int kFormatCount = 2;
// The device whose frames the calling thread delivers, if any.
thread_local const SimulatedDevice *t_deliveringFor = nullptr;
} // namespace

SimulatedDevice::SimulatedDevice(SimulatedCameraSpec spec) : m_spec(std::move(spec))
{
    if (!m_spec.resolutions.empty())
        m_resolution = m_spec.resolutions.front();
    if (!m_spec.scenePath.empty() && PageTurner::isFolder(m_spec.scenePath))
        m_pages.reset(new PageTurner(m_spec.scenePath, m_spec.holdSeconds));
}

// Called with m_stateMutex free. The pages are timed from the first start,
// so a restart after a settings change goes on with the same page.
bool SimulatedDevice::renderPages(Frame &out)
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    const auto now = std::chrono::steady_clock::now();
    if (!m_pagesStarted) {
        m_pagesStarted = true;
        m_pagesStart = now;
    }
    const double seconds = std::chrono::duration<double>(now - m_pagesStart).count();
    try {
        m_pages->render(seconds, m_resolution.width, m_resolution.height, out);
    } catch (const std::exception &e) {
        setLastError(std::string("cannot render the pages: ") + e.what());
        return false;
    }
    return !out.empty();
}

SimulatedDevice::~SimulatedDevice()
{
    stop();
    if (m_thread.joinable()) // stopped from its own thread earlier
        m_thread.join();
}

std::vector<std::string> SimulatedDevice::formats() const
{
    return std::vector<std::string>(kFormats, kFormats + kFormatCount);
}

std::vector<Resolution> SimulatedDevice::resolutions(int format) const
{
    if (format < 0 || format >= kFormatCount)
        return {};
    return m_spec.resolutions;
}

int SimulatedDevice::setResolution(int width, int height)
{
    const Resolution wanted{width, height};
    for (const Resolution &r : m_spec.resolutions) {
        if (r == wanted) {
            std::lock_guard<std::mutex> lock(m_stateMutex);
            m_resolution = r;
            return ORVIX_OK;
        }
    }
    setLastError(m_spec.name + " has no resolution " + std::to_string(width) + "x" +
                 std::to_string(height));
    return ORVIX_E_ARGUMENT;
}

int SimulatedDevice::setFormat(int format)
{
    if (format < 0 || format >= kFormatCount) {
        setLastError(m_spec.name + " has no format " + std::to_string(format));
        return ORVIX_E_ARGUMENT;
    }
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_format = format;
    return ORVIX_OK;
}

Resolution SimulatedDevice::resolution() const
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return m_resolution;
}

int SimulatedDevice::start(FrameSink sink)
{
    if (m_spec.noAccess) {
        setLastError(m_spec.name + " cannot be opened with the user's rights");
        return ORVIX_E_ACCESS;
    }
    if (m_spec.busy) {
        setLastError(m_spec.name + " is in use by another program");
        return ORVIX_E_BUSY;
    }
    std::lock_guard<std::mutex> lock(m_controlMutex);
    if (m_thread.joinable()) {
        if (t_deliveringFor == this) {
            setLastError("a restart from the delivery thread itself is refused");
            return ORVIX_E_STATE;
        }
        m_stopRequested = true;
        m_wake.notify_all();
        m_thread.join();
    }
    m_stopRequested = false;
    try {
        m_thread = std::thread(&SimulatedDevice::deliver, this, std::move(sink));
    } catch (const std::exception &e) {
        setLastError(std::string("cannot start the delivery thread: ") + e.what());
        return ORVIX_E_NOMEM;
    }
    return ORVIX_OK;
}

void SimulatedDevice::stop()
{
    m_stopRequested = true;
    {
        std::lock_guard<std::mutex> wakeLock(m_wakeMutex);
        m_wake.notify_all();
    }
    // From the delivery thread itself a join would wait forever; the loop
    // ends after this frame and the next start or the destructor joins it.
    if (t_deliveringFor == this)
        return;
    std::lock_guard<std::mutex> lock(m_controlMutex);
    if (m_thread.joinable())
        m_thread.join();
}

int SimulatedDevice::grabStill(Frame &out, int /*timeoutMs*/)
{
    if (m_spec.noAccess) {
        setLastError(m_spec.name + " cannot be opened with the user's rights");
        return ORVIX_E_ACCESS;
    }
    if (m_spec.busy) {
        setLastError(m_spec.name + " is in use by another program");
        return ORVIX_E_BUSY;
    }
    if (m_spec.failCapture) {
        setLastError(m_spec.name + " failed to take a still (failcapture)");
        return ORVIX_E_IO;
    }
    if (m_pages) {
        // The page as it lies now, hand and all when mid-turn.
        Frame now;
        if (!renderPages(now))
            return ORVIX_E_NOMEM;
        out = std::move(now);
        return ORVIX_OK;
    }
    const std::shared_ptr<const Frame> scene = currentScene();
    if (!scene) {
        setLastError("no memory for the scene of " + m_spec.name);
        return ORVIX_E_NOMEM;
    }
    try {
        out = *scene;
    } catch (const std::bad_alloc &) {
        setLastError("no memory for a still");
        return ORVIX_E_NOMEM;
    }
    return ORVIX_OK;
}

std::shared_ptr<const Frame> SimulatedDevice::currentScene()
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    if (!m_scene || m_scene->width != m_resolution.width || m_scene->height != m_resolution.height)
        m_scene = renderScene(m_resolution);
    return m_scene;
}

// Called with m_stateMutex held. The static picture is made once per size;
// frames only repaint the live marks on top of it.
std::shared_ptr<const Frame> SimulatedDevice::renderScene(Resolution size)
{
    try {
        if (!m_spec.scenePath.empty() && !m_pictureTried) {
            m_pictureTried = true;
            auto picture = std::make_shared<Frame>();
            std::string why;
            if (loadScenePicture(m_spec.scenePath, *picture, why)) {
                m_picture = std::move(picture);
            } else {
                std::fprintf(stderr, "orvix: %s: scene picture unusable (%s), showing the desk\n",
                             m_spec.name.c_str(), why.c_str());
            }
        }
        if (m_picture)
            return std::make_shared<const Frame>(
                fitPictureToScene(*m_picture, size.width, size.height));
        return std::make_shared<const Frame>(renderDeskScene(size.width, size.height));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "orvix: %s: cannot render the scene: %s\n", m_spec.name.c_str(),
                     e.what());
        return nullptr;
    }
}

void SimulatedDevice::deliver(FrameSink sink)
{
    t_deliveringFor = this;
    Frame live;
    std::shared_ptr<const Frame> still;
    LiveMarks marks;
    uint64_t frameNumber = 0;
    auto due = std::chrono::steady_clock::now();
    while (!m_stopRequested) {
        if (m_pages) {
            if (renderPages(live))
                sink(live);
            waitForNextFrame(due);
            continue;
        }
        const std::shared_ptr<const Frame> scene = currentScene();
        if (scene && scene != still) {
            still = scene;
            try {
                live = *still;
            } catch (const std::bad_alloc &) {
                live = Frame();
            }
            marks.reset();
        }
        if (!live.empty()) {
            marks.paint(live, *still, frameNumber++);
            sink(live);
        }
        waitForNextFrame(due);
    }
}

void SimulatedDevice::waitForNextFrame(std::chrono::steady_clock::time_point &due)
{
    // Keep the pace without bursts after a slow frame.
    due += kFrameInterval;
    const auto now = std::chrono::steady_clock::now();
    if (due < now)
        due = now;
    std::unique_lock<std::mutex> lock(m_wakeMutex);
    m_wake.wait_until(lock, due, [this] { return m_stopRequested.load(); });
}

} // namespace orvix
