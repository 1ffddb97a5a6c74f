#include "sdk/backends.h"

#include "sdk/simulated/simulatedbackend.h"
#include "sdk/v4l2/v4l2backend.h"

#include <cstdlib>
#include <cstring>

namespace orvix {

std::vector<std::unique_ptr<Backend>> makeBackends()
{
    std::vector<std::unique_ptr<Backend>> backends;
    // ORVIX_V4L2=0 keeps real cameras out, so tests see only simulated ones.
    const char *v4l2 = std::getenv("ORVIX_V4L2");
    if (!v4l2 || std::strcmp(v4l2, "0") != 0) {
        if (auto b = makeV4l2Backend())
            backends.push_back(std::move(b));
    }
    if (auto b = makeSimulatedBackend())
        backends.push_back(std::move(b));
    return backends;
}

} // namespace orvix
