#include "getscannerinfothread.h"

#include "decodedjpeg.h"
#include "hpdfoperation.h"

#include <QDebug>
#include <QFileInfo>

#include <limits>

GetScannerInfoThread::GetScannerInfoThread(IMAGEPARAM _img, QString _filePath, QString _FilePDFPath,
                                           int _nFormatType, QObject *parent)
    : QObject(parent), m_img(_img), filePath(_filePath), FilePDFPath(_FilePDFPath), nFormatType(_nFormatType)
{
    // The caller's text only lives until its slot returns; the capture runs
    // later on another thread, so the record points into our own copy.
    if (_img.szWaterContent) {
        m_waterContent = QByteArray(_img.szWaterContent);
        m_img.szWaterContent = m_waterContent.data();
    }
}

GetScannerInfoThread::~GetScannerInfoThread() = default;

void GetScannerInfoThread::slotSaveImg()
{
    const QByteArray jpegPath = filePath.toUtf8();
    qDebug("filepath is %s\n", jpegPath.constData());
    Cam_CameraCaptureFile(0, jpegPath.constData(), m_img);
    const QByteArray pdfPath = FilePDFPath.toUtf8();
    qDebug("pdf is %s\n", pdfPath.constData());

    if (nFormatType == 1 && filePath.right(3) == QLatin1String("jpg")) {
        const DecodedJpeg page = decodeJpegFile(filePath);
        if (page.isNull()) {
            qDebug("no page to convert: %s is missing or not a JPEG\n", jpegPath.constData());
        } else if (page.width > std::numeric_limits<int>::max() || page.height > std::numeric_limits<int>::max() ||
                   page.width * page.height > std::numeric_limits<int>::max()) {
            qDebug("page too large for a PDF: %ldx%ld\n", page.width, page.height);
        } else {
            hpdfoperation writer;
            const int w = int(page.width);
            const int h = int(page.height);
            const int result = writer.rgb2pdf(page.pixels.get(), w, h, pdfPath.constData(), 0, w * h);
            if (result != 0)
                qDebug("pdf not written (%d): %s\n", result, pdfPath.constData());
        }
    }

    emit signalOver();
}
