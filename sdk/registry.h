// The library's one list of devices and what the entry points remember
// between calls: the streaming device, the device last counted, the
// automatic-crop switch. Entry points only check pointers and forward here.
#ifndef ORVIX_REGISTRY_H
#define ORVIX_REGISTRY_H

#include "sdk/backend.h"
#include "camera/camsdk.h"
#include "sdk/page/pagedetector.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orvix {

class Registry
{
public:
    static Registry &instance();

    int init();
    int deviceCount(long &count) const;
    int deviceName(long index, std::string &name) const;
    int formatCount(long device, long &count);
    int formatName(long format, std::string &name) const;
    int resolutionCount(long device, long format, long &count);
    int resolutionName(long index, long &width, long &height) const;
    int setResolution(long device, long width, long height);
    int setFormat(long device, long format);
    int startCapture(long device, CamFrameCallback callback);
    int stopCapture();
    void setAutoCrop(bool on) { m_autoCrop = on; }
    bool autoCrop() const { return m_autoCrop; }
    // Without `newFile` the file replaces what is at `path` (the maker's
    // call); with it, the file is only ever new: its name moves on to the
    // next free stamp when taken, and newFile->usedPath tells which was used.
    struct NewFile
    {
        bool privateFile = false; // 0600 whatever the umask
        std::string usedPath;
    };
    int captureFile(const std::string &path, const IMAGEPARAM &param, NewFile *newFile = nullptr);
    // Book mode: the pages of the open book under the camera, left then
    // right, each a new file; the first at `path` (or the next free stamp),
    // the next under the next free stamp after it. `usedPaths` gets the
    // paths written; on failure none is left on disk and it is empty.
    int captureBookFiles(const std::string &path, const IMAGEPARAM &param, bool privateFile,
                         std::vector<std::string> &usedPaths);
    int accessible(long index) const;
    int tarvo(long index) const;
    long framesDelivered() const { return m_delivered; }
    // The outline drawn on the last preview frame: ORVIX_E_STATE when none is
    // drawn (cropping off, no capture), else 1 with a page and 0 without.
    int previewOutline(Quad &corners, int &width, int &height) const;

    // The device at `index`, or null; kept alive while the caller holds it.
    std::shared_ptr<Device> device(long index) const;

private:
    Registry() = default;
    std::shared_ptr<Device> deviceLocked(long index) const;
    std::shared_ptr<Device> captureDevice() const;
    void stopLocked();
    Device::FrameSink makeSink(CamFrameCallback callback);

    // Held by init, start and stop, which wait for devices. The delivery
    // threads never take either lock, so waiting for them cannot deadlock.
    std::mutex m_controlMutex;
    mutable std::mutex m_stateMutex;
    bool m_initialised = false;
    std::vector<std::shared_ptr<Device>> m_devices;
    std::shared_ptr<Device> m_streaming;
    long m_lastUsed = -1;
    long m_formatCounted = -1;
    long m_resolutionCountedDevice = -1;
    long m_resolutionCountedFormat = -1;
    std::atomic<bool> m_autoCrop{false};
    std::atomic<long> m_delivered{0};

    // Written by the delivery thread once a frame; a lock of its own, held
    // only to copy, keeps the control locks out of the frame path.
    struct OutlineSeen {
        bool drawn = false;
        bool found = false;
        Quad corners{};
        int width = 0;
        int height = 0;
    };
    void setOutlineSeen(const OutlineSeen &seen);
    mutable std::mutex m_outlineMutex;
    OutlineSeen m_outlineSeen;
};

} // namespace orvix

#endif
