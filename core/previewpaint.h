#ifndef PREVIEWPAINT_H
#define PREVIEWPAINT_H

#include <QImage>
#include <QPainter>
#include <QRect>

// Draws `frame` turned by `rotate` degrees and stretched into `target`,
// without making a rotated copy when the angle is a whole number of quarter
// turns: the painter is turned instead and the unrotated frame drawn into
// the correspondingly swapped rectangle, or, on a plain raster painter,
// only the visible pixels are sampled. Other angles rotate a copy first.
// Returns the width of the frame after rotation (what a 1:1 view needs).
int drawPreviewFrame(QPainter &painter, const QImage &frame, const QRect &target, qreal rotate);

// `text` on a dark rounded label in the top right corner of the visible part
// of the picture, so that the window's layout stays as it is; nothing when
// that part is too small to hold it. Returns where the label went (empty
// when not drawn), so that another can go beside it.
QRect paintPictureBadge(QPainter &painter, const QRect &visible, const QString &text);

// A bright frame just inside the visible part of the picture: the picture
// itself says that it was just taken.
void paintPictureFlash(QPainter &painter, const QRect &visible);

#endif
