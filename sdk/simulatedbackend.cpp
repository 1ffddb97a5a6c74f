#include "backend.h"

namespace orvix {

std::unique_ptr<Backend> makeSimulatedBackend()
{
    return nullptr;
}

} // namespace orvix
