// The EXIF block of the JPEGs the camera library writes, read back by a
// TIFF reader of the test's own and, where installed, by exiftool.
#include "sdk/jpeg/wholefactorreduce.h"
#include "camera/camsdk.h"
#include "sdk/jpeg/exifthumbnail.h"
#include "sdk/jpeg/jpegcodec.h"
#include "tests/shared/emulatedskip.h"

#include <QtTest>
#include <opencv2/imgproc.hpp>
#include <QDateTime>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <chrono>
#include <map>

using namespace orvix;

namespace {

struct Field {
    int type = 0;
    quint32 count = 0;
    QByteArray value; // the value's bytes, wherever they were stored
};
using Directory = std::map<int, Field>;

// Reads one little-endian IFD of `tiff` at `offset`; tags in order of appearance.
bool readDirectory(const QByteArray &tiff, quint32 offset, Directory &dir, QList<int> &order, quint32 &next)
{
    auto u16 = [&](quint32 at) { return quint32(quint8(tiff[at])) | quint32(quint8(tiff[at + 1])) << 8; };
    auto u32 = [&](quint32 at) { return u16(at) | u16(at + 2) << 16; };
    if (offset + 2 > quint32(tiff.size()))
        return false;
    const quint32 count = u16(offset);
    if (offset + 2 + 12 * count + 4 > quint32(tiff.size()))
        return false;
    static const int kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8};
    for (quint32 i = 0; i < count; ++i) {
        const quint32 at = offset + 2 + 12 * i;
        Field f;
        f.type = int(u16(at + 2));
        f.count = u32(at + 4);
        if (f.type < 1 || f.type > 10)
            return false;
        const quint32 bytes = f.count * quint32(kSizes[f.type]);
        const quint32 from = bytes <= 4 ? at + 8 : u32(at + 8);
        if (from + bytes > quint32(tiff.size()))
            return false;
        f.value = tiff.mid(int(from), int(bytes));
        order << int(u16(at));
        dir[int(u16(at))] = f;
    }
    next = u32(offset + 2 + 12 * count);
    return true;
}

quint32 number(const Field &f)
{
    const auto *p = reinterpret_cast<const quint8 *>(f.value.constData());
    return f.type == 3 ? quint32(p[0] | p[1] << 8) : quint32(p[0] | p[1] << 8 | p[2] << 16 | quint32(p[3]) << 24);
}

// The TIFF part of the first APP1 Exif segment, or empty.
QByteArray exifTiff(const QByteArray &jpeg)
{
    int pos = 2;
    while (pos + 4 <= jpeg.size() && quint8(jpeg[pos]) == 0xFF) {
        const int marker = quint8(jpeg[pos + 1]);
        const int length = quint8(jpeg[pos + 2]) << 8 | quint8(jpeg[pos + 3]);
        if (marker == 0xDA)
            break;
        if (marker == 0xE1 && jpeg.mid(pos + 4, 6) == QByteArray("Exif\0\0", 6))
            return jpeg.mid(pos + 10, length - 8);
        pos += 2 + length;
    }
    return {};
}

Frame gradient(int w, int h)
{
    Frame f;
    f.allocate(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t *p = f.row(y) + x * 3;
            p[0] = uint8_t(x * 255 / w);
            p[1] = uint8_t(y * 255 / h);
            p[2] = 128;
        }
    return f;
}

QByteArray scan(const Frame &page, std::chrono::system_clock::time_point taken)
{
    std::vector<uint8_t> bytes;
    if (jpeg::encode(page, 85, bytes, false) != ORVIX_OK)
        return {};
    exif::embedExif(page, bytes, taken);
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size()));
}

std::chrono::system_clock::time_point timePoint(const QDateTime &t)
{
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(t.toMSecsSinceEpoch()));
}

} // namespace

class TestExifBlock : public QObject
{
    Q_OBJECT

private slots:
    void blockIsCompleteAndPreviewStays_data();
    void blockIsCompleteAndPreviewStays();
    void encoderStampsTheMomentOfEncoding();
    void previewReductionIsOpenCvs_data();
    void previewReductionIsOpenCvs();
    void exiftoolFindsNothingToWarnAbout();
};

void TestExifBlock::blockIsCompleteAndPreviewStays_data()
{
    QTest::addColumn<QSize>("page");
    QTest::addColumn<QSize>("preview"); // invalid: none, the page is small enough
    QTest::newRow("landscape") << QSize(1024, 768) << QSize(320, 240);
    QTest::newRow("portrait") << QSize(600, 800) << QSize(240, 320);
    QTest::newRow("small page") << QSize(300, 200) << QSize();
}

void TestExifBlock::blockIsCompleteAndPreviewStays()
{
    QFETCH(QSize, page);
    QFETCH(QSize, preview);
    const QDateTime taken(QDate(2026, 3, 14), QTime(9, 26, 53, 589), Qt::LocalTime);
    const QByteArray jpeg = scan(gradient(page.width(), page.height()), timePoint(taken));
    QCOMPARE(QImage::fromData(jpeg, "JPEG").size(), page); // the page itself is intact
    const QByteArray tiff = exifTiff(jpeg);
    QVERIFY(tiff.startsWith(QByteArray("II*\0", 4)));

    Directory ifd0, exifDir, ifd1;
    QList<int> order0, orderExif, order1;
    quint32 next = 0, unused = 0;
    QVERIFY(readDirectory(tiff, 8, ifd0, order0, next));
    for (int tag : {0x011A, 0x011B, 0x0128, 0x0213, 0x8769})
        QVERIFY2(ifd0.count(tag), qPrintable(QString("IFD0 lacks 0x%1").arg(tag, 4, 16, QChar('0'))));
    QVERIFY(readDirectory(tiff, number(ifd0[0x8769]), exifDir, orderExif, unused));

    // Resolution as a positive rational, in inches; chroma samples centred.
    for (const Field &r : {ifd0[0x011A], ifd0[0x011B]}) {
        QCOMPARE(r.type, 5);
        QCOMPARE(r.value.size(), 8);
        QVERIFY(number(r) > 0);
        QCOMPARE(number(Field{4, 1, r.value.mid(4)}), 1u);
    }
    QCOMPARE(number(ifd0[0x0128]), 2u);
    QCOMPARE(number(ifd0[0x0213]), 1u);

    QCOMPARE(exifDir[0x9003].type, 2);
    QCOMPARE(exifDir[0x9003].value, QByteArray("2026:03:14 09:26:53", 20)); // NUL included
    QCOMPARE(exifDir[0x9291].value, QByteArray("589", 4));
    QCOMPARE(exifDir[0x9000].value, QByteArray("0230"));
    QCOMPARE(QSize(int(number(exifDir[0xA002])), int(number(exifDir[0xA003]))), page);
    for (int tag : {0x9101, 0xA000, 0xA001})
        QVERIFY(exifDir.count(tag));

    // Readers look tags up by binary search: every directory in tag order.
    for (const QList<int> &order : {order0, orderExif})
        QVERIFY(std::is_sorted(order.begin(), order.end()));

    if (!preview.isValid()) {
        QCOMPARE(next, 0u);
        return;
    }
    QVERIFY(next != 0);
    QVERIFY(readDirectory(tiff, next, ifd1, order1, unused));
    QVERIFY(std::is_sorted(order1.begin(), order1.end()));
    for (int tag : {0x011A, 0x011B, 0x0128})
        QVERIFY(ifd1.count(tag));
    QCOMPARE(number(ifd1[0x0103]), 6u);
    const QByteArray thumb = tiff.mid(int(number(ifd1[0x0201])), int(number(ifd1[0x0202])));
    QCOMPARE(QImage::fromData(thumb, "JPEG").size(), preview);
}

void TestExifBlock::encoderStampsTheMomentOfEncoding()
{
    // Captures go through the encoder with the preview asked for.
    const QDateTime before = QDateTime::currentDateTime();
    std::vector<uint8_t> bytes;
    QCOMPARE(jpeg::encode(gradient(640, 480), 85, bytes, true), int(ORVIX_OK));
    const QDateTime after = QDateTime::currentDateTime();
    const QByteArray tiff = exifTiff(QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size())));
    Directory ifd0, exifDir;
    QList<int> order;
    quint32 next = 0;
    QVERIFY(readDirectory(tiff, 8, ifd0, order, next));
    QVERIFY(next != 0); // the preview is there
    QVERIFY(readDirectory(tiff, number(ifd0[0x8769]), exifDir, order, next));
    const QString stamp = QString::fromLatin1(exifDir[0x9003].value.constData()) + '.' +
                          QString::fromLatin1(exifDir[0x9291].value.constData());
    const QDateTime taken = QDateTime::fromString(stamp, "yyyy:MM:dd HH:mm:ss.zzz");
    QVERIFY2(taken.isValid(), qPrintable(stamp));
    QVERIFY2(taken >= before.addMSecs(-1) && taken <= after,
             qPrintable(stamp + " not within " + before.toString(Qt::ISODateWithMs) + " .. " +
                        after.toString(Qt::ISODateWithMs)));
}

void TestExifBlock::exiftoolFindsNothingToWarnAbout()
{
    QUILLO_SKIP_WHEN_EMULATED();
    const QString exiftool = QStandardPaths::findExecutable("exiftool");
    QVERIFY2(!exiftool.isEmpty(), "exiftool is missing (libimage-exiftool-perl; scripts/test.sh installs it)");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDateTime taken(QDate(2026, 12, 7), QTime(17, 5, 9, 42), Qt::LocalTime);
    for (const QSize &page : {QSize(1024, 768), QSize(300, 200)}) {
        QFile file(dir.filePath(QString("scan%1.jpg").arg(page.width())));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(scan(gradient(page.width(), page.height()), timePoint(taken)));
        file.close();
        QProcess p;
        p.start(exiftool, {"-validate", "-warning", "-error", "-a", "-s", "-DateTimeOriginal", file.fileName()});
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        QCOMPARE(p.exitCode(), 0);
        QVERIFY2(out.contains(QRegularExpression("^Validate\\s*: OK$", QRegularExpression::MultilineOption)),
                 qPrintable(out));
        QVERIFY2(!out.contains("Warning") && !out.contains("Error"), qPrintable(out));
        QVERIFY2(out.contains("2026:12:07 17:05:09"), qPrintable(out));
    }
}

void TestExifBlock::previewReductionIsOpenCvs_data()
{
    QTest::addColumn<int>("factor");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("fill"); // 0 noise, 1 white, 2 a ramp through every level
    for (int factor : {2, 3, 4, 7, 10, 13})
        for (int channels : {1, 3, 4})
            for (int fill : {0, 1, 2})
                QTest::addRow("factor %d, %d channels, fill %d", factor, channels, fill) << factor << channels << fill;
    QTest::newRow("a camera frame into the preview") << 10 << 3 << 0;
}

// The preview is made byte for byte as OpenCV's area averaging made it, so
// the file written for a capture does not change.
void TestExifBlock::previewReductionIsOpenCvs()
{
    QFETCH(int, factor);
    QFETCH(int, channels);
    QFETCH(int, fill);
    cv::RNG rng(uint64(factor * 100 + channels * 10 + fill));
    const bool camera = QByteArray(QTest::currentDataTag()).startsWith("a camera");
    const int w = camera ? 3260 : factor * rng.uniform(1, 70), h = camera ? 2440 : factor * rng.uniform(1, 50);
    cv::Mat frame(h + 3, w + 5, CV_8UC(channels));
    if (fill == 0)
        rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
    else if (fill == 1)
        frame.setTo(cv::Scalar::all(255));
    else
        for (int y = 0; y < frame.rows; ++y)
            for (int x = 0; x < frame.cols * channels; ++x)
                frame.ptr<uchar>(y)[x] = uchar((x * 7 + y * 3) % 256);
    // A region of a larger picture, as the preview reduces the whole blocks of a page.
    const cv::Mat region = frame(cv::Rect(2, 1, w, h));
    cv::Mat expected, reduced;
    cv::resize(region, expected, cv::Size(w / factor, h / factor), 0, 0, cv::INTER_AREA);
    orvix::reduceByWholeFactor(region, factor, reduced);
    QCOMPARE(reduced.size(), expected.size());
    QCOMPARE(reduced.type(), expected.type());
    QCOMPARE(cv::norm(reduced, expected, cv::NORM_INF), 0.0);
}

QTEST_GUILESS_MAIN(TestExifBlock)
#include "testexifblock.moc"
