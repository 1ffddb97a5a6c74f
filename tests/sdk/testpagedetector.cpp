// Page finding on generated overhead photos with known corners.
#include "sdk/page/pagedetector.h"
#include "sdk/page/pagemasks.h"
#include "tests/shared/pagescene.h"
#include "sdk/page/picturepool.h"
#include "sdk/page/processing.h"
#include "tests/shared/referenceprocessing.h"
#include "sdk/simulated/simulatedscene.h"

#include <QtTest>

#include <vector>

using pagescene::Occluder;
using pagescene::Setup;

namespace {

struct NamedScene {
    const char *name;
    Setup setup;
};

Setup setup(double angle, double keystone, cv::Scalar desk, double falloff, unsigned seed)
{
    Setup s;
    s.angle = angle;
    s.keystone = keystone;
    s.jitter = keystone > 0 ? 0.02 : 0;
    s.blur = 1.2;
    s.noise = 4;
    s.desk = desk;
    s.lightFalloff = falloff;
    s.lightDirection = seed * 47.0;
    s.seed = seed;
    return s;
}

const cv::Scalar kDarkWood(62, 44, 32);
const cv::Scalar kBlackDesk(28, 28, 30);
const cv::Scalar kLightWood(206, 178, 140);
const cv::Scalar kLightGrey(196, 196, 192);
const cv::Scalar kWhiteDesk(222, 220, 214);

std::vector<NamedScene> pageSet()
{
    std::vector<NamedScene> set;
    set.push_back({"dark desk, square", setup(0, 0, kDarkWood, 0.1, 1)});
    set.push_back({"dark desk, turned, perspective", setup(12, 0.05, kDarkWood, 0.2, 2)});
    set.push_back({"black desk, turned back, strong falloff", setup(-25, 0.04, kBlackDesk, 0.45, 3)});
    set.push_back({"light wood desk", setup(5, 0.02, kLightWood, 0.2, 4)});
    set.push_back({"light grey desk, uneven light", setup(-8, 0.03, kLightGrey, 0.35, 5)});
    set.push_back({"light wood desk, turned 30", setup(30, 0.05, kLightWood, 0.3, 6)});
    Setup landscape = setup(-4, 0.03, kDarkWood, 0.25, 7);
    landscape.pageWidth = 1150;
    landscape.pageHeight = 820;
    set.push_back({"landscape page", landscape});
    Setup small = setup(18, 0.0, kLightGrey, 0.2, 8);
    small.pageWidth = 420;
    small.pageHeight = 600;
    small.centreX = 0.32;
    small.centreY = 0.6;
    set.push_back({"small page off centre", small});
    Setup hand = setup(6, 0.03, kDarkWood, 0.2, 9);
    hand.occluder = Occluder::Hand;
    hand.occludedSide = 1;
    set.push_back({"hand over the right edge", hand});
    Setup pen = setup(-10, 0.02, kLightWood, 0.25, 10);
    pen.occluder = Occluder::Pen;
    pen.occludedSide = 2;
    set.push_back({"pen over the bottom edge", pen});
    Setup handLight = setup(-15, 0.04, kLightGrey, 0.3, 11);
    handLight.occluder = Occluder::Hand;
    handLight.occludedSide = 3;
    set.push_back({"hand over the left edge, light desk", handLight});
    set.push_back({"near-white desk", setup(-6, 0.03, kWhiteDesk, 0.15, 13)});
    Setup whiteHand = setup(22, 0.04, kWhiteDesk, 0.25, 14);
    whiteHand.occluder = Occluder::Hand;
    whiteHand.occludedSide = 0;
    set.push_back({"near-white desk, hand over the top edge", whiteHand});
    Setup outOfView = setup(10, 0.03, kDarkWood, 0.2, 15);
    outOfView.centreY = 0.62; // the bottom corners lie below the frame
    set.push_back({"page running out of view", outOfView});
    Setup full = setup(7, 0.04, kDarkWood, 0.3, 12);
    full.width = 3264;
    full.height = 2448;
    full.pageWidth = 1560;
    full.pageHeight = 2060;
    set.push_back({"full camera resolution", full});
    return set;
}

// Drawing a scene takes longer than looking at it; each is drawn once a run
// and shared by the checks that look at it.
const pagescene::Scene &sceneOf(size_t index)
{
    static std::vector<pagescene::Scene> drawn;
    if (drawn.empty())
        for (const NamedScene &named : pageSet())
            drawn.push_back(pagescene::makeScene(named.setup));
    return drawn.at(index);
}

} // namespace

class TestPageDetector : public QObject
{
    Q_OBJECT

private slots:
    void findsPagesWithinOnePercent();
    void quickLookCropsAsOneLargeLook_data();
    void quickLookCropsAsOneLargeLook();
    void randomScenesAreFoundOrLeftWhole();
    void randomDesksWithoutPageStayWhole();
    void findsPageOfSimulatedCamera_data();
    void findsPageOfSimulatedCamera();
    void noPageKeepsWholeFrame_data();
    void noPageKeepsWholeFrame();
    void warpMatchesOpenCvWarp_data();
    void warpMatchesOpenCvWarp();
    void croppedPageIsUpright_data();
    void croppedPageIsUpright();
    void previewShowsOutline();
    void previewWithoutPageIsUntouched();
    void degenerateFramesAreRefused();
    void masksSideBySideAsOneAfterAnother();
};

void TestPageDetector::findsPagesWithinOnePercent()
{
    const orvix::PageDetector detector;
    double sum = 0, worst = 0;
    int count = 0;
    const std::vector<NamedScene> set = pageSet();
    for (size_t i = 0; i < set.size(); ++i) {
        const NamedScene &named = set[i];
        const pagescene::Scene &scene = sceneOf(i);
        orvix::Quad found;
        QVERIFY2(detector.detect(scene.frame, found), named.name);
        const double relative = pagescene::relativeCornerError(found, scene.corners);
        qInfo("%-40s corner error %.3f %% of the diagonal", named.name, relative * 100);
        sum += relative;
        worst = std::max(worst, relative);
        ++count;
    }
    const double mean = sum / count;
    qInfo("mean corner error %.3f %%, worst %.3f %%", mean * 100, worst * 100);
    QVERIFY2(mean < 0.01, "mean corner error is 1 % of the page diagonal or more");
    QVERIFY2(worst < 0.025, "one page is far off");
}

void TestPageDetector::quickLookCropsAsOneLargeLook_data()
{
    QTest::addColumn<int>("index");
    const std::vector<NamedScene> set = pageSet();
    for (size_t i = 0; i < set.size(); ++i)
        QTest::newRow(set[i].name) << int(i);
}

// Looking at a small copy first must not change the crop: the same corners,
// within a pixel, as one look at the larger copy finds.
void TestPageDetector::quickLookCropsAsOneLargeLook()
{
    QFETCH(int, index);
    const pagescene::Scene &scene = sceneOf(size_t(index));
    orvix::Quad quick, large;
    QVERIFY(orvix::PageDetector().detect(scene.frame, quick));
    QVERIFY(orvix::PageDetector(800, true, 0).detect(scene.frame, large));
    for (size_t i = 0; i < 4; ++i) {
        const double apart = std::hypot(quick[i].x - large[i].x, quick[i].y - large[i].y);
        QVERIFY2(apart < 1.0, qPrintable(QString("corner %1 is %2 pixels apart").arg(i).arg(apart)));
    }
}

// Random desks, light, angles and occluders: nearly every page is found,
// and a page that is reported is never badly off (a miss keeps the whole
// frame, which is better than a wrong crop).
void TestPageDetector::randomScenesAreFoundOrLeftWhole()
{
    cv::RNG rng(4242);
    const int count = 16;
    int good = 0;
    for (int i = 0; i < count; ++i) {
        const pagescene::Scene scene = pagescene::makeScene(pagescene::randomSetup(rng, unsigned(500 + i)));
        orvix::Quad found;
        if (!orvix::PageDetector().detect(scene.frame, found))
            continue;
        const double relative = pagescene::relativeCornerError(found, scene.corners);
        QVERIFY2(relative < 0.03, qPrintable(QString("scene %1: %2 % off").arg(i).arg(relative * 100)));
        if (relative < 0.01)
            ++good;
    }
    qInfo("%d of %d random pages within 1 %% of the diagonal", good, count);
    QVERIFY(good >= count - 2);
}

// Random desks with nothing or a hand on them: no page is made up (a hand
// on a dark desk is bright and four-sided enough to pass for one).
void TestPageDetector::randomDesksWithoutPageStayWhole()
{
    cv::RNG rng(777);
    for (int i = 0; i < 24; ++i) {
        Setup s = pagescene::randomSetup(rng, unsigned(900 + i));
        s.hasPage = false;
        s.occluder = i % 2 ? Occluder::Hand : Occluder::None;
        orvix::Quad found;
        QVERIFY2(!orvix::PageDetector().detect(pagescene::makeScene(s).frame, found),
                 qPrintable(QString("a page found on empty desk %1").arg(i)));
    }
}

// The simulated camera's own desk picture, drawn by other code than ours.
void TestPageDetector::findsPageOfSimulatedCamera_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("1280x720") << 1280 << 720;
    QTest::newRow("1600x1200") << 1600 << 1200;
    QTest::newRow("3264x2448") << 3264 << 2448;
}

void TestPageDetector::findsPageOfSimulatedCamera()
{
    QFETCH(int, width);
    QFETCH(int, height);
    const orvix::Frame scene = orvix::renderDeskScene(width, height);
    const orvix::PageCorners truth = orvix::deskPageCorners(width, height);
    orvix::Quad expected;
    for (size_t i = 0; i < 4; ++i)
        expected[i] = {truth[i].x, truth[i].y};
    orvix::Quad found;
    QVERIFY(orvix::PageDetector().detect(scene, found));
    const double relative = pagescene::relativeCornerError(found, expected);
    qInfo("corner error %.3f %% of the diagonal", relative * 100);
    QVERIFY(relative < 0.01);
}

void TestPageDetector::noPageKeepsWholeFrame_data()
{
    // A hand is placed as if over the given side of a page that is not there.
    QTest::addColumn<int>("desk");
    QTest::addColumn<double>("falloff");
    QTest::addColumn<int>("handSide"); // -1: no hand
    QTest::addColumn<double>("angle");
    QTest::addColumn<double>("centreX");
    QTest::newRow("dark desk") << 0 << 0.3 << -1 << 0.0 << 0.5;
    QTest::newRow("light wood desk, strong falloff") << 1 << 0.5 << -1 << 0.0 << 0.5;
    QTest::newRow("light grey desk with a hand") << 2 << 0.2 << 1 << 0.0 << 0.5;
    QTest::newRow("dark desk, hand from below") << 0 << 0.15 << 2 << 25.0 << 0.59;
    QTest::newRow("black desk, hand from the right") << 3 << 0.15 << 1 << -5.0 << 0.51;
}

void TestPageDetector::noPageKeepsWholeFrame()
{
    QFETCH(int, desk);
    QFETCH(double, falloff);
    QFETCH(int, handSide);
    QFETCH(double, angle);
    QFETCH(double, centreX);
    const cv::Scalar desks[] = {kDarkWood, kLightWood, kLightGrey, kBlackDesk};
    Setup s = setup(angle, 0, desks[desk], falloff, 20 + unsigned(desk));
    s.hasPage = false;
    s.centreX = centreX;
    s.pageWidth = 500;
    s.pageHeight = 690;
    s.occluder = handSide >= 0 ? Occluder::Hand : Occluder::None;
    s.occludedSide = std::max(0, handSide);
    const pagescene::Scene scene = pagescene::makeScene(s);

    orvix::Quad found;
    QVERIFY(!orvix::PageDetector().detect(scene.frame, found));
    IMAGEPARAM param = {};
    param.nCropType = 1;
    const orvix::Frame out = orvix::processCapture(scene.frame, param, true);
    QCOMPARE(out.width, scene.frame.width);
    QCOMPARE(out.height, scene.frame.height);
    QVERIFY(out.rgb == scene.frame.rgb);
}

void TestPageDetector::warpMatchesOpenCvWarp_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<double>("growth"); // corners moved away from the page's centre by this share
    const std::vector<NamedScene> set = pageSet();
    QTest::newRow("page at camera resolution") << int(set.size() - 1) << 0.0;
    QTest::newRow("page running out of view") << int(set.size() - 2) << 0.0;
    QTest::newRow("turned 30, corners far outside the frame") << 5 << 0.9;
    QTest::newRow("small page, a pixel or two") << 7 << -0.995;
}

// The warp samples as OpenCV's did: the same picture size, and pixel values
// within the rounding of a sample position to 1/32 pixel (one step across a
// black-to-white edge moves a byte by 255 / 32), out of view white.
void TestPageDetector::warpMatchesOpenCvWarp()
{
    QFETCH(int, index);
    QFETCH(double, growth);
    const pagescene::Scene &scene = sceneOf(size_t(index));
    orvix::Quad corners = scene.corners;
    double cx = 0, cy = 0;
    for (const orvix::PointF &p : corners) {
        cx += p.x / 4;
        cy += p.y / 4;
    }
    for (orvix::PointF &p : corners)
        p = {p.x + (p.x - cx) * growth, p.y + (p.y - cy) * growth};
    const orvix::Frame expected = reference::warpPage(scene.frame, corners);
    // The warp writes into a kept buffer, handed over dirty: every byte counts.
    orvix::picturepool::give(std::vector<uint8_t>(expected.rgb.size() + (4u << 20), 0xA5));
    const orvix::Frame warped = orvix::PageDetector::warpPage(scene.frame, corners);
    QCOMPARE(QSize(warped.width, warped.height), QSize(expected.width, expected.height));
    QCOMPARE(warped.rgb.size(), expected.rgb.size());
    cv::Mat difference;
    cv::absdiff(pagescene::asMat(warped), pagescene::asMat(expected), difference);
    double worst = 0;
    cv::minMaxLoc(difference.reshape(1), nullptr, &worst);
    const int differing = cv::countNonZero(difference.reshape(1));
    qInfo("%d of %zu bytes differ, by at most %.0f", differing, expected.rgb.size(), worst);
    QVERIFY(worst <= 8);
    QVERIFY(differing <= int(expected.rgb.size() / 200));
}

void TestPageDetector::croppedPageIsUpright_data()
{
    QTest::addColumn<double>("angle");
    QTest::addColumn<double>("pageWidth");
    QTest::addColumn<double>("pageHeight");
    QTest::newRow("portrait, turned right") << 20.0 << 700.0 << 990.0;
    QTest::newRow("portrait, turned left") << -35.0 << 700.0 << 990.0;
    QTest::newRow("landscape, turned right") << 10.0 << 1100.0 << 780.0;
    QTest::newRow("landscape, turned left") << -40.0 << 900.0 << 640.0;
}

void TestPageDetector::croppedPageIsUpright()
{
    QFETCH(double, angle);
    QFETCH(double, pageWidth);
    QFETCH(double, pageHeight);
    Setup s = setup(angle, 0.03, kDarkWood, 0.2, 30);
    s.pageWidth = pageWidth;
    s.pageHeight = pageHeight;
    const pagescene::Scene scene = pagescene::makeScene(s);

    IMAGEPARAM param = {};
    const orvix::Frame out = orvix::processCapture(scene.frame, param, true);
    const double aspect = double(out.width) / out.height;
    QVERIFY2(std::fabs(aspect / (pageWidth / pageHeight) - 1) < 0.04,
             qPrintable(QString("aspect %1 for a page of %2").arg(aspect).arg(pageWidth / pageHeight)));

    // The dark title block sits in the top-left of the page, and the corners
    // of the result are paper, not desk.
    const cv::Mat page = pagescene::asMat(out);
    const int mx = out.width / 10, my = out.width / 10; // the page's margin follows its width
    const double titleBlock = cv::mean(page(cv::Rect(mx + 4, my + 4, out.width / 3 - 8, out.height / 14 - 8)))[0];
    const double mirrored = cv::mean(page(cv::Rect(out.width - mx - out.width / 3 + 4,
                                                   out.height - my - out.height / 14 + 4,
                                                   out.width / 3 - 8, out.height / 14 - 8)))[0];
    QVERIFY2(titleBlock < 90, qPrintable(QString("title block brightness %1").arg(titleBlock)));
    QVERIFY2(mirrored > titleBlock + 60, "the page came out turned");
    const int e = 6;
    for (const cv::Point corner : {cv::Point(2, 2), cv::Point(out.width - e - 2, 2),
                                   cv::Point(2, out.height - e - 2), cv::Point(out.width - e - 2, out.height - e - 2)})
        QVERIFY2(cv::mean(page(cv::Rect(corner, cv::Size(e, e))))[0] > 150, "desk left in a corner of the crop");
}

void TestPageDetector::previewShowsOutline()
{
    Setup s = setup(9, 0.03, kLightWood, 0.2, 40);
    const pagescene::Scene scene = pagescene::makeScene(s);
    orvix::Frame preview = scene.frame;
    orvix::annotatePreview(preview);
    QCOMPARE(preview.width, scene.frame.width);
    QCOMPARE(preview.height, scene.frame.height);

    // Pixels on the page outline changed; pixels away from it did not.
    int onOutline = 0, changedOnOutline = 0;
    for (size_t i = 0; i < 4; ++i) {
        const orvix::PointF a = scene.corners[i], b = scene.corners[(i + 1) % 4];
        for (int k = 1; k < 20; ++k) {
            const int x = int(std::lround(a.x + (b.x - a.x) * k / 20.0));
            const int y = int(std::lround(a.y + (b.y - a.y) * k / 20.0));
            ++onOutline;
            const size_t at = size_t(y) * preview.stride() + size_t(x) * 3;
            if (std::memcmp(&preview.rgb[at], &scene.frame.rgb[at], 3) != 0)
                ++changedOnOutline;
        }
    }
    QVERIFY2(changedOnOutline > onOutline * 9 / 10, qPrintable(QString("%1 of %2").arg(changedOnOutline).arg(onOutline)));
    const cv::Rect middle(s.width / 2 - 100, s.height / 2 - 100, 200, 200);
    QVERIFY(cv::norm(pagescene::asMat(preview)(middle), pagescene::asMat(scene.frame)(middle), cv::NORM_INF) == 0);
}

void TestPageDetector::previewWithoutPageIsUntouched()
{
    Setup s = setup(0, 0, kDarkWood, 0.3, 41);
    s.hasPage = false;
    const pagescene::Scene scene = pagescene::makeScene(s);
    orvix::Frame preview = scene.frame;
    orvix::annotatePreview(preview);
    QVERIFY(preview.rgb == scene.frame.rgb);
}

void TestPageDetector::degenerateFramesAreRefused()
{
    orvix::Quad found;
    const orvix::PageDetector detector;
    orvix::Frame empty;
    QVERIFY(!detector.detect(empty, found));
    orvix::Frame tiny;
    tiny.allocate(3, 2);
    QVERIFY(!detector.detect(tiny, found));
    orvix::Frame shortBuffer;
    shortBuffer.width = 640;
    shortBuffer.height = 480;
    shortBuffer.rgb.assign(100, 0);
    QVERIFY(!detector.detect(shortBuffer, found));
    orvix::annotatePreview(shortBuffer);
    QCOMPARE(shortBuffer.rgb.size(), size_t(100));
    orvix::Frame flat;
    flat.allocate(800, 600);
    std::fill(flat.rgb.begin(), flat.rgb.end(), uint8_t(128));
    QVERIFY(!detector.detect(flat, found));
}

// A scan finds its masks on two threads: the same masks, in the same order,
// as the preview's single thread finds them.
void TestPageDetector::masksSideBySideAsOneAfterAnother()
{
    const std::vector<NamedScene> set = pageSet();
    for (size_t i = 0; i < set.size(); ++i) {
        const NamedScene &named = set[i];
        const pagescene::Scene &scene = sceneOf(i);
        cv::Mat small, gray;
        cv::resize(pagescene::asMat(scene.frame), small, cv::Size(400, 300), 0, 0, cv::INTER_AREA);
        cv::cvtColor(small, gray, cv::COLOR_RGB2GRAY);
        std::vector<cv::Mat> inTurn, sideBySide;
        orvix::pageMasks(small, gray, inTurn, false);
        orvix::pageMasks(small, gray, sideBySide, true);
        QVERIFY2(inTurn.size() >= 2, named.name);
        QCOMPARE(sideBySide.size(), inTurn.size());
        for (size_t m = 0; m < inTurn.size(); ++m)
            QVERIFY2(cv::norm(inTurn[m], sideBySide[m], cv::NORM_INF) == 0, named.name);
    }
}

QTEST_GUILESS_MAIN(TestPageDetector)
#include "testpagedetector.moc"
