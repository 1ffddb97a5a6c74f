// YUYV to R,G,B: known colours against the BT.601 definition, and the
// buffer checks that keep a short or padded frame from being misread.
#include "sdk/v4l2/yuyv.h"

#include <QtTest>

#include <cmath>

namespace {

// The studio-range BT.601 definition in floating point: the reference the
// integer conversion must stay within one step of.
void referenceRgb(int y, int u, int v, int rgb[3])
{
    const double c = 1.164383 * (y - 16);
    const double d = u - 128, e = v - 128;
    const double values[3] = {c + 1.596027 * e, c - 0.391762 * d - 0.812968 * e, c + 2.017232 * d};
    for (int i = 0; i < 3; ++i)
        rgb[i] = std::max(0, std::min(255, static_cast<int>(std::lround(values[i]))));
}

} // namespace

class TestYuyv : public QObject
{
    Q_OBJECT
private slots:
    void knownColours_data();
    void knownColours();
    void pixelPairsKeepTheirLuma();
    void paddedRows();
    void refusesShortOrOddInput();
};

void TestYuyv::knownColours_data()
{
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("u");
    QTest::addColumn<int>("v");
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::newRow("black") << 16 << 128 << 128 << 0 << 0 << 0;
    QTest::newRow("white") << 235 << 128 << 128 << 255 << 255 << 255;
    QTest::newRow("mid grey") << 126 << 128 << 128 << 128 << 128 << 128;
    QTest::newRow("red") << 81 << 90 << 240 << 255 << 0 << 0;
    QTest::newRow("green") << 145 << 54 << 34 << 0 << 255 << 0;
    QTest::newRow("blue") << 41 << 240 << 110 << 0 << 0 << 255;
    QTest::newRow("below black clips") << 0 << 128 << 128 << 0 << 0 << 0;
    QTest::newRow("above white clips") << 255 << 128 << 128 << 255 << 255 << 255;
    QTest::newRow("skin tone") << 150 << 110 << 150 << -1 << -1 << -1; // reference only
}

void TestYuyv::knownColours()
{
    QFETCH(int, y);
    QFETCH(int, u);
    QFETCH(int, v);
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    const uint8_t pixels[4] = {uint8_t(y), uint8_t(u), uint8_t(y), uint8_t(v)};
    orvix::Frame out;
    QVERIFY(orvix::yuyvToRgb(pixels, sizeof pixels, 2, 1, 0, out));
    QCOMPARE(out.width, 2);
    QCOMPARE(out.height, 1);
    int reference[3];
    referenceRgb(y, u, v, reference);
    const int expected[3] = {r, g, b};
    for (int px = 0; px < 2; ++px) {
        for (int c = 0; c < 3; ++c) {
            const int got = out.rgb[static_cast<size_t>(px * 3 + c)];
            QVERIFY2(std::abs(got - reference[c]) <= 1,
                     qPrintable(QString("channel %1: %2, reference %3").arg(c).arg(got).arg(reference[c])));
            if (expected[c] >= 0)
                QVERIFY2(std::abs(got - expected[c]) <= 2,
                         qPrintable(QString("channel %1: %2, expected %3").arg(c).arg(got).arg(expected[c])));
        }
    }
}

void TestYuyv::pixelPairsKeepTheirLuma()
{
    // Two pixels share chroma but not brightness: a black and a white one.
    const uint8_t pixels[4] = {16, 128, 235, 128};
    orvix::Frame out;
    QVERIFY(orvix::yuyvToRgb(pixels, sizeof pixels, 2, 1, 0, out));
    QCOMPARE(int(out.rgb[0]), 0);
    QCOMPARE(int(out.rgb[3]), 255);
}

void TestYuyv::paddedRows()
{
    // 2x2 picture, rows 8 bytes apart (4 bytes of padding each): the padding
    // holds white and must not show.
    const uint8_t pixels[16] = {16, 128, 16, 128, 235, 128, 235, 128,
                                235, 128, 235, 128, 235, 128, 235, 128};
    orvix::Frame out;
    QVERIFY(orvix::yuyvToRgb(pixels, 12, 2, 2, 8, out)); // the last row's padding may be missing
    QCOMPARE(int(out.row(0)[0]), 0);
    QCOMPARE(int(out.row(0)[3]), 0);
    QCOMPARE(int(out.row(1)[0]), 255);
}

void TestYuyv::refusesShortOrOddInput()
{
    const std::vector<uint8_t> bytes(64 * 2 * 4, 128);
    orvix::Frame out;
    QVERIFY(!orvix::yuyvToRgb(bytes.data(), bytes.size() - 1, 64, 4, 0, out));
    QVERIFY(out.empty());
    QVERIFY(!orvix::yuyvToRgb(bytes.data(), bytes.size(), 63, 4, 0, out));
    QVERIFY(!orvix::yuyvToRgb(bytes.data(), bytes.size(), 64, 4, 200, out)); // stride beyond the data
    QVERIFY(!orvix::yuyvToRgb(bytes.data(), bytes.size(), 64, 4, 64, out));  // stride below a row
    QVERIFY(!orvix::yuyvToRgb(nullptr, 0, 64, 4, 0, out));
    QVERIFY(orvix::yuyvToRgb(bytes.data(), bytes.size(), 64, 4, 0, out));
    QCOMPARE(out.rgb.size(), size_t(64 * 4 * 3));
}

QTEST_GUILESS_MAIN(TestYuyv)
#include "testyuyv.moc"
