#include "ui/cammainwindow.h"

#include "ui/picitemdata.h"
#include "ui/tilereorder.h"

#include <QCursor>
#include <QDesktopServices>
#include <QItemSelectionModel>
#include <QUrl>

void CamMainWindow::initTileReorder()
{
    m_tileReorder = new TileReorder(imgListView, listViewProxyModel, this);
    connect(m_tileReorder, &TileReorder::moveRequested, &m_session.pages(), &StoredPages::move);
    connect(&m_session.pages(), &StoredPages::pageMoved, this, &CamMainWindow::onPageMoved);
}

// The moved tile stays selected, so that the keys can move it on. The model
// has its rows in the new order already: the pages' feed heard the move first.
void CamMainWindow::onPageMoved(int from, int to)
{
    Q_UNUSED(from);
    const QModelIndex moved = listViewProxyModel->mapFromSource(listViewModel->index(to, 0));
    imgListView->selectionModel()->setCurrentIndex(moved, QItemSelectionModel::ClearAndSelect);
    imgListView->scrollTo(moved);
}

QStringList CamMainWindow::getListSelectedFile()
{
    QStringList selected;
    const QModelIndexList indexes = imgListView->selectionModel()->selectedIndexes();
    for (const QModelIndex &index : indexes)
        selected.append(index.data(PicItemData::Role).value<PicItemData>().picPath);
    return selected;
}

void CamMainWindow::slotListViewContextMenu(QPoint pos)
{
    // Only an item has a menu; the action works on the view's selection.
    if (!imgListView->indexAt(pos).isValid())
        return;
    listViewMenu->exec(QCursor::pos());
}

// Deletes the selected rows' files and takes exactly those rows out of the
// list; every other row keeps its own pair of paths.
void CamMainWindow::slotTableViewMenuDelFile()
{
    const QModelIndexList indexes = imgListView->selectionModel()->selectedIndexes();
    if (indexes.isEmpty())
        return;
    QList<int> rows;
    for (const QModelIndex &index : indexes)
        rows.append(listViewProxyModel->mapToSource(index).row());
    const QStringList failed = m_session.pages().deleteFiles(rows);
    imgListView->clearSelection();
    imgListView->scrollToBottom();
    for (const QString &path : failed)
        showErrorMessage(tr("文件 %1 无法删除。").arg(path));
}

void CamMainWindow::slotImgListViewPressed(QModelIndex nIndex)
{
    const int row = listViewProxyModel->mapToSource(nIndex).row();
    if (row < 0 || row >= m_session.pages().count())
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(m_session.pages().at(row).shownPath));
}
