#ifndef FRAMESCALER_H
#define FRAMESCALER_H

#include <QImage>
#include <QRect>
#include <QSize>

// Nearest-neighbour sampling of an RGB888 frame turned clockwise by `turns`
// quarter turns and stretched to `target`, for just the `visible` part
// (in target coordinates), into `out`: an RGB32 image of the visible part's
// size, ready for an unscaled blit, re-used when it already has that size.
// False (and `out` untouched) when there is nothing to sample. Only the
// shown pixels are touched, so the cost follows the window, not the
// camera's resolution.
bool scaleTurnedFrame(const QImage &frame, int turns, const QSize &target, const QRect &visible, QImage &out);

// The same into a new image; null when there is nothing to sample.
QImage scaleTurnedFrame(const QImage &frame, int turns, const QSize &target, const QRect &visible);

#endif
