// Captures to disk and decoding through the library's C boundary. Written
// files are read back with Qt's own JPEG reader.
#include "camera/camsdk.h"
#include "camera/orvixext.h"

#include <QtTest>
#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <memory>
#include <unistd.h>

namespace {

void initWith(const char *cameras)
{
    qputenv("ORVIX_SIMULATED_CAMERAS", cameras);
    QCOMPARE(Cam_Init(), int(ORVIX_OK));
}

IMAGEPARAM paramRotated(int degrees)
{
    IMAGEPARAM p;
    std::memset(static_cast<void *>(&p), 0, sizeof p);
    p.nRotate = degrees;
    return p;
}

double meanBrightness(const QImage &img, const QRect &area)
{
    double sum = 0;
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x, ++n)
            sum += qGray(img.pixel(x, y));
    return n ? sum / n : 0;
}

QByteArray encodeWithQt(const QImage &img, int quality = 90)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPEG", quality);
    return bytes;
}

QImage testPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x / 16 + y / 16) % 2 ? 200 : 40));
    return img;
}

struct Decoded {
    long width = 0;
    long height = 0;
    std::unique_ptr<unsigned char[]> rgb;
    int rc = 0;
};

Decoded decode(const QByteArray &bytes, long hintWidth = 0, long hintHeight = 0)
{
    Decoded d;
    unsigned char *rgb = nullptr;
    const auto *jpeg = reinterpret_cast<const unsigned char *>(bytes.constData());
    if (hintWidth > 0 || hintHeight > 0)
        d.rc = Orvix_ReadBufFromJpegBufScaled(jpeg, bytes.size(), hintWidth, hintHeight, &d.width, &d.height,
                                              &rgb);
    else
        d.rc = Cam_readBufFromJpegBuf(jpeg, bytes.size(), &d.width, &d.height, &rgb);
    d.rgb.reset(rgb);
    return d;
}

QStringList entriesOf(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestCaptureFile : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Cam_CameraCaptureStop(); }

    void captureIsJpegOfSetResolutionTurnedAsAsked_data();
    void captureIsJpegOfSetResolutionTurnedAsAsked();
    void captureFollowsTheStreamingDevice();
    void failingDevicesWriteNothing();
    void unwritableFolderGivesErrorAndNoFile();
    void symlinkAtPathIsReplacedNotFollowed();
    void existingFileIsReplacedWhole();
    void capturesOnWorkerThreadsWhilePreviewRuns();

    void badJpegGivesNothing_data();
    void badJpegGivesNothing();
    void fullDecodeMatchesQt();
    void sizeHintGivesSmallerPictureSameShape();
    void jpegWithoutHuffmanTablesDecodes();
};

void TestCaptureFile::captureIsJpegOfSetResolutionTurnedAsAsked_data()
{
    QTest::addColumn<int>("degrees");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("brightSide"); // the desk is lighter at the scene's top
    QTest::newRow("0") << 0 << QSize(640, 480) << "top";
    QTest::newRow("90") << 90 << QSize(480, 640) << "right";
    QTest::newRow("-90") << -90 << QSize(480, 640) << "left";
    QTest::newRow("180") << 180 << QSize(640, 480) << "bottom";
    QTest::newRow("360") << 360 << QSize(640, 480) << "top";
    QTest::newRow("450") << 450 << QSize(480, 640) << "right";
    QTest::newRow("-270") << -270 << QSize(480, 640) << "right";
}

void TestCaptureFile::captureIsJpegOfSetResolutionTurnedAsAsked()
{
    QFETCH(int, degrees);
    QFETCH(QSize, size);
    QFETCH(QString, brightSide);

    initWith("Desk|1280x720,640x480|");
    QCOMPARE(Cam_SetCameraResolution(0, 640, 480), int(ORVIX_OK));
    QTemporaryDir dir;
    const QString path = dir.filePath("page.jpg");
    QCOMPARE(Cam_CameraCaptureFile(0, path.toUtf8().constData(), paramRotated(degrees)),
             int(ORVIX_OK));
    QImage img(path, "JPEG");
    QVERIFY(!img.isNull());
    QCOMPARE(img.size(), size);

    const int w = img.width(), h = img.height();
    const double top = meanBrightness(img, QRect(0, 0, w, 4));
    const double bottom = meanBrightness(img, QRect(0, h - 4, w, 4));
    const double left = meanBrightness(img, QRect(0, 0, 4, h));
    const double right = meanBrightness(img, QRect(w - 4, 0, 4, h));
    if (brightSide == "top")
        QVERIFY2(top > bottom + 10, qPrintable(QString("%1 %2").arg(top).arg(bottom)));
    else if (brightSide == "bottom")
        QVERIFY(bottom > top + 10);
    else if (brightSide == "left")
        QVERIFY(left > right + 10);
    else
        QVERIFY(right > left + 10);
    QCOMPARE(entriesOf(dir.path()), QStringList{"page.jpg"});
}

void TestCaptureFile::captureFollowsTheStreamingDevice()
{
    initWith("Big|320x240|;Small|160x120|");
    QTemporaryDir dir;
    const QString path = dir.filePath("a.jpg");
    // Nothing started or set: the first device.
    QCOMPARE(Cam_CameraCaptureFile(0, path.toUtf8().constData(), paramRotated(0)), int(ORVIX_OK));
    QCOMPARE(QImage(path).size(), QSize(320, 240));
    QCOMPARE(Cam_CameraCaptureStart(1, [](void *, int, int, int, int) { return 0; }), int(ORVIX_OK));
    QCOMPARE(Cam_CameraCaptureFile(0, path.toUtf8().constData(), paramRotated(0)), int(ORVIX_OK));
    QCOMPARE(QImage(path).size(), QSize(160, 120));
    // After a stop the device last started still answers.
    QCOMPARE(Cam_CameraCaptureStop(), int(ORVIX_OK));
    QVERIFY(QFile::remove(path));
    QCOMPARE(Cam_CameraCaptureFile(0, path.toUtf8().constData(), paramRotated(0)), int(ORVIX_OK));
    QCOMPARE(QImage(path).size(), QSize(160, 120));
}

void TestCaptureFile::failingDevicesWriteNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("x.jpg");
    initWith("Broken|320x240|failcapture");
    QCOMPARE(Cam_CameraCaptureFile(0, path.toUtf8().constData(), paramRotated(0)), int(ORVIX_E_IO));
    initWith("Locked|320x240|noaccess");
    QCOMPARE(Cam_CameraCaptureFile(0, path.toUtf8().constData(), paramRotated(0)),
             int(ORVIX_E_ACCESS));
    initWith("");
    QCOMPARE(Cam_CameraCaptureFile(0, path.toUtf8().constData(), paramRotated(0)),
             int(ORVIX_E_NODEVICE));
    QCOMPARE(entriesOf(dir.path()), QStringList());
}

void TestCaptureFile::unwritableFolderGivesErrorAndNoFile()
{
    initWith("Desk|320x240|");
    QTemporaryDir dir;
    const QString missing = dir.filePath("no/such/folder/page.jpg");
    QCOMPARE(Cam_CameraCaptureFile(0, missing.toUtf8().constData(), paramRotated(0)),
             int(ORVIX_E_IO));
    QVERIFY(QByteArray(Orvix_LastError()).contains("no/such/folder"));
    QCOMPARE(Orvix_LastErrorNumber(), ENOENT);
    QVERIFY(!QFile::exists(missing));
    // A failure that no system call caused leaves no number behind.
    QCOMPARE(Cam_CameraCaptureFile(0, "", paramRotated(0)), int(ORVIX_E_ARGUMENT));
    QCOMPARE(Orvix_LastErrorNumber(), 0);

    // A folder at the path itself: the rename fails, the temporary goes away.
    QVERIFY(QDir(dir.path()).mkdir("taken.jpg"));
    QCOMPARE(Cam_CameraCaptureFile(0, dir.filePath("taken.jpg").toUtf8().constData(),
                                   paramRotated(0)),
             int(ORVIX_E_IO));
    QCOMPARE(Orvix_LastErrorNumber(), EISDIR);
    QCOMPARE(entriesOf(dir.path()), QStringList{"taken.jpg"});

    if (geteuid() == 0)
        QSKIP("root writes into read-only folders");
    const QString locked = dir.filePath("locked");
    QVERIFY(QDir(dir.path()).mkdir("locked"));
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    QCOMPARE(Cam_CameraCaptureFile(0, (locked + "/page.jpg").toUtf8().constData(), paramRotated(0)),
             int(ORVIX_E_IO));
    QCOMPARE(Orvix_LastErrorNumber(), EACCES);
    QCOMPARE(entriesOf(locked), QStringList());
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestCaptureFile::symlinkAtPathIsReplacedNotFollowed()
{
    initWith("Desk|320x240|");
    QTemporaryDir dir;
    const QString target = dir.filePath("precious.txt");
    QFile t(target);
    QVERIFY(t.open(QIODevice::WriteOnly));
    t.write("keep me");
    t.close();
    const QString path = dir.filePath("page.jpg");
    QVERIFY(QFile::link(target, path));
    QCOMPARE(Cam_CameraCaptureFile(0, path.toUtf8().constData(), paramRotated(0)), int(ORVIX_OK));
    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(QImage(path).size(), QSize(320, 240));
    QVERIFY(t.open(QIODevice::ReadOnly));
    QCOMPARE(t.readAll(), QByteArray("keep me"));
    QCOMPARE(entriesOf(dir.path()), QStringList({"page.jpg", "precious.txt"}));
}

void TestCaptureFile::existingFileIsReplacedWhole()
{
    initWith("Desk|320x240,160x120|");
    QTemporaryDir dir;
    const QString path = dir.filePath("page.jpg");
    QCOMPARE(Cam_CameraCaptureFile(0, path.toUtf8().constData(), paramRotated(0)), int(ORVIX_OK));
    QCOMPARE(Cam_SetCameraResolution(0, 160, 120), int(ORVIX_OK));
    QCOMPARE(Cam_CameraCaptureFile(0, path.toUtf8().constData(), paramRotated(0)), int(ORVIX_OK));
    QCOMPARE(QImage(path).size(), QSize(160, 120));
    QVERIFY(QFileInfo(path).permissions() & QFile::ReadOwner);
    QCOMPARE(entriesOf(dir.path()), QStringList{"page.jpg"});
}

void TestCaptureFile::capturesOnWorkerThreadsWhilePreviewRuns()
{
    initWith("Desk|320x240,160x120|");
    QCOMPARE(Cam_CameraCaptureStart(0, [](void *, int, int, int, int) { return 0; }), int(ORVIX_OK));
    QTemporaryDir dir;
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < 4; ++i) {
                const QString path = dir.filePath(QString("w%1-%2.jpg").arg(t).arg(i));
                if (Cam_CameraCaptureFile(0, path.toUtf8().constData(), paramRotated(90 * i)) != ORVIX_OK)
                    ++failures;
            }
        });
    // Meanwhile the GUI thread switches the resolution back and forth.
    for (int i = 0; i < 10; ++i)
        Cam_SetCameraResolution(0, i % 2 ? 320 : 160, i % 2 ? 240 : 120);
    for (std::thread &w : workers)
        w.join();
    QCOMPARE(failures.load(), 0);
    const QStringList files = entriesOf(dir.path());
    QCOMPARE(files.size(), 12);
    for (const QString &name : files) {
        const QSize size = QImage(dir.filePath(name)).size();
        QVERIFY2(size == QSize(320, 240) || size == QSize(240, 320) || size == QSize(160, 120) ||
                     size == QSize(120, 160),
                 qPrintable(name));
    }
}

void TestCaptureFile::badJpegGivesNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = encodeWithQt(testPicture(64, 48));
    QByteArray huge = good;
    const int sof = huge.indexOf("\xFF\xC0");
    QVERIFY(sof > 0);
    huge[sof + 5] = char(0xFF); // height 65500
    huge[sof + 6] = char(0xDC);
    huge[sof + 7] = char(0xFF); // width 65500
    huge[sof + 8] = char(0xDC);
    QByteArray cutByMarker = good;
    const int sos = cutByMarker.indexOf("\xFF\xDA");
    cutByMarker.replace(sos + 40, 2, "\xFF\xD9");
    QByteArray corruptHeader = good;
    for (int i = 2; i < 40; ++i)
        corruptHeader[i] = char(i * 37);

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("two bytes") << QByteArray("\xFF\xD8", 2);
    QTest::newRow("header only") << good.left(sos + 4);
    QTest::newRow("truncated") << good.left(good.size() / 2);
    QTest::newRow("end marker inside the data") << cutByMarker;
    QTest::newRow("corrupt header") << corruptHeader;
    QTest::newRow("65500 x 65500") << huge;
    QTest::newRow("text") << QByteArray("this is not a picture at all, just words");
    QTest::newRow("png") << [] {
        QByteArray png;
        QBuffer b(&png);
        b.open(QIODevice::WriteOnly);
        testPicture(16, 16).save(&b, "PNG");
        return png;
    }();
}

void TestCaptureFile::badJpegGivesNothing()
{
    QFETCH(QByteArray, bytes);
    for (long hint : {0L, 200L}) {
        Decoded d = decode(bytes, hint, hint);
        QVERIFY(d.rc < 0);
        QCOMPARE(d.width, 0L);
        QCOMPARE(d.height, 0L);
        QVERIFY(!d.rgb);
    }
    // A null buffer with a size, and null out-parameters.
    long w = 5, h = 5;
    unsigned char *rgb = nullptr;
    QCOMPARE(Cam_readBufFromJpegBuf(nullptr, 100, &w, &h, &rgb), int(ORVIX_E_ARGUMENT));
    QCOMPARE(w, 0L);
    QCOMPARE(h, 0L);
    QVERIFY(!rgb);
    QVERIFY(Cam_readBufFromJpegBuf(reinterpret_cast<const unsigned char *>("\xFF\xD8"), 2, nullptr,
                                   nullptr, nullptr) < 0);
}

void TestCaptureFile::fullDecodeMatchesQt()
{
    const QImage source = testPicture(200, 150);
    const QByteArray bytes = encodeWithQt(source, 95);
    const QImage reference = QImage::fromData(bytes, "JPEG").convertToFormat(QImage::Format_RGB888);
    Decoded d = decode(bytes);
    QCOMPARE(d.rc, int(ORVIX_OK));
    QCOMPARE(d.width, 200L);
    QCOMPARE(d.height, 150L);
    int worst = 0;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(int(d.rgb[size_t((y * 200 + x) * 3 + c)]) -
                                                 int(reference.constScanLine(y)[x * 3 + c])));
    QVERIFY2(worst <= 3, qPrintable(QString::number(worst)));
}

void TestCaptureFile::sizeHintGivesSmallerPictureSameShape()
{
    // A plain JPEG (scaled decoding) and one of our captures (embedded preview).
    initWith("Desk|1280x960|");
    QTemporaryDir dir;
    const QString path = dir.filePath("capture.jpg");
    QCOMPARE(Cam_CameraCaptureFile(0, path.toUtf8().constData(), paramRotated(90)), int(ORVIX_OK));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray capture = f.readAll();

    for (const QByteArray &bytes : {encodeWithQt(testPicture(1600, 1200)), capture}) {
        const QSize full = QImage::fromData(bytes).size();
        Decoded d = decode(bytes, 200, 200);
        QCOMPARE(d.rc, int(ORVIX_OK));
        QVERIFY(d.rgb);
        const long longSide = std::max(d.width, d.height);
        QVERIFY2(longSide >= 200 && longSide < std::max(full.width(), full.height()),
                 qPrintable(QString("%1x%2").arg(d.width).arg(d.height)));
        QCOMPARE(d.width > d.height, full.width() > full.height());
        QVERIFY(std::abs(double(d.width) / d.height - double(full.width()) / full.height()) < 0.02);
        // A hint larger than the picture gives the whole picture.
        Decoded whole = decode(bytes, 5000, 5000);
        QCOMPARE(QSize(int(whole.width), int(whole.height)), full);
        // The maker's decode has outputs only: variables left over from an
        // earlier small picture ask for nothing.
        long w = 640, h = 480;
        unsigned char *rgb = nullptr;
        QCOMPARE(Cam_readBufFromJpegBuf(reinterpret_cast<const unsigned char *>(bytes.constData()), bytes.size(),
                                        &w, &h, &rgb),
                 int(ORVIX_OK));
        delete[] rgb;
        QCOMPARE(QSize(int(w), int(h)), full);
    }
}

void TestCaptureFile::jpegWithoutHuffmanTablesDecodes()
{
    // Motion-JPEG frames from UVC cameras leave out the standard tables.
    const QByteArray withTables = encodeWithQt(testPicture(96, 64));
    QByteArray stripped = withTables;
    int at;
    while ((at = stripped.indexOf("\xFF\xC4")) >= 0) {
        const int length = (uchar(stripped[at + 2]) << 8) | uchar(stripped[at + 3]);
        stripped.remove(at, 2 + length);
    }
    QVERIFY(stripped.size() < withTables.size());
    Decoded a = decode(withTables);
    Decoded b = decode(stripped);
    QCOMPARE(b.rc, int(ORVIX_OK));
    QCOMPARE(b.width, 96L);
    QCOMPARE(b.height, 64L);
    QCOMPARE(std::memcmp(a.rgb.get(), b.rgb.get(), 96 * 64 * 3), 0);
}

QTEST_GUILESS_MAIN(TestCaptureFile)
#include "testcapturefile.moc"
