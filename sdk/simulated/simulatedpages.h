// A simulated camera whose scene=PATH names a folder: someone turning
// through the folder's pictures under the camera. Each picture, in name
// order, lies still for the hold time; then a hand comes in from the right,
// carries the page's edge across to the left, uncovering the next picture,
// and goes back out, in about a second. The last picture stays.
#ifndef ORVIX_SIMULATEDPAGES_H
#define ORVIX_SIMULATEDPAGES_H

#include "sdk/frame.h"

#include <memory>
#include <string>
#include <vector>

namespace orvix {

class PageTurner
{
public:
    static constexpr double kTurnSeconds = 1.0;
    // A page lies whole under the camera, with desk around it, so that a
    // Tarvo camera's outline can find all four corners.
    static constexpr double kPageShare = 0.92;

    // Whether `path` is a folder (then the camera turns pages).
    static bool isFolder(const std::string &path);

    // Lists the JPEG and PNG files of `folder`, in name order.
    PageTurner(const std::string &folder, double holdSeconds);

    size_t pageCount() const { return m_files.size(); }

    struct Moment {
        size_t page = 0;      // the picture lying there, or being turned away
        double turn = -1;     // progress of the turn 0..1, or -1 while the page lies still
    };
    Moment momentAt(double seconds) const;

    // What the camera sees `seconds` after the capture first started. An
    // empty folder or an unreadable picture shows the synthetic desk.
    void render(double seconds, int width, int height, Frame &out);

private:
    const Frame &picture(size_t index, int width, int height);
    void paintHand(Frame &frame, double x) const;

    std::vector<std::string> m_files;
    double m_hold;
    int m_width = 0, m_height = 0; // size the pictures below are fitted to
    std::vector<std::shared_ptr<const Frame>> m_fitted;
};

} // namespace orvix

#endif
