#include "sdk/v4l2/v4l2backend.h"

#include "sdk/v4l2/v4l2device.h"
#include "sdk/v4l2/v4l2probe.h"

namespace orvix {
namespace {

class V4l2Backend : public Backend
{
public:
    V4l2Backend(std::shared_ptr<V4l2Io> io, std::string sysfsRoot, std::string devRoot)
        : m_io(std::move(io)), m_sysfsRoot(std::move(sysfsRoot)), m_devRoot(std::move(devRoot))
    {
    }

    const char *name() const override { return "v4l2"; }

    std::vector<std::unique_ptr<Device>> enumerate() override
    {
        std::vector<std::unique_ptr<Device>> devices;
        for (V4l2DeviceInfo &info : probeV4l2Devices(*m_io, m_sysfsRoot, m_devRoot)) {
            auto locate = [io = m_io, sysfs = m_sysfsRoot, dev = m_devRoot, camera = info] {
                return findCameraNode(*io, sysfs, dev, camera);
            };
            devices.push_back(std::make_unique<V4l2Device>(m_io, std::move(info), std::move(locate)));
        }
        return devices;
    }

private:
    std::shared_ptr<V4l2Io> m_io;
    std::string m_sysfsRoot;
    std::string m_devRoot;
};

} // namespace

std::unique_ptr<Backend> makeV4l2Backend(std::shared_ptr<V4l2Io> io, const std::string &sysfsRoot,
                                         const std::string &devRoot)
{
    return std::make_unique<V4l2Backend>(std::move(io), sysfsRoot, devRoot);
}

std::unique_ptr<Backend> makeV4l2Backend()
{
    return makeV4l2Backend(std::make_shared<SystemV4l2Io>(), "/sys", "/dev");
}

} // namespace orvix
