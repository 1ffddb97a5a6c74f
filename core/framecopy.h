#ifndef FRAMECOPY_H
#define FRAMECOPY_H

#include <QImage>

struct DecodedJpeg;

// Copies w*h packed R,G,B pixels (rows back to back, w*3 bytes each) into an
// RGB888 image of that size. QImage pads rows to 4 bytes, so the copy goes
// row by row unless the strides happen to agree. False if the sizes or the
// format do not match; the image is then left alone.
bool copyRgbFrame(QImage &dst, const void *src, int w, int h);

// An RGB888 image of exactly the decoded size, filled row by row.
QImage toImage(const DecodedJpeg &decoded);

#endif
