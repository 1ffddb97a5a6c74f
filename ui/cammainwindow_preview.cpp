#include "ui/cammainwindow.h"

#include "core/previewfit.h"
#include "core/previewpaint.h"
#include "ui/titlebar.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

int CamMainWindow::InitSDK()
{
    return m_session.discover();
}

void CamMainWindow::PreviewImage()
{
    m_session.start();
}

int CamMainWindow::ReceiveImage(void *data, int size, int w, int h, int nFormatType)
{
    return CaptureSession::receiveFrame(data, size, w, h, nFormatType);
}

void CamMainWindow::onFrameArrived()
{
    if (m_session.isTarvoDevice() && cropIsOn(m_nCropIndex))
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

        // Held for the paint alone: the camera's next frame goes into another buffer meanwhile.
        const QImage frame = CaptureSession::frame().image;
        if (!frame.isNull()) {
            hasFrame = true;
            const QRect target = fitPreviewRect(frame.size(), nRotate, QSizeF(videoWidget->size()), nVideoScaleSize);
            if (!target.isEmpty()) {
                painter.setRenderHint(QPainter::Antialiasing, false);
                m_nDrawnWidth = drawPreviewFrame(painter, frame, target, nRotate);
                paintPictureNotices(painter, target.intersected(rect()));
            }
        }
    }

    UIIsShow(1, hasFrame);
    MergePDFBtn->setEnabled(hasFrame);
    m_titleBar->m_pButtonSet->setEnabled(hasFrame);
}

void CamMainWindow::ReshUI()
{
    if (m_savedSettings) {
        m_nDrawnWidth = -1;
        m_session.restart(m_savedSettings->device, m_savedSettings->width, m_savedSettings->height,
                          m_savedSettings->cameraFormat, cropIsOn(m_nCropIndex));
        UIIsShow(1, false);
        update();
        if (m_session.inUseElsewhere())
            showErrorMessage(tr("扫描仪正被其他程序使用，请关闭后重试！"));
    }
    UIIsShow(1, true);
    cutBtn->setDown(m_session.isTarvoDevice() && cropIsOn(m_nCropIndex));
}

void CamMainWindow::slotOneTOneBtnClicked()
{
    const QImage frame = CaptureSession::frame().image;
    if (frame.isNull())
        return;
    nVideoScaleSize = m_nDrawnWidth >= 0 ? m_nDrawnWidth : rotatedFrameSize(frame.size(), nRotate).width();
    update();
}

// The view has no zoom steps.
void CamMainWindow::slotZoomInBtnClicked() {}
void CamMainWindow::slotZoomOutBtnClicked() {}
