#include "cammainwindow.h"

#include "pagemerge.h"

#include <QApplication>
#include <QByteArray>
#include <QDateTime>

#include <cstdio>

namespace {

// The merge blocks the window; the cursor says so until it returns, on
// every path out.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace

// Runs on the GUI thread until the file is complete. Each merge is a new
// file named by its own time stamp in the folder of this run's scans.
void CamMainWindow::slotMergeBtnCliecked()
{
    if (MergePDFBtn)
        MergePDFBtn->setEnabled(false);
    BusyCursor busy;

    // Pages still being saved belong to the merge; a page whose save failed
    // leaves the list before the merge reads it.
    waitForRunningSaves();

    const QString strImgIndexDate = QDateTime::currentDateTime().toString("yyyyMMddhhmmsszzz");
    const QString tmpFile = QString("%1.%2").arg(strImgIndexDate, "pdf");
    const QString FilePDFPath = QString("%1/%2").arg(m_pdfPath, tmpFile);

    printf("pdf is %s,size is %d\n", FilePDFPath.toUtf8().constData(), int(listViewImagePDFPath.size()));
    const MergeResult result = mergeJpegPages(listViewImagePDFPath, FilePDFPath);

    if (MergePDFBtn)
        MergePDFBtn->setEnabled(true);
    if (result.stoppedEarly())
        showErrorMessage(result.message(FilePDFPath));
}
