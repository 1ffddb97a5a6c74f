// The backend that lists the cameras of ORVIX_SIMULATED_CAMERAS.
#ifndef ORVIX_SIMULATEDBACKEND_H
#define ORVIX_SIMULATEDBACKEND_H

#include "sdk/backend.h"

#include <memory>

namespace orvix {

std::unique_ptr<Backend> makeSimulatedBackend();

} // namespace orvix

#endif
