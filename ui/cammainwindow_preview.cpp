#include "cammainwindow.h"

#include "orvixext.h"
#include "previewfit.h"
#include "previewpaint.h"
#include "framecopy.h"
#include "setwindow.h"
#include "titlebar.h"

#include <QDebug>
#include <QMutexLocker>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <cstring>

QImage *g_Camimage = nullptr;
QMutex MutexCamDataBuffLock;

namespace {

// Used when the camera lists no resolution and no settings file names one:
// the size every UVC camera offers.
constexpr int kFallbackWidth = 640;
constexpr int kFallbackHeight = 480;
// Seconds without a frame before the picture is no longer shown as live;
// the camera library restarts a silent stream after about as long.
constexpr int kNoPictureAfterSeconds = 4;

} // namespace

int CamMainWindow::InitSDK()
{
    long devCount = 0;
    Cam_GetDevCount(&devCount);
    qDebug("GetDevCount is %d\n", int(devCount));

    int inaccessible = 0;
    long firstAccessible = -1;
    for (long i = 0; i < devCount; ++i) {
        if (Orvix_IsDeviceAccessible(i) != 1)
            ++inaccessible;
        else if (firstAccessible < 0)
            firstAccessible = i;
        char name[256];
        std::memset(name, 0, sizeof(name));
        Cam_GetDevName(i, name);
        name[sizeof(name) - 1] = '\0';
        qDebug("Get DevName is %s\n", name);
        listDevName.append(QString::fromUtf8(name));
    }

    if (listDevName.isEmpty()) {
        bIsConnect = false;
        return 1;
    }
    if (inaccessible == devCount) {
        bIsConnect = false;
        return 3;
    }

    // Formats and resolutions of device 0, or of the first device the user
    // may open when device 0 is out of reach.
    const long listed = Orvix_IsDeviceAccessible(0) == 1 ? 0 : firstAccessible;
    long formatCount = 0;
    Cam_GetCameraFormatCount(listed, &formatCount);
    qDebug("GetCameraFormatCount is %d\n", int(formatCount));
    char formatName[256];
    std::memset(formatName, 0, sizeof(formatName));
    for (long i = 0; i < formatCount; ++i) {
        Cam_GetCameraFormatName(i, formatName);
        formatName[sizeof(formatName) - 1] = '\0';
        qDebug("GetCameraFormatName Width is %s\n", formatName);
        listFormat.append(QString::fromUtf8(formatName));
    }

    long resolutionCount = 0;
    Cam_GetCameraResolutionCount(listed, 0, &resolutionCount);
    qDebug("GetCameraResolution is %d\n", int(resolutionCount));
    for (long i = 0; i < resolutionCount; ++i) {
        long width = 0;
        long height = 0;
        Cam_GetCameraResolutionName(i, &width, &height);
        qDebug("GetCameraResolutionName Width is %d,Height is %d\n", int(width), int(height));
        listResolution.append(QString("%1x%2").arg(width).arg(height));
    }

    const auto useFirstListedResolution = [this] {
        if (listResolution.isEmpty() || !parseResolution(listResolution.first(), &m_nMaxWidth, &m_nMaxHeight)) {
            m_nMaxWidth = kFallbackWidth;
            m_nMaxHeight = kFallbackHeight;
            qDebug("no usable resolution listed and no settings file, using %dx%d\n", m_nMaxWidth, m_nMaxHeight);
        }
    };

    QString devName;
    QString xResolution;
    QString yResolution;
    m_cfg.readValue("DevName", devName);
    m_cfg.readValue("XResolution", xResolution);
    const int status = m_cfg.readValue("YResolution", yResolution);
    if (status == 0) {
        m_nCurDev = devName.toInt();
        m_nMaxWidth = xResolution.toInt();
        m_nMaxHeight = yResolution.toInt();
        if (m_nCurDev < 0 || m_nCurDev >= listDevName.size()) {
            // The camera chosen last time is gone; a blank preview helps no one.
            qDebug("settings name device %d of %d, using device %d\n", m_nCurDev, int(listDevName.size()),
                   int(listed));
            m_nCurDev = int(listed);
        } else if (Orvix_IsDeviceAccessible(m_nCurDev) != 1) {
            // Nor does a camera the user may not open, on every start until
            // the settings file is deleted by hand.
            qDebug("settings name device %d, which cannot be opened, using device %d\n", m_nCurDev, int(listed));
            m_nCurDev = int(listed);
            if (!listResolution.contains(QString("%1x%2").arg(m_nMaxWidth).arg(m_nMaxHeight)))
                useFirstListedResolution();
        }
    } else {
        m_nCurDev = int(listed);
        if (listed != 0)
            qDebug("device 0 cannot be opened, using device %d\n", int(listed));
        useFirstListedResolution();
    }
    m_nCurFormat = 0;
    return 0;
}

void CamMainWindow::PreviewImage()
{
    if (!bIsConnect)
        return;
    Cam_SetCameraResolution(m_nCurDev, m_nMaxWidth, m_nMaxHeight);
    qDebug("Cam_SetCameraResolution end\n");
    Cam_SetCameraFormat(m_nCurDev, m_nCurFormat);
    qDebug("Cam_SetCameraFormat end\n");
    Cam_CameraCaptureStart(m_nCurDev, ReceiveImage);
    qDebug("Cam_CameraCaptureStart end\n");
    if (!m_pFrameWatch) {
        m_pFrameWatch = new QTimer(this);
        connect(m_pFrameWatch, SIGNAL(timeout()), this, SLOT(slotWatchFrames()));
        m_pFrameWatch->start(1000);
    }
}

void CamMainWindow::slotWatchFrames()
{
    const long delivered = Orvix_FramesDelivered();
    if (delivered != m_nFramesSeen) {
        m_nFramesSeen = delivered;
        m_nQuietSeconds = 0;
        return;
    }
    if (++m_nQuietSeconds != kNoPictureAfterSeconds)
        return;
    bool dropped = false;
    {
        QMutexLocker locker(&MutexCamDataBuffLock);
        if (g_Camimage) {
            delete g_Camimage;
            g_Camimage = nullptr;
            m_nDrawnWidth = -1;
            dropped = true;
        }
    }
    if (dropped) {
        // The next frame brings the picture back.
        qDebug("no frame for %d s, the picture is not live; waiting for the camera\n", kNoPictureAfterSeconds);
        update();
    }
}

// Runs on the camera library's thread: touch no widget here.
int CamMainWindow::ReceiveImage(void *data, int size, int w, int h, int nFormatType)
{
    Q_UNUSED(size);
    Q_UNUSED(nFormatType);
    if (w <= 0 || h <= 0)
        return 0;

    {
        QMutexLocker locker(&MutexCamDataBuffLock);
        if (!g_Camimage || g_Camimage->width() != w || g_Camimage->height() != h) {
            delete g_Camimage;
            g_Camimage = new QImage(w, h, QImage::Format_RGB888);
            if (g_Camimage->isNull()) {
                qDebug("frame of %dx%d does not fit in memory, dropped\n", w, h);
                delete g_Camimage;
                g_Camimage = nullptr;
                return 0;
            }
            if (!data)
                g_Camimage->fill(Qt::black);
        }
        if (data)
            copyRgbFrame(*g_Camimage, data, w, h);
    }

    CamMainWindow *self = g_Camself;
    if (self && self->m_nRepaintPending.testAndSetOrdered(0, 1))
        QMetaObject::invokeMethod(self, [self] { self->onFrameArrived(); }, Qt::QueuedConnection);
    return 0;
}

void CamMainWindow::onFrameArrived()
{
    // Cleared before painting so a frame arriving meanwhile asks again.
    m_nRepaintPending.storeRelease(0);
    if (cutBtn && bIsTarvoDev && m_nCropIndex % 2 != 0)
        cutBtn->setDown(true);
    watchForAutoCapture();
    update();
}

void CamMainWindow::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    bool hasFrame = false;
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath background;
        background.setFillRule(Qt::WindingFill);
        background.addRoundedRect(QRectF(10, 10, width() - 20, height() - 20), 28, 28, Qt::AbsoluteSize);
        painter.fillPath(background, QBrush(QColor(217, 217, 217, 255)));

        QMutexLocker locker(&MutexCamDataBuffLock);
        if (g_Camimage) {
            hasFrame = true;
            const QSize area = videoWidget ? videoWidget->size() : QSize();
            const QRect target = fitPreviewRect(g_Camimage->size(), nRotate, QSizeF(area), nVideoScaleSize);
            if (!target.isEmpty()) {
                painter.setRenderHint(QPainter::Antialiasing, false);
                m_nDrawnWidth = drawPreviewFrame(painter, *g_Camimage, target, nRotate);
                if (m_bAutoCapture)
                    paintAutoCaptureBadge(painter, target);
            }
        }
    }

    UIIsShow(1, hasFrame);
    if (MergePDFBtn)
        MergePDFBtn->setEnabled(hasFrame);
    if (m_titleBar && m_titleBar->m_pButtonSet)
        m_titleBar->m_pButtonSet->setEnabled(hasFrame);
}

void CamMainWindow::ReshUI()
{
    if (m_set && m_set->m_bIsSaveData) {
        Cam_CameraCaptureStop();
        {
            QMutexLocker locker(&MutexCamDataBuffLock);
            delete g_Camimage;
            g_Camimage = nullptr;
            m_nDrawnWidth = -1;
        }
        if (m_nCropIndex % 2 == 0) {
            qDebug("no crop\n");
            bIsTarvoDev = false;
            Cam_SetAutoCrop(false);
        } else {
            qDebug("crop\n");
            bIsTarvoDev = true;
            Cam_SetAutoCrop(true);
        }

        long formatCount = 0;
        Cam_GetCameraFormatCount(m_set->m_nDevIndex, &formatCount);
        printf("ReshUI m_set->m_nWdith is %d,m_set->m_nHeight is %d\n", m_set->m_nWdith, m_set->m_nHeight);
        fflush(stdout);
        Cam_SetCameraResolution(m_set->m_nDevIndex, m_set->m_nWdith, m_set->m_nHeight);
        Cam_SetCameraFormat(m_set->m_nDevIndex, m_set->m_nFormat);
        Cam_CameraCaptureStart(m_set->m_nDevIndex, ReceiveImage);
        m_nCurDev = m_set->m_nDevIndex;
        // Scans and later restarts keep the saved size for the rest of the run.
        m_nMaxWidth = m_set->m_nWdith;
        m_nMaxHeight = m_set->m_nHeight;
        m_nCurFormat = m_set->m_nFormat;
        UIIsShow(1, false);
        update();
    }
    UIIsShow(1, true);
    if (cutBtn)
        cutBtn->setDown(bIsTarvoDev && m_nCropIndex % 2 != 0);
}

void CamMainWindow::slotOneTOneBtnClicked()
{
    {
        QMutexLocker locker(&MutexCamDataBuffLock);
        if (!g_Camimage)
            return;
        nVideoScaleSize = m_nDrawnWidth >= 0 ? m_nDrawnWidth : rotatedFrameSize(g_Camimage->size(), nRotate).width();
    }
    update();
}

// The view has no zoom steps.
void CamMainWindow::slotZoomInBtnClicked() {}
void CamMainWindow::slotZoomOutBtnClicked() {}
