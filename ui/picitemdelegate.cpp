#include "ui/picitemdelegate.h"

#include "core/framecopy.h"
#include "pdf/decodedjpeg.h"
#include "ui/picitemdata.h"
#include "core/tilegeometry.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <QTextOption>

#include <cstring>
#include <memory>

#ifndef QUILLO_PDF_PLACEHOLDER
#define QUILLO_PDF_PLACEHOLDER "/opt/norvel/Quillo/pdf.svg"
#endif

namespace {

struct CharArrayDelete {
    void operator()(char *p) const { delete[] p; }
};

QFont nameFont()
{
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("SourceHanSansSC-Normal"), QStringLiteral("SourceHanSansSC")});
    font.setPointSize(12);
    // Meant as the light (CSS 300) cut; Qt 5 takes 0-99, where 300 would ask
    // for a synthetic black.
    font.setWeight(QFont::Light);
    font.setItalic(false);
    return font;
}

// The picture of one tile, straight from disk. Nothing is kept between paints,
// so JPEGs are decoded at thumbnail size (the library's size hint) and copied
// row by row into an image of exactly what came back.
QImage loadPicture(tile::Kind kind, const QString &path)
{
    switch (kind) {
    case tile::Kind::Jpeg:
        return toImage(decodeJpegFile(path, tile::kDecodeHint, tile::kDecodeHint));
    case tile::Kind::Bmp:
        return QImage(path);
    case tile::Kind::Pdf:
        return QImage(QStringLiteral(QUILLO_PDF_PLACEHOLDER));
    case tile::Kind::Icon:
        break;
    }
    const QIcon icon = QFileIconProvider().icon(QFileInfo(path));
    return icon.pixmap(tile::kIconSize, tile::kIconSize, QIcon::Normal, QIcon::Off).toImage();
}

// Pages of this run say what they are; only a file listed without that is
// judged by the last three bytes of its name.
tile::Kind tileKind(const PicItemData &data)
{
    switch (data.pageKind) {
    case PicItemData::PageKind::Jpeg:
        return tile::Kind::Jpeg;
    case PicItemData::PageKind::Pdf:
        return tile::Kind::Pdf;
    case PicItemData::PageKind::Unknown:
        break;
    }
    const std::unique_ptr<char[], CharArrayDelete> suffix(
        PicItemDelegate::substrend(data.picPath.toLatin1().constData(), 2));
    return tile::kindForSuffix(suffix.get());
}

} // namespace

PicItemDelegate::PicItemDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

PicItemDelegate::~PicItemDelegate() = default;

void PicItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!index.isValid() || !painter)
        return;

    painter->save();
    const PicItemData data = index.data(PicItemData::Role).value<PicItemData>();
    if (data.picPath.isEmpty() || !QFileInfo::exists(data.picPath)) {
        painter->restore();
        return;
    }

    const QRectF rect = tile::tileRect(option.rect);
    QPainterPath pathMain;
    pathMain.addRoundedRect(tile::cardRect(rect), tile::kCardRadius, tile::kCardRadius, Qt::AbsoluteSize);
    painter->fillPath(pathMain, Qt::white);

    const tile::Kind kind = tileKind(data);

    const QImage picture = loadPicture(kind, data.picPath);
    const QSize displayed = picture.isNull() ? QSize() : tile::displayedSize(kind, picture.width(), picture.height());

    painter->setFont(nameFont());
    const QString fileName = tile::shortenedName(data.picName);
    const int fontWidth = tile::cappedNameWidth(painter->fontMetrics().horizontalAdvance(fileName));
    const QRect nameRect = tile::nameRect(kind, rect, fontWidth);

    painter->setRenderHint(QPainter::Antialiasing, true);
    if (!displayed.isEmpty())
        painter->drawImage(tile::pictureRect(kind, rect, displayed), picture, picture.rect());
    painter->setPen(QColor(QStringLiteral("#526A7F")));
    painter->drawText(nameRect, fileName, QTextOption());

    if (option.state & QStyle::State_Selected) {
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->fillPath(pathMain, QBrush(QColor(0, 0, 0, 51)));
    } else if (option.state & QStyle::State_MouseOver) {
        painter->fillPath(pathMain, QBrush(QColor(0, 0, 0, 5)));
    }
    painter->restore();
}

QSize PicItemDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return QSize(tile::kTileSize, tile::kTileSize);
}

char *PicItemDelegate::substrend(const char *str, int n)
{
    const size_t len = str ? std::strlen(str) : 0;
    // n + 1 characters from the end; all of str when that is not less.
    const size_t keep = (n < 0) ? 0 : (size_t(n) + 1 > len ? len : size_t(n) + 1);
    const size_t from = (n >= 0 && size_t(n) >= len) ? 0 : len - keep;
    const size_t count = len - from;
    char *out = new char[count + 1];
    if (count)
        std::memcpy(out, str + from, count);
    out[count] = '\0';
    return out;
}
