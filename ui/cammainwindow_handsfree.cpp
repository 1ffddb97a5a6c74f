#include "cammainwindow.h"

#include "core/watchframe.h"
#include "orvixext.h"
#include "scankeyfilter.h"

#include <QApplication>
#include <QDebug>
#include <QMutexLocker>
#include <QPainter>

namespace {

const char *const kAutoCaptureKey = "AutoCapture";

// The page outline the camera draws on the preview, in the pixels of a
// `reduced` copy of the frame (empty when it sees no page); false when it
// draws none (cropping off, a camera outside the Tarvo family).
bool drawnOutline(const QSize &reduced, QPolygonF &outline)
{
    double xy[8];
    int width = 0, height = 0;
    const int seen = Orvix_PreviewOutline(xy, &width, &height);
    if (seen < 0 || width <= 0 || height <= 0)
        return false;
    outline.clear();
    if (seen == 1)
        for (int i = 0; i < 4; ++i)
            outline << QPointF(xy[2 * i] * reduced.width() / width, xy[2 * i + 1] * reduced.height() / height);
    return true;
}

} // namespace

void CamMainWindow::initHandsFree()
{
    auto *keys = new ScanKeyFilter(this);
    qApp->installEventFilter(keys);
    connect(keys, SIGNAL(signalScanKeyPressed()), this, SLOT(slotScanKeyPressed()));
    connect(keys, SIGNAL(signalAutoCaptureKeyPressed()), this, SLOT(slotAutoCaptureKeyPressed()));
    // A page scanned by hand is not taken again by the automatic capture.
    connect(scanBtn, SIGNAL(clicked()), this, SLOT(slotScanTakenByHand()));

    QString value;
    m_bAutoCapture = m_cfg.readValue(kAutoCaptureKey, value) == 0 && value.toInt() != 0;
    m_watchClock.start();
}

// What a click on the scan button could do now: nothing while the busy mask
// covers it, while a box is open, or while it is disabled (no live picture).
bool CamMainWindow::scanOfferedNow() const
{
    if (maskWidget && maskWidget->isVisible())
        return false;
    if (QApplication::activeModalWidget())
        return false;
    return scanBtn && scanBtn->isEnabled();
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
    if (m_bAutoCapture)
        m_autoCapture.markScanned();
}

void CamMainWindow::slotAutoCaptureKeyPressed()
{
    if (QApplication::activeModalWidget())
        return;
    m_bAutoCapture = !m_bAutoCapture;
    m_autoCapture.reset();
    qDebug("automatic capture %s\n", m_bAutoCapture ? "on" : "off");
    m_cfg.setExtraValue(kAutoCaptureKey, m_bAutoCapture ? "1" : "0");
    update();
}

// On the GUI thread, for each repaint request: a few times a second the
// shared frame is reduced (under the frame lock, without copying it) and
// shown to the watcher; the camera's thread does no extra work.
void CamMainWindow::watchForAutoCapture()
{
    if (!m_bAutoCapture)
        return;
    const qint64 now = m_watchClock.elapsed();
    if (!m_autoCapture.wantsFrame(now))
        return;
    QImage grey;
    {
        QMutexLocker locker(&MutexCamDataBuffLock);
        if (!g_Camimage)
            return;
        grey = reduceForWatching(*g_Camimage, AutoCapture::kWatchWidth);
    }
    // Where the camera outlines the page, a hand over it breaks the outline.
    QPolygonF outline;
    const bool outlined = drawnOutline(grey.size(), outline);
    if (!m_autoCapture.feed(grey, now, outlined ? &outline : nullptr))
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

// "自动" on a dark rounded label in the picture's top right corner, so the
// window's layout stays as it is.
void CamMainWindow::paintAutoCaptureBadge(QPainter &painter, const QRect &picture) const
{
    const QRect visible = picture.intersected(rect());
    if (visible.width() < 60 || visible.height() < 40)
        return;
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(14);
    font.setBold(true);
    painter.setFont(font);
    const QString text = tr("自动");
    const QRect textRect = painter.fontMetrics().boundingRect(text);
    const QRect badge(visible.right() - textRect.width() - 28, visible.top() + 10, textRect.width() + 18, 26);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 150));
    painter.drawRoundedRect(badge, 8, 8);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, text);
    painter.restore();
}
