// Document optimisation: even light, white paper, dark text, colour kept.
#include "sdk/page/areareduce.h"
#include "sdk/page/docoptimiser.h"
#include "tests/shared/pagescene.h"
#include "sdk/page/processing.h"
#include "tests/shared/referenceprocessing.h"

#include <QtTest>

namespace {

struct LitPage {
    orvix::Frame frame;
    cv::Mat text;  // where the page has ink
    cv::Mat paper; // where it is bare paper
};

// A page filling the frame, its light falling from `bright` at the left to
// `dark` at the right, with a red stamp in the lower half.
LitPage litPage(double bright, double dark)
{
    cv::RNG rng(77);
    cv::Mat page = pagescene::makePage(1200, 900, rng);
    cv::circle(page, cv::Point(900, 700), 70, cv::Scalar(200, 30, 30), 12);
    LitPage lit;
    cv::Mat gray;
    cv::cvtColor(page, gray, cv::COLOR_RGB2GRAY);
    lit.text = gray < 80;
    lit.paper = gray > 200;
    cv::erode(lit.paper, lit.paper, cv::Mat(), cv::Point(-1, -1), 3); // away from the ink's blurred rims
    cv::Mat shaded;
    page.convertTo(shaded, CV_32FC3);
    for (int y = 0; y < shaded.rows; ++y)
        for (int x = 0; x < shaded.cols; ++x)
            shaded.at<cv::Vec3f>(y, x) *= float(bright + (dark - bright) * x / (shaded.cols - 1.0));
    cv::GaussianBlur(shaded, shaded, cv::Size(0, 0), 1.0);
    cv::Mat noise(shaded.size(), CV_32FC3);
    rng.fill(noise, cv::RNG::NORMAL, 0, 3);
    shaded += noise;
    cv::Mat bytes;
    shaded.convertTo(bytes, CV_8UC3);
    lit.frame.allocate(bytes.cols, bytes.rows);
    std::memcpy(lit.frame.rgb.data(), bytes.data, lit.frame.rgb.size());
    return lit;
}

double grayMean(const orvix::Frame &f, const cv::Mat &mask, cv::Rect area = cv::Rect())
{
    cv::Mat gray;
    cv::cvtColor(pagescene::asMat(f), gray, cv::COLOR_RGB2GRAY);
    if (area.area() == 0)
        area = cv::Rect(0, 0, f.width, f.height);
    return cv::mean(gray(area), mask(area))[0];
}

} // namespace

class TestDocOptimiser : public QObject
{
    Q_OBJECT

private slots:
    void raisesTextContrast_data();
    void raisesTextContrast();
    void evensOutLighting();
    void keepsColour();
    void keepsDeskDark();
    void badFramesPassThrough();
    void areaReductionIsOpenCvs_data();
    void areaReductionIsOpenCvs();
    void matchesFormerOptimiser_data();
    void matchesFormerOptimiser();
};

void TestDocOptimiser::raisesTextContrast_data()
{
    QTest::addColumn<double>("bright");
    QTest::addColumn<double>("dark");
    QTest::newRow("even, a little dim") << 0.8 << 0.8;
    QTest::newRow("falling off to half") << 0.95 << 0.5;
    QTest::newRow("dim all over") << 0.55 << 0.4;
}

void TestDocOptimiser::raisesTextContrast()
{
    QFETCH(double, bright);
    QFETCH(double, dark);
    const LitPage lit = litPage(bright, dark);
    const orvix::Frame out = orvix::optimiseDocument(lit.frame);
    QCOMPARE(out.width, lit.frame.width);
    QCOMPARE(out.height, lit.frame.height);

    const double paperBefore = grayMean(lit.frame, lit.paper), paperAfter = grayMean(out, lit.paper);
    const double textBefore = grayMean(lit.frame, lit.text), textAfter = grayMean(out, lit.text);
    qInfo("paper %.0f -> %.0f, text %.0f -> %.0f", paperBefore, paperAfter, textBefore, textAfter);
    QVERIFY(paperAfter > paperBefore);
    QVERIFY(paperAfter > 235);
    QVERIFY(textAfter <= textBefore + 2);
    QVERIFY((paperAfter - textAfter) > (paperBefore - textBefore) + 20);
}

void TestDocOptimiser::evensOutLighting()
{
    const LitPage lit = litPage(0.95, 0.5);
    const orvix::Frame out = orvix::optimiseDocument(lit.frame);
    const cv::Rect left(0, 0, lit.frame.width / 8, lit.frame.height);
    const cv::Rect right(lit.frame.width * 7 / 8, 0, lit.frame.width / 8, lit.frame.height);
    const double before = grayMean(lit.frame, lit.paper, left) - grayMean(lit.frame, lit.paper, right);
    const double after = std::fabs(grayMean(out, lit.paper, left) - grayMean(out, lit.paper, right));
    qInfo("paper left-right difference %.1f -> %.1f", before, after);
    QVERIFY(before > 80);
    QVERIFY(after < 8);
}

void TestDocOptimiser::keepsColour()
{
    const LitPage lit = litPage(0.9, 0.7);
    const orvix::Frame out = orvix::optimiseDocument(lit.frame);
    // The stamp's ring, away from its anti-aliased rims.
    const cv::Mat image = pagescene::asMat(out);
    int red = 0, samples = 0;
    for (int k = 0; k < 36; ++k) {
        const double a = k * CV_PI / 18;
        const cv::Vec3b p = image.at<cv::Vec3b>(int(700 + 70 * std::sin(a)), int(900 + 70 * std::cos(a)));
        ++samples;
        if (p[0] > 150 && p[0] > p[1] + 80 && p[0] > p[2] + 80)
            ++red;
    }
    QVERIFY2(red > samples * 9 / 10, qPrintable(QString("%1 of %2 stamp samples red").arg(red).arg(samples)));
}

void TestDocOptimiser::keepsDeskDark()
{
    // Optimisation without cropping: the desk around the page is no paper.
    pagescene::Setup s;
    s.desk = cv::Scalar(50, 40, 32);
    s.lightFalloff = 0.3;
    s.seed = 78;
    const pagescene::Scene scene = pagescene::makeScene(s);
    const orvix::Frame out = orvix::optimiseDocument(scene.frame);
    const cv::Mat all = cv::Mat::ones(out.height, out.width, CV_8U);
    const cv::Rect deskStrip(0, 0, 200, out.height);
    const double before = grayMean(scene.frame, all, deskStrip), after = grayMean(out, all, deskStrip);
    qInfo("desk %.0f -> %.0f", before, after);
    QVERIFY(after < 100);
}

void TestDocOptimiser::badFramesPassThrough()
{
    orvix::Frame empty;
    QVERIFY(orvix::optimiseDocument(empty).empty());
    orvix::Frame shortBuffer;
    shortBuffer.width = 100;
    shortBuffer.height = 100;
    shortBuffer.rgb.assign(30, 7);
    const orvix::Frame out = orvix::optimiseDocument(shortBuffer);
    QCOMPARE(out.rgb.size(), size_t(30));
    orvix::Frame onePixel;
    onePixel.allocate(1, 1);
    QCOMPARE(orvix::optimiseDocument(onePixel).width, 1);
}

void TestDocOptimiser::areaReductionIsOpenCvs_data()
{
    QTest::addColumn<QSize>("from");
    QTest::addColumn<QSize>("to");
    QTest::addColumn<int>("channels");
    QTest::newRow("camera frame to 512") << QSize(3264, 2448) << QSize(512, 384) << 3;
    QTest::newRow("cropped page to 512") << QSize(1520, 2079) << QSize(374, 512) << 3;
    QTest::newRow("whole factor across only") << QSize(1000, 777) << QSize(500, 300) << 3;
    QTest::newRow("whole factors, OpenCV's own path") << QSize(900, 600) << QSize(300, 200) << 3;
    QTest::newRow("rows not a multiple of four") << QSize(1001, 7) << QSize(333, 5) << 3;
    QTest::newRow("one row") << QSize(513, 1) << QSize(512, 1) << 3;
    QTest::newRow("to one pixel") << QSize(77, 55) << QSize(1, 1) << 3;
    QTest::newRow("same size") << QSize(64, 48) << QSize(64, 48) << 3;
    QTest::newRow("grey") << QSize(1280, 961) << QSize(400, 300) << 1;
    QTest::newRow("four channels") << QSize(640, 481) << QSize(199, 151) << 4;
    cv::RNG rng(31);
    for (int i = 0; i < 12; ++i) {
        const QSize from(rng.uniform(2, 1200), rng.uniform(2, 900));
        QTest::addRow("random %d", i) << from << QSize(rng.uniform(1, from.width()), rng.uniform(1, from.height()))
                                      << 3;
    }
}

// The optimiser's reduction gives OpenCV's area averaging byte for byte:
// the light field, and so every optimised picture, stays what it was.
void TestDocOptimiser::areaReductionIsOpenCvs()
{
    QFETCH(QSize, from);
    QFETCH(QSize, to);
    QFETCH(int, channels);
    cv::Mat src(from.height(), from.width(), CV_8UC(channels));
    cv::randu(src, 0, 256);
    cv::Mat expected, reduced;
    cv::resize(src, expected, cv::Size(to.width(), to.height()), 0, 0, cv::INTER_AREA);
    orvix::reduceByArea(src, cv::Size(to.width(), to.height()), reduced);
    QCOMPARE(reduced.size(), expected.size());
    QCOMPARE(reduced.type(), expected.type());
    QCOMPARE(cv::norm(reduced, expected, cv::NORM_INF), 0.0);
}

void TestDocOptimiser::matchesFormerOptimiser_data()
{
    QTest::addColumn<int>("kind"); // 0 lit page, 1 page on a desk, 2 noise
    QTest::addColumn<QSize>("size");
    QTest::newRow("lit page") << 0 << QSize();
    QTest::newRow("page on a desk, uncropped") << 1 << QSize(1600, 1200);
    QTest::newRow("camera resolution") << 1 << QSize(3264, 2448);
    QTest::newRow("odd size") << 2 << QSize(1001, 777);
    QTest::newRow("one row") << 2 << QSize(513, 1);
    QTest::newRow("one pixel") << 2 << QSize(1, 1);
}

// Made faster, not different: the same bytes as the optimiser it replaced,
// whether the picture is handed over (as a capture does) or copied.
void TestDocOptimiser::matchesFormerOptimiser()
{
    QFETCH(int, kind);
    QFETCH(QSize, size);
    orvix::Frame in;
    if (kind == 0) {
        in = litPage(0.95, 0.5).frame;
    } else if (kind == 1) {
        pagescene::Setup s;
        s.width = size.width();
        s.height = size.height();
        s.pageWidth = size.height() * 0.6;
        s.pageHeight = size.height() * 0.8;
        s.lightFalloff = 0.3;
        s.seed = 79;
        in = pagescene::makeScene(s).frame;
    } else {
        in.allocate(size.width(), size.height());
        cv::randu(pagescene::asMat(in), 0, 256);
    }
    const orvix::Frame expected = reference::optimiseDocument(in);
    const orvix::Frame copied = orvix::optimiseDocument(in);
    QVERIFY(copied.rgb == expected.rgb);
    QCOMPARE(copied.width, expected.width);
    IMAGEPARAM param = {};
    param.bIsTextEn = true;
    const orvix::Frame captured = orvix::processCapture(orvix::Frame(in), param, false);
    QVERIFY(captured.rgb == expected.rgb);
}

QTEST_GUILESS_MAIN(TestDocOptimiser)
#include "testdocoptimiser.moc"
