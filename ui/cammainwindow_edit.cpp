#include "ui/cammainwindow.h"

#include <QDebug>

// Both buttons turn the one counter; each keeps its own click count.
void CamMainWindow::turnPreview(void (*turn)(RotationCounter &))
{
    RotationCounter counter{nLeftRotateIndex, nRightRotateIndex, nRotate};
    turn(counter);
    nLeftRotateIndex = counter.leftIndex;
    nRightRotateIndex = counter.rightIndex;
    nRotate = counter.rotate;
    showCropIndicator();
    update();
}

void CamMainWindow::slotRotateLeftBtnClicked()
{
    turnPreview(rotateLeft);
}

void CamMainWindow::slotRotateRightBtnClicked()
{
    turnPreview(rotateRight);
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
