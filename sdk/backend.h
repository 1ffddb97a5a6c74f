// The library's inside: one abstract camera and the backends that list them.
// Entry points talk to Device only; nothing above this line knows whether a
// camera is simulated or real.
#ifndef ORVIX_BACKEND_H
#define ORVIX_BACKEND_H

#include "sdk/frame.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvix {

struct Resolution {
    int width = 0;
    int height = 0;
    bool operator==(const Resolution &o) const { return width == o.width && height == o.height; }
};

class Device
{
public:
    // Called on the device's own delivery thread for every preview frame.
    using FrameSink = std::function<void(const Frame &)>;

    virtual ~Device() = default;

    virtual std::string name() const = 0;
    virtual bool accessible() const = 0;
    virtual bool tarvo() const = 0;
    virtual std::vector<std::string> formats() const = 0;
    virtual std::vector<Resolution> resolutions(int format) const = 0;

    // Apply to the following frames and stills. Return ORVIX_OK or a code.
    virtual int setResolution(int width, int height) = 0;
    virtual int setFormat(int format) = 0;

    // Starts delivery on a thread of the device's own. A second start
    // without stop restarts.
    virtual int start(FrameSink sink) = 0;
    // Returns only when the sink no longer runs; harmless when stopped.
    virtual void stop() = 0;
    // A full-resolution still of the current scene, unprocessed. Waits at
    // most timeoutMs for a frame; fails with a code when none comes.
    virtual int grabStill(Frame &out, int timeoutMs) = 0;
};

class Backend
{
public:
    virtual ~Backend() = default;
    virtual const char *name() const = 0;
    virtual std::vector<std::unique_ptr<Device>> enumerate() = 0;
};

} // namespace orvix

#endif
