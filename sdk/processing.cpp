#include "processing.h"

namespace orvix {

Frame processCapture(const Frame &in, const IMAGEPARAM &param, bool /*autoCrop*/)
{
    return rotateFrame(in, param.nRotate);
}

void annotatePreview(Frame & /*frame*/) {}

} // namespace orvix
