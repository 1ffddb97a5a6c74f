// The automatic capture watcher on generated page-turning sequences, fed at
// the preview's pace with explicit times (no sleeping): each new page once,
// never while a hand is over it, and never again for the same page.
#include "core/autocapture.h"
#include "core/watchframe.h"
#include "tests/shared/turnscene.h"

#include <QtTest>

#include <map>

namespace {

constexpr double kFps = 15.0;

struct Outcome {
    std::map<int, int> scansPerPage;
    int scansWithHand = 0;
};

Outcome play(const turnscene::Sequence &seq, AutoCapture &watcher, double from = 0, double to = -1)
{
    Outcome out;
    const double end = to < 0 ? seq.duration() : to;
    for (int i = int(from * kFps); i < int(end * kFps); ++i) {
        const double t = i / kFps;
        const qint64 ms = qint64(t * 1000);
        if (!watcher.wantsFrame(ms))
            continue;
        const turnscene::Moment m = seq.at(t);
        const auto detail = [&m] { return reduceForWatching(m.frame, AutoCapture::kDetailWidth); };
        if (watcher.feed(reduceForWatching(m.frame, AutoCapture::kWatchWidth), ms, nullptr, detail)) {
            ++out.scansPerPage[m.page];
            out.scansWithHand += m.turning || m.handInView;
        }
    }
    return out;
}

QImage stillFrame()
{
    turnscene::Options o;
    o.pages = 1;
    o.noise = false;
    return reduceForWatching(turnscene::Sequence(o).at(0).frame, AutoCapture::kWatchWidth);
}

} // namespace

class TestAutoCapture : public QObject
{
    Q_OBJECT

private slots:
    void scansEachPageOnceWithNoHand_data();
    void scansEachPageOnceWithNoHand();
    void pageScannedByHandIsNotTakenAgain();
    void cameraOutlineMustBeWholeAndSteady_data();
    void cameraOutlineMustBeWholeAndSteady();
    void reducedFrameKeepsProportionsAndBrightness_data();
    void reducedFrameKeepsProportionsAndBrightness();
};

void TestAutoCapture::scansEachPageOnceWithNoHand_data()
{
    QTest::addColumn<bool>("darkDesk");
    QTest::addColumn<double>("turnSec");
    QTest::addColumn<double>("holdSec");
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<int>("content");
    QTest::addColumn<int>("width"); // 4:3 frames

    using turnscene::Content;
    const int mixed = int(Content::Mixed);
    QTest::newRow("dark desk") << true << 1.0 << 3.0 << "" << mixed << 640;
    QTest::newRow("light desk") << false << 1.0 << 3.0 << "" << mixed << 640;
    QTest::newRow("slow hand") << true << 2.0 << 3.0 << "" << mixed << 640;
    QTest::newRow("fast hand") << false << 0.4 << 3.0 << "" << mixed << 640;
    QTest::newRow("long rest") << true << 1.0 << 12.0 << "" << mixed << 640;
    QTest::newRow("lamp flicker") << false << 1.0 << 3.0 << "flicker" << mixed << 640;
    QTest::newRow("shadow stays a while") << true << 1.0 << 4.5 << "shadow" << mixed << 640;
    QTest::newRow("page nudged") << false << 1.0 << 4.5 << "nudge" << mixed << 640;
    // Pages that look alike at a glance, at a preview size that shows their
    // print, and a hand that comes to rest on the page without a turn.
    QTest::newRow("hand resting, light desk") << false << 1.0 << 5.0 << "rest" << mixed << 1280;
    QTest::newRow("book of one layout, nudged") << true << 1.0 << 4.5 << "nudge" << int(Content::Book) << 1280;
    QTest::newRow("forms of one layout, shadow") << false << 1.0 << 4.5 << "shadow" << int(Content::Forms) << 1280;
    QTest::newRow("table after text, flicker") << true << 1.0 << 3.0 << "flicker" << int(Content::TextAndTables)
                                               << 1280;
    QTest::newRow("ID card laid on a form") << false << 1.0 << 3.0 << "" << int(Content::CardOnForm) << 1280;
}

void TestAutoCapture::scansEachPageOnceWithNoHand()
{
    QFETCH(bool, darkDesk);
    QFETCH(double, turnSec);
    QFETCH(double, holdSec);
    QFETCH(QString, trouble);
    QFETCH(int, content);
    QFETCH(int, width);

    turnscene::Options o;
    o.width = width; // 640: what the smallest camera delivers
    o.height = width * 3 / 4;
    o.content = turnscene::Content(content);
    o.darkDesk = darkDesk;
    o.turnSec = turnSec;
    o.holdSec = holdSec;
    o.flicker = trouble == "flicker";
    o.shadow = trouble == "shadow";
    o.nudge = trouble == "nudge";
    o.restingHand = trouble == "rest";
    o.seed = qHash(QString::fromLatin1(QTest::currentDataTag())); // the tag's text, not its address
    const turnscene::Sequence seq(o);
    AutoCapture watcher;
    const Outcome out = play(seq, watcher);

    QCOMPARE(out.scansWithHand, 0);
    for (int page = 0; page < o.pages; ++page)
        QVERIFY2(out.scansPerPage.count(page) && out.scansPerPage.at(page) == 1,
                 qPrintable(QString("page %1 scanned %2 times").arg(page).arg(out.scansPerPage.count(page) ? out.scansPerPage.at(page) : 0)));
}

void TestAutoCapture::pageScannedByHandIsNotTakenAgain()
{
    turnscene::Options o;
    o.pages = 2;
    o.holdSec = 4.0;
    const turnscene::Sequence seq(o);
    AutoCapture watcher;
    // The first page is scanned by hand half a second in, before it settled.
    Outcome first = play(seq, watcher, 0, 0.5);
    watcher.markScanned(reduceForWatching(seq.at(0.5).frame, AutoCapture::kDetailWidth));
    const Outcome rest = play(seq, watcher, 0.5);
    QCOMPARE(first.scansPerPage.size(), size_t(0));
    QCOMPARE(rest.scansPerPage.count(0), size_t(0));
    QCOMPARE(rest.scansPerPage.count(1), size_t(1));

    // Switched off and on again: the page lying there is taken once.
    watcher.reset();
    QCOMPARE(play(seq, watcher, seq.duration() - 2.5).scansPerPage.count(1), size_t(1));
}

void TestAutoCapture::cameraOutlineMustBeWholeAndSteady_data()
{
    QTest::addColumn<QPolygonF>("outline");
    QTest::addColumn<double>("jitter"); // corners moved by this many pixels every other frame
    QTest::addColumn<bool>("scans");

    // Corners in the reduced frame's pixels (320 x 240).
    const QPolygonF page({{100, 24}, {220, 24}, {220, 216}, {100, 216}});
    QTest::newRow("whole and steady") << page << 0.0 << true;
    QTest::newRow("no page seen") << QPolygonF() << 0.0 << false;
    QTest::newRow("page runs off the edge") << QPolygonF({{100, 0}, {220, 0}, {220, 216}, {100, 216}}) << 0.0 << false;
    QTest::newRow("outline wavering") << page << 12.0 << false;
}

void TestAutoCapture::cameraOutlineMustBeWholeAndSteady()
{
    QFETCH(QPolygonF, outline);
    QFETCH(double, jitter);
    QFETCH(bool, scans);

    const QImage frame = stillFrame();
    QCOMPARE(frame.size(), QSize(320, 240));
    AutoCapture watcher;
    bool scanned = false;
    for (qint64 ms = 0; ms <= 3000; ms += AutoCapture::kSampleIntervalMs) {
        const QPolygonF now = outline.translated((ms / AutoCapture::kSampleIntervalMs) % 2 ? jitter : 0, 0);
        scanned = watcher.feed(frame, ms, &now) || scanned;
    }
    QCOMPARE(scanned, scans);
    // Without an outline the same still picture is scanned.
    AutoCapture plain;
    bool plainScanned = false;
    for (qint64 ms = 0; ms <= 3000; ms += AutoCapture::kSampleIntervalMs)
        plainScanned = plain.feed(frame, ms) || plainScanned;
    QVERIFY(plainScanned);
}

void TestAutoCapture::reducedFrameKeepsProportionsAndBrightness_data()
{
    QTest::addColumn<QSize>("frameSize");
    QTest::addColumn<QSize>("reducedSize");
    QTest::newRow("full HD") << QSize(1920, 1080) << QSize(320, 180);
    QTest::newRow("4:3 odd size") << QSize(3263, 2447) << QSize(320, 240);
    QTest::newRow("narrower than the target") << QSize(100, 60) << QSize(100, 60);
}

void TestAutoCapture::reducedFrameKeepsProportionsAndBrightness()
{
    QFETCH(QSize, frameSize);
    QFETCH(QSize, reducedSize);
    // Left half black, right half white, with one-pixel print lines across
    // the white half every fifth row (a fifth of it dark).
    QImage frame(frameSize, QImage::Format_RGB888);
    for (int y = 0; y < frame.height(); ++y) {
        uchar *row = frame.scanLine(y);
        for (int x = 0; x < frame.width(); ++x)
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = x < frame.width() / 2 ? 0 : (y % 5 ? 255 : 0);
    }
    const QImage reduced = reduceForWatching(frame, AutoCapture::kWatchWidth);
    QCOMPARE(reduced.size(), reducedSize);
    QCOMPARE(reduced.format(), QImage::Format_Grayscale8);
    QCOMPARE(int(reduced.constScanLine(reduced.height() / 2)[1]), 0);
    // The printed half keeps roughly its mean brightness, not all white or black.
    qint64 sum = 0;
    for (int y = 0; y < reduced.height(); ++y)
        sum += reduced.constScanLine(y)[reduced.width() - 2];
    const double mean = double(sum) / reduced.height();
    QVERIFY2(mean > 255 * 0.65 && mean < 255 * 0.92, qPrintable(QString::number(mean)));
    QVERIFY(reduceForWatching(QImage(), AutoCapture::kWatchWidth).isNull());
}

QTEST_GUILESS_MAIN(TestAutoCapture)
#include "testautocapture.moc"
