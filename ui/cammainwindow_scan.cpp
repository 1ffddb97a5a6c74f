#include "ui/cammainwindow.h"

#include "ui/picitemdata.h"

#include <QFileInfo>

#include <QStandardItemModel>

void CamMainWindow::slotScanBtnClicked()
{
    maskWidget->show();
    maskWidget->raise();

    m_session.scan(m_nCropIndex, nRotate, savedSettings());
    showCropIndicator();
}

void CamMainWindow::slotSaveImgThreadOver()
{
    if (!m_session.isSaving())
        maskWidget->hide();
}

// The right page of a spread, right after its left page.
void CamMainWindow::insertItem(int row, const QString &path, bool pdf)
{
    addItem(path, pdf);
    const int last = listViewModel->rowCount() - 1;
    if (row < last)
        listViewModel->insertRow(row, listViewModel->takeRow(last));
}

void CamMainWindow::onSaveFinished(int row, const SaveOutcome &outcome)
{
    if (!outcome.written) {
        showErrorMessage(outcome.message());
        return;
    }
    if (row < 0)
        return;
    // A name taken meanwhile made the save move on: the tile shows the file made.
    QStandardItem *item = listViewModel->item(row);
    PicItemData itemData = item ? item->data(PicItemData::Role).value<PicItemData>() : PicItemData();
    if (item && itemData.picPath != outcome.path) {
        itemData.picPath = outcome.path;
        itemData.picName = QFileInfo(outcome.path).fileName();
        item->setData(QVariant::fromValue(itemData), PicItemData::Role);
    }
    // The tile was painted before its file existed.
    imgListView->update(listViewProxyModel->mapFromSource(listViewModel->index(row, 0)));
}
