#include "cammainwindow.h"

void CamMainWindow::slotMergeBtnCliecked() {}
