#include "core/capturesession.h"

#include "camera/orvixext.h"
#include "core/framecopy.h"
#include "thread/pagefolder.h"
#include "core/previewfit.h"
#include "core/resolutiontext.h"
#include "core/settings.h"
#include "thread/getscannerinfothread.h"
#include "fileio/freestamp.h"
#include "fileio/staletemps.h"

#include <QAtomicPointer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

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

// The session whose capture runs: the frame callback has no user pointer.
QAtomicPointer<CaptureSession> g_running;

// What the camera library says of the page outline on one preview frame, as
// Orvix_PreviewOutline gives it: `seen` < 0 when it draws none, 1 with a page.
struct OutlineFacts
{
    int seen = -1;
    double corners[8] = {};
    int width = 0;
    int height = 0;

    // Asked on the library's thread, inside its callback: the library sets
    // the outline of a frame before it hands the frame over, and asked later
    // it would answer for a later frame.
    static OutlineFacts ofDeliveredFrame()
    {
        OutlineFacts facts;
        facts.seen = Orvix_PreviewOutline(facts.corners, &facts.width, &facts.height);
        return facts;
    }
};

// Beside g_Camimage, under the same lock: the outline of the frame it holds.
OutlineFacts g_frameOutline;
// A frame buffer no reader holds, kept for the next frame while a reader
// still holds the last one; under the frame lock.
QImage g_spareFrame;

// Returns whether there was a picture to drop.
bool dropSharedFrame()
{
    QMutexLocker locker(&MutexCamDataBuffLock);
    const bool dropped = g_Camimage != nullptr;
    delete g_Camimage;
    g_Camimage = nullptr;
    g_frameOutline = OutlineFacts();
    g_spareFrame = QImage();
    return dropped;
}

// Under the frame lock, before new pixels go into g_Camimage: a reader
// holding the last frame keeps it as it was, and the pixels go into a buffer
// no one holds, the spare when it is free, else a new one.
void unshareFrameBuffer()
{
    if (g_Camimage->isDetached())
        return;
    if (g_spareFrame.isDetached() && g_spareFrame.size() == g_Camimage->size()) {
        g_Camimage->swap(g_spareFrame);
        return;
    }
    g_spareFrame = *g_Camimage;
    *g_Camimage = QImage(g_spareFrame.size(), QImage::Format_RGB888);
}

} // namespace

CaptureSession::CaptureSession(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<SaveOutcome>("SaveOutcome");
    // The newest session hears the frames, as there is one per program.
    g_running.storeRelease(this);
    // One session per run and one run per user: page images found now are
    // what a run that never ended left behind.
    pagefolder::clear();
}

CaptureSession::~CaptureSession()
{
    if (g_running.loadAcquire() == this) {
        // A running save still needs the camera for its still.
        m_saveThreads.waitForAll();
        Cam_CameraCaptureStop();
        g_running.storeRelease(nullptr);
    }
    // Page images are only kept for this run's merges, and for their
    // reading, which a close gives a few seconds.
    m_saveThreads.waitForAll();
    m_recognition.finish(PageRecognition::kCloseGraceMs);
    for (const StoredPages::Page &page : m_pages.all())
        pagefolder::removePage(page.pagePath);
}

int CaptureSession::discover()
{
    listDevName.clear();
    listFormat.clear();
    listResolution.clear();
    bIsConnect = true;
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
        return NoCamera;
    }
    if (inaccessible == devCount) {
        bIsConnect = false;
        return NoAccess;
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
    listResolution = ResolutionText::listForDevice(listed);

    const Settings::Stored stored = m_cfg.read();
    if (stored.fileExists) {
        m_nCurDev = stored.values.device;
        m_nMaxWidth = stored.values.width;
        m_nMaxHeight = stored.values.height;
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
            if (!listResolution.contains(ResolutionText::format(m_nMaxWidth, m_nMaxHeight)))
                useFirstListedResolution();
        }
    } else {
        m_nCurDev = int(listed);
        if (listed != 0)
            qDebug("device 0 cannot be opened, using device %d\n", int(listed));
        useFirstListedResolution();
    }
    m_nCurFormat = 0;
    bIsTarvoDev = Orvix_IsTarvoDevice(m_nCurDev) == 1;
    return Ready;
}

void CaptureSession::useFirstListedResolution()
{
    if (listResolution.isEmpty() || !parseResolution(listResolution.first(), &m_nMaxWidth, &m_nMaxHeight)) {
        m_nMaxWidth = kFallbackWidth;
        m_nMaxHeight = kFallbackHeight;
        qDebug("no usable resolution listed and no settings file, using %dx%d\n", m_nMaxWidth, m_nMaxHeight);
    }
}

QStringList CaptureSession::refreshResolutions()
{
    listResolution = ResolutionText::listForDevice(m_nCurDev);
    return listResolution;
}

void CaptureSession::setAutoCrop(bool on)
{
    m_bAutoCrop = on;
    Cam_SetAutoCrop(on);
}

void CaptureSession::start()
{
    if (!bIsConnect)
        return;
    g_running.storeRelease(this);
    Cam_SetCameraResolution(m_nCurDev, m_nMaxWidth, m_nMaxHeight);
    qDebug("Cam_SetCameraResolution end\n");
    Cam_SetCameraFormat(m_nCurDev, m_nCurFormat);
    qDebug("Cam_SetCameraFormat end\n");
    noteInUseElsewhere(m_nCurDev, Cam_CameraCaptureStart(m_nCurDev, receiveFrame));
    qDebug("Cam_CameraCaptureStart end\n");
    if (!m_frameWatch) {
        m_frameWatch = new QTimer(this);
        connect(m_frameWatch, &QTimer::timeout, this, &CaptureSession::watchFrames);
        m_frameWatch->start(1000);
    }
}

void CaptureSession::noteInUseElsewhere(int device, int startResult)
{
    m_bInUseElsewhere = startResult == ORVIX_E_BUSY;
    if (m_bInUseElsewhere)
        qDebug("camera %d is in use by another program: %s\n", device, Orvix_LastError());
}

void CaptureSession::watchFrames()
{
    const long delivered = Orvix_FramesDelivered();
    if (delivered != m_nFramesSeen) {
        m_nFramesSeen = delivered;
        m_nQuietSeconds = 0;
        return;
    }
    if (++m_nQuietSeconds != kNoPictureAfterSeconds)
        return;
    if (dropSharedFrame()) {
        qDebug("no frame for %d s, the picture is not live; waiting for the camera\n", kNoPictureAfterSeconds);
        emit pictureLost();
    }
}

void CaptureSession::restart(int device, int width, int height, int format, bool autoCrop)
{
    Cam_CameraCaptureStop();
    dropSharedFrame();
    qDebug(autoCrop ? "crop\n" : "no crop\n");
    bIsTarvoDev = autoCrop;
    setAutoCrop(autoCrop);

    long formatCount = 0;
    Cam_GetCameraFormatCount(device, &formatCount);
    printf("ReshUI m_set->m_nWdith is %d,m_set->m_nHeight is %d\n", width, height);
    fflush(stdout);
    g_running.storeRelease(this);
    Cam_SetCameraResolution(device, width, height);
    Cam_SetCameraFormat(device, format);
    noteInUseElsewhere(device, Cam_CameraCaptureStart(device, receiveFrame));
    m_nCurDev = device;
    // Scans and later restarts keep the saved size for the rest of the run.
    m_nMaxWidth = width;
    m_nMaxHeight = height;
    m_nCurFormat = format;
    emit deviceChanged(device);
}

void CaptureSession::stop()
{
    // A save still running needs the camera for its still: stopping it first
    // would lose that page.
    waitForSaves();
    if (!listDevName.isEmpty())
        Cam_CameraCaptureStop();
}

// Runs on the camera library's thread: only the shared frame and one queued call.
int CaptureSession::receiveFrame(void *data, int size, int w, int h, int nFormatType)
{
    Q_UNUSED(size);
    Q_UNUSED(nFormatType);
    if (w <= 0 || h <= 0)
        return 0;
    const OutlineFacts outline = OutlineFacts::ofDeliveredFrame();
    {
        QMutexLocker locker(&MutexCamDataBuffLock);
        const bool resized = !g_Camimage || g_Camimage->width() != w || g_Camimage->height() != h;
        if (resized) {
            delete g_Camimage;
            g_Camimage = new QImage(w, h, QImage::Format_RGB888);
            g_spareFrame = QImage();
        } else if (data) {
            unshareFrameBuffer();
        }
        if (g_Camimage->isNull()) {
            qDebug("frame of %dx%d does not fit in memory, dropped\n", w, h);
            delete g_Camimage;
            g_Camimage = nullptr;
            g_frameOutline = OutlineFacts();
            return 0;
        }
        if (data)
            copyRgbFrame(*g_Camimage, data, w, h);
        else if (resized)
            g_Camimage->fill(Qt::black);
        // A frame without pixels leaves the picture, and so its outline, as they were.
        if (data || resized)
            g_frameOutline = outline;
    }
    CaptureSession *self = g_running.loadAcquire();
    if (self && self->m_framePending.testAndSetOrdered(0, 1)) {
        QMetaObject::invokeMethod(
            self,
            [self] {
                // Cleared first so that a frame arriving meanwhile asks again.
                self->m_framePending.storeRelease(0);
                emit self->frameReady();
            },
            Qt::QueuedConnection);
    }
    return 0;
}

CaptureSession::Frame CaptureSession::frame()
{
    Frame frame;
    OutlineFacts outline;
    {
        QMutexLocker locker(&MutexCamDataBuffLock);
        if (!g_Camimage)
            return frame;
        frame.image = *g_Camimage;
        outline = g_frameOutline;
    }
    frame.outlineDrawn = outline.seen >= 0;
    frame.outlineSpace = QSize(outline.width, outline.height);
    if (outline.seen == 1)
        for (int i = 0; i < 4; ++i)
            frame.outline << QPointF(outline.corners[2 * i], outline.corners[2 * i + 1]);
    return frame;
}

void CaptureSession::scan(int cropIndex, qreal rotation, const Settings *saved)
{
    scanplan::ScanInputs in;
    in.stamp = scanplan::makeStamp(QDateTime::currentDateTime());
    in.homeDir = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    in.pageFolder = pagefolder::path();
    in.cropIndex = cropIndex;
    in.rotation = rotation;
    in.formatFromWindow = saved != nullptr;
    in.valuesFromWindow = saved != nullptr;
    if (saved) {
        in.window = *saved;
        qDebug("11111111111111111111111 is %d\n", in.window.fileFormat);
    }
    in.file = m_cfg.read();
    const scanplan::ScanPlan plan = planWithFreeStamp(in);
    sweepOnFirstWrite(plan.folder);

    // The run's size and format, set again before every still.
    Cam_SetCameraResolution(m_nCurDev, m_nMaxWidth, m_nMaxHeight);
    Cam_SetCameraFormat(m_nCurDev, m_nCurFormat);

    // The worker copies the text while it is constructed; this buffer only
    // has to outlive the constructor.
    QByteArray waterContent = plan.waterContent;
    IMAGEPARAM param = plan.param;
    param.szWaterContent = waterContent.data();
    auto *worker = new GetScannerInfoThread(param, plan.captureJpegPath, plan.pdfPath,
                                            plan.formatCode, nullptr);
    worker->setJpegPdfPages(plan.jpegPdfPages);
    worker->setBookMode(m_bookMode.isOn());
    auto *thread = new QThread(nullptr);
    m_saveThreads.add(worker, thread);
    worker->moveToThread(thread);
    connect(thread, SIGNAL(started()), worker, SLOT(slotSaveImg()));
    connect(thread, SIGNAL(finished()), worker, SLOT(deleteLater()));
    connect(worker, SIGNAL(signalOver()), this, SLOT(onSaveOver()));
    thread->start();
    emit saveStarted(worker, thread);

    qDebug("file count is %d,imgListView is %d\n", m_pages.count(), m_pages.count());
    StoredPages::Page page;
    page.shownPath = plan.listShownPath;
    page.pagePath = plan.listPagePath;
    page.pdf = scanplan::isPdfFormat(plan.formatCode);
    // Both formats capture a JPEG first: the stored one or the PDF's page image.
    page.jpegPage = true;
    m_pendingSaves.insert(worker, PendingSave{m_pages.append(page), plan.settingsFolder, in.stamp,
                                              plan.recognizesText, plan.jpegPdfPages});
}

void CaptureSession::onSaveOver()
{
    finishSave(sender());
}

void CaptureSession::finishSave(const QObject *worker)
{
    if (!worker || !m_saveThreads.contains(worker))
        return;
    // The worker lives until its thread is finished below.
    auto *saver = const_cast<GetScannerInfoThread *>(qobject_cast<const GetScannerInfoThread *>(worker));
    SaveOutcome outcome;
    if (saver) {
        saver->waitUntilSaved();
        outcome = saver->outcome();
    }
    const PendingSave pending = m_pendingSaves.take(worker);
    m_saveThreads.finish(worker);

    const int row = m_pages.rowOf(pending.pageId);
    if (outcome.written) {
        m_pages.setPaths(row, outcome.path, outcome.pagePath);
        // The merge folder is decided by the first page that exists.
        if (m_pdfPath.isEmpty())
            m_pdfPath = pending.settingsFolder;
        emit saveFinished(row, outcome);
        if (pending.recognizesText && row >= 0)
            recognizeSaved(pending.pageId, m_pages.at(row), pending.jpegPdfPages);
        if (outcome.twoPages() && row >= 0) {
            // The right page of a spread follows the left in the list and the merge.
            StoredPages::Page right = m_pages.at(row);
            right.shownPath = outcome.secondPath;
            right.pagePath = outcome.secondPagePath;
            const quint64 rightKey = m_pages.insertAt(row + 1, right);
            if (pending.recognizesText)
                recognizeSaved(rightKey, right, pending.jpegPdfPages);
        }
    } else {
        qDebug("scan not saved, row %d taken out: %s\n", row, qUtf8Printable(outcome.detail));
        m_pages.removeAt(row);
        emit saveFinished(row, outcome);
    }
    if (m_saveThreads.isEmpty())
        emit savesEnded();
}

void CaptureSession::waitForSaves()
{
    const QList<const QObject *> running = m_saveThreads.workers();
    for (const QObject *worker : running)
        finishSave(worker);
}

void CaptureSession::recognizeSaved(quint64 pageKey, const StoredPages::Page &page, bool jpegPdfPages)
{
    m_recognition.add(pageKey, page.pagePath, page.pdf ? page.shownPath : QString(), jpegPdfPages);
}

MergeResult CaptureSession::merge(QString *pdfPath, const Settings *saved,
                                  const std::function<void(int, int)> &recognitionProgress)
{
    // Pages still being saved belong to the merge; a page whose save failed
    // leaves the list before the merge reads it.
    waitForSaves();
    sweepOnFirstWrite(m_pdfPath);
    const Settings::Stored file = m_cfg.read();
    const bool jpegPages = scanplan::jpegPdfPages(saved, file);
    // The pages as they are now: a scan made while the text is awaited
    // belongs to the next merge.
    const QList<StoredPages::Page> pages = m_pages.all();
    if (!scanplan::recognizesText(saved, file))
        return mergePages(pages, m_pdfPath, pdfPath, *m_fileOps, jpegPages);
    QStringList pagePaths;
    for (const StoredPages::Page &page : pages) {
        if (!page.jpegPage)
            continue;
        pagePaths << page.pagePath;
        // Scanned while recognition was off: read now.
        if (!m_recognition.textOf(page.pagePath) && !m_recognition.isPending(page.pagePath))
            m_recognition.add(0, page.pagePath, QString(), jpegPages);
    }
    m_recognition.waitFor(pagePaths, recognitionProgress);
    return mergePages(pages, m_pdfPath, pdfPath, *m_fileOps, jpegPages,
                      [this](const StoredPages::Page &page) { return m_recognition.textOf(page.pagePath); });
}

MergeResult CaptureSession::mergePages(const QList<StoredPages::Page> &pages, const QString &folder,
                                       QString *pdfPath, fileio::FileOps &ops, bool jpegPages,
                                       const std::function<const PageText *(const StoredPages::Page &)> &textOf)
{
    const QString clock = scanplan::makeStamp(QDateTime::currentDateTime());
    const std::string free = fileio::freeStamp(clock.toStdString(), {{folder.toStdString(), ".pdf"}});
    const QString stamp = free.empty() ? clock : QString::fromStdString(free);
    QString path = QString("%1/%2").arg(folder, QString("%1.%2").arg(stamp, "pdf"));
    printf("pdf is %s,size is %d\n", path.toUtf8().constData(), int(pages.size()));
    const MergeResult result = textOf      ? mergePagesWithText(pages, path, textOf, jpegPages, ops, &path)
                               : jpegPages ? mergeJpegPagesAsIs(pages, path, ops, &path)
                                           : mergeJpegPages(pages, path, ops, &path);
    if (pdfPath)
        *pdfPath = path;
    return result;
}

scanplan::ScanPlan CaptureSession::planWithFreeStamp(scanplan::ScanInputs &in) const
{
    scanplan::ScanPlan plan = scanplan::planScan(in);
    std::vector<fileio::StampedName> names;
    if (scanplan::isPdfFormat(plan.formatCode))
        names = {{plan.folder.toStdString(), ".pdf"}, {in.pageFolder.toStdString(), ".jpg"}};
    else
        names = {{plan.folder.toStdString(), ".jpg"}};
    const std::string free = fileio::freeStamp(in.stamp.toStdString(), names, [this](const std::string &stamp) {
        for (const PendingSave &pending : m_pendingSaves) {
            if (pending.stamp == QLatin1String(stamp.c_str()))
                return true;
        }
        return false;
    });
    // None free within reach: the save itself refuses to replace and says so.
    if (free.empty() || QString::fromStdString(free) == in.stamp)
        return plan;
    qDebug("stamp %s is taken, the scan is stored as %s\n", qUtf8Printable(in.stamp), free.c_str());
    in.stamp = QString::fromStdString(free);
    return scanplan::planScan(in);
}

void CaptureSession::sweepOnFirstWrite(const QString &folder)
{
    if (folder.isEmpty() || m_sweptFolders.contains(folder))
        return;
    m_sweptFolders.insert(folder);
    const int removed = fileio::sweepStaleTemporaries(QFile::encodeName(folder).toStdString());
    if (removed > 0)
        qDebug("removed %d unfinished temporary files a stopped run left in %s\n", removed, qUtf8Printable(folder));
}
