// The record crosses into the camera library by value; its layout must be
// what the library reads, byte for byte.
#include "camera/camsdk.h"

#include <QtTest>
#include <cstring>

class TestRecordLayout : public QObject
{
    Q_OBJECT

private slots:
    void bytesLandAtTheirOffsets();
    void cornerPointsStartAtZero();
};

void TestRecordLayout::bytesLandAtTheirOffsets()
{
    // Every byte is counted below, the gaps between fields too, so the record
    // is cleared byte for byte rather than field by field.
    IMAGEPARAM p;
    std::memset(static_cast<void *>(&p), 0, sizeof p);
    p.nRotate = 0x01020304;
    p.bIsWater = true;
    p.nB = 200;
    p.bAutoCampture = true;
    const auto *raw = reinterpret_cast<const unsigned char *>(&p);
    QCOMPARE(int(raw[40]), 0x04); // little-endian int32 at 40
    QCOMPARE(int(raw[43]), 0x01);
    QCOMPARE(int(raw[48]), 1);
    QCOMPARE(int(raw[80]), 200);
    QCOMPARE(int(raw[123]), 1);
    int nonZero = 0;
    for (size_t i = 0; i < sizeof p; ++i)
        nonZero += raw[i] != 0;
    QCOMPARE(nonZero, 7); // the rotation fills four bytes, the other three fields one each
}

void TestRecordLayout::cornerPointsStartAtZero()
{
    MPoint pts[4];
    for (const MPoint &m : pts) {
        QCOMPARE(m.x, 0);
        QCOMPARE(m.y, 0);
    }
}

QTEST_GUILESS_MAIN(TestRecordLayout)
#include "testrecordlayout.moc"
