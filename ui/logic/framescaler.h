#ifndef FRAMESCALER_H
#define FRAMESCALER_H

#include <QImage>
#include <QRect>
#include <QSize>

// Nearest-neighbour sampling of an RGB888 frame turned clockwise by `turns`
// quarter turns and stretched to `target`, for just the `visible` part
// (in target coordinates). Returns an RGB32 image of visible's size, ready
// for an unscaled blit, or a null image when there is nothing to sample.
// Only the shown pixels are touched, so the cost follows the window, not
// the camera's resolution.
QImage scaleTurnedFrame(const QImage &frame, int turns, const QSize &target, const QRect &visible);

#endif
