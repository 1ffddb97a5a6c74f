// libjpeg-turbo itself: a JPEG's own pixels in and out. What our files carry
// beside them (the EXIF block and its preview) is exifthumbnail's, and the
// choice between that preview and the page is jpegcodec's.
#ifndef ORVIX_TURBOCODEC_H
#define ORVIX_TURBOCODEC_H

#include "sdk/frame.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvix {
namespace jpeg {

// Pictures larger than this are refused before any pixel is allocated.
constexpr uint64_t kMaxPixels = 100ull * 1000 * 1000;

// Reads only the header. Returns ORVIX_OK and the size, or a negative code.
int peekSize(const uint8_t *data, size_t size, int &width, int &height);

// Decodes the page itself, never an embedded preview. With a hint (either
// side > 0) the page is scaled by the smallest n/8 (n = 1..8) whose long side
// still reaches the hint's long side. Returns ORVIX_OK or a negative code; on
// failure `out` is empty. `out`'s buffer is reused when large enough. Frames
// without Huffman tables (Motion-JPEG from UVC cameras) decode with the
// standard tables.
int decodePixels(const uint8_t *data, size_t size, Frame &out, int hintWidth = 0, int hintHeight = 0);

// Encodes R,G,B pixels at `quality` (1-100), 4:2:0, with no EXIF block.
int encodePixels(const Frame &in, int quality, std::vector<uint8_t> &out);

} // namespace jpeg
} // namespace orvix

#endif
