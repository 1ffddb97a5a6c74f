// The display-free arithmetic of the live preview: fitting and placing the
// frame, quarter turns, resolution texts and the row copy of a frame.
#include "core/framecopy.h"
#include "core/framescaler.h"
#include "core/previewfit.h"
#include "core/resolutiontext.h"

#include <QTransform>
#include <QtTest>

#include <cmath>
#include <limits>

class TestPreviewLogic : public QObject
{
    Q_OBJECT

private slots:
    void fitAndPlace_data()
    {
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<qreal>("rotate");
        QTest::addColumn<QSizeF>("area");
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<QRect>("expected");

        const QSize f43(640, 480);
        const QSizeF landscape(800, 600);
        const QSizeF portrait(400, 700);
        // Landscape area: height wh + scale, width by the proportion; the
        // box is the area's size at (0, 50); every value truncated to zero.
        QTest::newRow("landscape 0") << f43 << 0.0 << landscape << 1.0 << QRect(0, 49, 801, 601);
        QTest::newRow("landscape 90 swaps") << f43 << 90.0 << landscape << 1.0 << QRect(174, 49, 450, 601);
        QTest::newRow("landscape 270 swaps") << f43 << 270.0 << landscape << 1.0 << QRect(174, 49, 450, 601);
        QTest::newRow("landscape 180") << f43 << 180.0 << landscape << 1.0 << QRect(0, 49, 801, 601);
        // Angles are taken modulo 360: L R R leaves 450, R L L -90 or 270 the other way round.
        QTest::newRow("landscape 450 swaps") << f43 << 450.0 << landscape << 1.0 << QRect(174, 49, 450, 601);
        QTest::newRow("landscape -90 swaps") << f43 << -90.0 << landscape << 1.0 << QRect(174, 49, 450, 601);
        QTest::newRow("landscape 45 keeps") << f43 << 45.0 << landscape << 1.0 << QRect(0, 49, 801, 601);
        QTest::newRow("square area fits by height") << f43 << 0.0 << QSizeF(500, 500) << 1.0 << QRect(-84, 49, 668, 501);
        // Portrait area: width ww + scale, height by the proportion.
        QTest::newRow("portrait 0") << f43 << 0.0 << portrait << 1.0 << QRect(0, 249, 401, 300);
        QTest::newRow("portrait 90") << f43 << 90.0 << portrait << 1.0 << QRect(0, 132, 401, 534);
        QTest::newRow("portrait 270") << f43 << 270.0 << portrait << 1.0 << QRect(0, 132, 401, 534);
        QTest::newRow("portrait 450") << f43 << 450.0 << portrait << 1.0 << QRect(0, 132, 401, 534);
        // 1:1 sets the scale to the drawn width: the picture overflows, centred.
        QTest::newRow("1:1 at 0") << QSize(1920, 1080) << 0.0 << landscape << 1920.0
                                  << QRect(-1840, -910, 4480, 2520);
        QTest::newRow("1:1 at 90") << QSize(1920, 1080) << 90.0 << landscape << 1080.0
                                   << QRect(-72, -490, 945, 1680);
        QTest::newRow("empty frame") << QSize(0, 480) << 0.0 << landscape << 1.0 << QRect();
    }

    void fitAndPlace()
    {
        QFETCH(QSize, frame);
        QFETCH(qreal, rotate);
        QFETCH(QSizeF, area);
        QFETCH(qreal, scale);
        QFETCH(QRect, expected);
        QCOMPARE(fitPreviewRect(frame, rotate, area, scale), expected);
    }

    void placementIsCentredInTheBox()
    {
        const QRect r = fitPreviewRect(QSize(400, 300), 0, QSizeF(1000, 600), 2.0, QPointF(0, 50));
        QVERIFY(qAbs((r.left() + r.width() / 2.0) - 500) <= 1);
        QVERIFY(qAbs((r.top() + r.height() / 2.0) - 350) <= 1);
        const QRect moved = fitPreviewRect(QSize(400, 300), 0, QSizeF(1000, 600), 2.0, QPointF(20, 0));
        QCOMPARE(moved.topLeft(), r.topLeft() + QPoint(20, -50));
    }

    void absurdScaleDoesNotOverflow()
    {
        const QRect r = fitPreviewRect(QSize(640, 480), 0, QSizeF(800, 600), 1e12);
        QVERIFY(r.width() > 0);
        QVERIFY(r.height() > 0);
        QVERIFY(r.left() < 0);
    }

    void quarterTurns_data()
    {
        QTest::addColumn<qreal>("rotate");
        QTest::addColumn<int>("turns");
        QTest::newRow("0") << 0.0 << 0;
        QTest::newRow("90") << 90.0 << 1;
        QTest::newRow("180") << 180.0 << 2;
        QTest::newRow("270") << 270.0 << 3;
        QTest::newRow("360") << 360.0 << 0;
        QTest::newRow("450") << 450.0 << 1;
        QTest::newRow("630") << 630.0 << 3;
        QTest::newRow("-90") << -90.0 << 3;
        QTest::newRow("-270") << -270.0 << 1;
        QTest::newRow("45") << 45.0 << -1;
        QTest::newRow("90.5") << 90.5 << -1;
        QTest::newRow("nan") << qreal(std::numeric_limits<double>::quiet_NaN()) << -1;
        QTest::newRow("inf") << qreal(std::numeric_limits<double>::infinity()) << -1;
    }

    void quarterTurns()
    {
        QFETCH(qreal, rotate);
        QFETCH(int, turns);
        QCOMPARE(::quarterTurns(rotate), turns);
    }

    void rotatedSize()
    {
        QCOMPARE(rotatedFrameSize(QSize(640, 480), 0), QSize(640, 480));
        QCOMPARE(rotatedFrameSize(QSize(640, 480), 90), QSize(480, 640));
        QCOMPARE(rotatedFrameSize(QSize(640, 480), 450), QSize(480, 640));
        QCOMPARE(rotatedFrameSize(QSize(640, 480), -180), QSize(640, 480));
        const QSize diag = rotatedFrameSize(QSize(100, 100), 45);
        QVERIFY2(diag.width() >= 141 && diag.width() <= 143, qPrintable(QString::number(diag.width())));
        QCOMPARE(diag.width(), diag.height());
    }

    void resolutionText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("full hd") << "1920x1080" << true << 1920 << 1080;
        QTest::newRow("vga") << "640x480" << true << 640 << 480;
        QTest::newRow("8 megapixel") << "3264x2448" << true << 3264 << 2448;
        QTest::newRow("no x") << "1920*1080" << false << -1 << -1;
        QTest::newRow("empty") << "" << false << -1 << -1;
        QTest::newRow("only x") << "x" << false << -1 << -1;
        QTest::newRow("no height") << "1920x" << false << -1 << -1;
        QTest::newRow("zero width") << "0x480" << false << -1 << -1;
        QTest::newRow("negative") << "-640x480" << false << -1 << -1;
        QTest::newRow("three parts") << "1x2x3" << false << -1 << -1;
        QTest::newRow("words") << "widexhigh" << false << -1 << -1;
        QTest::newRow("too big") << "99999999999x2" << false << -1 << -1;
    }

    void resolutionText()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, width);
        QFETCH(int, height);
        int w = -1;
        int h = -1;
        QCOMPARE(parseResolution(text, &w, &h), ok);
        QCOMPARE(w, width);
        QCOMPARE(h, height);
    }

    // Widths whose rows are not a multiple of 4 bytes exercise QImage's padding.
    void frameCopyHonoursRowPadding_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::newRow("padded 5x3") << 5 << 3;
        QTest::newRow("padded 1x7") << 1 << 7;
        QTest::newRow("packed 4x4") << 4 << 4;
        QTest::newRow("padded 641x2") << 641 << 2;
    }

    void frameCopyHonoursRowPadding()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QByteArray src(w * h * 3, '\0');
        for (int i = 0; i < src.size(); ++i)
            src[i] = char((i * 37 + 11) & 0xff);
        QImage img(w, h, QImage::Format_RGB888);
        QVERIFY(copyRgbFrame(img, src.constData(), w, h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int o = (y * w + x) * 3;
                QCOMPARE(img.pixel(x, y), qRgb(uchar(src[o]), uchar(src[o + 1]), uchar(src[o + 2])));
            }
    }

    void turnedSamplingMatchesARotatedCopy_data()
    {
        QTest::addColumn<int>("turns");
        QTest::addColumn<int>("factor");
        for (int turns = 0; turns < 4; ++turns)
            for (int factor : {1, 3}) {
                const QString name = QString("%1 turns x%2").arg(turns).arg(factor);
                QTest::newRow(qPrintable(name)) << turns << factor;
            }
    }

    // At whole-number scales the sampling has no rounding choices left: it
    // must equal rotating a copy and enlarging it pixel by pixel.
    void turnedSamplingMatchesARotatedCopy()
    {
        QFETCH(int, turns);
        QFETCH(int, factor);
        QImage frame(5, 3, QImage::Format_RGB888); // padded rows
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                frame.setPixel(x, y, qRgb(40 * x + 10, 70 * y + 5, 17 * (x + y)));
        const QImage turned = frame.transformed(QTransform().rotate(90 * turns)).convertToFormat(QImage::Format_RGB32);
        const QSize target = turned.size() * factor;
        const QImage expected = turned.scaled(target, Qt::IgnoreAspectRatio, Qt::FastTransformation);

        const QImage whole = scaleTurnedFrame(frame, turns, target, QRect(QPoint(0, 0), target));
        QCOMPARE(whole.format(), QImage::Format_RGB32);
        QCOMPARE(whole, expected);

        // A part of the target samples the same pixels as the whole.
        const QRect part(1, 2, target.width() - 2, target.height() - 3);
        QCOMPARE(scaleTurnedFrame(frame, turns, target, part), expected.copy(part));
    }

    void turnedSamplingOfNothing()
    {
        QImage frame(4, 4, QImage::Format_RGB888);
        frame.fill(Qt::red);
        QVERIFY(scaleTurnedFrame(frame, 0, QSize(8, 8), QRect(20, 20, 5, 5)).isNull());
        QVERIFY(scaleTurnedFrame(frame, 0, QSize(), QRect(0, 0, 5, 5)).isNull());
        QVERIFY(scaleTurnedFrame(QImage(), 1, QSize(8, 8), QRect(0, 0, 8, 8)).isNull());
        // Part outside is cut away, the rest still sampled.
        const QImage cut = scaleTurnedFrame(frame, 0, QSize(8, 8), QRect(-4, -4, 8, 8));
        QCOMPARE(cut.size(), QSize(4, 4));
        QCOMPARE(cut.pixel(3, 3), qRgb(255, 0, 0));
    }

    void frameCopyRefusesMismatches()
    {
        QByteArray src(4 * 4 * 3, '\x7f');
        QImage img(4, 4, QImage::Format_RGB888);
        img.fill(Qt::black);
        QVERIFY(!copyRgbFrame(img, src.constData(), 5, 4));
        QVERIFY(!copyRgbFrame(img, nullptr, 4, 4));
        QImage argb(4, 4, QImage::Format_ARGB32);
        QVERIFY(!copyRgbFrame(argb, src.constData(), 4, 4));
        QCOMPARE(img.pixel(0, 0), qRgb(0, 0, 0));
    }
};

QTEST_GUILESS_MAIN(TestPreviewLogic)
#include "testpreviewlogic.moc"
