#include "cammainwindow.h"

#include "getscannerinfothread.h"
#include "scanplan.h"
#include "setwindow.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QStandardPaths>


void CamMainWindow::slotScanBtnClicked()
{
    if (maskWidget) {
        maskWidget->show();
        maskWidget->raise();
    }

    // The start-up resolution and format, or the ones saved in the settings window.
    const long device = m_nCurDev;
    const long width = m_nMaxWidth;
    const long height = m_nMaxHeight;
    const long format = m_nCurFormat;

    scanplan::ScanInputs in;
    in.stamp = scanplan::makeStamp(QDateTime::currentDateTime());
    in.homeDir = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    in.cropIndex = m_nCropIndex;
    in.rotation = nRotate;

    const bool windowSaved = m_set && m_set->m_bIsSaveData;
    in.formatFromWindow = m_bIsSet && windowSaved;
    in.valuesFromWindow = m_bIsPressSet && windowSaved;
    if (windowSaved) {
        in.window.fileType = m_set->nFileType;
        in.window.water = m_set->m_bIsWater;
        in.window.red = m_set->cred;
        in.window.green = m_set->cgreen;
        in.window.blue = m_set->cblue;
        in.window.textEnhance = m_set->m_bIsTextEn;
        in.window.waterContent = m_set->szWaterContent;
        in.window.folder = m_set->qFile;
    }
    if (in.formatFromWindow)
        qDebug("11111111111111111111111 is %d\n", in.window.fileType);
    in.file = scanplan::readSettingsFile(m_cfg, !in.formatFromWindow);

    scanplan::ScanPlan plan = scanplan::planScan(in);
    FilePath = plan.filePath;

    Cam_SetCameraResolution(device, width, height);
    Cam_SetCameraFormat(device, format);

    FilePath = plan.captureJpegPath;

    // The worker copies the text while it is constructed; this buffer only
    // has to outlive the constructor.
    QByteArray waterContent = plan.waterContent;
    IMAGEPARAM param = plan.param;
    param.szWaterContent = waterContent.data();

    getScannerInfoThread = new GetScannerInfoThread(param, FilePath, plan.pdfPath, plan.formatCode, nullptr);
    _getScannerInfoThread = new QThread(nullptr);
    m_saveThreads.add(getScannerInfoThread, _getScannerInfoThread);
    getScannerInfoThread->moveToThread(_getScannerInfoThread);
    connect(_getScannerInfoThread, SIGNAL(started()), getScannerInfoThread, SLOT(slotSaveImg()));
    connect(_getScannerInfoThread, SIGNAL(finished()), getScannerInfoThread, SLOT(deleteLater()));
    connect(getScannerInfoThread, SIGNAL(signalOver()), this, SLOT(slotSaveImgThreadOver()));
    _getScannerInfoThread->start();

    qDebug("file count is %d,imgListView is %d\n", int(listViewImagePath.size()),
           listViewModel ? listViewModel->rowCount() : 0);

    listViewImagePath.append(plan.listShownPath);
    listViewImagePDFPath.append(plan.listPagePath);
    PendingSave pending;
    pending.settingsFolder = plan.settingsFolder;
    if (listViewModel && imgListView) {
        addItem(plan.listShownPath);
        pending.row = QPersistentModelIndex(listViewModel->index(listViewModel->rowCount() - 1, 0));
    }
    m_pendingSaves.insert(getScannerInfoThread, pending);

    if (cutBtn)
        cutBtn->setDown(m_nCropIndex % 2 != 0);
}

void CamMainWindow::slotSaveImgThreadOver()
{
    // Each save ends its own thread; a direct call ends the latest one.
    const QObject *worker = sender();
    if (!worker || !m_saveThreads.contains(worker))
        worker = getScannerInfoThread;
    const bool latest = worker == getScannerInfoThread;
    // The worker lives until its thread is finished below. A direct call may
    // come before the save has ended: its outcome is only known after it.
    if (auto *saver = const_cast<GetScannerInfoThread *>(qobject_cast<const GetScannerInfoThread *>(worker))) {
        saver->waitUntilSaved();
        handleSaveOutcome(worker, saver->outcome());
    }
    m_saveThreads.finish(worker);
    // The worker went with its thread. While an earlier save still runs the
    // members keep naming the latest pair.
    if (latest) {
        getScannerInfoThread = nullptr;
        _getScannerInfoThread = nullptr;
    }
    if (maskWidget && m_saveThreads.isEmpty())
        maskWidget->hide();
}

void CamMainWindow::handleSaveOutcome(const QObject *worker, const SaveOutcome &outcome)
{
    const PendingSave pending = m_pendingSaves.take(worker);
    const int row = pending.row.isValid() ? pending.row.row() : -1;
    if (outcome.written) {
        // The merge folder is decided by the first page that exists.
        if (m_pdfPath.isEmpty())
            m_pdfPath = pending.settingsFolder;
        // The tile was painted before its file existed.
        if (row >= 0 && imgListView && listViewProxyModel)
            imgListView->update(listViewProxyModel->mapFromSource(listViewModel->index(row, 0)));
        return;
    }
    qDebug("scan not saved, row %d taken out: %s\n", row, qUtf8Printable(outcome.detail));
    if (row >= 0 && row < listViewImagePath.size()) {
        listViewImagePath.removeAt(row);
        listViewImagePDFPath.removeAt(row);
        listViewModel->removeRow(row);
    }
    showErrorMessage(outcome.message());
}

void CamMainWindow::waitForRunningSaves()
{
    const QList<const QObject *> running = m_saveThreads.workers();
    for (const QObject *worker : running) {
        if (auto *saver = const_cast<GetScannerInfoThread *>(qobject_cast<const GetScannerInfoThread *>(worker)))
            saver->waitUntilSaved();
    }
    // Each finished save has queued its end to this window; handle them now.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}
