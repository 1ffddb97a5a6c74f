// What a simulated camera sees: an overhead view of a desk with a white page
// of text lying a little askew, or a picture given by the user, plus marks
// that change every frame so the preview visibly lives.
#ifndef ORVIX_SIMULATEDSCENE_H
#define ORVIX_SIMULATEDSCENE_H

#include "sdk/frame.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvix {

struct PagePoint {
    double x = 0;
    double y = 0;
};

// Page corners in pixels: top-left, top-right, bottom-right, bottom-left. A
// convex quadrilateral, turned a few degrees and narrower at the top.
using PageCorners = std::array<PagePoint, 4>;

// Where renderDeskScene puts the page for a picture of this size.
PageCorners deskPageCorners(int width, int height);

// The static synthetic view: desk, page shadow, page, text lines.
Frame renderDeskScene(int width, int height);

// Reads a JPEG (our decoder) or PNG (OpenCV) file. False with the reason when
// the file is missing, unreadable or absurdly large.
bool loadScenePicture(const std::string &path, Frame &out, std::string &why);

// `picture` scaled to fit `share` of width x height, aspect kept, centred on
// desk colour.
Frame fitPictureToScene(const Frame &picture, int width, int height, double share = 1.0);

// Paints the changing marks (a disc gliding along the bottom edge and a frame
// counter at the top left, both on the desk, clear of the page) into a live
// frame, first restoring from `still` what the previous marks covered, so a
// frame costs a few small rectangles instead of a whole picture.
class LiveMarks
{
public:
    // Call after `live` was refreshed from the still as a whole.
    void reset() { m_dirty.clear(); }
    void paint(Frame &live, const Frame &still, uint64_t frameNumber);

private:
    struct Box {
        int x, y, w, h;
    };
    std::vector<Box> m_dirty;
};

} // namespace orvix

#endif
