// Book mode's page step: an open book split at its gutter into its left and
// right pages, flat and in order; a single sheet left whole; thumbs painted
// out of the outer margin only where no text lies.
#include "tests/shared/bookpages.h"
#include "sdk/page/marginclean.h"
#include "sdk/page/processing.h"

#include <QtTest>

#include <functional>

using SceneChange = std::function<void(bookscene::Setup &)>;
Q_DECLARE_METATYPE(SceneChange)

class TestBookSplit : public QObject
{
    Q_OBJECT

private slots:
    void splitsInOrder_data();
    void splitsInOrder();
    void cleansOnlyTheMargin_data();
    void cleansOnlyTheMargin();
};

void TestBookSplit::splitsInOrder_data()
{
    QTest::addColumn<SceneChange>("change");
    QTest::addColumn<int>("rotate"); // the preview's turn; the picture lies the other way
    QTest::addColumn<int>("pages");
    QTest::newRow("light book") << SceneChange([](auto &s) { s.lift = 40; s.curl = 110; s.shadow = 0.2; }) << 0 << 2;
    QTest::newRow("thick book, deep shadow")
        << SceneChange([](auto &s) { s.lift = 190; s.curl = 130; s.shadow = 0.6; }) << 0 << 2;
    QTest::newRow("thumbs, askew") << SceneChange([](auto &s) { s.thumbs = true; s.angle = 3; }) << 0 << 2;
    QTest::newRow("lying sideways") << SceneChange([](auto &) {}) << 90 << 2;
    QTest::newRow("landscape sheet")
        << SceneChange([](auto &s) { s.singleSheet = true; s.pageWidth = 1100; s.pageHeight = 760; }) << 0 << 1;
}

void TestBookSplit::splitsInOrder()
{
    QFETCH(SceneChange, change);
    QFETCH(int, rotate);
    QFETCH(int, pages);
    bookscene::Setup s;
    change(s);
    const bookpages::Spread book = bookpages::spread(s);
    const cv::Mat *truth = book.truth;
    IMAGEPARAM param{};
    param.nRotate = rotate;
    const std::vector<orvix::Frame> out =
        orvix::processBookCapture(rotate ? orvix::rotateFrame(book.frame, 360 - rotate) : book.frame, param);
    QCOMPARE(int(out.size()), pages);
    for (int i = 0; i < pages; ++i) {
        const cv::Mat page = bookscene::toMat(out[size_t(i)]);
        const double own = bookpages::likeness(page, truth[i]);
        QVERIFY2(own > 0.75, qPrintable(QString("page %1 is not its flat page: %2").arg(i).arg(own)));
        if (pages == 2)
            QVERIFY(own > bookpages::likeness(page, truth[1 - i]) + 0.2);
        // The page's own proportions, not the curled outline's.
        const double aspect = double(page.cols) / page.rows, expected = double(truth[i].cols) / truth[i].rows;
        QVERIFY2(std::abs(aspect / expected - 1.0) < 0.05, qPrintable(QString::number(aspect / expected)));
    }
}

void TestBookSplit::cleansOnlyTheMargin_data()
{
    QTest::addColumn<bool>("outerIsLeft");
    QTest::addColumn<int>("blobX");     // the thumb's centre, of the page width (negative: left of it)
    QTest::addColumn<int>("blobReach"); // how far it reaches in from the page's side, pixels
    QTest::addColumn<bool>("painted");
    // The text starts 80 pixels in from either side.
    QTest::newRow("left page, thumb in the margin") << true << 0 << 50 << true;
    QTest::newRow("right page, thumb in the margin") << false << 800 << 50 << true;
    QTest::newRow("thumb over the text") << true << 0 << 140 << false;
    QTest::newRow("thumb on the gutter side") << false << 0 << 50 << false;
}

void TestBookSplit::cleansOnlyTheMargin()
{
    QFETCH(bool, outerIsLeft);
    QFETCH(int, blobX);
    QFETCH(int, blobReach);
    QFETCH(bool, painted);
    cv::RNG rng(5);
    orvix::Frame page;
    page.allocate(800, 1100);
    const cv::Mat clean = pagescene::makePage(800, 1100, rng), result = bookscene::toMat(page);
    clean.copyTo(result);
    cv::ellipse(result, cv::Point(blobX, 535), cv::Size(blobReach, 35), 0, 0, 360, cv::Scalar(206, 150, 122), cv::FILLED);
    const cv::Mat held = result.clone();
    QCOMPARE(orvix::cleanOuterMargin(page, outerIsLeft).painted, painted ? 1 : 0);
    if (!painted) {
        QCOMPARE(cv::norm(result, held, cv::NORM_INF), 0.0);
        return;
    }
    // No skin left, and the text block exactly as it was.
    const cv::Rect area = cv::Rect(blobX - blobReach, 500, 2 * blobReach, 70) & cv::Rect(0, 0, 800, 1100);
    cv::Mat diff;
    cv::absdiff(result(area), clean(area), diff);
    QVERIFY2(cv::mean(diff)[0] < 4.0, qPrintable(QString::number(cv::mean(diff)[0])));
    const cv::Rect text(80, 0, 640, result.rows);
    QCOMPARE(cv::norm(result(text), held(text), cv::NORM_INF), 0.0);
}

QTEST_GUILESS_MAIN(TestBookSplit)
#include "testbooksplit.moc"
