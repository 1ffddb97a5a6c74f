// Arithmetic of one thumbnail tile in the stored-files list: which picture a
// file gets, how large it is drawn and where, and how its name is shortened.
// No painting here, so all of it can be checked without a display.
#ifndef TILEGEOMETRY_H
#define TILEGEOMETRY_H

#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

namespace tile {

// The fixed tile and card measures, in view pixels.
constexpr int kTileSize = 164;
constexpr int kCardInset = 10;
constexpr qreal kCardRadius = 18.0;
constexpr int kPictureLongSide = 85;
constexpr int kPictureShortScale = 100;
constexpr int kPictureReference = 160;
constexpr int kNameReference = 194;
constexpr int kNameWidthCap = 150;
constexpr int kNameHeight = 25;
constexpr int kNameBottomOffset = 40;
constexpr int kIconSize = 85;
// Size hint for the thumbnail decoder: the drawn picture is never larger.
constexpr long kDecodeHint = 200;

// How a file is pictured. A page of this run brings its kind from the scan.
enum class Kind { Jpeg, Bmp, Pdf, Icon };

// For a file listed without a kind, by the last three bytes of its path:
// "jpg", "bmp" and "pdf" exactly (case-sensitive); anything else is an icon.
Kind kindForSuffix(const char *suffix);

// The tile rectangle of an item: the option rectangle less one pixel in width
// and height; the card is that rectangle inset by 10 on every side.
QRectF tileRect(const QRect &optionRect);
QRectF cardRect(const QRectF &tile);

// Drawn size of a picture of sourceWidth x sourceHeight: long side 85, short
// side scaled with 100 (so 3264 x 2448 shows as 85 x 75). Icons are 85 x 85.
// An empty size when a source side is not positive: nothing is drawn then.
QSize displayedSize(Kind kind, qint64 sourceWidth, qint64 sourceHeight);

// Where the picture of that size goes inside the tile.
QRect pictureRect(Kind kind, const QRectF &tile, const QSize &displayed);

// First 6 characters, "...", last 5, whatever the length of the name.
QString shortenedName(const QString &picName);

// The measured width of the name, capped at 150.
int cappedNameWidth(int measuredWidth);

// The name box under the picture: centred on 194 by the capped width,
// 150 wide (180 for BMP and PDF), 25 high, its top 40 above the tile bottom.
QRect nameRect(Kind kind, const QRectF &tile, int cappedWidth);

} // namespace tile

#endif
