#ifndef CAPTURESESSION_H
#define CAPTURESESSION_H

#include "core/bookmodeswitch.h"
#include "core/pagerecognition.h"
#include "core/pagemerge.h"
#include "core/scanplan.h"
#include "core/settingsfile.h"
#include "core/storedpages.h"
#include "thread/saveoutcome.h"
#include "thread/savethreadset.h"

#include <QAtomicInt>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QObject>
#include <QPolygonF>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

class GetScannerInfoThread;
class QThread;
class QTimer;

// Process-wide: the latest frame and its lock (the only lock the frame path
// takes). Only the session touches them; readers take CaptureSession::frame().
extern QImage *g_Camimage;
extern QMutex MutexCamDataBuffLock;

// One run of the camera: which device, its start and restart, every scan
// with its save thread, and the pages this run stored. Knows no widget: the
// window listens to its signals and paints.
class CaptureSession : public QObject
{
    Q_OBJECT

public:
    enum StartResult { Ready = 0, NoCamera = 1, NoAccess = 3 };

    // The latest frame with what the camera library said of that same frame.
    // The image is implicitly shared: holding it copies no pixels, and the
    // frames that follow never change it.
    struct Frame
    {
        QImage image;              // RGB888; null while there is no picture
        bool outlineDrawn = false; // the library draws a page outline on the preview
        QPolygonF outline;         // the page's four corners, or none when it sees no page
        QSize outlineSpace;        // the frame size the corners are measured in
    };

    explicit CaptureSession(QObject *parent = nullptr);
    // Lets running saves end, then stops the capture when it still runs.
    ~CaptureSession() override;

    // Lists devices, formats and resolutions and picks the device and size
    // from the settings file. Returns a StartResult.
    int discover();
    // Starts delivery on the chosen device; nothing without a usable camera.
    void start();
    // Stops delivery, drops the shared frame, and starts again on `device`
    // at the given size; scans keep that size for the rest of the run.
    void restart(int device, int width, int height, int format, bool autoCrop);
    // Waits for running saves (they need the camera's still), then stops.
    void stop();
    void setAutoCrop(bool on);

    bool isConnected() const { return bIsConnect; }
    // The last start or restart found the camera streaming to another
    // program (another user's Quillo, say): no picture until it lets go.
    bool inUseElsewhere() const { return m_bInUseElsewhere; }
    bool isTarvoDevice() const { return bIsTarvoDev; }
    bool autoCrop() const { return m_bAutoCrop; }
    int currentDevice() const { return m_nCurDev; }
    int captureWidth() const { return m_nMaxWidth; }
    int captureHeight() const { return m_nMaxHeight; }
    int captureFormat() const { return m_nCurFormat; }
    QStringList deviceNames() const { return listDevName; }
    QStringList formatNames() const { return listFormat; }
    QStringList resolutions() const { return listResolution; }
    // Lists the current device's resolutions afresh (a settings window offers them).
    QStringList refreshResolutions();

    // One scan: the plan from the settings file (or the saved settings
    // window's values), the camera set to the run's size, the save on a
    // thread of its own. The page is listed at once; pageAdded says so.
    void scan(int cropIndex, qreal rotation, const Settings *saved);
    bool isSaving() const { return !m_saveThreads.isEmpty(); }
    // While on, a scan of an open book stores its two pages as two rows.
    BookModeSwitch &bookMode() { return m_bookMode; }
    int runningSaves() const { return m_saveThreads.count(); }
    // Lets every running save end and reports its outcome now.
    void waitForSaves();

    // This run's stored pages: the list shows them, a merge reads them.
    StoredPages &pages() { return m_pages; }
    QStringList shownPaths() const { return m_pages.shownPaths(); }
    QStringList pagePaths() const { return m_pages.pagePaths(); }
    QString mergeFolder() const { return m_pdfPath; }

    // Writes this run's pages into one new PDF in the merge folder, after
    // running saves have ended. `pdfPath` receives the file's path. What the
    // pages carry is chosen as for a scan: by `saved`, else the settings file.
    // With text recognition chosen, the pages whose text is still being read
    // are waited for first; `recognitionProgress` hears (done, total) meanwhile.
    MergeResult merge(QString *pdfPath, const Settings *saved = nullptr,
                      const std::function<void(int, int)> &recognitionProgress = {});
    // The merge of `pages` into a new file named by the time stamp in `folder`;
    // `jpegPages`: each page carries its JPEG as it is, the file written once;
    // `textOf`: each page carries its text, the file written once.
    static MergeResult mergePages(const QList<StoredPages::Page> &pages, const QString &folder, QString *pdfPath,
                                  fileio::FileOps &ops, bool jpegPages = false,
                                  const std::function<const PageText *(const StoredPages::Page &)> &textOf = {});
    // The text of this run's pages (an empty record while none is read).
    PageRecognition &recognition() { return m_recognition; }
    // Where merged files are written through (the system's calls unless replaced).
    void setFileOps(fileio::FileOps *ops) { m_fileOps = ops; }

    // Once a second while the capture runs: after some seconds without a
    // frame (a silent or unplugged camera) the picture is dropped, so that a
    // frozen picture never looks live; the next frame brings it back.
    void watchFrames();

    // The frame callback handed to the camera library; runs on its thread.
    static int receiveFrame(void *data, int size, int w, int h, int nFormatType);
    // The latest frame, on any thread; a null image while there is none.
    static Frame frame();

signals:
    // A scan's save began on its own thread; both go when it has ended.
    void saveStarted(QObject *worker, QThread *thread);
    // A new frame is there for frame() (at most one request queued at a time).
    void frameReady();
    void deviceChanged(int device);
    // No frame for some seconds: the shared picture is gone until the next.
    void pictureLost();
    // The save of `row` ended; on failure the row is gone before this.
    void saveFinished(int row, const SaveOutcome &outcome);
    // The last running save has ended.
    void savesEnded();

private slots:
    void onSaveOver();

private:
    void finishSave(const QObject *worker);
    // The plan under the first stamp from in.stamp on whose names are all
    // free and that no running save of this run holds; in.stamp is updated.
    scanplan::ScanPlan planWithFreeStamp(scanplan::ScanInputs &in) const;
    // Before this run's first file in `folder`: the temporaries killed saves
    // left there go.
    void sweepOnFirstWrite(const QString &folder);
    void useFirstListedResolution();
    void noteInUseElsewhere(int device, int startResult);

    // --- device (names kept from the window they came from) ---
    QStringList listDevName;
    QStringList listFormat;
    QStringList listResolution;
    int m_nCurDev = -1;
    int m_nCurFormat = 0;
    int m_nMaxWidth = 0;
    int m_nMaxHeight = 0;
    bool bIsConnect = true;
    bool m_bInUseElsewhere = false;
    bool bIsTarvoDev = false;
    bool m_bAutoCrop = false;
    SettingsFile m_cfg;
    fileio::FileOps *m_fileOps = &fileio::FileOps::system();
    QAtomicInt m_framePending{0};
    QTimer *m_frameWatch = nullptr;
    long m_nFramesSeen = -1;
    int m_nQuietSeconds = 0;

    BookModeSwitch m_bookMode;

    // --- stored pages ---
    StoredPages m_pages;
    PageRecognition m_recognition{m_pages};
    QString m_pdfPath;
    QSet<QString> m_sweptFolders;

    // --- saves ---
    struct PendingSave
    {
        quint64 pageId;
        QString settingsFolder;
        QString stamp;
        bool recognizesText;
        bool jpegPdfPages;
    };
    // A saved page's text is read; a PDF scan's PDF then gets it.
    void recognizeSaved(quint64 pageKey, const StoredPages::Page &page, bool jpegPdfPages);
    QHash<const QObject *, PendingSave> m_pendingSaves;
    SaveThreadSet m_saveThreads;
};

#endif
