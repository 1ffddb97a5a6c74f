#include "core/tilegeometry.h"

#include <cstring>

namespace tile {

Kind kindForSuffix(const char *suffix)
{
    if (!suffix)
        return Kind::Icon;
    if (std::strcmp(suffix, "jpg") == 0)
        return Kind::Jpeg;
    if (std::strcmp(suffix, "bmp") == 0)
        return Kind::Bmp;
    if (std::strcmp(suffix, "pdf") == 0)
        return Kind::Pdf;
    return Kind::Icon;
}

QRectF tileRect(const QRect &optionRect)
{
    return QRectF(optionRect.x(), optionRect.y(), optionRect.width() - 1, optionRect.height() - 1);
}

QRectF cardRect(const QRectF &tile)
{
    return QRectF(tile.x() + kCardInset, tile.y() + kCardInset, tile.width() - 2 * kCardInset,
                  tile.height() - 2 * kCardInset);
}

QSize displayedSize(Kind kind, qint64 sourceWidth, qint64 sourceHeight)
{
    if (kind == Kind::Icon)
        return QSize(kIconSize, kIconSize);
    if (sourceWidth <= 0 || sourceHeight <= 0)
        return QSize();
    if (sourceWidth >= sourceHeight)
        return QSize(kPictureLongSide, int(sourceHeight * kPictureShortScale / sourceWidth));
    return QSize(int(sourceWidth * kPictureShortScale / sourceHeight), kPictureLongSide);
}

QRect pictureRect(Kind kind, const QRectF &tile, const QSize &displayed)
{
    const int w = displayed.width();
    const int h = displayed.height();
    switch (kind) {
    case Kind::Jpeg:
    case Kind::Pdf:
        return QRect(int(tile.left() + (kPictureReference - w) / 2),
                     int(tile.top() + (kPictureReference - h) / 2), w, h);
    case Kind::Bmp:
        // BMP pictures centre on the name's reference width, 17 px further right.
        return QRect(int(tile.left() + (kNameReference - w) / 2),
                     int(tile.top() + (kPictureReference - h) / 2), w, h);
    case Kind::Icon:
        break;
    }
    const int offset = (kPictureReference - kIconSize) / 2;
    return QRect(int(tile.left() + offset), int(tile.top() + offset), kIconSize, kIconSize);
}

QString shortenedName(const QString &picName)
{
    return picName.left(6) + QStringLiteral("...") + picName.mid(picName.length() - 5);
}

int cappedNameWidth(int measuredWidth)
{
    return measuredWidth >= kNameWidthCap ? kNameWidthCap : measuredWidth;
}

QRect nameRect(Kind kind, const QRectF &tile, int cappedWidth)
{
    const int boxWidth = (kind == Kind::Bmp || kind == Kind::Pdf) ? 180 : 150;
    return QRect(int(tile.left() + (kNameReference - cappedWidth) / 2), int(tile.bottom() - kNameBottomOffset),
                 boxWidth, kNameHeight);
}

} // namespace tile
