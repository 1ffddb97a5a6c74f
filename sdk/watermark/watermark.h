// The text watermark printed on a capture.
#ifndef ORVIX_WATERMARK_H
#define ORVIX_WATERMARK_H

#include "sdk/frame.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvix {

struct WatermarkStyle {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    int pixelSize = 0; // <= 0: a twentieth of the picture's short side
};

// Code points of NUL-terminated UTF-8. Malformed, overlong, surrogate and
// out-of-range sequences are skipped; a null pointer gives nothing.
std::u32string decodeUtf8(const char *text);

// Draws `text` in the bottom-right corner with a margin, shrunk to fit the
// width. Returns true when anything was drawn; no text, no usable font or a
// bad frame leave the frame as it was (with a trace line for the font).
bool drawWatermark(Frame &frame, const char *text, const WatermarkStyle &style);
bool drawWatermark(Frame &frame, const char *text, const WatermarkStyle &style,
                   const std::vector<std::string> &fontFiles);

} // namespace orvix

#endif
