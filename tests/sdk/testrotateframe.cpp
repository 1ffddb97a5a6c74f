// Quarter turns of captured pages, checked against Qt's own transform.
#include "sdk/page/picturepool.h"
#include "sdk/page/processing.h"

#include <QtTest>
#include <QImage>
#include <QTransform>

using namespace orvix;

namespace {

Frame noise(int w, int h)
{
    Frame f;
    f.allocate(w, h);
    uint32_t seed = 7;
    for (uint8_t &b : f.rgb) {
        seed = seed * 1664525u + 1013904223u;
        b = uint8_t(seed >> 24);
    }
    return f;
}

QImage asImage(const Frame &f)
{
    return QImage(f.rgb.data(), f.width, f.height, int(f.stride()), QImage::Format_RGB888).copy();
}

} // namespace

class TestRotateFrame : public QObject
{
    Q_OBJECT

private slots:
    void matchesQtRotation_data();
    void matchesQtRotation();
    void emptyFrameStaysEmpty();
};

void TestRotateFrame::matchesQtRotation_data()
{
    QTest::addColumn<int>("degrees");
    QTest::addColumn<int>("clockwiseQuarters");
    QTest::addColumn<QSize>("size");
    // 130 x 70 crosses the 64-pixel tiles; 3 x 2 is smaller than one; in
    // 65 x 129 and 129 x 65 the last tiles are one pixel thin, and single
    // rows and columns have runs of one pixel, the last byte of the picture
    // among them.
    // 1031 x 519 is large enough to be turned into a kept buffer, which is
    // handed over dirty: every byte of the result must be written.
    for (QSize size : {QSize(3, 2), QSize(130, 70), QSize(65, 129), QSize(129, 65), QSize(1, 1), QSize(1, 7),
                       QSize(7, 1), QSize(1031, 519)}) {
        const QByteArray s = QByteArray::number(size.width()) + "x" + QByteArray::number(size.height());
        QTest::newRow(s + " 0") << 0 << 0 << size;
        QTest::newRow(s + " 90") << 90 << 1 << size;
        QTest::newRow(s + " 180") << 180 << 2 << size;
        QTest::newRow(s + " 270") << 270 << 3 << size;
        QTest::newRow(s + " -90") << -90 << 3 << size;
        QTest::newRow(s + " -180") << -180 << 2 << size;
        QTest::newRow(s + " 360") << 360 << 0 << size;
        QTest::newRow(s + " 450") << 450 << 1 << size;
        QTest::newRow(s + " -450") << -450 << 3 << size;
        QTest::newRow(s + " 1080") << 1080 << 0 << size;
        QTest::newRow(s + " 45 rounds down") << 45 << 0 << size;
        QTest::newRow(s + " -45 rounds down") << -45 << 3 << size;
    }
}

void TestRotateFrame::matchesQtRotation()
{
    QFETCH(int, degrees);
    QFETCH(int, clockwiseQuarters);
    QFETCH(QSize, size);
    const Frame in = noise(size.width(), size.height());
    picturepool::give(std::vector<uint8_t>(in.rgb.size() + (4u << 20), 0xA5));
    const Frame out = rotateFrame(in, degrees);
    const QImage expected = asImage(in).transformed(QTransform().rotate(90 * clockwiseQuarters));
    QCOMPARE(QSize(out.width, out.height), expected.size());
    QCOMPARE(out.rgb.size(), in.rgb.size());
    QCOMPARE(asImage(out), expected.convertToFormat(QImage::Format_RGB888));
}

void TestRotateFrame::emptyFrameStaysEmpty()
{
    QVERIFY(rotateFrame(Frame(), 90).empty());
}

QTEST_GUILESS_MAIN(TestRotateFrame)
#include "testrotateframe.moc"
