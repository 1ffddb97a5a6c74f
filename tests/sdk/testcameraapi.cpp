// The camera library as the application sees it: listing simulated cameras,
// argument checks, and frame delivery with start, stop and restart.
#include "camera/camsdk.h"
#include "camera/orvixext.h"

#include <QtTest>

#include <atomic>
#include <cmath>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

std::thread::id g_mainThread;
std::atomic<int> g_frames{0};
std::atomic<int> g_offMainThread{0};
std::atomic<int> g_badSize{0};
std::atomic<int> g_lastWidth{0};
std::atomic<int> g_lastHeight{0};
std::atomic<bool> g_insideCallback{false};
std::atomic<int> g_callbackSleepMs{0};

int receiveFrame(void *data, int size, int w, int h, int)
{
    g_insideCallback = true;
    if (std::this_thread::get_id() != g_mainThread)
        ++g_offMainThread;
    if (!data || size != w * h * 3)
        ++g_badSize;
    g_lastWidth = w;
    g_lastHeight = h;
    if (g_callbackSleepMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(g_callbackSleepMs.load()));
    ++g_frames;
    g_insideCallback = false;
    return 0;
}

void resetCounters()
{
    g_frames = 0;
    g_offMainThread = 0;
    g_badSize = 0;
    g_lastWidth = 0;
    g_lastHeight = 0;
    g_callbackSleepMs = 0;
}

void initWith(const char *cameras)
{
    if (cameras)
        qputenv("ORVIX_SIMULATED_CAMERAS", cameras);
    else
        qunsetenv("ORVIX_SIMULATED_CAMERAS");
    QCOMPARE(Cam_Init(), int(ORVIX_OK));
}

QString deviceName(long index)
{
    char name[256];
    std::memset(name, 0, sizeof name);
    if (Cam_GetDevName(index, name) != ORVIX_OK)
        return QString();
    return QString::fromUtf8(name);
}

} // namespace

class TestCameraApi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void enumeratesFromVariable_data();
    void enumeratesFromVariable();
    void noVariableMeansNoDevices();
    void formatsAndResolutionsOfLastCounted();
    void namesAreCutToFitTheBuffer();
    void badArgumentsGiveCodesNotCrashes();

    void framesArriveOnLibraryThread();
    void stopWaitsForRunningCallbackAndIsIdempotent();
    void restartOnAnotherDevice();
    void resolutionChangeMidStream();
    void initStopsRunningCapture();
    void noAccessDeviceDoesNotStart();
    void controlCallsFromCallbackAreRefusedNotDeadlocked();
    void previewOutlineFollowsCropping();
};

void TestCameraApi::initTestCase()
{
    g_mainThread = std::this_thread::get_id();
}

void TestCameraApi::cleanup()
{
    Cam_CameraCaptureStop();
    resetCounters();
}

void TestCameraApi::enumeratesFromVariable_data()
{
    QTest::addColumn<QByteArray>("cameras");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("tarvo");
    QTest::addColumn<QList<int>>("accessible");

    QTest::newRow("two good") << QByteArray("Tarvo S1|3264x2448,1920x1080|tarvo;Desk Cam|1280x720|")
                              << QStringList{"Tarvo S1", "Desk Cam"} << QList<int>{1, 0}
                              << QList<int>{1, 1};
    QTest::newRow("malformed skipped, good kept")
        << QByteArray("Good|640x480|;|640x480|;NoRes||;Letter|64Ox480|;Zero|0x480|;"
                      "Neg|-640x480|;Huge|99999x99999|;Odd|640x480|sparkle;Short|640x480;"
                      "Extra|640x480||x;Locked|800x600|noaccess,failcapture")
        << QStringList{"Good", "Locked"} << QList<int>{0, 0} << QList<int>{1, 0};
    QTest::newRow("empty variable") << QByteArray("") << QStringList{} << QList<int>{}
                                    << QList<int>{};
    QTest::newRow("separators and spaces")
        << QByteArray(" Cam A | 320x240 , 640X480 | Tarvo ;;") << QStringList{"Cam A"}
        << QList<int>{1} << QList<int>{1};
}

void TestCameraApi::enumeratesFromVariable()
{
    QFETCH(QByteArray, cameras);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, tarvo);
    QFETCH(QList<int>, accessible);

    initWith(cameras.constData());
    long count = -1;
    QCOMPARE(Cam_GetDevCount(&count), int(ORVIX_OK));
    QCOMPARE(count, long(names.size()));
    for (long i = 0; i < count; ++i) {
        QCOMPARE(deviceName(i), names.at(int(i)));
        QCOMPARE(Orvix_IsTarvoDevice(i), tarvo.at(int(i)));
        QCOMPARE(Orvix_IsDeviceAccessible(i), accessible.at(int(i)));
    }
    QVERIFY(Orvix_IsTarvoDevice(count) < 0);
    QVERIFY(Orvix_IsDeviceAccessible(count) < 0);
}

void TestCameraApi::noVariableMeansNoDevices()
{
    initWith("A|320x240|");
    initWith(nullptr); // read again at every Cam_Init
    long count = -1;
    QCOMPARE(Cam_GetDevCount(&count), int(ORVIX_OK));
    QCOMPARE(count, 0L);
    QCOMPARE(Cam_CameraCaptureStart(0, receiveFrame), int(ORVIX_E_NODEVICE));
}

void TestCameraApi::formatsAndResolutionsOfLastCounted()
{
    initWith("First|3264x2448,1920x1080|;Second|640x480,320x240,160x120|");
    long formats = 0;
    QCOMPARE(Cam_GetCameraFormatCount(1, &formats), int(ORVIX_OK));
    QCOMPARE(formats, 2L);
    char name[256] = {};
    QCOMPARE(Cam_GetCameraFormatName(0, name), int(ORVIX_OK));
    QCOMPARE(QByteArray(name), QByteArray("MJPG"));
    QCOMPARE(Cam_GetCameraFormatName(1, name), int(ORVIX_OK));
    QCOMPARE(QByteArray(name), QByteArray("YUYV"));

    long count = 0, w = 0, h = 0;
    QCOMPARE(Cam_GetCameraResolutionCount(1, 0, &count), int(ORVIX_OK));
    QCOMPARE(count, 3L);
    QCOMPARE(Cam_GetCameraResolutionName(2, &w, &h), int(ORVIX_OK));
    QCOMPARE(w, 160L);
    QCOMPARE(h, 120L);
    // Counting the first device switches what the name calls refer to.
    QCOMPARE(Cam_GetCameraResolutionCount(0, 0, &count), int(ORVIX_OK));
    QCOMPARE(count, 2L);
    QCOMPARE(Cam_GetCameraResolutionName(0, &w, &h), int(ORVIX_OK));
    QCOMPARE(w, 3264L);
    QCOMPARE(h, 2448L);
    QCOMPARE(Cam_GetCameraResolutionName(2, &w, &h), int(ORVIX_E_ARGUMENT));
    QCOMPARE(w, 0L);
}

void TestCameraApi::namesAreCutToFitTheBuffer()
{
    const QByteArray ascii(300, 'n');
    const QByteArray mixed = QByteArray(254, 'm') + QString::fromUtf8("文字").toUtf8();
    initWith((ascii + "|320x240|;" + mixed + "|320x240|").constData());

    char name[300];
    std::memset(name, 'Z', sizeof name);
    QCOMPARE(Cam_GetDevName(0, name), int(ORVIX_OK));
    QCOMPARE(std::strlen(name), size_t(255));
    QCOMPARE(name[256], 'Z'); // nothing written past the 256-byte buffer

    std::memset(name, 'Z', sizeof name);
    QCOMPARE(Cam_GetDevName(1, name), int(ORVIX_OK));
    // The multi-byte character that does not fit is left out whole.
    QCOMPARE(std::strlen(name), size_t(254));
    QCOMPARE(QString::fromUtf8(name).toUtf8(), QByteArray(name));
}

void TestCameraApi::badArgumentsGiveCodesNotCrashes()
{
    initWith("Only|320x240|");
    long count = 0, w = 0, h = 0;
    char name[256] = {};
    QCOMPARE(Cam_GetDevCount(nullptr), int(ORVIX_E_ARGUMENT));
    QVERIFY(std::strlen(Orvix_LastError()) > 0);
    QCOMPARE(Cam_GetDevName(0, nullptr), int(ORVIX_E_ARGUMENT));
    QCOMPARE(Cam_GetDevName(-1, name), int(ORVIX_E_NODEVICE));
    QCOMPARE(Cam_GetDevName(1, name), int(ORVIX_E_NODEVICE));
    QCOMPARE(QByteArray(name), QByteArray());
    // Names of formats refer to a counted device; none counted yet.
    QCOMPARE(Cam_GetCameraFormatName(0, name), int(ORVIX_E_STATE));
    QCOMPARE(Cam_GetCameraResolutionName(0, &w, &h), int(ORVIX_E_STATE));
    QCOMPARE(Cam_GetCameraFormatCount(5, &count), int(ORVIX_E_NODEVICE));
    QCOMPARE(count, 0L);
    QCOMPARE(Cam_GetCameraFormatCount(0, nullptr), int(ORVIX_E_ARGUMENT));
    QCOMPARE(Cam_GetCameraFormatCount(0, &count), int(ORVIX_OK));
    QCOMPARE(Cam_GetCameraFormatName(2, name), int(ORVIX_E_ARGUMENT));
    QCOMPARE(Cam_GetCameraFormatName(-1, name), int(ORVIX_E_ARGUMENT));
    QCOMPARE(Cam_GetCameraResolutionCount(0, 7, &count), int(ORVIX_E_ARGUMENT));
    QCOMPARE(Cam_GetCameraResolutionName(0, nullptr, &h), int(ORVIX_E_ARGUMENT));
    QCOMPARE(Cam_SetCameraResolution(0, 1234, 567), int(ORVIX_E_ARGUMENT));
    QCOMPARE(Cam_SetCameraResolution(0, -320, 240), int(ORVIX_E_ARGUMENT));
    QCOMPARE(Cam_SetCameraResolution(3, 320, 240), int(ORVIX_E_NODEVICE));
    QCOMPARE(Cam_SetCameraFormat(0, 2), int(ORVIX_E_ARGUMENT));
    QCOMPARE(Cam_SetCameraFormat(0, -1), int(ORVIX_E_ARGUMENT));
    QCOMPARE(Cam_SetCameraFormat(0, 1), int(ORVIX_OK));
    QCOMPARE(Cam_CameraCaptureStart(0, nullptr), int(ORVIX_E_ARGUMENT));
    QCOMPARE(Cam_CameraCaptureStart(-4, receiveFrame), int(ORVIX_E_NODEVICE));
    QCOMPARE(Cam_CameraCaptureFile(0, nullptr, IMAGEPARAM()), int(ORVIX_E_ARGUMENT));
    QCOMPARE(Cam_CameraCaptureFile(0, "", IMAGEPARAM()), int(ORVIX_E_ARGUMENT));
}

void TestCameraApi::framesArriveOnLibraryThread()
{
    initWith("Desk|320x240,160x120|");
    QCOMPARE(Cam_SetCameraResolution(0, 160, 120), int(ORVIX_OK));
    QCOMPARE(Cam_CameraCaptureStart(0, receiveFrame), int(ORVIX_OK));
    QTRY_VERIFY_WITH_TIMEOUT(g_frames >= 5, 5000);
    QCOMPARE(Cam_CameraCaptureStop(), int(ORVIX_OK));
    QCOMPARE(g_offMainThread.load(), g_frames.load()); // every one of them
    QCOMPARE(g_badSize.load(), 0);
    QCOMPARE(g_lastWidth.load(), 160);
    QCOMPARE(g_lastHeight.load(), 120);
    QVERIFY(Orvix_FramesDelivered() >= 5);
}

void TestCameraApi::stopWaitsForRunningCallbackAndIsIdempotent()
{
    initWith("Slow|320x240|");
    QCOMPARE(Cam_CameraCaptureStop(), int(ORVIX_OK)); // never started
    g_callbackSleepMs = 60;
    QCOMPARE(Cam_CameraCaptureStart(0, receiveFrame), int(ORVIX_OK));
    QTRY_VERIFY_WITH_TIMEOUT(g_frames >= 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(g_insideCallback, 5000); // stop while a callback sleeps
    QCOMPARE(Cam_CameraCaptureStop(), int(ORVIX_OK));
    QVERIFY(!g_insideCallback);
    const int framesAtStop = g_frames;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QCOMPARE(g_frames.load(), framesAtStop);
    QVERIFY(!g_insideCallback);
    QCOMPARE(Cam_CameraCaptureStop(), int(ORVIX_OK));
    QCOMPARE(Cam_CameraCaptureStop(), int(ORVIX_OK));
}

void TestCameraApi::restartOnAnotherDevice()
{
    initWith("One|320x240|;Two|160x120|");
    QCOMPARE(Cam_CameraCaptureStart(0, receiveFrame), int(ORVIX_OK));
    QTRY_VERIFY_WITH_TIMEOUT(g_frames >= 2, 5000);
    QCOMPARE(g_lastWidth.load(), 320);
    QCOMPARE(Cam_CameraCaptureStop(), int(ORVIX_OK));
    resetCounters();
    // Start without a stop in between also replaces the running capture.
    QCOMPARE(Cam_CameraCaptureStart(1, receiveFrame), int(ORVIX_OK));
    QCOMPARE(Cam_CameraCaptureStart(0, receiveFrame), int(ORVIX_OK));
    QCOMPARE(Cam_CameraCaptureStart(1, receiveFrame), int(ORVIX_OK));
    QTRY_VERIFY_WITH_TIMEOUT(g_frames >= 3, 5000);
    const int seen = g_frames;
    QTRY_VERIFY_WITH_TIMEOUT(g_frames >= seen + 3, 5000);
    QCOMPARE(g_lastWidth.load(), 160);
    QCOMPARE(g_lastHeight.load(), 120);
}

void TestCameraApi::resolutionChangeMidStream()
{
    initWith("Zoom|640x480,320x240|");
    QCOMPARE(Cam_CameraCaptureStart(0, receiveFrame), int(ORVIX_OK));
    QTRY_VERIFY_WITH_TIMEOUT(g_frames >= 2, 5000);
    QCOMPARE(g_lastWidth.load(), 640); // the first listed is the default
    QCOMPARE(Cam_SetCameraResolution(0, 320, 240), int(ORVIX_OK));
    QTRY_COMPARE_WITH_TIMEOUT(g_lastWidth.load(), 320, 5000);
    QCOMPARE(g_lastHeight.load(), 240);
    QCOMPARE(g_badSize.load(), 0);
}

void TestCameraApi::initStopsRunningCapture()
{
    initWith("Live|320x240|");
    QCOMPARE(Cam_CameraCaptureStart(0, receiveFrame), int(ORVIX_OK));
    QTRY_VERIFY_WITH_TIMEOUT(g_frames >= 2, 5000);
    initWith("Live|320x240|");
    const int framesAtInit = g_frames;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    QCOMPARE(g_frames.load(), framesAtInit);
}

void TestCameraApi::noAccessDeviceDoesNotStart()
{
    initWith("Locked|320x240|noaccess");
    QCOMPARE(Cam_CameraCaptureStart(0, receiveFrame), int(ORVIX_E_ACCESS));
    QVERIFY(QByteArray(Orvix_LastError()).contains("Locked"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    QCOMPARE(g_frames.load(), 0);
}

namespace {
std::atomic<int> g_stopFromCallback{1};
std::atomic<int> g_initFromCallback{1};
std::atomic<long> g_countFromCallback{-1};

int meddlingCallback(void *, int, int, int, int)
{
    if (g_stopFromCallback == 1) {
        g_stopFromCallback = Cam_CameraCaptureStop();
        g_initFromCallback = Cam_Init();
        long count = -1;
        Cam_GetDevCount(&count); // queries are fine from here
        g_countFromCallback = count;
    }
    ++g_frames;
    return 0;
}
} // namespace

void TestCameraApi::controlCallsFromCallbackAreRefusedNotDeadlocked()
{
    initWith("Busy|160x120|;Other|160x120|");
    QCOMPARE(Cam_CameraCaptureStart(0, meddlingCallback), int(ORVIX_OK));
    QTRY_VERIFY_WITH_TIMEOUT(g_frames >= 3, 5000); // still streaming
    QCOMPARE(g_stopFromCallback.load(), int(ORVIX_E_STATE));
    QCOMPARE(g_initFromCallback.load(), int(ORVIX_E_STATE));
    QCOMPARE(g_countFromCallback.load(), 2L);
    QCOMPARE(Cam_CameraCaptureStop(), int(ORVIX_OK));
}

void TestCameraApi::previewOutlineFollowsCropping()
{
    double xy[8] = {};
    int w = 0, h = 0;
    QCOMPARE(Orvix_PreviewOutline(nullptr, &w, &h), int(ORVIX_E_ARGUMENT));
    initWith("Tarvo|320x240|tarvo");
    QCOMPARE(Orvix_PreviewOutline(xy, &w, &h), int(ORVIX_E_STATE)); // no capture

    Cam_SetAutoCrop(1);
    QCOMPARE(Cam_SetCameraResolution(0, 320, 240), int(ORVIX_OK));
    QCOMPARE(Cam_CameraCaptureStart(0, receiveFrame), int(ORVIX_OK));
    QTRY_COMPARE_WITH_TIMEOUT(Orvix_PreviewOutline(xy, &w, &h), 1, 5000);
    QCOMPARE(w, 320);
    QCOMPARE(h, 240);
    // The desk's page: corners clockwise from the top left, inside the frame,
    // covering a good part of it.
    for (int i = 0; i < 4; ++i) {
        QVERIFY(xy[2 * i] >= 0 && xy[2 * i] <= w);
        QVERIFY(xy[2 * i + 1] >= 0 && xy[2 * i + 1] <= h);
    }
    QVERIFY(xy[0] < xy[2] && xy[6] < xy[4]);
    QVERIFY(xy[1] < xy[7] && xy[3] < xy[5]);
    double twiceArea = 0;
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        twiceArea += xy[2 * i] * xy[2 * j + 1] - xy[2 * j] * xy[2 * i + 1];
    }
    QVERIFY(std::abs(twiceArea) / 2 > 0.2 * w * h);

    Cam_SetAutoCrop(0);
    QTRY_COMPARE_WITH_TIMEOUT(Orvix_PreviewOutline(xy, &w, &h), int(ORVIX_E_STATE), 5000);
    Cam_SetAutoCrop(1);
    QTRY_COMPARE_WITH_TIMEOUT(Orvix_PreviewOutline(xy, &w, &h), 1, 5000);
    QCOMPARE(Cam_CameraCaptureStop(), int(ORVIX_OK));
    QCOMPARE(Orvix_PreviewOutline(xy, &w, &h), int(ORVIX_E_STATE));
    Cam_SetAutoCrop(0);
}

QTEST_GUILESS_MAIN(TestCameraApi)
#include "testcameraapi.moc"
