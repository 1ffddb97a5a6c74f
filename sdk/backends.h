// Every backend the library lists cameras from.
#ifndef ORVIX_BACKENDS_H
#define ORVIX_BACKENDS_H

#include "sdk/backend.h"

#include <memory>
#include <vector>

namespace orvix {

// In listing order: real cameras first, then simulated ones.
std::vector<std::unique_ptr<Backend>> makeBackends();

} // namespace orvix

#endif
