#include "cammainwindow.h"

void CamMainWindow::addItem(QString) {}
QStringList CamMainWindow::getListSelectedFile()
{
    return {};
}
void CamMainWindow::slotListViewContextMenu(QPoint) {}
void CamMainWindow::slotTableViewMenuDelFile() {}
void CamMainWindow::slotImgListViewPressed(QModelIndex) {}
