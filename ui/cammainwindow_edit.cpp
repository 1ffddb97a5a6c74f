#include "cammainwindow.h"

void CamMainWindow::slotRotateLeftBtnClicked() {}
void CamMainWindow::slotRotateRightBtnClicked() {}
void CamMainWindow::slotCutBtnClicked() {}
void CamMainWindow::slotbookBtnClicked() {}
void CamMainWindow::slotSaveBtnClicked() {}
