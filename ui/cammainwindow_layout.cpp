#include "cammainwindow.h"

void CamMainWindow::initUI() {}
void CamMainWindow::addMaskWidgetUI() {}
void CamMainWindow::initConnection() {}
