// The backend for real cameras, with its system access injectable.
#ifndef ORVIX_V4L2BACKEND_H
#define ORVIX_V4L2BACKEND_H

#include "sdk/backend.h"
#include "sdk/v4l2/v4l2io.h"

#include <memory>
#include <string>

namespace orvix {

// The cameras of this machine, through the system's own calls.
std::unique_ptr<Backend> makeV4l2Backend();
std::unique_ptr<Backend> makeV4l2Backend(std::shared_ptr<V4l2Io> io, const std::string &sysfsRoot,
                                         const std::string &devRoot);

} // namespace orvix

#endif
