#include "cammainwindow.h"

#include "setwindow.h"

#include <QStandardItemModel>

void CamMainWindow::slotScanBtnClicked()
{
    maskWidget->show();
    maskWidget->raise();

    scanplan::SettingsWindowValues saved;
    const bool windowSaved = m_bIsSet && m_set && m_set->m_bIsSaveData;
    if (windowSaved) {
        saved.fileType = m_set->nFileType;
        saved.water = m_set->m_bIsWater;
        saved.red = m_set->cred;
        saved.green = m_set->cgreen;
        saved.blue = m_set->cblue;
        saved.textEnhance = m_set->m_bIsTextEn;
        saved.waterContent = m_set->szWaterContent;
        saved.folder = m_set->qFile;
    }
    m_session.scan(m_nCropIndex, nRotate, windowSaved ? &saved : nullptr);
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
    // The tile was painted before its file existed.
    if (row >= 0)
        imgListView->update(listViewProxyModel->mapFromSource(listViewModel->index(row, 0)));
}
