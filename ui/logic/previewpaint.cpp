#include "previewpaint.h"

#include "previewfit.h"

#include <QTransform>

int drawPreviewFrame(QPainter &painter, const QImage &frame, const QRect &target, qreal rotate)
{
    if (frame.isNull())
        return 0;

    const int turns = quarterTurns(rotate);
    if (turns < 0) {
        const QImage turned = frame.transformed(QTransform().rotate(rotate), Qt::FastTransformation);
        painter.drawImage(QRectF(target), turned);
        return turned.width();
    }

    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRectF box(target);
    painter.translate(box.center());
    painter.rotate(turns * 90.0);
    const qreal w = box.width();
    const qreal h = box.height();
    const QRectF unturned = (turns % 2) ? QRectF(-h / 2, -w / 2, h, w) : QRectF(-w / 2, -h / 2, w, h);
    painter.drawImage(unturned, frame);
    painter.restore();
    return (turns % 2) ? frame.height() : frame.width();
}
