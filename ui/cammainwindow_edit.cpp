#include "cammainwindow.h"

#include "rotationcounter.h"

#include <QDebug>

namespace {

// cutBtn's pressed-down look is the crop indicator; other clicks can reset
// it, so every command that may have done so sets it again from the counter.
void showCropIndicator(QPushButton *cutBtn, int cropIndex)
{
    if (cutBtn)
        cutBtn->setDown(cropIsOn(cropIndex));
}

} // namespace

void CamMainWindow::slotRotateLeftBtnClicked()
{
    RotationCounter counter{nLeftRotateIndex, nRightRotateIndex, nRotate};
    rotateLeft(counter);
    nLeftRotateIndex = counter.leftIndex;
    nRotate = counter.rotate;
    showCropIndicator(cutBtn, m_nCropIndex);
    update();
}

void CamMainWindow::slotRotateRightBtnClicked()
{
    RotationCounter counter{nLeftRotateIndex, nRightRotateIndex, nRotate};
    rotateRight(counter);
    nRightRotateIndex = counter.rightIndex;
    nRotate = counter.rotate;
    showCropIndicator(cutBtn, m_nCropIndex);
    update();
}

void CamMainWindow::slotCutBtnClicked()
{
    qDebug("on_CropButton_clicked is %d\n", m_nCropIndex);
    ++m_nCropIndex;
    qDebug("on_CropButton_clicked is %d\n", m_nCropIndex);
    if (!cropIsOn(m_nCropIndex)) {
        qDebug("no crop\n");
        showCropIndicator(cutBtn, m_nCropIndex);
        Cam_SetAutoCrop(false);
    } else {
        qDebug("crop\n");
        showCropIndicator(cutBtn, m_nCropIndex);
        Cam_SetAutoCrop(true);
    }
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
