// The live page outline at a price a small board can pay every frame: the
// page is looked for on a small copy of the frame, and only when the
// picture has changed since the last look or a while has passed; the
// frames in between get the last outline again.
#ifndef ORVIX_PREVIEWOUTLINER_H
#define ORVIX_PREVIEWOUTLINER_H

#include "sdk/frame.h"
#include "sdk/page/pagedetector.h"

#include <cstdint>
#include <vector>

namespace orvix {

// Detection size and outline colour (R, G, B) of the preview marking.
constexpr int kPreviewDetectLongSide = 400;
constexpr unsigned char kOutlineColour[3] = {40, 220, 60};

class PreviewOutliner
{
public:
    // A still picture is looked at again after this many frames (a second
    // at 15 frames/s); a changing one at most every kMinFramesBetweenLooks.
    static constexpr int kRefreshFrames = 15;
    static constexpr int kMinFramesBetweenLooks = 3;

    // Draws the page outline, if a page is seen, onto `frame`.
    void annotate(Frame &frame);

    // Forgets the last look: the next frame is looked at whatever it shows
    // (after the outline was switched off for a while).
    void forget() { m_width = m_height = 0; }

    // What the last look found, in frame coordinates.
    bool hasPage() const { return m_found; }
    const Quad &corners() const { return m_corners; }
    // Looks taken so far (a look is a page detection on the small copy).
    long looks() const { return m_looks; }

private:
    bool pictureMoved(const Frame &frame);
    void takeSignature(const Frame &frame, std::vector<uint8_t> &out) const;

    std::vector<uint8_t> m_signature; // of the frame at the last look
    std::vector<uint8_t> m_current;   // scratch for this frame's
    int m_width = 0;
    int m_height = 0;
    int m_sinceLook = 0;
    long m_looks = 0;
    bool m_found = false;
    Quad m_corners{};
};

// Draws a page outline in the preview colour, thick enough to see on a
// scaled-down preview.
void drawOutline(Frame &frame, const Quad &corners);

} // namespace orvix

#endif
