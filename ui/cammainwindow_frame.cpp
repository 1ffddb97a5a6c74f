#include "cammainwindow.h"

void CamMainWindow::onButtonMinClicked() {}
void CamMainWindow::onButtonRestoreClicked() {}
void CamMainWindow::onButtonMaxClicked() {}
void CamMainWindow::onButtonCloseClicked() {}
