// The EXIF block of the JPEGs we write: what other programs expect to find
// (resolution, chroma siting, the capture time) and a small preview (IFD1),
// so list thumbnails need not decode a whole page.
#ifndef ORVIX_EXIFTHUMBNAIL_H
#define ORVIX_EXIFTHUMBNAIL_H

#include "sdk/frame.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvix {
namespace exif {

// Long side of the embedded preview. Larger than the 200-pixel hint the list
// painter asks with, so that its requests are answered from the preview.
constexpr int kThumbnailLongSide = 320;

// Inserts an APP1 Exif segment into `jpeg` (the encoded `page`), with `taken`
// as the original date and time and, for pages larger than the preview, a
// preview of `page`.
void embedExif(const Frame &page, std::vector<uint8_t> &jpeg,
               std::chrono::system_clock::time_point taken = std::chrono::system_clock::now());

// Where the embedded preview's JPEG bytes lie, or false when there is none.
bool findThumbnail(const uint8_t *data, size_t size, const uint8_t *&thumb, size_t &thumbSize);

// Decodes the embedded preview when it answers the hint: its long side at
// least the hint's long side and its shape the main picture's (a preview
// that was not updated after an edit is ignored).
bool decodeThumbnail(const uint8_t *data, size_t size, int mainWidth, int mainHeight,
                     int hintWidth, int hintHeight, Frame &out);

} // namespace exif
} // namespace orvix

#endif
