// Text watermark: colour, placement, size, Chinese text, bad input.
#include "sdk/watermark/fontlocator.h"
#include "sdk/watermark/watermark.h"

#include <QtTest>

#include <cstring>

namespace {

orvix::Frame plainPage(int w, int h, uint8_t level = 240)
{
    orvix::Frame f;
    f.allocate(w, h);
    std::memset(f.rgb.data(), level, f.rgb.size());
    return f;
}

struct Marks {
    int changed = 0;
    int inColour = 0; // within a few levels of the watermark colour
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

Marks marksOn(const orvix::Frame &before, const orvix::Frame &after, const orvix::WatermarkStyle &style)
{
    Marks m;
    for (int y = 0; y < after.height; ++y) {
        for (int x = 0; x < after.width; ++x) {
            const uint8_t *a = after.row(y) + size_t(x) * 3;
            const uint8_t *b = before.row(y) + size_t(x) * 3;
            if (std::memcmp(a, b, 3) == 0)
                continue;
            ++m.changed;
            m.left = std::min(m.left, x);
            m.right = std::max(m.right, x);
            m.top = std::min(m.top, y);
            m.bottom = std::max(m.bottom, y);
            if (std::abs(a[0] - style.r) <= 12 && std::abs(a[1] - style.g) <= 12 && std::abs(a[2] - style.b) <= 12)
                ++m.inColour;
        }
    }
    return m;
}

bool haveCjkFont()
{
    for (const std::string &f : orvix::installedFonts(orvix::knownFontFiles()))
        if (f.find("wqy") != std::string::npos || f.find("CJK") != std::string::npos
            || f.find("droid") != std::string::npos || f.find("arphic") != std::string::npos)
            return true;
    return false;
}

} // namespace

class TestWatermark : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void drawsInColourAtBottomRight_data();
    void drawsInColourAtBottomRight();
    void sizeFollowsPageOrRequest_data();
    void sizeFollowsPageOrRequest();
    void longTextShrinksToFit();
    void nothingToDraw_data();
    void nothingToDraw();
    void invalidUtf8IsSkipped();
    void missingFontLeavesPage();
    void fontWithoutChineseSkipsIt();
    void decodesUtf8_data();
    void decodesUtf8();
};

void TestWatermark::initTestCase()
{
    // The program's package depends on a CJK font and scripts/setup.sh installs
    // it; without one every drawing check here would have nothing to look at.
    QVERIFY2(haveCjkFont(), "no CJK font installed (fonts-wqy-microhei; scripts/setup.sh installs it)");
}

void TestWatermark::drawsInColourAtBottomRight_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::newRow("latin, red") << QByteArray("Quillo scan") << 255 << 0 << 0;
    QTest::newRow("latin, dark blue") << QByteArray("Confidential") << 10 << 20 << 160;
    QTest::newRow("chinese, green") << QByteArray("文档扫描 机密") << 20 << 180 << 40;
    QTest::newRow("mixed") << QByteArray("Quillo 文档 2026") << 120 << 0 << 160;
}

void TestWatermark::drawsInColourAtBottomRight()
{
    QFETCH(QByteArray, text);
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    const orvix::WatermarkStyle style{uint8_t(r), uint8_t(g), uint8_t(b), 0};
    const orvix::Frame before = plainPage(1600, 1200);
    orvix::Frame after = before;
    QVERIFY(orvix::drawWatermark(after, text.constData(), style));
    const Marks m = marksOn(before, after, style);
    QVERIFY2(m.inColour > 300, qPrintable(QString("%1 pixels in the colour").arg(m.inColour)));
    QVERIFY(m.left > 1600 / 3);
    QVERIFY(m.top > 1200 * 3 / 4);
    QVERIFY(m.right < 1600 - 10); // a margin
    QVERIFY(m.bottom < 1200 - 10);
    QVERIFY(1600 - m.right < 120); // and not far from the corner
    QVERIFY(1200 - m.bottom < 120);
}

void TestWatermark::sizeFollowsPageOrRequest_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<int>("expectedEm");
    QTest::newRow("proportional, landscape") << 1600 << 1200 << 0 << 60;
    QTest::newRow("proportional, portrait") << 900 << 1400 << 0 << 45;
    QTest::newRow("proportional, full capture") << 3264 << 2448 << 0 << 122;
    QTest::newRow("requested 24 px") << 1600 << 1200 << 24 << 24;
    QTest::newRow("requested 90 px") << 1600 << 1200 << 90 << 90;
}

void TestWatermark::sizeFollowsPageOrRequest()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, pixelSize);
    QFETCH(int, expectedEm);
    const orvix::WatermarkStyle style{0, 0, 0, pixelSize};
    const orvix::Frame before = plainPage(width, height);
    orvix::Frame after = before;
    QVERIFY(orvix::drawWatermark(after, "HEH", style)); // capitals: cap height about 0.73 em
    const Marks m = marksOn(before, after, style);
    const double capHeight = m.bottom - m.top + 1;
    QVERIFY2(capHeight > 0.6 * expectedEm && capHeight < 0.85 * expectedEm,
             qPrintable(QString("cap height %1 for %2 px").arg(capHeight).arg(expectedEm)));
}

void TestWatermark::longTextShrinksToFit()
{
    const orvix::WatermarkStyle style{200, 0, 0, 0};
    const orvix::Frame before = plainPage(400, 900);
    orvix::Frame after = before;
    QVERIFY(orvix::drawWatermark(after, "A rather long watermark line that cannot fit at the usual size", style));
    const Marks m = marksOn(before, after, style);
    QVERIFY(m.left >= 4);
    QVERIFY(m.right <= 400 - 4);
    // Tiny pictures and absurd sizes neither crash nor write outside.
    orvix::Frame tiny = plainPage(5, 3);
    orvix::drawWatermark(tiny, "文字", {0, 0, 0, 0});
    orvix::Frame huge = plainPage(200, 100);
    orvix::drawWatermark(huge, "W", {0, 0, 0, 1 << 30});
    QCOMPARE(huge.rgb.size(), size_t(200 * 100 * 3));
}

void TestWatermark::nothingToDraw_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("null");
    QTest::newRow("null") << QByteArray() << true;
    QTest::newRow("empty") << QByteArray("") << false;
    QTest::newRow("control characters only") << QByteArray("\n\t\r") << false;
    QTest::newRow("only invalid bytes") << QByteArray("\xff\xfe\x80") << false;
}

void TestWatermark::nothingToDraw()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, null);
    const orvix::Frame before = plainPage(800, 600);
    orvix::Frame after = before;
    QVERIFY(!orvix::drawWatermark(after, null ? nullptr : text.constData(), {255, 0, 0, 0}));
    QVERIFY(after.rgb == before.rgb);
}

void TestWatermark::invalidUtf8IsSkipped()
{
    const orvix::WatermarkStyle style{0, 0, 255, 0};
    const orvix::Frame before = plainPage(800, 600);
    orvix::Frame broken = before, clean = before;
    QVERIFY(orvix::drawWatermark(broken, "\xe6\x96 Ab\xc0\xaf" "c\xed\xa0\x80\xff", style));
    QVERIFY(orvix::drawWatermark(clean, " Abc", style));
    QVERIFY(broken.rgb == clean.rgb); // the valid characters, nothing else
}

void TestWatermark::missingFontLeavesPage()
{
    const orvix::Frame before = plainPage(800, 600);
    orvix::Frame after = before;
    QVERIFY(!orvix::drawWatermark(after, "Quillo", {255, 0, 0, 0}, {"/nonexistent/font.ttf", "/etc/passwd"}));
    QVERIFY(after.rgb == before.rgb);
}

void TestWatermark::fontWithoutChineseSkipsIt()
{
    const std::string latinOnly = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    QVERIFY2(!orvix::installedFonts({latinOnly}).empty(),
             "DejaVu Sans is missing (fonts-dejavu-core; scripts/setup.sh installs it)");
    const orvix::Frame before = plainPage(800, 600);
    orvix::Frame chinese = before, mixed = before, latin = before;
    QVERIFY(!orvix::drawWatermark(chinese, "文档", {0, 0, 0, 0}, {latinOnly}));
    QVERIFY(chinese.rgb == before.rgb);
    // Latin letters still print, in the place they have in the whole line.
    QVERIFY(orvix::drawWatermark(mixed, "AB文档", {0, 0, 0, 0}, {latinOnly}));
    QVERIFY(orvix::drawWatermark(latin, "AB", {0, 0, 0, 0}, {latinOnly}));
    QVERIFY(mixed.rgb == latin.rgb);
}

void TestWatermark::decodesUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QVector<uint>>("expected");
    QTest::newRow("ascii") << QByteArray("Ab1") << QVector<uint>{'A', 'b', '1'};
    QTest::newRow("two bytes") << QByteArray("\xc3\xa9") << QVector<uint>{0xE9};
    QTest::newRow("three bytes") << QByteArray("文档") << QVector<uint>{0x6587, 0x6863};
    QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << QVector<uint>{0x1F600};
    QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf" "b") << QVector<uint>{'a', 'b'};
    QTest::newRow("overlong three") << QByteArray("\xe0\x80\xaf" "b") << QVector<uint>{'b'};
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80z") << QVector<uint>{'z'};
    QTest::newRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80z") << QVector<uint>{'z'};
    QTest::newRow("truncated, then ascii") << QByteArray("\xe6\x96" "a") << QVector<uint>{'a'};
    QTest::newRow("truncated at the end") << QByteArray("a\xf0\x9f\x98") << QVector<uint>{'a'};
    QTest::newRow("stray continuation") << QByteArray("\x80\xbfx") << QVector<uint>{'x'};
    QTest::newRow("invalid leads") << QByteArray("\xf8\xff\xfe") << QVector<uint>{};
}

void TestWatermark::decodesUtf8()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QVector<uint>, expected);
    const std::u32string decoded = orvix::decodeUtf8(bytes.constData());
    QVector<uint> got;
    for (char32_t c : decoded)
        got.push_back(uint(c));
    QCOMPARE(got, expected);
    QVERIFY(orvix::decodeUtf8(nullptr).empty());
}

QTEST_GUILESS_MAIN(TestWatermark)
#include "testwatermark.moc"
