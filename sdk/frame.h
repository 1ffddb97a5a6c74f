// A picture inside the camera library: packed R,G,B rows, no padding.
#ifndef ORVIX_FRAME_H
#define ORVIX_FRAME_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvix {

// The largest side of any picture the library takes or gives: what a JPEG
// can describe, so every size that passes on the way in can also be stored.
constexpr int kMaxPictureSide = 65535;

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb; // width * height * 3 bytes

    bool empty() const { return width <= 0 || height <= 0 || rgb.empty(); }
    size_t stride() const { return static_cast<size_t>(width) * 3; }
    uint8_t *row(int y) { return rgb.data() + stride() * static_cast<size_t>(y); }
    const uint8_t *row(int y) const { return rgb.data() + stride() * static_cast<size_t>(y); }
    void allocate(int w, int h)
    {
        width = w;
        height = h;
        rgb.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, 0);
    }
};

} // namespace orvix

#endif
