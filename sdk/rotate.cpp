#include "processing.h"

namespace orvix {

Frame rotateFrame(const Frame &in, int /*degrees*/)
{
    return in;
}

} // namespace orvix
