// Shrinks an 8-bit grey picture by averaging the area under each new pixel,
// a row at a time: no 32-bit copy of a full-size capture on the way.
#ifndef GREYSHRINK_H
#define GREYSHRINK_H

#include <QImage>

// `grey` (Format_Grayscale8) at `width` x `height`, no larger than it is;
// null when either is not.
QImage shrinkGrey(const QImage &grey, int width, int height);

#endif
