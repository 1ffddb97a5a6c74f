#include "core/previewpaint.h"

#include "core/framescaler.h"
#include "core/previewfit.h"

#include <QPaintDevice>
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
    const int drawnWidth = (turns % 2) ? frame.height() : frame.width();
    if (target.isEmpty())
        return drawnWidth;

    if (frame.format() == QImage::Format_RGB888 && painter.transform().type() <= QTransform::TxTranslate &&
        painter.device()) {
        // Sample only what can show: the target within the device and clip.
        const QPoint shift(qRound(painter.transform().dx()), qRound(painter.transform().dy()));
        QRect visible = target.intersected(QRect(-shift, QSize(painter.device()->width(), painter.device()->height())));
        if (painter.hasClipping())
            visible = visible.intersected(painter.clipBoundingRect().toAlignedRect());
        // Kept between paints: a window-sized buffer is allocated once, not
        // faulted in afresh for every frame.
        static thread_local QImage part;
        if (scaleTurnedFrame(frame, turns, target.size(), visible.translated(-target.topLeft()), part))
            painter.drawImage(visible.topLeft(), part);
        return drawnWidth;
    }

    // Any other painter: turn the painter and draw the unturned frame into
    // the correspondingly swapped rectangle.
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRectF box(target);
    painter.translate(box.center());
    painter.rotate(turns * 90.0);
    const qreal w = box.width();
    const qreal h = box.height();
    painter.drawImage((turns % 2) ? QRectF(-h / 2, -w / 2, h, w) : QRectF(-w / 2, -h / 2, w, h), frame);
    painter.restore();
    return drawnWidth;
}

QRect paintPictureBadge(QPainter &painter, const QRect &visible, const QString &text)
{
    if (visible.width() < 60 || visible.height() < 40)
        return QRect();
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(14);
    font.setBold(true);
    painter.setFont(font);
    const QRect textRect = painter.fontMetrics().boundingRect(text);
    const QRect badge(visible.right() - textRect.width() - 28, visible.top() + 10, textRect.width() + 18, 26);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 150));
    painter.drawRoundedRect(badge, 8, 8);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, text);
    painter.restore();
    return badge;
}

void paintPictureFlash(QPainter &painter, const QRect &visible)
{
    constexpr int kBorder = 6;
    if (visible.width() <= 2 * kBorder || visible.height() <= 2 * kBorder)
        return;
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(54, 146, 238)); // the title bar's blue
    const QRect inner = visible.adjusted(kBorder, kBorder, -kBorder, -kBorder);
    painter.drawRect(QRect(visible.topLeft(), QSize(visible.width(), kBorder)));
    painter.drawRect(QRect(QPoint(visible.left(), inner.bottom() + 1), QSize(visible.width(), kBorder)));
    painter.drawRect(QRect(QPoint(visible.left(), inner.top()), QSize(kBorder, inner.height())));
    painter.drawRect(QRect(QPoint(inner.right() + 1, inner.top()), QSize(kBorder, inner.height())));
    painter.restore();
}
