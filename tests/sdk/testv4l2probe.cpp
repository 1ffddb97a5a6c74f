// Finding cameras and negotiating formats, against scripted device nodes and
// a sysfs tree built in a temporary folder.
#include "tests/shared/fakesysfs.h"
#include "tests/shared/fakev4l2io.h"

#include "camera/camsdk.h"
#include "sdk/v4l2/tarvodevices.h"
#include "sdk/v4l2/v4l2backend.h"
#include "sdk/v4l2/v4l2device.h"
#include "sdk/v4l2/v4l2probe.h"

#include <QtTest>

using orvix::Resolution;

namespace {

FakeFormat discreteFormat(uint32_t fourcc, std::vector<std::pair<int, int>> sizes)
{
    FakeFormat f;
    f.fourcc = fourcc;
    f.discrete = std::move(sizes);
    return f;
}

FakeFormat stepwiseFormat(uint32_t fourcc, int minW, int maxW, int stepW, int minH, int maxH, int stepH)
{
    FakeFormat f;
    f.fourcc = fourcc;
    f.range = {static_cast<uint32_t>(minW), static_cast<uint32_t>(maxW), static_cast<uint32_t>(stepW),
               static_cast<uint32_t>(minH), static_cast<uint32_t>(maxH), static_cast<uint32_t>(stepH)};
    return f;
}

// A camera described by what these cases vary; everything else keeps the
// fake's defaults.
FakeCamera fakeCamera(const std::string &nodePath, int openErrno, const std::string &card, uint32_t deviceCaps,
                      std::vector<FakeFormat> formats)
{
    FakeCamera camera;
    camera.nodePath = nodePath;
    camera.openErrno = openErrno;
    camera.card = card;
    camera.deviceCaps = deviceCaps;
    camera.formats = std::move(formats);
    return camera;
}

} // namespace

class TestV4l2Probe : public QObject
{
    Q_OBJECT

private slots:
    void enumeration();
    void laptopOrder_data();
    void laptopOrder();
    void tarvoTable_data();
    void tarvoTable();
    void frameSizeRanges_data();
    void frameSizeRanges();
    void formatsAndSizes();
    void negotiation();
    void inaccessibleDeviceRefusesWork();
};

void TestV4l2Probe::enumeration()
{
    FakeSysfs sysfs;
    QVERIFY(sysfs.valid());
    auto io = std::make_shared<FakeV4l2Io>();
    const auto mjpeg = discreteFormat(V4L2_PIX_FMT_MJPEG, {{640, 480}});
    const uint32_t capture = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    const uint32_t meta = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;

    // video0 + video1: one webcam, capture and metadata node.
    sysfs.addNode("video0", "1-1", "046d", "0825");
    sysfs.addNode("video1", "1-1", "046d", "0825");
    io->addCamera(fakeCamera("/dev/video0", 0, "HD Webcam C270", capture, {mjpeg}));
    io->addCamera(fakeCamera("/dev/video1", 0, "HD Webcam C270", meta, {}));
    // video2: Tarvo by its USB ids, generic card name.
    sysfs.addNode("video2", "1-2", "3c2e", "0007");
    io->addCamera(fakeCamera("/dev/video2", 0, "USB Camera", capture, {mjpeg}));
    // video3: Tarvo by name, reseller ids.
    sysfs.addNode("video3", "1-3", "0c45", "6366");
    io->addCamera(fakeCamera("/dev/video3", 0, "TARVO DocCam T5", capture, {mjpeg}));
    // video4 + video5: a camera this user may not open; listed once.
    sysfs.addNode("video4", "1-4", "1234", "5678");
    sysfs.addNode("video5", "1-4", "1234", "5678");
    io->addCamera(fakeCamera("/dev/video4", EACCES, "", 0, {}));
    io->addCamera(fakeCamera("/dev/video5", EACCES, "", 0, {}));
    // video6: a capture node without streaming (read() only); video7: output only.
    sysfs.addNode("video6", "1-6", "aaaa", "0001");
    io->addCamera(fakeCamera("/dev/video6", 0, "Old Grabber", V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE, {mjpeg}));
    sysfs.addNode("video7", "platform-7", "", "");
    io->addCamera(fakeCamera("/dev/video7", 0, "Encoder", V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING, {}));
    // video10 sorts after video7 by number, not by text; a node that vanished
    // between listing and opening (no fake camera) is skipped.
    sysfs.addNode("video10", "1-10", "bbbb", "0002");
    io->addCamera(fakeCamera("/dev/video10", 0, "Late Camera", capture, {mjpeg}));
    sysfs.addNode("video8", "1-8", "cccc", "0003");
    // video12 + video14: one USB device with two camera functions (a document
    // camera with a second, face camera); video13 is the first one's metadata.
    sysfs.addNode("video12", "1-9", "3c2e", "0100", "", 0, "removable", "Tarvo Dual");
    sysfs.addNode("video13", "1-9", "3c2e", "0100", "", 0, "removable", "Tarvo Dual");
    sysfs.addNode("video14", "1-9", "3c2e", "0100", "", 2, "removable", "Tarvo Dual");
    io->addCamera(fakeCamera("/dev/video12", 0, "Tarvo Dual: Document", capture, {mjpeg}));
    io->addCamera(fakeCamera("/dev/video13", 0, "Tarvo Dual: Document", meta, {}));
    io->addCamera(fakeCamera("/dev/video14", 0, "Tarvo Dual: Face", capture, {mjpeg}));

    auto backend = orvix::makeV4l2Backend(io, sysfs.root(), "/dev");
    auto devices = backend->enumerate();
    QCOMPARE(devices.size(), size_t(7));

    // Tarvo cameras first, then the others; each group by USB port.
    QCOMPARE(QString::fromStdString(devices[0]->name()), QString("USB Camera"));
    QVERIFY(devices[0]->tarvo());
    QCOMPARE(QString::fromStdString(devices[1]->name()), QString("TARVO DocCam T5"));
    QVERIFY(devices[1]->tarvo());
    QCOMPARE(QString::fromStdString(devices[2]->name()), QString("Tarvo Dual: Document"));
    QCOMPARE(QString::fromStdString(devices[3]->name()), QString("Tarvo Dual: Face"));
    QVERIFY(devices[3]->tarvo());
    QCOMPARE(devices[3]->formats(), (std::vector<std::string>{"MJPG"}));

    QCOMPARE(QString::fromStdString(devices[4]->name()), QString("Late Camera"));
    QCOMPARE(QString::fromStdString(devices[5]->name()), QString("HD Webcam C270"));
    QVERIFY(devices[5]->accessible());
    QVERIFY(!devices[5]->tarvo());
    QCOMPARE(QString::fromStdString(devices[6]->name()), QString("sysfs name of video4"));
    QVERIFY(!devices[6]->accessible());
    QVERIFY(!devices[6]->tarvo());
    QCOMPARE(io->openDescriptors(), 0);
}

void TestV4l2Probe::laptopOrder_data()
{
    QTest::addColumn<QStringList>("nodes"); // webcam, its metadata, IR, IR metadata, document camera, USB webcam
    QTest::newRow("as booted") << QStringList{"video0", "video1", "video2", "video3", "video4", "video6"};
    QTest::newRow("numbered otherwise")
        << QStringList{"video4", "video5", "video6", "video7", "video0", "video2"};
}

// A laptop with a built-in webcam and its infrared camera, a document camera
// and a USB webcam: the document camera is device 0 however the nodes are
// numbered, and the infrared camera (no format we can show) is not listed.
void TestV4l2Probe::laptopOrder()
{
    QFETCH(QStringList, nodes);
    FakeSysfs sysfs;
    QVERIFY(sysfs.valid());
    auto io = std::make_shared<FakeV4l2Io>();
    const auto mjpeg = discreteFormat(V4L2_PIX_FMT_MJPEG, {{640, 480}, {1280, 720}});
    const uint32_t capture = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    const uint32_t meta = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
    auto dev = [&](int i) { return "/dev/" + nodes[i].toStdString(); };
    auto node = [&](int i) { return nodes[i].toStdString(); };
    sysfs.addNode(node(0), "1-5", "04f2", "b6d9", "", 0, "fixed");
    sysfs.addNode(node(1), "1-5", "04f2", "b6d9", "", 0, "fixed");
    sysfs.addNode(node(2), "1-5", "04f2", "b6d9", "", 2, "fixed");
    sysfs.addNode(node(3), "1-5", "04f2", "b6d9", "", 2, "fixed");
    sysfs.addNode(node(4), "3-1", "3c2e", "0007", "T5-0042");
    sysfs.addNode(node(5), "1-1", "046d", "0825");
    io->addCamera(fakeCamera(dev(0), 0, "Integrated Camera", capture, {mjpeg}));
    io->addCamera(fakeCamera(dev(1), 0, "Integrated Camera", meta, {}));
    io->addCamera(fakeCamera(dev(2), 0, "Integrated IR Camera", capture,
                             {discreteFormat(V4L2_PIX_FMT_GREY, {{640, 360}})}));
    io->addCamera(fakeCamera(dev(3), 0, "Integrated IR Camera", meta, {}));
    io->addCamera(fakeCamera(dev(4), 0, "USB Camera", capture,
                             {stepwiseFormat(V4L2_PIX_FMT_MJPEG, 640, 3264, 16, 480, 2448, 8)}));
    io->addCamera(fakeCamera(dev(5), 0, "HD Webcam C270", capture, {mjpeg}));

    auto devices = orvix::makeV4l2Backend(io, sysfs.root(), "/dev")->enumerate();
    QStringList names;
    for (const auto &d : devices)
        names << QString::fromStdString(d->name());
    QCOMPARE(names, (QStringList{"USB Camera", "HD Webcam C270", "Integrated Camera"}));
    QVERIFY(devices[0]->tarvo());
    QCOMPARE(devices[0]->resolutions(0).back(), (Resolution{3264, 2448}));
    QCOMPARE(io->openDescriptors(), 0);
}

void TestV4l2Probe::tarvoTable_data()
{
    QTest::addColumn<int>("vendor");
    QTest::addColumn<int>("product");
    QTest::addColumn<QString>("card");
    QTest::addColumn<QString>("usbProduct");
    QTest::addColumn<bool>("tarvo");
    QTest::newRow("vendor, any product") << 0x3c2e << 0x1234 << "Camera" << "" << true;
    QTest::newRow("listed OEM product") << 0x1b3f << 0x2247 << "USB2.0 Camera" << "" << true;
    QTest::newRow("other product of OEM") << 0x1b3f << 0x2002 << "USB2.0 Camera" << "" << false;
    QTest::newRow("name, any case") << 0x0c45 << 0x6366 << "tarvo t8" << "" << true;
    QTest::newRow("USB product string") << 0x0c45 << 0x6366 << "USB Camera" << "Tarvo Scanner" << true;
    QTest::newRow("unrelated") << 0x046d << 0x0825 << "HD Webcam" << "Webcam" << false;
    QTest::newRow("no ids, no name") << 0 << 0 << "" << "" << false;
}

void TestV4l2Probe::tarvoTable()
{
    QFETCH(int, vendor);
    QFETCH(int, product);
    QFETCH(QString, card);
    QFETCH(QString, usbProduct);
    QFETCH(bool, tarvo);
    QCOMPARE(orvix::isTarvoDevice(static_cast<uint16_t>(vendor), static_cast<uint16_t>(product),
                                  card.toStdString(), usbProduct.toStdString()),
             tarvo);
}

void TestV4l2Probe::frameSizeRanges_data()
{
    QTest::addColumn<QList<int>>("range"); // minW maxW stepW minH maxH stepH
    QTest::addColumn<QList<int>>("expected"); // w,h pairs
    QTest::newRow("8MP camera, step 16x8")
        << QList<int>{320, 3264, 16, 240, 2448, 8}
        << QList<int>{320, 240, 640, 480, 800, 600, 1024, 768, 1280, 720, 1280, 960, 1600, 1200, 1920, 1080,
                      2048, 1536, 2592, 1944, 3264, 2448};
    QTest::newRow("odd maximum is offered")
        << QList<int>{640, 1000, 8, 480, 750, 2} << QList<int>{640, 480, 800, 600, 1000, 750};
    QTest::newRow("steps exclude common sizes")
        << QList<int>{100, 1300, 300, 100, 1000, 300} << QList<int>{1300, 1000};
    QTest::newRow("continuous") << QList<int>{1, 700, 1, 1, 500, 1} << QList<int>{320, 240, 640, 480, 700, 500};
    QTest::newRow("empty range") << QList<int>{640, 320, 1, 480, 240, 1} << QList<int>{};
}

void TestV4l2Probe::frameSizeRanges()
{
    QFETCH(QList<int>, range);
    QFETCH(QList<int>, expected);
    const auto sizes = orvix::expandFrameSizeRange(range[0], range[1], range[2], range[3], range[4], range[5]);
    QList<int> flat;
    for (const Resolution &r : sizes)
        flat << r.width << r.height;
    QCOMPARE(flat, expected);
}

void TestV4l2Probe::formatsAndSizes()
{
    auto io = std::make_shared<FakeV4l2Io>();
    FakeCamera camera;
    camera.nodePath = "/dev/video0";
    FakeFormat emulated = discreteFormat(V4L2_PIX_FMT_RGB24, {{640, 480}});
    emulated.emulated = true;
    camera.formats = {discreteFormat(V4L2_PIX_FMT_YUYV, {{640, 480}, {1280, 720}, {640, 480}}),
                      discreteFormat(V4L2_PIX_FMT_H264, {{1920, 1080}}),
                      stepwiseFormat(V4L2_PIX_FMT_MJPEG, 640, 3264, 16, 480, 2448, 8), emulated};
    io->addCamera(camera);
    const int fd = io->open("/dev/video0");
    const auto formats = orvix::queryFormats(*io, fd);
    io->close(fd);

    // Compressed first: the application lists the sizes of format 0.
    QCOMPARE(formats.size(), size_t(2));
    QCOMPARE(QString::fromStdString(formats[0].name), QString("MJPG"));
    QCOMPARE(QString::fromStdString(formats[1].name), QString("YUYV"));
    QCOMPARE(formats[0].sizes.back(), (Resolution{3264, 2448}));
    QCOMPARE(formats[0].sizes.front(), (Resolution{640, 480}));
    QCOMPARE(formats[1].sizes, (std::vector<Resolution>{{640, 480}, {1280, 720}}));

    // A driver without frame-size enumeration: its sizes are learnt by
    // asking, and it is listed with them.
    FakeCamera plain;
    plain.nodePath = "/dev/video1";
    plain.formats = {discreteFormat(V4L2_PIX_FMT_MJPEG, {{1280, 720}, {640, 480}})};
    plain.enumeratesFrameSizes = false;
    io->addCamera(plain);
    const int plainFd = io->open(plain.nodePath);
    const auto learnt = orvix::queryFormats(*io, plainFd);
    io->close(plainFd);
    QCOMPARE(learnt.size(), size_t(1));
    QCOMPARE(QString::fromStdString(learnt[0].name), QString("MJPG"));
    QCOMPARE(learnt[0].sizes, (std::vector<Resolution>{{640, 480}, {1280, 720}}));
}

void TestV4l2Probe::negotiation()
{
    auto io = std::make_shared<FakeV4l2Io>();
    FakeCamera camera;
    camera.nodePath = "/dev/video0";
    camera.formats = {discreteFormat(V4L2_PIX_FMT_YUYV, {{640, 480}, {1280, 720}}),
                      stepwiseFormat(V4L2_PIX_FMT_MJPEG, 640, 3264, 16, 480, 2448, 8)};
    const auto attached = attachDevice(io, camera);
    orvix::V4l2Device &device = *attached;
    QCOMPARE(device.formats(), (std::vector<std::string>{"MJPG", "YUYV"}));

    QCOMPARE(device.setResolution(1280, 720), int(ORVIX_OK));
    QCOMPARE(device.setFormat(1), int(ORVIX_OK));
    auto history = io->formatHistory(camera.nodePath);
    QVERIFY(!history.empty());
    QCOMPARE(history.back().pixelformat, uint32_t(V4L2_PIX_FMT_YUYV));
    QCOMPARE(history.back().width, 1280u);
    QCOMPARE(history.back().height, 720u);

    // A size the camera lacks: the driver's nearest answer is taken.
    QCOMPARE(device.setResolution(1300, 700), int(ORVIX_OK));
    history = io->formatHistory(camera.nodePath);
    QCOMPARE(history.back().width, 1280u);
    QCOMPARE(history.back().height, 720u);

    QCOMPARE(device.setFormat(0), int(ORVIX_OK));
    history = io->formatHistory(camera.nodePath);
    QCOMPARE(history.back().pixelformat, uint32_t(V4L2_PIX_FMT_MJPEG));
    QCOMPARE(history.back().width, 1296u); // 1300 aligned to the 16-pixel step
    QCOMPARE(history.back().height, 696u);

    QCOMPARE(device.setFormat(2), int(ORVIX_E_ARGUMENT));
    QCOMPARE(device.setFormat(-1), int(ORVIX_E_ARGUMENT));
    QCOMPARE(device.setResolution(0, 480), int(ORVIX_E_ARGUMENT));
    QCOMPARE(device.resolutions(5).size(), size_t(0));
}

void TestV4l2Probe::inaccessibleDeviceRefusesWork()
{
    auto io = std::make_shared<FakeV4l2Io>();
    io->addCamera(fakeCamera("/dev/video0", EPERM, "", 0, {}));
    orvix::V4l2DeviceInfo info;
    info.nodePath = "/dev/video0";
    info.name = "Locked";
    orvix::V4l2Device device(io, info);
    QVERIFY(!device.accessible());
    QCOMPARE(device.start([](const orvix::Frame &) {}), int(ORVIX_E_ACCESS));
    orvix::Frame still;
    QCOMPARE(device.grabStill(still, 100), int(ORVIX_E_ACCESS));
    QVERIFY(still.empty());
    QCOMPARE(device.setResolution(640, 480), int(ORVIX_E_ACCESS));
    device.stop();
    QCOMPARE(io->openDescriptors(), 0);
}

QTEST_GUILESS_MAIN(TestV4l2Probe)
#include "testv4l2probe.moc"
