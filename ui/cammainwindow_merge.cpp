#include "cammainwindow.h"

#include "pagemerge.h"

#include <QByteArray>
#include <QDateTime>

#include <cstdio>

// Runs on the GUI thread until the file is complete. Each merge is a new
// file named by its own time stamp in the folder of this run's scans.
void CamMainWindow::slotMergeBtnCliecked()
{
    if (MergePDFBtn)
        MergePDFBtn->setEnabled(false);

    const QString strImgIndexDate = QDateTime::currentDateTime().toString("yyyyMMddhhmmsszzz");
    const QString tmpFile = QString("%1.%2").arg(strImgIndexDate, "pdf");
    const QString FilePDFPath = QString("%1/%2").arg(m_pdfPath, tmpFile);

    printf("pdf is %s,size is %d\n", FilePDFPath.toUtf8().constData(), int(listViewImagePDFPath.size()));
    mergeJpegPages(listViewImagePDFPath, FilePDFPath);

    if (MergePDFBtn)
        MergePDFBtn->setEnabled(true);
}
