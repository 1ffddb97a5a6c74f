#include "ui/cammainwindow.h"
#include "settings/setwindow.h"

#include "ui/titlebar.h"

#include <QApplication>
#include <QDebug>
#include <QScreen>

void CamMainWindow::onButtonMinClicked()
{
    showMinimized();
    showCropIndicator();
}

void CamMainWindow::onButtonMaxClicked()
{
    m_titleBar->saveRestoreInfo(pos(), QSize(width(), height()));
    // The default screen's available area (what the desktop widget reports for screen -1).
    const QRect desktopRect = QGuiApplication::primaryScreen()->availableGeometry();
    // Lay the edges just outside the available area.
    const QRect FactRect(desktopRect.x() - 3, desktopRect.y() - 3, desktopRect.width() + 6,
                         desktopRect.height() + 6);
    setGeometry(FactRect);
    showCropIndicator();
}

void CamMainWindow::onButtonRestoreClicked()
{
    QPoint windowPos;
    QSize windowSize;
    m_titleBar->getRestoreInfo(windowPos, windowSize);
    if (!windowSize.isValid()) {
        qDebug() << "restore: no saved geometry, window left as it is";
        return;
    }
    setGeometry(QRect(windowPos, windowSize));
}

void CamMainWindow::onButtonCloseClicked()
{
    m_nCropIndex = 1;
    // In upload mode the camera keeps running behind a hidden window.
    if (m_bIsShowCommit) {
        hide();
        return;
    }
    close();
    // An open settings window would keep the program running after its main
    // window is gone, and a save from it would restart a camera nobody shows.
    if (m_set && m_set->isVisible())
        m_set->close();
    m_session.stop();
}
