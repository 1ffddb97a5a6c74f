#include "ui/tilereorder.h"

#include <QDebug>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QListView>
#include <QShortcut>
#include <QSortFilterProxyModel>

TileReorder::TileReorder(QListView *view, QSortFilterProxyModel *proxy, QWidget *keyHost)
    : QObject(view), m_view(view), m_viewport(view->viewport()), m_proxy(proxy)
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
    m_viewport->installEventFilter(this);

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
    // The type first: while the view is destroyed its viewport still sends
    // events, and the view can no longer be asked for anything.
    if (event->type() == QEvent::Drop && watched == m_viewport)
        return dropSelected(static_cast<QDropEvent *>(event));
    return QObject::eventFilter(watched, event);
}

// The dragged tile is the selected one (single selection). The tiles stand in
// one column: it lands before the first tile whose middle is below the drop
// point, or last.
bool TileReorder::dropSelected(QDropEvent *drop)
{
    if (drop->source() != m_view)
        return false;
    const int from = selectedRow();
    const int count = m_proxy->rowCount();
    int before = count;
    for (int row = 0; row < count; ++row) {
        const QModelIndex tile = m_proxy->index(row, 0);
        if (drop->pos().y() < m_view->visualRect(tile).center().y()) {
            before = m_proxy->mapToSource(tile).row();
            break;
        }
    }
    const int to = before > from ? before - 1 : before;
    // Not a move for the view: it must not remove the dragged row afterwards.
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (from >= 0 && to != from) {
        qDebug() << "tile" << from << "dragged to place" << to;
        emit moveRequested(from, to);
    }
    return true;
}
