#include "sdk/simulated/simulatedbackend.h"

#include "sdk/simulated/simulateddevice.h"
#include "sdk/simulated/simulatedspec.h"

#include <cstdio>
#include <cstdlib>

namespace orvix {
namespace {

class SimulatedBackend : public Backend
{
public:
    const char *name() const override { return "simulated"; }

    // The variable is read at every enumeration, so tests can change it
    // between Cam_Init calls.
    std::vector<std::unique_ptr<Device>> enumerate() override
    {
        std::vector<std::unique_ptr<Device>> devices;
        const char *text = std::getenv("ORVIX_SIMULATED_CAMERAS");
        if (!text)
            return devices;
        std::vector<std::string> problems;
        for (SimulatedCameraSpec &spec : parseSimulatedCameras(text, problems))
            devices.push_back(std::make_unique<SimulatedDevice>(std::move(spec)));
        for (const std::string &problem : problems)
            std::fprintf(stderr, "orvix: %s\n", problem.c_str());
        return devices;
    }
};

} // namespace

std::unique_ptr<Backend> makeSimulatedBackend()
{
    return std::make_unique<SimulatedBackend>();
}

} // namespace orvix
