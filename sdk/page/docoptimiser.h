// Document optimisation: even lighting, white paper, dark crisp text.
#ifndef ORVIX_DOCOPTIMISER_H
#define ORVIX_DOCOPTIMISER_H

#include "sdk/frame.h"

namespace orvix {

// Divides every channel by an estimate of the bare paper under the same
// light (dark marks closed away, smoothed), then stretches the ratio so that
// paper becomes white and ink black. Colour stays colour.
// Taken by value: a picture handed over with std::move is worked on in place.
Frame optimiseDocument(Frame in);

} // namespace orvix

#endif
