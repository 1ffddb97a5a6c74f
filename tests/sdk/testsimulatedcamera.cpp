// Simulated cameras from the inside: the description parser, the synthetic
// desk with its known page corners, the live marks, and pictures as scenes.
#include "camera/camsdk.h"
#include "sdk/simulated/simulateddevice.h"
#include "sdk/simulated/simulatedpages.h"
#include "sdk/simulated/simulatedscene.h"
#include "sdk/simulated/simulatedspec.h"

#include <QtTest>
#include <QImage>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>

using namespace orvix;

namespace {

double cross(const PagePoint &o, const PagePoint &a, const PagePoint &b)
{
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

int brightness(const Frame &f, int x, int y)
{
    const uint8_t *p = f.row(y) + size_t(x) * 3;
    return (p[0] + p[1] + p[2]) / 3;
}

size_t differingPixels(const Frame &a, const Frame &b)
{
    size_t n = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3)
        n += std::memcmp(&a.rgb[i], &b.rgb[i], 3) != 0;
    return n;
}

SimulatedCameraSpec specOf(const std::string &text)
{
    std::vector<std::string> problems;
    const std::vector<SimulatedCameraSpec> specs = parseSimulatedCameras(text, problems);
    return specs.empty() ? SimulatedCameraSpec() : specs.front();
}

} // namespace

class TestSimulatedCamera : public QObject
{
    Q_OBJECT

private slots:
    void parsesEntries();
    void namesEachSkippedEntry_data();
    void namesEachSkippedEntry();

    void pageIsConvexTurnedAndInside_data();
    void pageIsConvexTurnedAndInside();
    void renderedPageLiesAtItsCorners();
    void liveMarksChangeLittleAndRestore();

    void pictureSceneIsShownAtTheSetSize_data();
    void pictureSceneIsShownAtTheSetSize();
    void unreadableSceneFallsBackToDesk();

    void folderSceneTurnsItsPicturesInNameOrder_data();
    void folderSceneTurnsItsPicturesInNameOrder();
};

void TestSimulatedCamera::parsesEntries()
{
    std::vector<std::string> problems;
    const auto specs = parseSimulatedCameras(
        "Tarvo S1|3264x2448,1920x1080,3264x2448|tarvo;Desk Cam|1280x720|;"
        "Odd|640X480|NoAccess, failcapture ,scene=/tmp/a b.png",
        problems);
    QVERIFY(problems.empty());
    QCOMPARE(specs.size(), size_t(3));
    QCOMPARE(specs[0].name, std::string("Tarvo S1"));
    QCOMPARE(specs[0].resolutions.size(), size_t(2)); // the repeat is dropped
    QCOMPARE(specs[0].resolutions[1].width, 1920);
    QVERIFY(specs[0].tarvo && !specs[0].noAccess && !specs[0].failCapture);
    QVERIFY(!specs[1].tarvo && specs[1].scenePath.empty());
    QCOMPARE(specs[2].resolutions[0].height, 480);
    QVERIFY(specs[2].noAccess && specs[2].failCapture && !specs[2].tarvo);
    QCOMPARE(specs[2].scenePath, std::string("/tmp/a b.png"));
}

void TestSimulatedCamera::namesEachSkippedEntry_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing flags part") << "Cam|640x480" << "NAME|RESOLUTIONS|FLAGS";
    QTest::newRow("too many parts") << "Cam|640x480|tarvo|x" << "NAME|RESOLUTIONS|FLAGS";
    QTest::newRow("empty name") << "  |640x480|" << "empty name";
    QTest::newRow("no resolutions") << "Cam||" << "not WIDTHxHEIGHT";
    QTest::newRow("letters") << "Cam|64Ox480|" << "not WIDTHxHEIGHT";
    QTest::newRow("negative") << "Cam|640x-480|" << "not WIDTHxHEIGHT";
    QTest::newRow("zero") << "Cam|0x480|" << "out of range";
    QTest::newRow("too small") << "Cam|8x8|" << "out of range";
    QTest::newRow("absurd") << "Cam|16384x16384|" << "out of range";
    QTest::newRow("overflowing digits") << "Cam|99999999999x2|" << "not WIDTHxHEIGHT";
    QTest::newRow("unknown flag") << "Cam|640x480|tarvo,zoom" << "unknown flag \"zoom\"";
    QTest::newRow("scene without path") << "Cam|640x480|scene=" << "unknown flag";
    QTest::newRow("hold of zero") << "Cam|640x480|hold=0" << "not a number of seconds";
    QTest::newRow("hold in words") << "Cam|640x480|hold=three" << "not a number of seconds";
    QTest::newRow("hold with two points") << "Cam|640x480|hold=1.2.3" << "not a number of seconds";
}

void TestSimulatedCamera::namesEachSkippedEntry()
{
    QFETCH(QString, entry);
    QFETCH(QString, reason);
    std::vector<std::string> problems;
    const auto specs =
        parseSimulatedCameras("Before|320x240|;" + entry.toStdString() + ";After|320x240|", problems);
    QCOMPARE(specs.size(), size_t(2));
    QCOMPARE(specs[1].name, std::string("After"));
    QCOMPARE(problems.size(), size_t(1));
    const QString problem = QString::fromStdString(problems[0]);
    QVERIFY2(problem.contains(entry) && problem.contains(reason), qPrintable(problem));
}

void TestSimulatedCamera::pageIsConvexTurnedAndInside_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("4:3") << QSize(3264, 2448);
    QTest::newRow("16:9") << QSize(1920, 1080);
    QTest::newRow("portrait") << QSize(1080, 1920);
    QTest::newRow("small") << QSize(64, 48);
}

void TestSimulatedCamera::pageIsConvexTurnedAndInside()
{
    QFETCH(QSize, size);
    const PageCorners c = deskPageCorners(size.width(), size.height());
    for (int i = 0; i < 4; ++i) {
        QVERIFY(c[i].x > 0 && c[i].x < size.width());
        QVERIFY(c[i].y > 0 && c[i].y < size.height());
        // Same turning direction at every corner: convex, clockwise on screen.
        QVERIFY(cross(c[i], c[(i + 1) % 4], c[(i + 2) % 4]) > 0);
    }
    // Not axis-aligned: the top edge climbs or falls.
    QVERIFY(std::abs(c[1].y - c[0].y) > size.height() * 0.01);
    QVERIFY(std::abs(c[3].x - c[0].x) > size.width() * 0.005);
}

void TestSimulatedCamera::renderedPageLiesAtItsCorners()
{
    const int w = 1600, h = 1200;
    const Frame scene = renderDeskScene(w, h);
    const PageCorners c = deskPageCorners(w, h);
    QCOMPARE(scene.width, w);
    // Just inside each corner (towards the centre) is paper, just outside is desk.
    const double cx = (c[0].x + c[1].x + c[2].x + c[3].x) / 4;
    const double cy = (c[0].y + c[1].y + c[2].y + c[3].y) / 4;
    for (const PagePoint &p : c) {
        const double dx = cx - p.x, dy = cy - p.y, len = std::hypot(dx, dy);
        const int inX = int(p.x + dx / len * 6), inY = int(p.y + dy / len * 6);
        const int outX = int(p.x - dx / len * 25), outY = int(p.y - dy / len * 25);
        QVERIFY2(brightness(scene, inX, inY) > 200, qPrintable(QString::number(brightness(scene, inX, inY))));
        QVERIFY(brightness(scene, outX, outY) < 130);
    }
    // Text lines: dark pixels inside the page, well away from its edges.
    int dark = 0;
    for (int y = int(cy) - 200; y < int(cy) + 200; ++y)
        dark += brightness(scene, int(cx), y) < 100;
    QVERIFY(dark > 20);
}

void TestSimulatedCamera::liveMarksChangeLittleAndRestore()
{
    const Frame still = renderDeskScene(640, 480);
    Frame live = still;
    LiveMarks marks;
    marks.paint(live, still, 0);
    const Frame first = live;
    marks.paint(live, still, 40);
    const size_t changedFromStill = differingPixels(live, still);
    QVERIFY(changedFromStill > 0);
    QVERIFY(changedFromStill < live.rgb.size() / 3 / 50);
    QVERIFY(differingPixels(live, first) > 0);
    // The marks stay on the desk: the page region is untouched.
    const PageCorners c = deskPageCorners(640, 480);
    const int cy = int((c[0].y + c[2].y) / 2);
    QCOMPARE(std::memcmp(live.row(cy), still.row(cy), live.stride()), 0);
    // Going back to frame 0 leaves exactly the first picture.
    marks.paint(live, still, 0);
    QCOMPARE(differingPixels(live, first), size_t(0));
}

void TestSimulatedCamera::pictureSceneIsShownAtTheSetSize_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("png") << "PNG";
    QTest::newRow("jpeg") << "JPEG";
}

void TestSimulatedCamera::pictureSceneIsShownAtTheSetSize()
{
    QFETCH(QString, format);
    QTemporaryDir dir;
    const QString path = dir.filePath("scene." + format.toLower());
    QImage picture(400, 300, QImage::Format_RGB888);
    picture.fill(QColor(20, 180, 40));
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            picture.setPixel(x, y, qRgb(230, 30, 30)); // red top-left quarter
    QVERIFY(picture.save(path, format.toLatin1().constData(), 95));

    SimulatedDevice device(specOf("Pic|800x600,320x240|scene=" + path.toStdString()));
    Frame still;
    QCOMPARE(device.grabStill(still, 1000), int(ORVIX_OK));
    QCOMPARE(QSize(still.width, still.height), QSize(800, 600));
    const uint8_t *topLeft = still.row(100) + 100 * 3;
    const uint8_t *bottomRight = still.row(500) + 700 * 3;
    QVERIFY(topLeft[0] > 200 && topLeft[1] < 60);
    QVERIFY(bottomRight[1] > 150 && bottomRight[0] < 60);

    QCOMPARE(device.setResolution(320, 240), int(ORVIX_OK));
    QCOMPARE(device.grabStill(still, 1000), int(ORVIX_OK));
    QCOMPARE(QSize(still.width, still.height), QSize(320, 240));
    QVERIFY(still.row(40)[40 * 3] > 200);
}

void TestSimulatedCamera::unreadableSceneFallsBackToDesk()
{
    QTemporaryDir dir;
    const QString junk = dir.filePath("junk.png");
    QFile f(junk);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("\x89PNG\r\n\x1a\n but then nothing sensible follows at all, sorry");
    f.close();
    for (const QString &path : {junk, dir.filePath("missing.jpg")}) {
        SimulatedDevice device(specOf("Pic|320x240|scene=" + path.toStdString()));
        Frame still;
        QCOMPARE(device.grabStill(still, 1000), int(ORVIX_OK));
        QCOMPARE(still.rgb, renderDeskScene(320, 240).rgb);
    }
}

namespace {

// Pixels of the hand's skin colour (and not of any page picture below).
int skinPixels(const Frame &f)
{
    int n = 0;
    for (size_t i = 0; i < f.rgb.size(); i += 3)
        n += std::abs(f.rgb[i] - 214) < 12 && std::abs(f.rgb[i + 1] - 168) < 12 && std::abs(f.rgb[i + 2] - 140) < 12;
    return n;
}

QColor colourAt(const Frame &f, int x, int y)
{
    const uint8_t *p = f.row(y) + size_t(x) * 3;
    return QColor(p[0], p[1], p[2]);
}

} // namespace

void TestSimulatedCamera::folderSceneTurnsItsPicturesInNameOrder_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QColor>("left");  // colour left of the centre
    QTest::addColumn<QColor>("right"); // and right of it, past the hand's arm
    QTest::addColumn<bool>("hand");
    // Pages a (red), b (green), c (blue), each held 2 s, turns of 1 s.
    QTest::newRow("first page at rest") << 0.5 << QColor(Qt::red) << QColor(Qt::red) << false;
    QTest::newRow("hand carrying the page") << 2.35 << QColor(Qt::red) << QColor(Qt::green) << true;
    QTest::newRow("hand going back out") << 2.8 << QColor(Qt::green) << QColor(Qt::green) << true;
    QTest::newRow("second page at rest") << 3.5 << QColor(Qt::green) << QColor(Qt::green) << false;
    QTest::newRow("third page at rest") << 6.2 << QColor(Qt::blue) << QColor(Qt::blue) << false;
    QTest::newRow("last page stays") << 100.0 << QColor(Qt::blue) << QColor(Qt::blue) << false;
}

void TestSimulatedCamera::folderSceneTurnsItsPicturesInNameOrder()
{
    QFETCH(double, seconds);
    QFETCH(QColor, left);
    QFETCH(QColor, right);
    QFETCH(bool, hand);

    QTemporaryDir dir;
    const std::pair<const char *, QColor> pictures[] = {
        {"b.png", Qt::green}, {"a.png", Qt::red}, {"c.PNG", Qt::blue}};
    for (const auto &p : pictures) {
        QImage picture(400, 300, QImage::Format_RGB888);
        picture.fill(p.second);
        QVERIFY(picture.save(dir.filePath(p.first)));
    }
    QFile notes(dir.filePath("notes.txt"));
    QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("not a page") > 0);
    notes.close();

    const SimulatedCameraSpec spec = specOf("Book|320x240|scene=" + dir.path().toStdString() + ",hold=2");
    QCOMPARE(spec.holdSeconds, 2.0);
    PageTurner pages(spec.scenePath, spec.holdSeconds);
    QCOMPARE(pages.pageCount(), size_t(3));
    Frame frame;
    pages.render(seconds, 320, 240, frame);
    QCOMPARE(frame.width, 320);
    // Well clear of the hand's rows (the middle third).
    QCOMPARE(colourAt(frame, 20, 20), left);
    QCOMPARE(colourAt(frame, 300, 20), right);
    QCOMPARE(skinPixels(frame) > 320 * 240 / 50, hand);

    // The camera itself shows the first page from its start on.
    SimulatedDevice device(specOf("Book|320x240|scene=" + dir.path().toStdString() + ",hold=600"));
    Frame still;
    QCOMPARE(device.grabStill(still, 1000), ORVIX_OK);
    QCOMPARE(colourAt(still, 160, 120), QColor(Qt::red));
}

QTEST_GUILESS_MAIN(TestSimulatedCamera)
#include "testsimulatedcamera.moc"
