// The live page outline across a stream of frames: looked for again when the
// picture changes, reused while it stays, and never stale for long.
#include "tests/shared/pagescene.h"
#include "sdk/page/previewoutliner.h"
#include "sdk/page/processing.h"

#include <QtTest>

#include <vector>

using pagescene::Setup;

namespace {

Setup deskWithPage(bool hasPage, double shiftX, double turn)
{
    Setup s;
    s.desk = cv::Scalar(62, 44, 32);
    s.lightFalloff = 0.2;
    s.angle = 6 + turn;
    s.keystone = 0.03;
    s.centreX = 0.5 + shiftX;
    s.hasPage = hasPage;
    s.seed = 61;
    return s;
}

// The same scene as a camera sends it again: fresh sensor noise, and a small
// mark that moves from frame to frame (a clock, the simulated camera's disc).
orvix::Frame liveFrame(const orvix::Frame &still, int number)
{
    orvix::Frame f = still;
    cv::Mat view = pagescene::asMat(f);
    cv::Mat noise(view.size(), CV_16SC3);
    cv::RNG rng(unsigned(1000 + number));
    rng.fill(noise, cv::RNG::NORMAL, 0, 4);
    cv::Mat sum;
    view.convertTo(sum, CV_16SC3);
    sum += noise;
    sum.convertTo(view, CV_8UC3);
    const int radius = f.height / 60;
    cv::circle(view, cv::Point(radius + 40 * number, f.height - 3 * radius), radius, cv::Scalar(228, 64, 44),
               cv::FILLED);
    return f;
}

// Share of points along the quad's sides whose pixels differ between the two frames.
double outlineDrawnAlong(const orvix::Frame &drawn, const orvix::Frame &plain, const orvix::Quad &q)
{
    int on = 0, changed = 0;
    for (size_t i = 0; i < 4; ++i) {
        const orvix::PointF a = q[i], b = q[(i + 1) % 4];
        for (int k = 1; k < 20; ++k) {
            const int x = int(std::lround(a.x + (b.x - a.x) * k / 20.0));
            const int y = int(std::lround(a.y + (b.y - a.y) * k / 20.0));
            if (x < 0 || y < 0 || x >= drawn.width || y >= drawn.height)
                continue;
            ++on;
            const size_t at = size_t(y) * drawn.stride() + size_t(x) * 3;
            changed += std::memcmp(&drawn.rgb[at], &plain.rgb[at], 3) != 0;
        }
    }
    return on ? double(changed) / on : 0;
}

} // namespace

class TestPreviewOutliner : public QObject
{
    Q_OBJECT

private slots:
    void followsTheScene_data();
    void followsTheScene();
    void stillPictureIsLookedAtRarely();
    void newFrameSizeIsLookedAtAtOnce();
    void forgottenOutlineIsNotDrawn();
};

void TestPreviewOutliner::followsTheScene_data()
{
    QTest::addColumn<bool>("pageBefore");
    QTest::addColumn<bool>("pageAfter");
    QTest::addColumn<double>("shiftX"); // of the frame's width
    QTest::addColumn<double>("turn");   // degrees
    QTest::newRow("page slid aside") << true << true << 0.08 << 0.0;
    QTest::newRow("page nudged") << true << true << 0.03 << 0.0;
    QTest::newRow("page turned") << true << true << 0.0 << 12.0;
    QTest::newRow("page taken away") << true << false << 0.0 << 0.0;
    QTest::newRow("page laid down") << false << true << 0.0 << 0.0;
}

// The page changes after frame 4; whatever the outliner's rhythm, by the
// second frame of the new scene the outline is the new page's.
void TestPreviewOutliner::followsTheScene()
{
    QFETCH(bool, pageBefore);
    QFETCH(bool, pageAfter);
    QFETCH(double, shiftX);
    QFETCH(double, turn);
    const pagescene::Scene before = pagescene::makeScene(deskWithPage(pageBefore, 0, 0));
    const pagescene::Scene after = pagescene::makeScene(deskWithPage(pageAfter, shiftX, turn));

    orvix::PreviewOutliner outliner;
    for (int i = 0; i < 5; ++i) {
        orvix::Frame f = liveFrame(before.frame, i);
        outliner.annotate(f);
    }
    QCOMPARE(outliner.hasPage(), pageBefore);
    for (int i = 5; i < 7; ++i) {
        const orvix::Frame plain = liveFrame(after.frame, i);
        orvix::Frame shown = plain;
        outliner.annotate(shown);
        if (i < 6)
            continue;
        QCOMPARE(outliner.hasPage(), pageAfter);
        if (!pageAfter) {
            QVERIFY2(shown.rgb == plain.rgb, "an outline is drawn where no page lies any more");
            continue;
        }
        const double error = pagescene::relativeCornerError(outliner.corners(), after.corners);
        QVERIFY2(error < 0.01, qPrintable(QString("outline %1 % of the diagonal off").arg(error * 100)));
        QVERIFY(outlineDrawnAlong(shown, plain, after.corners) > 0.9);
    }
}

// A page lying still under the camera: the outline is drawn on every frame
// but the page is looked for only about once a second, however the noise
// and small live marks change the frames.
void TestPreviewOutliner::stillPictureIsLookedAtRarely()
{
    const pagescene::Scene scene = pagescene::makeScene(deskWithPage(true, 0, 0));
    orvix::PreviewOutliner outliner;
    const int frames = 2 * orvix::PreviewOutliner::kRefreshFrames;
    for (int i = 0; i < frames; ++i) {
        const orvix::Frame plain = liveFrame(scene.frame, i);
        orvix::Frame shown = plain;
        outliner.annotate(shown);
        QVERIFY2(outlineDrawnAlong(shown, plain, scene.corners) > 0.9, qPrintable(QString("frame %1").arg(i)));
    }
    QCOMPARE(outliner.looks(), 2L);
}

void TestPreviewOutliner::newFrameSizeIsLookedAtAtOnce()
{
    Setup small = deskWithPage(true, 0, 0);
    small.width = 800;
    small.height = 600;
    small.pageWidth = 380;
    small.pageHeight = 500;
    const pagescene::Scene large = pagescene::makeScene(deskWithPage(true, 0, 0));
    const pagescene::Scene reduced = pagescene::makeScene(small);
    orvix::PreviewOutliner outliner;
    orvix::Frame f = large.frame;
    outliner.annotate(f);
    f = reduced.frame;
    outliner.annotate(f);
    QCOMPARE(outliner.looks(), 2L);
    QVERIFY(outliner.hasPage());
    QVERIFY(pagescene::relativeCornerError(outliner.corners(), reduced.corners) < 0.01);
}

// The outline was switched off while the page was taken away: the first
// frame after switching it on again shows no outline of the old page.
void TestPreviewOutliner::forgottenOutlineIsNotDrawn()
{
    const pagescene::Scene page = pagescene::makeScene(deskWithPage(true, 0, 0));
    const pagescene::Scene empty = pagescene::makeScene(deskWithPage(false, 0, 0));
    orvix::PreviewOutliner outliner;
    orvix::Frame f = liveFrame(page.frame, 0);
    outliner.annotate(f);
    QVERIFY(outliner.hasPage());
    outliner.forget();
    const orvix::Frame plain = liveFrame(empty.frame, 1);
    f = plain;
    outliner.annotate(f);
    QVERIFY(!outliner.hasPage());
    QVERIFY(f.rgb == plain.rgb);
}

QTEST_GUILESS_MAIN(TestPreviewOutliner)
#include "testpreviewoutliner.moc"
