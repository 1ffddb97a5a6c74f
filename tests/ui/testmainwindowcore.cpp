// The main window's start-up against simulated cameras: InitSDK's results
// and settings fallbacks, the error boxes, the crop state of Tarvo devices,
// the live picture arriving, and the small button switches.
#include "tests/shared/mainwindowfixture.h"
#include "tests/shared/modalanswerer.h"
#include "camera/orvixext.h"
#include "core/stylenoisefilter.h"

#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QtTest>

#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

class TestMainWindowCore : public QObject
{
    Q_OBJECT

private:
    static QString settingsPath() { return QDir::homePath() + "/NorLastSetting.ini"; }

    // "<pipe>" puts one in the file's place.
    static void writeSettings(const QByteArray &text)
    {
        QFile::remove(settingsPath());
        if (text == "<pipe>")
            QCOMPARE(mkfifo(QFile::encodeName(settingsPath()).constData(), 0600), 0);
        if (text.isNull() || text.startsWith('<'))
            return;
        QFile f(settingsPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    static bool hasFrame() { return !CaptureSession::frame().image.isNull(); }

private slots:
    void initTestCase() { StyleNoiseFilter::install(); }
    void cleanup()
    {
        writeSettings(QByteArray());
        QMutexLocker locker(&MutexCamDataBuffLock);
        delete g_Camimage;
        g_Camimage = nullptr;
    }

    void startUp_data()
    {
        QTest::addColumn<QByteArray>("cameras");
        QTest::addColumn<QByteArray>("settings"); // null: no settings file
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("boxText");
        QTest::addColumn<int>("device");
        QTest::addColumn<QSize>("resolution");
        QTest::addColumn<bool>("tarvo");

        const QString noCamera = QStringLiteral("请正确连接扫描仪！");
        const QString noAccess = QStringLiteral("请检查USB权限，请执行 sudo usermod -aG video %1 并重新登录")
                                     .arg(QString::fromLocal8Bit(getpwuid(geteuid())->pw_name));
        const QString unreadable = QStringLiteral("设置文件无法读取：") + settingsPath() + ": ";
        const QByteArray two = "DeskCam|1920x1080,640x480|;Tarvo S8|3264x2448,1600x1200|tarvo";

        QTest::newRow("no camera") << QByteArray() << QByteArray() << 1 << noCamera << -1 << QSize(0, 0) << false;
        QTest::newRow("no access") << QByteArray("DeskCam|1920x1080|noaccess") << QByteArray() << 3 << noAccess << -1
                                   << QSize(0, 0) << false;
        QTest::newRow("no settings file: first resolution of device 0")
            << two << QByteArray() << 0 << QString() << 0 << QSize(1920, 1080) << false;
        QTest::newRow("settings choose the Tarvo device")
            << two << QByteArray("[Settings]\nDevName=1\nXResolution=1600\nYResolution=1200\n") << 0 << QString() << 1
            << QSize(1600, 1200) << true;
        QTest::newRow("settings without the keys: device 0 at 0x0")
            << two << QByteArray("[Settings]\nFilePath=/tmp\n") << 0 << QString() << 0 << QSize(0, 0) << false;
        QTest::newRow("settings name a device that is gone")
            << QByteArray("DeskCam|1920x1080|") << QByteArray("[Settings]\nDevName=4\nXResolution=1920\nYResolution=1080\n")
            << 0 << QString() << 0 << QSize(1920, 1080) << false;
        QTest::newRow("garbage settings file")
            << two << QByteArray("\xff\xfe[[\x01\nDevName=\xff\n") << 0 << QString() << 0 << QSize(0, 0) << false;
        // Read as no file, once said; nor may it stop the start.
        QTest::newRow("settings file is a pipe") << two << QByteArray("<pipe>") << 0 << unreadable << 0
                                                 << QSize(1920, 1080) << false;
        // Listed and opened, but another program streams from it.
        QTest::newRow("camera in use elsewhere")
            << QByteArray("DeskCam|1920x1080|busy") << QByteArray() << 0
            << QStringLiteral("扫描仪正被其他程序使用，请关闭后重试！") << 0 << QSize(1920, 1080) << false;
        // The first device the user may open, with its own resolutions.
        QTest::newRow("one of two accessible")
            << QByteArray("Locked|800x600|noaccess;Open|1280x720|") << QByteArray() << 0 << QString() << 1
            << QSize(1280, 720) << false;
        QTest::newRow("settings name an inaccessible device")
            << QByteArray("Open|1280x720|;Locked|800x600|noaccess")
            << QByteArray("[Settings]\nDevName=1\nXResolution=800\nYResolution=600\n") << 0 << QString() << 0
            << QSize(1280, 720) << false;
    }

    void startUp()
    {
        QFETCH(QByteArray, cameras);
        QFETCH(QByteArray, settings);
        QFETCH(int, result);
        QFETCH(QString, boxText);
        QFETCH(int, device);
        QFETCH(QSize, resolution);
        QFETCH(bool, tarvo);

        qputenv("ORVIX_SIMULATED_CAMERAS", cameras);
        writeSettings(settings);
        {
            // The SDK must list what the rows assume.
            Cam_Init();
            long count = -1;
            Cam_GetDevCount(&count);
            QCOMPARE(count, long(cameras.count(';') + (cameras.isEmpty() ? 0 : 1)));
        }

        ModalAnswerer answerer;
        auto win = std::make_unique<CamMainWindow>();
        if (result == 0) {
            QCOMPARE(answerer.texts.size(), boxText.isEmpty() ? 0 : 1);
            QVERIFY(boxText.isEmpty() || answerer.texts.first().startsWith(boxText));
            QVERIFY(win->session().isConnected());
            QCOMPARE(win->session().currentDevice(), device);
            QCOMPARE(QSize(win->session().captureWidth(), win->session().captureHeight()), resolution);
            QCOMPARE(win->session().captureFormat(), 0);
            QVERIFY(!win->session().formatNames().isEmpty());
            QCOMPARE(win->session().isTarvoDevice(), tarvo);
            QCOMPARE(parts(*win).cutBtn->isDown(), tarvo);
        } else {
            QCOMPARE(answerer.texts, QStringList{boxText});
            QCOMPARE(answerer.titles, QStringList{QStringLiteral("错误")});
            QVERIFY(!win->session().isConnected());
            QCOMPARE(win->session().currentDevice(), -1);
        }
        QCOMPARE(win->session().deviceNames().size(), cameras.isEmpty() ? 0 : cameras.count(';') + 1);
        // InitSDK itself reports the same result on a fresh listing.
        QCOMPARE(win->InitSDK(), result);
        if (result == 0)
            QVERIFY(win->session().resolutions().first().contains('x'));

        if (result != 0) {
            // Without a camera the window shows no picture and keeps the
            // view buttons off.
            win->show();
            QVERIFY(QTest::qWaitForWindowExposed(win.get()));
            QTest::qWait(100);
            QVERIFY(!hasFrame());
            QVERIFY(!parts(*win).scanBtn->isEnabled());
        }
    }

    void liveFramesReachTheWindow()
    {
        qputenv("ORVIX_SIMULATED_CAMERAS", "DeskCam|640x480,320x240|");
        writeSettings(QByteArray("[Settings]\nDevName=0\nXResolution=320\nYResolution=240\n"));
        Cam_Init();
        long count = 0;
        Cam_GetDevCount(&count);
        QCOMPARE(count, 1L);

        ModalAnswerer answerer;
        CamMainWindow win;
        win.resize(900, 650);
        win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&win));
        QTRY_VERIFY_WITH_TIMEOUT(hasFrame(), 5000);
        QCOMPARE(CaptureSession::frame().image.size(), QSize(320, 240));
        QTRY_VERIFY_WITH_TIMEOUT(parts(win).scanBtn->isEnabled(), 5000);
        QVERIFY(answerer.texts.isEmpty());
        // Stopping returns only when no callback runs: afterwards the frame
        // can be dropped without a callback refilling it.
        Cam_CameraCaptureStop();
        {
            QMutexLocker locker(&MutexCamDataBuffLock);
            delete g_Camimage;
            g_Camimage = nullptr;
        }
        QTest::qWait(200);
        QVERIFY(!hasFrame());
    }

    void destroyedWindowStopsTheFramesItReceives()
    {
        qputenv("ORVIX_SIMULATED_CAMERAS", "DeskCam|320x240|");
        QFile::remove(settingsPath());
        Cam_Init();
        long count = 0;
        Cam_GetDevCount(&count);
        QCOMPARE(count, 1L);
        {
            ModalAnswerer answerer;
            CamMainWindow win;
            QTRY_VERIFY_WITH_TIMEOUT(hasFrame(), 5000);
        }
        QVERIFY(g_Camself == nullptr);
        const long delivered = Orvix_FramesDelivered();
        QTest::qWait(300);
        QCOMPARE(Orvix_FramesDelivered(), delivered);
    }

    void buttonGroupsSwitchTogether()
    {
        qputenv("ORVIX_SIMULATED_CAMERAS", "");
        ModalAnswerer answerer;
        CamMainWindow win;
        QPushButton *const seven[] = {parts(win).scanBtn,    parts(win).cutBtn,    parts(win).rotateLeftBtn, parts(win).rotateRightBtn,
                                      parts(win).oneTOneBtn, parts(win).zoomInBtn, parts(win).zoomOutBtn};
        win.show();
        win.UIIsShow(1, true);
        for (QPushButton *b : seven)
            QVERIFY(b->isEnabled());
        win.UIIsShow(1, false);
        for (QPushButton *b : seven)
            QVERIFY(!b->isEnabled());
        win.UIIsShow(3, true); // any other type changes nothing
        for (QPushButton *b : seven)
            QVERIFY(!b->isEnabled());
        win.ShowCommitButton(true);
        QVERIFY(win.isUploadMode());
        QVERIFY(parts(win).saveBtn->isVisible());
        win.ShowCommitButton(false);
        QVERIFY(!win.isUploadMode());
        QVERIFY(!parts(win).saveBtn->isVisible());
    }
};

QTEST_MAIN(TestMainWindowCore)
#include "testmainwindowcore.moc"
