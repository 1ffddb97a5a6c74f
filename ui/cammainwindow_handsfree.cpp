#include "ui/cammainwindow.h"

#include "ui/scankeyfilter.h"

#include <QApplication>
#include <QDebug>

void CamMainWindow::initHandsFree()
{
    auto *keys = new ScanKeyFilter(this);
    qApp->installEventFilter(keys);
    connect(keys, SIGNAL(signalScanKeyPressed()), this, SLOT(slotScanKeyPressed()));
    connect(keys, SIGNAL(signalAutoCaptureKeyPressed()), this, SLOT(slotAutoCaptureKeyPressed()));
    // A page scanned by hand is not taken again by the automatic capture.
    connect(scanBtn, SIGNAL(clicked()), this, SLOT(slotScanTakenByHand()));
}

// What a click on the scan button could do now: nothing while the busy mask
// covers it, while a box is open, or while it is disabled (no live picture).
bool CamMainWindow::scanOfferedNow() const
{
    if (maskWidget->isVisible())
        return false;
    if (QApplication::activeModalWidget())
        return false;
    return scanBtn->isEnabled();
}

void CamMainWindow::slotScanKeyPressed()
{
    if (!scanOfferedNow()) {
        qDebug("scan key ignored: busy, a box is open or there is no picture\n");
        return;
    }
    slotScanBtnClicked();
    slotScanTakenByHand();
}

void CamMainWindow::slotScanTakenByHand()
{
    m_autoCapture.markScanned();
}

void CamMainWindow::slotAutoCaptureKeyPressed()
{
    if (QApplication::activeModalWidget())
        return;
    m_autoCapture.toggle();
    update();
}

// On the GUI thread, for each repaint request; the camera's thread does no extra work.
void CamMainWindow::watchForAutoCapture()
{
    if (!m_autoCapture.newPageAtRest())
        return;
    if (!scanOfferedNow()) {
        // The page is not scanned yet: watch afresh so it is taken once the
        // window can scan again.
        qDebug("automatic capture waits: busy, a box is open or there is no picture\n");
        m_autoCapture.reset();
        return;
    }
    qDebug("automatic capture: new page at rest, scanning\n");
    slotScanBtnClicked();
}
