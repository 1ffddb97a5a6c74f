#include "cammainwindow.h"

#include "decodedjpeg.h"
#include "hpdfoperation.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>

#include <cstdio>
#include <limits>

// Runs on the GUI thread until the file is complete: one writer, one page per
// listed JPEG, in list order; the first entry that cannot be read or decoded
// ends the merge and the file keeps the pages written before it.
void CamMainWindow::slotMergeBtnCliecked()
{
    if (MergePDFBtn)
        MergePDFBtn->setEnabled(false);

    hpdfoperation pdfop;
    const QString strImgIndexDate = QDateTime::currentDateTime().toString("yyyyMMddhhmmsszzz");
    const QString tmpFile = QString("%1.%2").arg(strImgIndexDate, "pdf");
    const QString FilePDFPath = QString("%1/%2").arg(m_pdfPath, tmpFile);
    const QByteArray pdfPathUtf8 = FilePDFPath.toUtf8();

    printf("pdf is %s,size is %d\n", pdfPathUtf8.constData(), int(listViewImagePDFPath.size()));

    for (const QString &entry : qAsConst(listViewImagePDFPath)) {
        const QByteArray jpgPath = entry.toUtf8();
        printf("jpgPath is %s\n", jpgPath.constData());
        if (entry.right(3) != QLatin1String("jpg"))
            continue;

        QFile file(entry);
        const QByteArray pData = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const DecodedJpeg page = decodeJpegBytes(pData);
        printf("Cam_readBufFromJpeg width is %d,height is %d\n", int(page.width), int(page.height));
        if (page.isNull())
            break;
        if (page.width > std::numeric_limits<int>::max() || page.height > std::numeric_limits<int>::max())
            break;
        pdfop.rgb2pdf(page.pixels.get(), int(page.width), int(page.height), pdfPathUtf8.constData(), 0,
                      int(pData.size()));
    }
    fflush(stdout);

    if (MergePDFBtn)
        MergePDFBtn->setEnabled(true);
}
