// A capture's processing chain: crop, rotate, optimise, watermark, in that order.
#include "tests/shared/pagescene.h"
#include "sdk/page/processing.h"

#include <QtTest>

namespace {

const double kPageWidth = 760, kPageHeight = 1000;

const pagescene::Scene &portraitPage()
{
    static const pagescene::Scene scene = [] {
        pagescene::Setup s;
        s.angle = 8;
        s.keystone = 0.02;
        s.lightFalloff = 0.25;
        s.lightDirection = 30;
        s.pageWidth = kPageWidth;
        s.pageHeight = kPageHeight;
        s.seed = 50;
        return pagescene::makeScene(s);
    }();
    return scene;
}

// Where the page's dark title block ended up: the quadrant ("tl", "tr",
// "br", "bl") of the darkest of four corner patches.
QString titleQuadrant(const orvix::Frame &f)
{
    const cv::Mat m = pagescene::asMat(f);
    const int w = f.width / 5, h = f.height / 5;
    const std::pair<QString, cv::Rect> patches[] = {{"tl", {0, 0, w, h}},
                                                    {"tr", {f.width - w, 0, w, h}},
                                                    {"br", {f.width - w, f.height - h, w, h}},
                                                    {"bl", {0, f.height - h, w, h}}};
    QString darkest;
    double lowest = 1e9;
    for (const auto &p : patches) {
        const double v = cv::mean(m(p.second))[0];
        if (v < lowest) {
            lowest = v;
            darkest = p.first;
        }
    }
    return darkest;
}

bool near(double value, double expected, double tolerance) { return std::fabs(value / expected - 1) < tolerance; }

} // namespace

class TestProcessCapture : public QObject
{
    Q_OBJECT

private slots:
    void cropThenRotate_data();
    void cropThenRotate();
    void cropFromFlagOrRecord_data();
    void cropFromFlagOrRecord();
    void watermarkComesLast();
    void watermarkColourIsClamped();
    void inputIsNeverModified();
};

void TestProcessCapture::cropThenRotate_data()
{
    QTest::addColumn<int>("rotate");
    QTest::addColumn<bool>("turned");
    QTest::addColumn<QString>("title");
    QTest::newRow("0") << 0 << false << "tl";
    QTest::newRow("90") << 90 << true << "tr";
    QTest::newRow("180") << 180 << false << "br";
    QTest::newRow("270") << 270 << true << "bl";
    QTest::newRow("-90") << -90 << true << "bl";
    QTest::newRow("450") << 450 << true << "tr";
}

void TestProcessCapture::cropThenRotate()
{
    QFETCH(int, rotate);
    QFETCH(bool, turned);
    QFETCH(QString, title);
    IMAGEPARAM param = {};
    param.nRotate = rotate;
    const orvix::Frame out = orvix::processCapture(portraitPage().frame, param, true);
    // The page's own size, turned when the rotation is a quarter: cropping came first.
    const double w = turned ? kPageHeight : kPageWidth, h = turned ? kPageWidth : kPageHeight;
    QVERIFY2(near(out.width, w, 0.04) && near(out.height, h, 0.04),
             qPrintable(QString("%1x%2, page %3x%4").arg(out.width).arg(out.height).arg(w).arg(h)));
    QCOMPARE(titleQuadrant(out), title);
}

void TestProcessCapture::cropFromFlagOrRecord_data()
{
    QTest::addColumn<bool>("autoCrop");
    QTest::addColumn<int>("cropType");
    QTest::addColumn<bool>("cropped");
    QTest::newRow("automatic cropping on") << true << 0 << true;
    QTest::newRow("record asks for it") << false << 1 << true;
    QTest::newRow("neither") << false << 0 << false;
}

void TestProcessCapture::cropFromFlagOrRecord()
{
    QFETCH(bool, autoCrop);
    QFETCH(int, cropType);
    QFETCH(bool, cropped);
    IMAGEPARAM param = {};
    param.nCropType = cropType;
    const orvix::Frame &in = portraitPage().frame;
    const orvix::Frame out = orvix::processCapture(in, param, autoCrop);
    if (cropped) {
        QVERIFY(near(out.width, kPageWidth, 0.04));
        QVERIFY(near(out.height, kPageHeight, 0.04));
    } else {
        QCOMPARE(out.width, in.width);
        QCOMPARE(out.height, in.height);
        QVERIFY(out.rgb == in.rgb);
    }
}

void TestProcessCapture::watermarkComesLast()
{
    char text[] = "Quillo 文档";
    IMAGEPARAM param = {};
    param.nRotate = 90;
    param.bIsTextEn = true;
    param.bIsWater = true;
    param.nR = 190;
    param.nG = 40;
    param.nB = 120;
    param.szWaterContent = text;
    const orvix::Frame out = orvix::processCapture(portraitPage().frame, param, true);
    // Fully covered glyph pixels carry exactly the colour: nothing ran after
    // the watermark. They sit at the bottom right of the turned page.
    int exact = 0, outsideCorner = 0;
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            const uint8_t *p = out.row(y) + size_t(x) * 3;
            if (p[0] == 190 && p[1] == 40 && p[2] == 120) {
                ++exact;
                if (x < out.width / 3 || y < out.height * 3 / 4)
                    ++outsideCorner;
            }
        }
    }
    QVERIFY2(exact > 100, qPrintable(QString("%1 pixels in the exact colour").arg(exact)));
    QCOMPARE(outsideCorner, 0);
    QVERIFY(out.width > out.height);
}

void TestProcessCapture::watermarkColourIsClamped()
{
    char text[] = "Quillo";
    IMAGEPARAM param = {};
    param.bIsWater = true;
    param.nR = 300;
    param.nG = -20;
    param.nB = 128;
    param.szWaterContent = text;
    const orvix::Frame out = orvix::processCapture(portraitPage().frame, param, false);
    int exact = 0;
    for (size_t i = 0; i + 2 < out.rgb.size(); i += 3)
        if (out.rgb[i] == 255 && out.rgb[i + 1] == 0 && out.rgb[i + 2] == 128)
            ++exact;
    QVERIFY2(exact > 50, qPrintable(QString("%1 pixels in (255, 0, 128)").arg(exact)));
}

void TestProcessCapture::inputIsNeverModified()
{
    const orvix::Frame &in = portraitPage().frame;
    const orvix::Frame copy = in;
    char text[] = "Quillo";
    IMAGEPARAM param = {};
    param.nCropType = 1;
    param.bIsTextEn = true;
    param.bIsWater = true;
    param.szWaterContent = text;
    for (int rotate : {0, 90, 180}) {
        param.nRotate = rotate;
        orvix::processCapture(in, param, true);
        orvix::processCapture(in, param, false);
    }
    QVERIFY(in.rgb == copy.rgb);
    orvix::Frame empty;
    QVERIFY(orvix::processCapture(empty, param, true).empty());
}

QTEST_GUILESS_MAIN(TestProcessCapture)
#include "testprocesscapture.moc"
