#include "ui/cammainwindow.h"

#include "core/rotationcounter.h"

#include <QDebug>

void CamMainWindow::slotRotateLeftBtnClicked()
{
    RotationCounter counter{nLeftRotateIndex, nRightRotateIndex, nRotate};
    rotateLeft(counter);
    nLeftRotateIndex = counter.leftIndex;
    nRotate = counter.rotate;
    showCropIndicator();
    update();
}

void CamMainWindow::slotRotateRightBtnClicked()
{
    RotationCounter counter{nLeftRotateIndex, nRightRotateIndex, nRotate};
    rotateRight(counter);
    nRightRotateIndex = counter.rightIndex;
    nRotate = counter.rotate;
    showCropIndicator();
    update();
}

void CamMainWindow::slotCutBtnClicked()
{
    qDebug("on_CropButton_clicked is %d\n", m_nCropIndex);
    ++m_nCropIndex;
    qDebug("on_CropButton_clicked is %d\n", m_nCropIndex);
    qDebug(cropIsOn(m_nCropIndex) ? "crop\n" : "no crop\n");
    showCropIndicator();
    m_session.setAutoCrop(cropIsOn(m_nCropIndex));
}

// Book mode is not offered (its button stays hidden).
void CamMainWindow::slotbookBtnClicked() {}

void CamMainWindow::slotSaveBtnClicked()
{
    if (m_bIsShowCommit)
        hide();
    else
        close();
    emit commitend();
}
