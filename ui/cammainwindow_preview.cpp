#include "cammainwindow.h"

#include <QPaintEvent>

QImage *g_Camimage = nullptr;
QMutex MutexCamDataBuffLock;

int CamMainWindow::InitSDK()
{
    bIsConnect = false;
    return 1;
}

void CamMainWindow::PreviewImage() {}

int CamMainWindow::ReceiveImage(void *, int, int, int, int)
{
    return 0;
}

void CamMainWindow::paintEvent(QPaintEvent *event)
{
    QMainWindow::paintEvent(event);
}

void CamMainWindow::ReshUI() {}
void CamMainWindow::slotOneTOneBtnClicked() {}
void CamMainWindow::slotZoomInBtnClicked() {}
void CamMainWindow::slotZoomOutBtnClicked() {}
