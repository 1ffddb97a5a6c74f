#include "ui/tilereorder.h"

#include <QDebug>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QListView>
#include <QShortcut>
#include <QSortFilterProxyModel>

TileReorder::TileReorder(QListView *view, QSortFilterProxyModel *proxy, QWidget *keyHost)
    : QObject(view), m_view(view), m_proxy(proxy)
{
    // Static: a drag moves a row of the model, never just a tile's position
    // on screen; the tiles keep their column.
    m_view->setMovement(QListView::Static);
    m_view->setDragEnabled(true);
    m_view->setAcceptDrops(true);
    m_view->viewport()->setAcceptDrops(true);
    m_view->setDragDropMode(QAbstractItemView::InternalMove);
    m_view->setDefaultDropAction(Qt::MoveAction);
    m_view->setDropIndicatorShown(true);
    m_view->viewport()->installEventFilter(this);

    auto *up = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up), keyHost);
    auto *down = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down), keyHost);
    up->setContext(Qt::WindowShortcut);
    down->setContext(Qt::WindowShortcut);
    connect(up, &QShortcut::activated, this, [this] { moveSelected(-1); });
    connect(down, &QShortcut::activated, this, [this] { moveSelected(1); });
}

int TileReorder::selectedRow() const
{
    const QModelIndexList selected = m_view->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : m_proxy->mapToSource(selected.first()).row();
}

void TileReorder::moveSelected(int step)
{
    const int from = selectedRow();
    const int to = from + step;
    if (from < 0 || to < 0 || to >= m_proxy->rowCount())
        return;
    emit moveRequested(from, to);
}

bool TileReorder::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::Drop)
        return dropSelected(static_cast<QDropEvent *>(event));
    return QObject::eventFilter(watched, event);
}

// The dragged tile is the selected one (single selection). It lands before
// the tile it is dropped on, or after it when dropped on its lower half;
// below the last tile it becomes the last.
bool TileReorder::dropSelected(QDropEvent *drop)
{
    if (drop->source() != m_view)
        return false;
    const int from = selectedRow();
    const int count = m_proxy->rowCount();
    const QModelIndex target = m_view->indexAt(drop->pos());
    int before = count;
    if (target.isValid()) {
        const QRect rect = m_view->visualRect(target);
        before = m_proxy->mapToSource(target).row() + (drop->pos().y() > rect.center().y() ? 1 : 0);
    }
    const int to = before > from ? before - 1 : before;
    // Not a move: the view must not remove the dragged row afterwards.
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (from >= 0 && to != from) {
        qDebug() << "tile" << from << "dragged to place" << to;
        emit moveRequested(from, to);
    }
    return true;
}
