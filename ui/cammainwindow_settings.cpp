#include "cammainwindow.h"

void CamMainWindow::onButtonSetClicked() {}
