// The JPEG files of the library behind a small interface: decoding with
// limits and size hints (answered from the embedded preview when it can),
// encoding with that preview, and writing a file so that no reader sees half
// of it. The limits and peekSize come with turbocodec.h.
#ifndef ORVIX_JPEGCODEC_H
#define ORVIX_JPEGCODEC_H

#include "sdk/frame.h"
#include "sdk/jpeg/turbocodec.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvix {
namespace jpeg {

// Decodes a whole JPEG. With a hint (either side > 0) the result is smaller
// when it can be: the embedded preview of one of our files if its long side
// reaches the hint's long side (max of hintWidth, hintHeight) and its shape is
// the page's; else the page scaled by the smallest n/8 (n = 1..8) whose long
// side still reaches the hint's long side. A hint above the picture's size
// gives the whole picture. Returns ORVIX_OK or a negative code; on failure
// `out` is empty. `out`'s buffer is reused when large enough. Frames without
// Huffman tables (Motion-JPEG from UVC cameras) decode with the standard
// tables.
int decode(const uint8_t *data, size_t size, Frame &out, int hintWidth = 0, int hintHeight = 0);

// Encodes R,G,B pixels at `quality` (1-100), 4:2:0. With embedThumbnail the
// EXIF block (capture time, resolution, a preview with a long side of 320
// pixels) goes into the file as well.
int encode(const Frame &in, int quality, std::vector<uint8_t> &out, bool embedThumbnail = false);

// Writes `bytes` to a temporary file in the same folder and renames it to
// `path`: readers see the old file or the whole new one, and a symlink at
// `path` is replaced, not followed. Returns ORVIX_OK or ORVIX_E_IO with the
// reason in the thread's last error.
int writeFileAtomic(const std::string &path, const std::vector<uint8_t> &bytes);
// As writeFileAtomic, but nothing at `path` is ever replaced: a stamped name
// moves on to the next free stamp and `usedPath` receives the name written.
// With `privateFile` the file is 0600 whatever the umask.
int writeNewFile(const std::string &path, const std::vector<uint8_t> &bytes, bool privateFile,
                 std::string &usedPath);

} // namespace jpeg
} // namespace orvix

#endif
