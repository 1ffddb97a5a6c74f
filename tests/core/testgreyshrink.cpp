// Area-average shrinking of grey pictures: the mean brightness survives any
// ratio, fine patterns turn into their mean, and no edge row or column is lost.
#include "core/greyshrink.h"

#include <QtTest>

namespace {

// Stripes one pixel high, alternating black and white, or a flat grey.
QImage pattern(const QSize &size, bool stripes)
{
    QImage image(size, QImage::Format_Grayscale8);
    for (int y = 0; y < size.height(); ++y)
        memset(image.scanLine(y), stripes ? (y % 2 ? 255 : 0) : 180, size_t(size.width()));
    return image;
}

} // namespace

class TestGreyShrink : public QObject
{
    Q_OBJECT

private slots:
    void averagesTheAreaUnderEachPixel_data()
    {
        QTest::addColumn<QSize>("from");
        QTest::addColumn<QSize>("to");
        QTest::addColumn<bool>("stripes");
        QTest::addColumn<int>("expected");
        QTest::newRow("flat grey, uneven ratio") << QSize(1000, 751) << QSize(333, 250) << false << 180;
        QTest::newRow("stripes halved") << QSize(64, 64) << QSize(32, 32) << true << 127;
        QTest::newRow("stripes halved, a third across") << QSize(90, 96) << QSize(30, 48) << true << 127;
        QTest::newRow("same size") << QSize(16, 16) << QSize(16, 16) << false << 180;
        // Enlarging is refused: a null picture.
        QTest::newRow("wider") << QSize(100, 100) << QSize(101, 50) << false << -1;
        QTest::newRow("taller") << QSize(100, 100) << QSize(50, 101) << false << -1;
        QTest::newRow("empty") << QSize(100, 100) << QSize(0, 10) << false << -1;
    }

    void averagesTheAreaUnderEachPixel()
    {
        QFETCH(QSize, from);
        QFETCH(QSize, to);
        QFETCH(bool, stripes);
        QFETCH(int, expected);
        const QImage out = shrinkGrey(pattern(from, stripes), to.width(), to.height());
        QCOMPARE(out.isNull(), expected < 0);
        if (out.isNull())
            return;
        QCOMPARE(out.size(), to);
        // Every pixel, the last row and column too, within rounding.
        for (int y = 0; y < to.height(); ++y)
            for (int x = 0; x < to.width(); ++x)
                QVERIFY2(qAbs(out.constScanLine(y)[x] - expected) <= 2,
                         qPrintable(QStringLiteral("%1 at %2,%3").arg(out.constScanLine(y)[x]).arg(x).arg(y)));
    }
};

QTEST_MAIN(TestGreyShrink)
#include "testgreyshrink.moc"
