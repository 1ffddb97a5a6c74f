#include "picitemdelegate.h"

#include <cstring>

PicItemDelegate::PicItemDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

PicItemDelegate::~PicItemDelegate() = default;

void PicItemDelegate::paint(QPainter *, const QStyleOptionViewItem &, const QModelIndex &) const {}

QSize PicItemDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return QSize(164, 164);
}

char *PicItemDelegate::substrend(const char *str, int n)
{
    const size_t len = str ? std::strlen(str) : 0;
    char *out = new char[len + 1];
    if (str)
        std::memcpy(out, str, len + 1);
    else
        out[0] = '\0';
    (void)n;
    return out;
}
