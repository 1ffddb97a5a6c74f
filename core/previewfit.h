#ifndef PREVIEWFIT_H
#define PREVIEWFIT_H

#include <QPointF>
#include <QRect>
#include <QSize>
#include <QSizeF>
#include <QString>

// Where the live picture goes: the frame is fitted to the video area by
// height (landscape area) or width (portrait area), grown by `scale`
// pixels, and centred in a box of the area's size whose top-left corner is
// `boxOrigin` in window coordinates. A rotation by an odd number of quarter
// turns, taken modulo 360 (negative angles too), swaps the proportion.
// Each coordinate is truncated toward zero.
QRect fitPreviewRect(const QSize &frame, qreal rotate, const QSizeF &area, qreal scale,
                     const QPointF &boxOrigin = QPointF(0, 50));

// For an angle that is a whole number of quarter turns, the number of turns
// in 0..3; -1 for any other angle.
int quarterTurns(qreal rotate);

// The size of the frame after rotating it by `rotate` degrees, as a rotated
// copy of it would be.
QSize rotatedFrameSize(const QSize &frame, qreal rotate);


#endif
