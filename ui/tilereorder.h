// Reordering the tiles of the stored-files list: dragging a tile within the
// list, and Ctrl+Up / Ctrl+Down for the selected tile. Asks for moves in
// rows of the list's source model and moves nothing itself: the owner moves
// its pages and the list follows them, so both keep one order.
#ifndef TILEREORDER_H
#define TILEREORDER_H

#include <QObject>

class QDropEvent;
class QListView;
class QSortFilterProxyModel;
class QWidget;

class TileReorder : public QObject
{
    Q_OBJECT

public:
    // `view` shows `proxy`; the keys work anywhere in `keyHost`'s window.
    TileReorder(QListView *view, QSortFilterProxyModel *proxy, QWidget *keyHost);

    // Moves the selected tile `step` places (negative: up); nothing without a
    // selection or past either end.
    void moveSelected(int step);

signals:
    void moveRequested(int from, int to);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int selectedRow() const;
    bool dropSelected(QDropEvent *drop);

    QListView *m_view;
    QWidget *m_viewport;
    QSortFilterProxyModel *m_proxy;
};

#endif
