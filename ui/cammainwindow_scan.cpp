#include "ui/cammainwindow.h"

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

void CamMainWindow::onSaveFinished(int row, const SaveOutcome &outcome)
{
    if (!outcome.written) {
        showErrorMessage(outcome.message());
        return;
    }
    if (row < 0)
        return;
    // The tile was painted before its file existed.
    imgListView->update(listViewProxyModel->mapFromSource(listViewModel->index(row, 0)));
}
