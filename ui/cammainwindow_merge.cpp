#include "ui/cammainwindow.h"

#include <QApplication>
#include <QProgressDialog>

#include <memory>

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
// file named by its own time stamp in the folder of this run's scans. Pages
// whose text is still being read are waited for first, with the window
// painting and a box counting them.
void CamMainWindow::slotMergeBtnCliecked()
{
    MergePDFBtn->setEnabled(false);
    QString pdfPath;
    MergeResult result;
    {
        BusyCursor busy;
        std::unique_ptr<QProgressDialog> reading;
        result = m_session.merge(&pdfPath, savedSettings(), [&](int done, int total) {
            if (!reading) {
                reading = std::make_unique<QProgressDialog>(this);
                reading->setCancelButton(nullptr);
                reading->setWindowModality(Qt::WindowModal);
                reading->setMinimumDuration(0);
                reading->setRange(0, total);
            }
            reading->setLabelText(tr("文字识别 %1/%2").arg(done).arg(total));
            reading->setValue(done);
        });
    }
    MergePDFBtn->setEnabled(true);
    if (result.stoppedEarly())
        showErrorMessage(result.message(pdfPath));
}
