// The JPEG codec inside the camera library: scaled decoding, the embedded
// preview, limits, and the atomic file write.
#include "camera/camsdk.h"
#include "sdk/jpeg/exifthumbnail.h"
#include "sdk/jpeg/jpegcodec.h"
#include "sdk/lasterror.h"

#include <QtTest>
#include <QImage>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

using namespace orvix;
using namespace orvix::jpeg;

namespace {

Frame gradient(int w, int h)
{
    Frame f;
    f.allocate(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t *p = f.row(y) + x * 3;
            p[0] = uint8_t(x * 255 / w);
            p[1] = uint8_t(y * 255 / h);
            p[2] = uint8_t(((x / 32 + y / 32) % 2) ? 210 : 30);
        }
    return f;
}

std::vector<uint8_t> encoded(const Frame &f, bool thumbnail)
{
    std::vector<uint8_t> bytes;
    if (encode(f, 85, bytes, thumbnail) != ORVIX_OK)
        bytes.clear();
    return bytes;
}

QImage readWithQt(const std::vector<uint8_t> &bytes)
{
    return QImage::fromData(bytes.data(), int(bytes.size()), "JPEG");
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestJpegCodec : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void scaledDecodingKeepsLongSideAtHint_data();
    void scaledDecodingKeepsLongSideAtHint();
    void previewAnswersSmallHints();
    void stalePreviewIsIgnored();
    void hugeHeaderRefusedBeforeAllocation();
    void peekSizeReadsHeaderOnly();
    void damagedFilesDecodeWholeOrNotAtAll();

    void atomicWriteReplacesAndCleansUp();

private:
    Frame m_big;
    std::vector<uint8_t> m_bigJpeg;
};

void TestJpegCodec::initTestCase()
{
    m_big = gradient(3264, 2448);
    m_bigJpeg = encoded(m_big, false);
}

void TestJpegCodec::scaledDecodingKeepsLongSideAtHint_data()
{
    QTest::addColumn<int>("hintWidth");
    QTest::addColumn<int>("hintHeight");
    QTest::addColumn<QSize>("expected");
    // 3264 x 2448 scales by n/8: 408, 816, 1224, 1632, 2040, 2448, 2856, 3264.
    QTest::newRow("no hint") << 0 << 0 << QSize(3264, 2448);
    QTest::newRow("200 x 200") << 200 << 200 << QSize(408, 306);
    QTest::newRow("portrait hint, long side counts") << 200 << 1000 << QSize(1224, 918);
    QTest::newRow("width only") << 900 << 0 << QSize(1224, 918);
    QTest::newRow("exactly 1/2") << 1632 << 1224 << QSize(1632, 1224);
    QTest::newRow("larger than picture") << 8000 << 8000 << QSize(3264, 2448);
    QTest::newRow("tiny") << 1 << 1 << QSize(408, 306);
}

void TestJpegCodec::scaledDecodingKeepsLongSideAtHint()
{
    QFETCH(int, hintWidth);
    QFETCH(int, hintHeight);
    QFETCH(QSize, expected);
    const std::vector<uint8_t> &bytes = m_bigJpeg;
    QVERIFY(!bytes.empty());
    Frame out;
    QCOMPARE(decode(bytes.data(), bytes.size(), out, hintWidth, hintHeight), int(ORVIX_OK));
    QCOMPARE(QSize(out.width, out.height), expected);
    QCOMPARE(out.rgb.size(), size_t(expected.width()) * expected.height() * 3);
    // Scaled, not cropped: the colour ramp still spans the whole width.
    QVERIFY(out.row(out.height / 2)[0] < 20);
    QVERIFY(out.row(out.height / 2)[(out.width - 1) * 3] > 235);
}

void TestJpegCodec::previewAnswersSmallHints()
{
    const std::vector<uint8_t> bytes = encoded(m_big, true);
    const uint8_t *thumb = nullptr;
    size_t thumbSize = 0;
    QVERIFY(exif::findThumbnail(bytes.data(), bytes.size(), thumb, thumbSize));
    // Independent reader: Qt sees the page, not the preview.
    QCOMPARE(readWithQt(bytes).size(), QSize(3264, 2448));

    Frame out;
    QCOMPARE(decode(bytes.data(), bytes.size(), out, 200, 200), int(ORVIX_OK));
    QCOMPARE(QSize(out.width, out.height), QSize(320, 240));
    QVERIFY(out.row(120)[0] < 30); // the preview shows the same picture
    QVERIFY(out.row(120)[319 * 3] > 225);
    // Above the preview's size the page itself is scaled.
    QCOMPARE(decode(bytes.data(), bytes.size(), out, 400, 300), int(ORVIX_OK));
    QCOMPARE(QSize(out.width, out.height), QSize(408, 306));
    QCOMPARE(decode(bytes.data(), bytes.size(), out), int(ORVIX_OK));
    QCOMPARE(QSize(out.width, out.height), QSize(3264, 2448));

    // Small pages carry no preview.
    const std::vector<uint8_t> small = encoded(gradient(300, 200), true);
    QVERIFY(!exif::findThumbnail(small.data(), small.size(), thumb, thumbSize));
}

void TestJpegCodec::stalePreviewIsIgnored()
{
    // A page turned by some editor that kept the old preview.
    std::vector<uint8_t> bytes = encoded(gradient(640, 480), false);
    exif::embedExif(gradient(480, 640), bytes);
    const uint8_t *thumb = nullptr;
    size_t thumbSize = 0;
    QVERIFY(exif::findThumbnail(bytes.data(), bytes.size(), thumb, thumbSize));
    Frame out;
    QCOMPARE(decode(bytes.data(), bytes.size(), out, 200, 200), int(ORVIX_OK));
    QCOMPARE(QSize(out.width, out.height), QSize(240, 180)); // 3/8 of the page
}

void TestJpegCodec::hugeHeaderRefusedBeforeAllocation()
{
    std::vector<uint8_t> bytes = encoded(gradient(64, 48), false);
    for (size_t i = 0; i + 9 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 5] = bytes[i + 7] = 0xFF;
            bytes[i + 6] = bytes[i + 8] = 0xDC;
            break;
        }
    }
    int w = 0, h = 0;
    QCOMPARE(peekSize(bytes.data(), bytes.size(), w, h), int(ORVIX_E_NOMEM));
    Frame out;
    QCOMPARE(decode(bytes.data(), bytes.size(), out), int(ORVIX_E_NOMEM));
    QVERIFY(out.empty());
    QVERIFY(out.rgb.capacity() == 0);
}

void TestJpegCodec::peekSizeReadsHeaderOnly()
{
    const std::vector<uint8_t> bytes = encoded(gradient(123, 45), false);
    int w = 0, h = 0;
    // The header alone is enough; the scan data may be missing.
    QCOMPARE(peekSize(bytes.data(), bytes.size() / 2, w, h), int(ORVIX_OK));
    QCOMPARE(w, 123);
    QCOMPARE(h, 45);
    QVERIFY(peekSize(bytes.data(), 3, w, h) < 0);
    QCOMPARE(w, 0);
    Frame out;
    QVERIFY(decode(bytes.data(), bytes.size() / 2, out) < 0);
    QVERIFY(out.empty());
}

void TestJpegCodec::damagedFilesDecodeWholeOrNotAtAll()
{
    // Flipped bytes anywhere (header, preview, scan data) and cut-off ends:
    // the result is a complete picture of a sane size or nothing at all.
    const std::vector<uint8_t> source = encoded(gradient(800, 600), true);
    uint32_t seed = 2024;
    auto next = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes = source;
        const int flips = 1 + int(next() % 4);
        for (int i = 0; i < flips; ++i)
            bytes[next() % bytes.size()] = uint8_t(next());
        if (round % 3 == 0)
            bytes.resize(next() % bytes.size() + 1);
        for (int hint : {0, 200}) {
            Frame out;
            const int rc = decode(bytes.data(), bytes.size(), out, hint, hint);
            if (rc == ORVIX_OK) {
                QVERIFY(out.width > 0 && out.height > 0);
                QVERIFY(uint64_t(out.width) * out.height <= kMaxPixels);
                QCOMPARE(out.rgb.size(), out.stride() * size_t(out.height));
            } else {
                QVERIFY(out.empty());
                ++refused;
            }
        }
    }
    QVERIFY(refused > 100); // every cut-off file among them
}

void TestJpegCodec::atomicWriteReplacesAndCleansUp()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.jpg");
    const std::vector<uint8_t> first = {1, 2, 3};
    const std::vector<uint8_t> second(100000, 7);
    QCOMPARE(writeFileAtomic(path.toStdString(), first), int(ORVIX_OK));
    QCOMPARE(readFile(path), QByteArray("\x01\x02\x03", 3));
    QCOMPARE(writeFileAtomic(path.toStdString(), second), int(ORVIX_OK));
    QCOMPARE(readFile(path).size(), 100000);
    // Permissions follow the umask, not mkstemp's private 0600.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    QCOMPARE(QFileInfo(path).permissions().testFlag(QFile::ReadGroup), !(mask & 040));

    QCOMPARE(writeFileAtomic(dir.filePath("missing/x.jpg").toStdString(), first), int(ORVIX_E_IO));
    QVERIFY(QByteArray(lastError()).contains("missing"));
    QCOMPARE(writeFileAtomic(dir.path().toStdString() + "/", first), int(ORVIX_E_ARGUMENT));
    QCOMPARE(writeFileAtomic("", first), int(ORVIX_E_ARGUMENT));
    QVERIFY(QDir(dir.path()).mkdir("folder.jpg"));
    QCOMPARE(writeFileAtomic(dir.filePath("folder.jpg").toStdString(), first), int(ORVIX_E_IO));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({"folder.jpg", "out.jpg"}));

    // A bare file name lands in the working folder.
    const QString here = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QCOMPARE(writeFileAtomic("bare.jpg", first), int(ORVIX_OK));
    QVERIFY(QDir::setCurrent(here));
    QVERIFY(QFile::exists(dir.filePath("bare.jpg")));
}

QTEST_GUILESS_MAIN(TestJpegCodec)
#include "testjpegcodec.moc"
