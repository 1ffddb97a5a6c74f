// Pixel buffers for whole pictures, kept between captures. A fresh 24 MB
// picture costs more in page faults and zero fill than most steps cost in
// work; a buffer handed back is reused by the next step that needs one.
#ifndef ORVIX_PICTUREPOOL_H
#define ORVIX_PICTUREPOOL_H

#include "sdk/frame.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvix {
namespace picturepool {

// A buffer of exactly `bytes` bytes whose contents are undefined: a kept one
// when one is large enough, else a new one.
std::vector<uint8_t> take(size_t bytes);

// A w x h frame on a buffer from take(); its pixels are undefined.
Frame takeFrame(int width, int height);

// Keeps the buffer for a later take() when it is the largest offered (one
// is kept; a capture needs no more); else it is freed.
void give(std::vector<uint8_t> &&buffer);

} // namespace picturepool
} // namespace orvix

#endif
