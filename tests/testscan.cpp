// The scan button's slot and the end of its saves, on a whole main window
// with a simulated camera.
#include "cammainwindow.h"
#include "getscannerinfothread.h"
#include "modalanswerer.h"
#include "picitemdata.h"
#include "setwindow.h"
#include "stylenoisefilter.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPointer>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace {

QByteArray g_debugLines;

void collectDebugLine(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_debugLines += message.toUtf8();
    if (!message.endsWith('\n'))
        g_debugLines += '\n';
}

// Collects the trace lines of the code under test: what it prints on
// standard output, then what it writes to the debug log.
class StdoutCapture
{
public:
    StdoutCapture()
    {
        fflush(stdout);
        m_saved = dup(1);
        m_file = tmpfile();
        dup2(fileno(m_file), 1);
        g_debugLines.clear();
        m_previousHandler = qInstallMessageHandler(collectDebugLine);
    }
    QByteArray finish()
    {
        qInstallMessageHandler(m_previousHandler);
        fflush(stdout);
        dup2(m_saved, 1);
        close(m_saved);
        rewind(m_file);
        QByteArray out;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, m_file)) > 0)
            out.append(buf, int(n));
        fclose(m_file);
        return out + g_debugLines;
    }

private:
    QtMessageHandler m_previousHandler = nullptr;
    int m_saved = -1;
    FILE *m_file = nullptr;
};

} // namespace

class TestScan : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_tmpFiles;

    static std::unique_ptr<CamMainWindow> makeWindow(const char *cameras)
    {
        qputenv("ORVIX_SIMULATED_CAMERAS", cameras);
        ModalAnswerer answerer;
        return std::unique_ptr<CamMainWindow>(new CamMainWindow(nullptr));
    }

    static void writeSettings(const QString &folder, const QString &format, const QString &water = "0")
    {
        QSettings ini(QDir::homePath() + "/NorLastSetting.ini", QSettings::IniFormat);
        ini.setValue("Settings/FilePath", folder);
        ini.setValue("Settings/DevName", "0");
        ini.setValue("Settings/XResolution", "640");
        ini.setValue("Settings/YResolution", "480");
        ini.setValue("Settings/bIsWater", water);
        ini.setValue("Settings/WaterContent", "");
        ini.setValue("Settings/WaterFont", "20");
        ini.setValue("Settings/WaterColorR", "0");
        ini.setValue("Settings/WaterColorG", "0");
        ini.setValue("Settings/WaterColorB", "0");
        ini.setValue("Settings/bTextEn", "0");
        ini.setValue("Settings/FileFormat", format);
    }

    static bool maskUp(CamMainWindow *w) { return w->maskWidget && !w->maskWidget->isHidden(); }

    // Waits until every save of the window has ended and been cleaned up.
    static bool settle(CamMainWindow *w)
    {
        QElapsedTimer t;
        t.start();
        while (!w->m_saveThreads.isEmpty() && t.elapsed() < 20000)
            QTest::qWait(5);
        return w->m_saveThreads.isEmpty() && !w->getScannerInfoThread && !w->_getScannerInfoThread;
    }

    static QString shownPath(CamMainWindow *w, int row)
    {
        return w->listViewModel->index(row, 0).data(Qt::UserRole + 1).value<PicItemData>().picPath;
    }

    void forgetTmpLater(const QString &path) { m_tmpFiles << path; }

private slots:
    void initTestCase() { StyleNoiseFilter::install(); }
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QFile::remove(QDir::homePath() + "/NorLastSetting.ini");
    }
    void cleanupTestCase()
    {
        for (const QString &path : m_tmpFiles)
            QFile::remove(path);
    }

    void withoutSettingsFile()
    {
        auto w = makeWindow("Sim|640x480|");
        w->show();
        const QDateTime before = QDateTime::currentDateTime();
        StdoutCapture out;
        w->slotScanBtnClicked();
        const QByteArray printed = out.finish();
        QVERIFY(maskUp(w.get()));

        const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
        QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^%1/(\\d{17})\\.jpg$").arg(QRegularExpression::escape(home)))
                .match(w->FilePath);
        QVERIFY2(m.hasMatch(), qPrintable(w->FilePath));
        const QDateTime stamp = QDateTime::fromString(m.captured(1), "yyyyMMddhhmmsszzz");
        QVERIFY(stamp >= before.addMSecs(-1) && stamp <= QDateTime::currentDateTime());
        QCOMPARE(w->listViewImagePath, QStringList{w->FilePath});
        QCOMPARE(w->listViewImagePDFPath, QStringList{w->FilePath});
        QCOMPARE(w->listViewModel->rowCount(), 1);
        QCOMPARE(shownPath(w.get(), 0), w->FilePath);
        QVERIFY(printed.contains("file count is 0,imgListView is 0\n"));
        QVERIFY(!printed.contains("11111111111111111111111"));
        // The merge folder is decided by the first page that was written.
        QCOMPARE(w->m_pdfPath, QString());

        QVERIFY(settle(w.get()));
        QCOMPARE(w->m_pdfPath, home);
        QVERIFY(!maskUp(w.get()));
        QCOMPARE(QImageReader(w->listViewImagePath.first()).format(), QByteArray("jpeg"));
    }

    void settingsFilePdf()
    {
        writeSettings(m_dir->path(), "1");
        auto w = makeWindow("Sim|640x480|");
        w->slotScanBtnClicked();
        QCOMPARE(w->listViewImagePath.size(), 1);
        const QString pdf = w->listViewImagePath.first();
        const QString jpeg = w->listViewImagePDFPath.first();
        forgetTmpLater(jpeg);
        QVERIFY(pdf.startsWith(m_dir->path() + "/") && pdf.endsWith(".pdf"));
        const QString stamp = QFileInfo(pdf).completeBaseName();
        QCOMPARE(jpeg, QStringLiteral("/tmp/%1.jpg").arg(stamp));
        QCOMPARE(w->FilePath, jpeg);
        QCOMPARE(shownPath(w.get(), 0), pdf);
        QVERIFY(settle(w.get()));
        QCOMPARE(w->m_pdfPath, m_dir->path());
        QVERIFY(QFile::exists(pdf));
        QVERIFY(QFile::exists(jpeg));
        // Only the PDF lands in the folder.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{stamp + ".pdf"});
    }

    void settingsFileOtherFormatIsJpg()
    {
        writeSettings(m_dir->path(), "2");
        auto w = makeWindow("Sim|640x480|");
        w->slotScanBtnClicked();
        QVERIFY(w->listViewImagePath.first().endsWith(".jpg"));
        QVERIFY(w->listViewImagePath.first().startsWith(m_dir->path() + "/"));
        QVERIFY(settle(w.get()));
        QVERIFY(QFile::exists(w->listViewImagePath.first()));
    }

    void settingsWindow_data()
    {
        QTest::addColumn<bool>("saved");
        QTest::newRow("saved") << true;
        QTest::newRow("opened, not saved") << false;
    }
    void settingsWindow()
    {
        QFETCH(bool, saved);
        const QString fileFolder = m_dir->path() + "/file";
        const QString windowFolder = m_dir->path() + "/window";
        QVERIFY(QDir().mkpath(fileFolder));
        QVERIFY(QDir().mkpath(windowFolder));
        writeSettings(fileFolder, "0");
        auto w = makeWindow("Sim|640x480|");
        w->m_set = new SetWindow(nullptr);
        w->m_setOwner.replace(w->m_set);
        w->m_bIsPressSet = true;
        w->m_bIsSet = true;
        w->m_set->m_bIsSaveData = saved;
        w->m_set->nFileType = 1;
        w->m_set->qFile = windowFolder;

        StdoutCapture out;
        w->slotScanBtnClicked();
        const QByteArray printed = out.finish();
        const QString shown = w->listViewImagePath.first();
        if (saved) {
            QVERIFY(printed.contains("11111111111111111111111 is 1\n"));
            QVERIFY(shown.startsWith(windowFolder + "/") && shown.endsWith(".pdf"));
            forgetTmpLater(w->listViewImagePDFPath.first());
        } else {
            QVERIFY(!printed.contains("11111111111111111111111"));
            QVERIFY(shown.startsWith(fileFolder + "/") && shown.endsWith(".jpg"));
        }
        // The kept folder is the settings file's, never the window's.
        QVERIFY(settle(w.get()));
        QCOMPARE(w->m_pdfPath, fileFolder);
        QVERIFY(QFile::exists(shown));
    }

    void cropIndicator_data()
    {
        QTest::addColumn<int>("counter");
        QTest::addColumn<bool>("down");
        QTest::newRow("odd") << 3 << true;
        QTest::newRow("even") << 2 << false;
    }
    void cropIndicator()
    {
        QFETCH(int, counter);
        QFETCH(bool, down);
        auto w = makeWindow("Sim|640x480|");
        QVERIFY(w->cutBtn);
        w->cutBtn->setDown(!down);
        w->m_nCropIndex = counter;
        w->slotScanBtnClicked();
        QCOMPARE(w->cutBtn->isDown(), down);
        QVERIFY(settle(w.get()));
    }

    // The scan sets the window's own resolution again, whatever the camera
    // was switched to behind its back.
    void scanUsesStartupResolution()
    {
        writeSettings(m_dir->path(), "0");
        auto w = makeWindow("Sim|640x480,320x240|");
        QCOMPARE(w->m_nMaxWidth, 640);
        Cam_SetCameraResolution(w->m_nCurDev, 320, 240);
        w->m_nCropIndex = 2; // no cropping: the page keeps the camera's size
        w->slotScanBtnClicked();
        QVERIFY(settle(w.get()));
        QCOMPARE(QImageReader(w->listViewImagePath.first()).size(), QSize(640, 480));
    }

    void failedCaptureStillEnds()
    {
        writeSettings(m_dir->path(), "1");
        auto w = makeWindow("Broken|640x480|failcapture");
        w->slotScanBtnClicked();
        QVERIFY(maskUp(w.get()));
        QVERIFY(settle(w.get()));
        QVERIFY(!maskUp(w.get()));
        QVERIFY(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        // Listed at the click, taken out again when the save failed: no tile,
        // no merge entry, no merge folder, and the user is told.
        QCOMPARE(w->listViewModel->rowCount(), 0);
        QVERIFY(w->listViewImagePath.isEmpty());
        QVERIFY(w->listViewImagePDFPath.isEmpty());
        QCOMPARE(w->m_pdfPath, QString());
        QVERIFY(w->m_errorBox);
        QCOMPARE(w->m_errorBox->windowTitle(), QStringLiteral("错误"));
        w->m_errorBox->close();
    }

    // Two scans in a row: each save's end stops its own thread, and the mask
    // stays until the last one has ended.
    void overlappingScans()
    {
        writeSettings(m_dir->path(), "1");
        auto w = makeWindow("Sim|640x480|");
        w->show();
        std::atomic<int> ended{0};
        QList<QPair<int, bool>> seen; // running saves and mask, after each end
        QObject observer;
        QList<QPointer<QObject>> workers;
        QList<QPointer<QThread>> threads;
        for (int i = 0; i < 2; ++i) {
            w->slotScanBtnClicked();
            GetScannerInfoThread *worker = w->getScannerInfoThread;
            workers << QPointer<QObject>(worker);
            threads << QPointer<QThread>(w->_getScannerInfoThread);
            forgetTmpLater(w->listViewImagePDFPath.last());
            connect(worker, &GetScannerInfoThread::signalOver, worker, [&ended] { ++ended; },
                    Qt::DirectConnection);
            // Queued after the window's own slot for the same end.
            connect(worker, &GetScannerInfoThread::signalOver, &observer,
                    [&] { seen << qMakePair(w->m_saveThreads.count(), maskUp(w.get())); }, Qt::QueuedConnection);
            QTest::qSleep(2); // a new millisecond, a new name
        }
        QCOMPARE(w->m_saveThreads.count(), 2);
        QCOMPARE(w->getScannerInfoThread, static_cast<GetScannerInfoThread *>(workers.last().data()));
        // Hold the GUI thread until both saves have reported.
        QElapsedTimer t;
        t.start();
        while (ended.load() < 2 && t.elapsed() < 20000)
            QThread::msleep(2);
        QCOMPARE(ended.load(), 2);
        QVERIFY(maskUp(w.get()));

        QTRY_COMPARE(seen.size(), 2);
        QCOMPARE(seen.at(0), qMakePair(1, true));
        QCOMPARE(seen.at(1), qMakePair(0, false));
        QVERIFY(settle(w.get()));
        for (int i = 0; i < 2; ++i) {
            QTRY_VERIFY(workers.at(i).isNull());
            QVERIFY(threads.at(i).isNull());
            QVERIFY(QFile::exists(w->listViewImagePath.at(i)));
        }
        QVERIFY(w->listViewImagePath.at(0) != w->listViewImagePath.at(1));
    }

    // Closing the window while a save runs waits for it: the page is written.
    void closingWaitsForRunningSave()
    {
        writeSettings(m_dir->path(), "1");
        auto w = makeWindow("Sim|640x480|");
        w->slotScanBtnClicked();
        const QString pdf = w->listViewImagePath.first();
        forgetTmpLater(w->listViewImagePDFPath.first());
        QPointer<QThread> thread(w->_getScannerInfoThread);
        QPointer<QObject> worker(w->getScannerInfoThread);
        w.reset(); // no event loop ran: the save cannot have been collected
        QVERIFY(thread.isNull());
        QVERIFY(QFile::exists(pdf));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(worker.isNull());
    }
};

QTEST_MAIN(TestScan)
#include "testscan.moc"
