// A camera that exists only in software, described by one entry of
// ORVIX_SIMULATED_CAMERAS. It streams its scene at about 15 frames a second
// on a thread of its own.
#ifndef ORVIX_SIMULATEDDEVICE_H
#define ORVIX_SIMULATEDDEVICE_H

#include "sdk/backend.h"
#include "sdk/simulated/simulatedpages.h"
#include "sdk/simulated/simulatedspec.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace orvix {

class SimulatedDevice : public Device
{
public:
    explicit SimulatedDevice(SimulatedCameraSpec spec);
    ~SimulatedDevice() override;

    std::string name() const override { return m_spec.name; }
    bool accessible() const override { return !m_spec.noAccess; }
    bool tarvo() const override { return m_spec.tarvo; }
    std::vector<std::string> formats() const override;
    std::vector<Resolution> resolutions(int format) const override;

    int setResolution(int width, int height) override;
    int setFormat(int format) override;
    int start(FrameSink sink) override;
    void stop() override;
    // The scene at the set resolution, without the live marks.
    int grabStill(Frame &out, int timeoutMs) override;

    Resolution resolution() const;

private:
    std::shared_ptr<const Frame> currentScene();
    std::shared_ptr<const Frame> renderScene(Resolution size);
    void deliver(FrameSink sink);
    // Page mode: what the camera sees now, timed from the first start.
    bool renderPages(Frame &out);
    void waitForNextFrame(std::chrono::steady_clock::time_point &due);

    const SimulatedCameraSpec m_spec;

    mutable std::mutex m_stateMutex; // resolution, format, scene cache
    Resolution m_resolution;
    int m_format = 0;
    std::shared_ptr<const Frame> m_scene;
    std::shared_ptr<const Frame> m_picture; // decoded scene=PATH file
    bool m_pictureTried = false;
    std::unique_ptr<PageTurner> m_pages; // scene=PATH names a folder
    std::chrono::steady_clock::time_point m_pagesStart;
    bool m_pagesStarted = false;

    std::mutex m_controlMutex; // start and stop
    std::thread m_thread;
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_stopRequested{false};
};

} // namespace orvix

#endif
