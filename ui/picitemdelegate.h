#ifndef PICITEMDELEGATE_H
#define PICITEMDELEGATE_H

#include <QStyledItemDelegate>

// Paints each stored file of the list as a 164 x 164 card, straight from disk.
class PicItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit PicItemDelegate(QObject *parent = nullptr);
    ~PicItemDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The last n + 1 characters of str (a copy of all of it when n >= its
    // length), new[]-allocated; the caller releases it with delete[].
    static char *substrend(const char *str, int n);
};

#endif
