// Packed 4:2:2 YUYV (what UVC cameras send uncompressed) to R,G,B.
#ifndef ORVIX_YUYV_H
#define ORVIX_YUYV_H

#include "sdk/frame.h"

#include <cstddef>
#include <cstdint>

namespace orvix {

// Converts `height` rows of `width` pixels, `bytesPerLine` apart (0 means
// width * 2), with BT.601 studio-range integer arithmetic. Returns false and
// leaves `out` empty when `size` bytes cannot hold the picture or the
// dimensions are unusable (odd width, zero).
bool yuyvToRgb(const uint8_t *data, size_t size, int width, int height, size_t bytesPerLine, Frame &out);

} // namespace orvix

#endif
