#include "ui/cammainwindow.h"

#include <QApplication>

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
    MergePDFBtn->setEnabled(false);
    QString pdfPath;
    MergeResult result;
    {
        BusyCursor busy;
        result = m_session.merge(&pdfPath, savedSettings());
    }
    MergePDFBtn->setEnabled(true);
    if (result.stoppedEarly())
        showErrorMessage(result.message(pdfPath));
}
