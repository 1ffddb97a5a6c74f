// The scan button's slot and the end of its saves, on a whole main window
// with a simulated camera.
#include "tests/shared/mainwindowfixture.h"
#include "thread/pagefolder.h"
#include "thread/getscannerinfothread.h"
#include "tests/shared/modalanswerer.h"
#include "ui/picitemdata.h"
#include "settings/setwindow.h"
#include "core/stylenoisefilter.h"

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

    static bool maskUp(CamMainWindow *w) { return !parts(*w).maskWidget->isHidden(); }

    // Waits until every save of the window has ended and been cleaned up.
    static bool settle(CamMainWindow *w)
    {
        QElapsedTimer t;
        t.start();
        while (w->session().isSaving() && t.elapsed() < 20000)
            QTest::qWait(5);
        return !w->session().isSaving();
    }

    static QString shownPath(CamMainWindow *w, int row)
    {
        return parts(*w).listViewModel->index(row, 0).data(PicItemData::Role).value<PicItemData>().picPath;
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
        invoke(*w, "slotScanBtnClicked");
        const QByteArray printed = out.finish();
        QVERIFY(maskUp(w.get()));

        const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
        QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^%1/(\\d{17})\\.jpg$").arg(QRegularExpression::escape(home)))
                .match(w->session().pagePaths().value(0));
        QVERIFY2(m.hasMatch(), qPrintable(w->session().pagePaths().value(0)));
        const QDateTime stamp = QDateTime::fromString(m.captured(1), "yyyyMMddhhmmsszzz");
        QVERIFY(stamp >= before.addMSecs(-1) && stamp <= QDateTime::currentDateTime());
        QCOMPARE(w->session().shownPaths(), w->session().pagePaths());
        QCOMPARE(parts(*w).listViewModel->rowCount(), 1);
        QCOMPARE(shownPath(w.get(), 0), w->session().pagePaths().first());
        QVERIFY(printed.contains("file count is 0,imgListView is 0\n"));
        QVERIFY(!printed.contains("11111111111111111111111"));
        // The merge folder is decided by the first page that was written.
        QCOMPARE(w->session().mergeFolder(), QString());

        QVERIFY(settle(w.get()));
        QCOMPARE(w->session().mergeFolder(), home);
        QVERIFY(!maskUp(w.get()));
        QCOMPARE(QImageReader(w->session().shownPaths().first()).format(), QByteArray("jpeg"));
    }

    void settingsFilePdf()
    {
        writeSettings(m_dir->path(), "1");
        auto w = makeWindow("Sim|640x480|");
        invoke(*w, "slotScanBtnClicked");
        QCOMPARE(w->session().shownPaths().size(), 1);
        const QString pdf = w->session().shownPaths().first();
        const QString jpeg = w->session().pagePaths().first();
        forgetTmpLater(jpeg);
        QVERIFY(pdf.startsWith(m_dir->path() + "/") && pdf.endsWith(".pdf"));
        const QString stamp = QFileInfo(pdf).completeBaseName();
        QCOMPARE(jpeg, QStringLiteral("%1/%2.jpg").arg(pagefolder::path(), stamp));
        QCOMPARE(shownPath(w.get(), 0), pdf);
        QVERIFY(settle(w.get()));
        QCOMPARE(w->session().mergeFolder(), m_dir->path());
        QVERIFY(QFile::exists(pdf));
        QVERIFY(QFile::exists(jpeg));
        // Only the PDF lands in the folder.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{stamp + ".pdf"});
    }

    void settingsFileOtherFormatIsJpg()
    {
        writeSettings(m_dir->path(), "2");
        auto w = makeWindow("Sim|640x480|");
        invoke(*w, "slotScanBtnClicked");
        QVERIFY(w->session().shownPaths().first().endsWith(".jpg"));
        QVERIFY(w->session().shownPaths().first().startsWith(m_dir->path() + "/"));
        QVERIFY(settle(w.get()));
        QVERIFY(QFile::exists(w->session().shownPaths().first()));
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
        invoke(*w, "onButtonSetClicked");
        SetWindow *settings = w->settingsWindow();
        QVERIFY(settings);
        settings->ptypeCbbFormat->setCurrentIndex(1);
        settings->applyChosenFolder(windowFolder);
        if (saved) {
            invoke(*settings, "onBtnSaveClicked");
            writeSettings(fileFolder, "0"); // the scan follows the window, not the file
        }

        StdoutCapture out;
        invoke(*w, "slotScanBtnClicked");
        const QByteArray printed = out.finish();
        const QString shown = w->session().shownPaths().first();
        if (saved) {
            QVERIFY(printed.contains("11111111111111111111111 is 1\n"));
            QVERIFY(shown.startsWith(windowFolder + "/") && shown.endsWith(".pdf"));
            forgetTmpLater(w->session().pagePaths().first());
        } else {
            QVERIFY(!printed.contains("11111111111111111111111"));
            QVERIFY(shown.startsWith(fileFolder + "/") && shown.endsWith(".jpg"));
        }
        // The kept folder is the settings file's, never the window's.
        QVERIFY(settle(w.get()));
        QCOMPARE(w->session().mergeFolder(), fileFolder);
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
        setCrop(*w, cropIsOn(counter));
        parts(*w).cutBtn->setDown(!down);
        invoke(*w, "slotScanBtnClicked");
        QCOMPARE(parts(*w).cutBtn->isDown(), down);
        QVERIFY(settle(w.get()));
    }

    // The scan sets the window's own resolution again, whatever the camera
    // was switched to behind its back.
    void scanUsesStartupResolution()
    {
        writeSettings(m_dir->path(), "0");
        auto w = makeWindow("Sim|640x480,320x240|");
        QCOMPARE(w->session().captureWidth(), 640);
        Cam_SetCameraResolution(w->session().currentDevice(), 320, 240);
        setCrop(*w, false); // no cropping: the page keeps the camera's size
        invoke(*w, "slotScanBtnClicked");
        QVERIFY(settle(w.get()));
        QCOMPARE(QImageReader(w->session().shownPaths().first()).size(), QSize(640, 480));
    }

    void failedCaptureStillEnds()
    {
        writeSettings(m_dir->path(), "1");
        auto w = makeWindow("Broken|640x480|failcapture");
        invoke(*w, "slotScanBtnClicked");
        QVERIFY(maskUp(w.get()));
        QVERIFY(settle(w.get()));
        QVERIFY(!maskUp(w.get()));
        QVERIFY(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        // Listed at the click, taken out again when the save failed: no tile,
        // no merge entry, no merge folder, and the user is told.
        QCOMPARE(parts(*w).listViewModel->rowCount(), 0);
        QVERIFY(w->session().shownPaths().isEmpty());
        QVERIFY(w->session().pagePaths().isEmpty());
        QCOMPARE(w->session().mergeFolder(), QString());
        QVERIFY(errorBox(*w));
        QCOMPARE(errorBox(*w)->windowTitle(), QStringLiteral("错误"));
        errorBox(*w)->close();
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
        GetScannerInfoThread *latest = nullptr;
        connect(&w->session(), &CaptureSession::saveStarted, &observer, [&](QObject *started, QThread *thread) {
            latest = qobject_cast<GetScannerInfoThread *>(started);
            workers << QPointer<QObject>(started);
            threads << QPointer<QThread>(thread);
        });
        for (int i = 0; i < 2; ++i) {
            invoke(*w, "slotScanBtnClicked");
            GetScannerInfoThread *worker = latest;
            QVERIFY(worker);
            forgetTmpLater(w->session().pagePaths().last());
            connect(worker, &GetScannerInfoThread::signalOver, worker, [&ended] { ++ended; },
                    Qt::DirectConnection);
            // Queued after the window's own slot for the same end.
            connect(worker, &GetScannerInfoThread::signalOver, &observer,
                    [&] { seen << qMakePair(w->session().runningSaves(), maskUp(w.get())); }, Qt::QueuedConnection);
            QTest::qSleep(2); // a new millisecond, a new name
        }
        QCOMPARE(w->session().runningSaves(), 2);
        QCOMPARE(workers.size(), 2);
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
            QVERIFY(QFile::exists(w->session().shownPaths().at(i)));
        }
        QVERIFY(w->session().shownPaths().at(0) != w->session().shownPaths().at(1));
    }

    // Closing the window while a save runs waits for it: the page is written.
    void closingWaitsForRunningSave()
    {
        writeSettings(m_dir->path(), "1");
        auto w = makeWindow("Sim|640x480|");
        QPointer<QThread> thread;
        QPointer<QObject> worker;
        connect(&w->session(), &CaptureSession::saveStarted, [&](QObject *started, QThread *running) {
            worker = started;
            thread = running;
        });
        invoke(*w, "slotScanBtnClicked");
        const QString pdf = w->session().shownPaths().first();
        forgetTmpLater(w->session().pagePaths().first());
        QVERIFY(thread && worker);
        w.reset(); // no event loop ran: the save cannot have been collected
        QVERIFY(thread.isNull());
        QVERIFY(QFile::exists(pdf));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(worker.isNull());
    }
};

QTEST_MAIN(TestScan)
#include "testscan.moc"
