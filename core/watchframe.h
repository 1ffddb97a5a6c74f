#ifndef QUILLO_CORE_WATCHFRAME_H
#define QUILLO_CORE_WATCHFRAME_H

#include <QImage>

// A small grey copy of a preview frame, `width` pixels wide with the frame's
// proportions, for the automatic capture to watch. Each reduced pixel is the
// mean of a 2 x 2 grid of samples spread over its block of the frame: enough
// to keep lines of print from flickering in and out between frames, at a
// cost that does not grow with the camera's resolution. Null for a null frame.
QImage reduceForWatching(const QImage &frame, int width);

#endif
