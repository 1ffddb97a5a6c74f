#include "ui/cammainwindow.h"

#include "core/previewpaint.h"
#include "ui/scankeyfilter.h"

#include <QApplication>
#include <QDebug>
#include <QTimer>

void CamMainWindow::initHandsFree()
{
    auto *keys = new ScanKeyFilter(this);
    qApp->installEventFilter(keys);
    connect(keys, SIGNAL(signalScanKeyPressed()), this, SLOT(slotScanKeyPressed()));
    connect(keys, SIGNAL(signalFocusedButtonKeyPressed(QPushButton *)), this,
            SLOT(slotFocusedButtonKeyPressed(QPushButton *)));
    connect(keys, SIGNAL(signalAutoCaptureKeyPressed()), this, SLOT(slotAutoCaptureKeyPressed()));
    connect(keys, SIGNAL(signalBookModeKeyPressed()), this, SLOT(slotBookModeKeyPressed()));
    // A page scanned by hand is not taken again by the automatic capture.
    connect(scanBtn, SIGNAL(clicked()), this, SLOT(slotScanTakenByHand()));

    // A pedal that sends Space must go on scanning after any click: buttons
    // take the focus from Tab only, and on activation Qt gives the focus to
    // the widget that had it last, here the list, instead of the first
    // button in the Tab chain.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setFocusPolicy(Qt::TabFocus);
    imgListView->setFocus();
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

void CamMainWindow::slotFocusedButtonKeyPressed(QPushButton *button)
{
    // The mask covers the buttons as it does for the mouse.
    if (maskWidget->isVisible() || QApplication::activeModalWidget()) {
        qDebug("button key ignored: busy or a box is open\n");
        return;
    }
    button->click();
}

void CamMainWindow::slotScanTakenByHand()
{
    m_autoCapture.markScanned(CaptureSession::frame());
}

void CamMainWindow::slotAutoCaptureKeyPressed()
{
    if (QApplication::activeModalWidget())
        return;
    m_autoCapture.toggle();
    m_autoScans.restart();
    update();
}

void CamMainWindow::slotBookModeKeyPressed()
{
    if (QApplication::activeModalWidget())
        return;
    m_session.bookMode().toggle();
    update();
}

// On the GUI thread, for each repaint request; the camera's thread does no extra work.
void CamMainWindow::watchForAutoCapture()
{
    if (!m_autoCapture.newPageAtRest(CaptureSession::frame()))
        return;
    if (!scanOfferedNow()) {
        // The page is not scanned yet: watch afresh so it is taken once the
        // window can scan again.
        qDebug("automatic capture waits: busy, a box is open or there is no picture\n");
        m_autoCapture.reset();
        return;
    }
    m_autoScans.addScan();
    qDebug("automatic capture: new page at rest, scanning (%d since switched on)\n", m_autoScans.scans());
    slotScanBtnClicked();
    // Ends the flash should the camera stop sending frames.
    QTimer::singleShot(AutoScanTally::kFlashMs, this, SLOT(update()));
}

// Part of the picture like the badge: the count of automatic scans, and a
// flash of the border when one was just taken. Book mode's badge goes beside it.
void CamMainWindow::paintPictureNotices(QPainter &painter, const QRect &visible)
{
    QRect autoBadge;
    if (m_autoCapture.isOn()) {
        if (m_autoScans.flashing())
            paintPictureFlash(painter, visible);
        autoBadge = paintPictureBadge(painter, visible, tr("自动 %1").arg(m_autoScans.scans()));
    }
    if (!bookModeOn())
        return;
    constexpr int kBadgeGap = 6;
    const QRect beside = autoBadge.isEmpty()
                             ? visible
                             : QRect(visible.topLeft(), QPoint(autoBadge.left() - kBadgeGap + 9, visible.bottom()));
    paintPictureBadge(painter, beside, tr("书"));
}
