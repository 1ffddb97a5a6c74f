#include "backend.h"

namespace orvix {

std::unique_ptr<Backend> makeV4l2Backend()
{
    return nullptr;
}

} // namespace orvix
