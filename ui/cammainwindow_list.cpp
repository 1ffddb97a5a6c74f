#include "cammainwindow.h"

#include "listpaths.h"
#include "picitemdata.h"

#include <QCursor>
#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QUrl>

#include <algorithm>

static const int kPicItemRole = Qt::UserRole + 1;

void CamMainWindow::addItem(QString path)
{
    QStandardItem *item = new QStandardItem;
    PicItemData itemData;
    itemData.picPath = path;
    itemData.picName = QFileInfo(path).fileName();
    item->setData(QVariant::fromValue(itemData), kPicItemRole);
    listViewModel->appendRow(item);
    imgListView->scrollToBottom();
}

QStringList CamMainWindow::getListSelectedFile()
{
    QStringList selected;
    const QModelIndexList indexes = imgListView->selectionModel()->selectedIndexes();
    for (const QModelIndex &index : indexes)
        selected.append(index.data(kPicItemRole).value<PicItemData>().picPath);
    return selected;
}

void CamMainWindow::slotListViewContextMenu(QPoint pos)
{
    // Only an item has a menu; the action works on the view's selection.
    if (!imgListView->indexAt(pos).isValid())
        return;
    listViewMenu->exec(QCursor::pos());
}

// Deletes the selected row's file and takes exactly that row out of the list.
// Every other row keeps its own pair of paths, so a one-page PDF capture still
// offers its page image to a later merge, and a row that happens to list the
// same path as the deleted one stays.
void CamMainWindow::slotTableViewMenuDelFile()
{
    const QModelIndexList indexes = imgListView->selectionModel()->selectedIndexes();
    if (indexes.isEmpty())
        return;

    // A file that stays on disk keeps its row: the list never hides a file
    // the user believes gone.
    QList<int> rows;
    QStringList failed;
    for (const QModelIndex &index : indexes) {
        const QString path = index.data(kPicItemRole).value<PicItemData>().picPath;
        if (QFileInfo::exists(path) && !QFile::remove(path)) {
            qDebug() << "delete: could not remove" << path << "from disk; the row stays";
            failed.append(path);
            continue;
        }
        rows.append(listViewProxyModel->mapToSource(index).row());
    }

    const QList<int> removed = removeListEntries(listViewImagePath, listViewImagePDFPath, rows);
    if (removed.size() != rows.size())
        qDebug() << "delete: path lists out of step with the list rows" << rows;

    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (const int row : qAsConst(rows))
        listViewModel->removeRow(row);

    imgListView->clearSelection();
    imgListView->scrollToBottom();
    for (const QString &path : qAsConst(failed))
        showErrorMessage(tr("文件 %1 无法删除。").arg(path));
}

void CamMainWindow::slotImgListViewPressed(QModelIndex nIndex)
{
    const int row = nIndex.row();
    if (row < 0 || row >= listViewImagePath.size())
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(listViewImagePath.at(row)));
}
