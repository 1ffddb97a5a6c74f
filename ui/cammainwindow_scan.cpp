#include "cammainwindow.h"

void CamMainWindow::slotScanBtnClicked() {}
void CamMainWindow::slotSaveImgThreadOver() {}
