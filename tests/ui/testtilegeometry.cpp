// The arithmetic of a thumbnail tile, without painting anything.
#include "ui/picitemdelegate.h"
#include "core/tilegeometry.h"

#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(tile::Kind)

namespace {
struct CharArrayDelete {
    void operator()(char *p) const { delete[] p; }
};
using CString = std::unique_ptr<char[], CharArrayDelete>;

tile::Kind kindOfPath(const QString &path)
{
    const CString suffix(PicItemDelegate::substrend(path.toLatin1().constData(), 2));
    return tile::kindForSuffix(suffix.get());
}
} // namespace

class TestTileGeometry : public QObject
{
    Q_OBJECT

private slots:
    void substrendTakesNPlusOneFromTheEnd_data();
    void substrendTakesNPlusOneFromTheEnd();
    void kindFollowsTheCaseSensitiveSuffix_data();
    void kindFollowsTheCaseSensitiveSuffix();
    void displayedSize_data();
    void displayedSize();
    void pictureRect_data();
    void pictureRect();
    void shortenedName_data();
    void shortenedName();
    void nameWidthIsCapped_data();
    void nameWidthIsCapped();
    void nameRect_data();
    void nameRect();
};

void TestTileGeometry::substrendTakesNPlusOneFromTheEnd_data()
{
    QTest::addColumn<QByteArray>("str");
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("suffix of a path") << QByteArray("/home/u/20240101120000123.jpg") << 2 << QByteArray("jpg");
    QTest::newRow("n + 1, not n") << QByteArray("abcdef") << 0 << QByteArray("f");
    QTest::newRow("n + 1 equals the length") << QByteArray("abc") << 2 << QByteArray("abc");
    QTest::newRow("n equals the length") << QByteArray("abc") << 3 << QByteArray("abc");
    QTest::newRow("n beyond the length") << QByteArray("ab") << 10 << QByteArray("ab");
    QTest::newRow("empty string") << QByteArray("") << 2 << QByteArray("");
    QTest::newRow("n of -1 keeps nothing") << QByteArray("abc") << -1 << QByteArray("");
}

void TestTileGeometry::substrendTakesNPlusOneFromTheEnd()
{
    QFETCH(QByteArray, str);
    QFETCH(int, n);
    QFETCH(QByteArray, expected);
    const CString out(PicItemDelegate::substrend(str.constData(), n));
    QVERIFY(out);
    QCOMPARE(QByteArray(out.get()), expected);
    // A fresh copy, never a pointer into the argument.
    QVERIFY(out.get() < str.constData() || out.get() > str.constData() + str.size());
}

void TestTileGeometry::kindFollowsTheCaseSensitiveSuffix_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<tile::Kind>("kind");
    QTest::newRow("jpg") << "/d/20240101120000123.jpg" << tile::Kind::Jpeg;
    QTest::newRow("bmp") << "/d/scan.bmp" << tile::Kind::Bmp;
    QTest::newRow("pdf") << "/d/20240101120000123.pdf" << tile::Kind::Pdf;
    QTest::newRow("upper-case JPG is an icon") << "/d/IMG.JPG" << tile::Kind::Icon;
    QTest::newRow("jpeg is an icon") << "/d/photo.jpeg" << tile::Kind::Icon;
    QTest::newRow("png") << "/d/a.png" << tile::Kind::Icon;
    QTest::newRow("tif") << "/d/a.tif" << tile::Kind::Icon;
    QTest::newRow("name only jpg") << "jpg" << tile::Kind::Jpeg;
    QTest::newRow("shorter than a suffix") << "pg" << tile::Kind::Icon;
}

void TestTileGeometry::kindFollowsTheCaseSensitiveSuffix()
{
    QFETCH(QString, path);
    QFETCH(tile::Kind, kind);
    QCOMPARE(kindOfPath(path), kind);
}

void TestTileGeometry::displayedSize_data()
{
    QTest::addColumn<tile::Kind>("kind");
    QTest::addColumn<qint64>("w");
    QTest::addColumn<qint64>("h");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("landscape 4:3 page") << tile::Kind::Jpeg << qint64(3264) << qint64(2448) << QSize(85, 75);
    QTest::newRow("same page decoded at 1/8") << tile::Kind::Jpeg << qint64(408) << qint64(306) << QSize(85, 75);
    QTest::newRow("portrait 3:4 page") << tile::Kind::Jpeg << qint64(2448) << qint64(3264) << QSize(75, 85);
    QTest::newRow("square scales the short side by 100") << tile::Kind::Jpeg << qint64(500) << qint64(500)
                                                         << QSize(85, 100);
    QTest::newRow("bmp landscape") << tile::Kind::Bmp << qint64(640) << qint64(480) << QSize(85, 75);
    QTest::newRow("pdf placeholder portrait") << tile::Kind::Pdf << qint64(64) << qint64(80) << QSize(80, 85);
    QTest::newRow("very wide") << tile::Kind::Jpeg << qint64(1000) << qint64(1) << QSize(85, 0);
    QTest::newRow("icon ignores the source") << tile::Kind::Icon << qint64(16) << qint64(16) << QSize(85, 85);
    QTest::newRow("zero width draws nothing") << tile::Kind::Jpeg << qint64(0) << qint64(2448) << QSize();
    QTest::newRow("zero height draws nothing") << tile::Kind::Bmp << qint64(640) << qint64(0) << QSize();
    QTest::newRow("no 32-bit overflow") << tile::Kind::Jpeg << qint64(40000000) << qint64(30000000)
                                        << QSize(85, 75);
}

void TestTileGeometry::displayedSize()
{
    QFETCH(tile::Kind, kind);
    QFETCH(qint64, w);
    QFETCH(qint64, h);
    QFETCH(QSize, expected);
    const QSize size = tile::displayedSize(kind, w, h);
    QCOMPARE(size, expected);
}

void TestTileGeometry::pictureRect_data()
{
    QTest::addColumn<tile::Kind>("kind");
    QTest::addColumn<QRect>("option");
    QTest::addColumn<QSize>("displayed");
    QTest::addColumn<QRect>("expected");
    const QRect first(0, 0, 164, 164);
    const QRect third(0, 328, 164, 164);
    QTest::newRow("jpg landscape") << tile::Kind::Jpeg << first << QSize(85, 75) << QRect(37, 42, 85, 75);
    QTest::newRow("jpg portrait") << tile::Kind::Jpeg << first << QSize(75, 85) << QRect(42, 37, 75, 85);
    QTest::newRow("jpg square") << tile::Kind::Jpeg << first << QSize(85, 100) << QRect(37, 30, 85, 100);
    QTest::newRow("jpg third row") << tile::Kind::Jpeg << third << QSize(85, 75) << QRect(37, 370, 85, 75);
    QTest::newRow("pdf as jpg") << tile::Kind::Pdf << first << QSize(80, 85) << QRect(40, 37, 80, 85);
    QTest::newRow("bmp 17 px further right") << tile::Kind::Bmp << first << QSize(85, 75) << QRect(54, 42, 85, 75);
    QTest::newRow("icon fixed") << tile::Kind::Icon << third << QSize(85, 85) << QRect(37, 365, 85, 85);
    QTest::newRow("offset option rect") << tile::Kind::Jpeg << QRect(5, 7, 164, 164) << QSize(85, 75)
                                        << QRect(42, 49, 85, 75);
}

void TestTileGeometry::pictureRect()
{
    QFETCH(tile::Kind, kind);
    QFETCH(QRect, option);
    QFETCH(QSize, displayed);
    QFETCH(QRect, expected);
    QCOMPARE(tile::pictureRect(kind, tile::tileRect(option), displayed), expected);
}

void TestTileGeometry::shortenedName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("short name overlaps") << "a.jpg"
                                         << "a.jpg...a.jpg";
    QTest::newRow("17-digit stamp") << "20240101120000123.jpg"
                                    << "202401...3.jpg";
    QTest::newRow("11 characters") << "abcdef.jpeg"
                                   << "abcdef....jpeg";
    QTest::newRow("two characters") << "ab"
                                    << "ab...ab";
    QTest::newRow("empty") << ""
                           << "...";
    QTest::newRow("non-Latin") << QString::fromUtf8("扫描文件第一页.pdf") << QString::fromUtf8("扫描文件第一...页.pdf");
}

void TestTileGeometry::shortenedName()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(tile::shortenedName(name), expected);
}

void TestTileGeometry::nameWidthIsCapped_data()
{
    QTest::addColumn<int>("measured");
    QTest::addColumn<int>("expected");
    QTest::newRow("narrow") << 90 << 90;
    QTest::newRow("just under") << 149 << 149;
    QTest::newRow("at the cap") << 150 << 150;
    QTest::newRow("wide") << 400 << 150;
}

void TestTileGeometry::nameWidthIsCapped()
{
    QFETCH(int, measured);
    QFETCH(int, expected);
    QCOMPARE(tile::cappedNameWidth(measured), expected);
}

void TestTileGeometry::nameRect_data()
{
    QTest::addColumn<tile::Kind>("kind");
    QTest::addColumn<int>("width");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("jpg, centred on 194") << tile::Kind::Jpeg << 100 << QRect(47, 123, 150, 25);
    QTest::newRow("capped name") << tile::Kind::Jpeg << 150 << QRect(22, 123, 150, 25);
    QTest::newRow("bmp box 180") << tile::Kind::Bmp << 101 << QRect(46, 123, 180, 25);
    QTest::newRow("pdf box 180") << tile::Kind::Pdf << 100 << QRect(47, 123, 180, 25);
    QTest::newRow("icon box 150") << tile::Kind::Icon << 100 << QRect(47, 123, 150, 25);
}

void TestTileGeometry::nameRect()
{
    QFETCH(tile::Kind, kind);
    QFETCH(int, width);
    QFETCH(QRect, expected);
    QCOMPARE(tile::nameRect(kind, tile::tileRect(QRect(0, 0, 164, 164)), width), expected);
}

QTEST_GUILESS_MAIN(TestTileGeometry)
#include "testtilegeometry.moc"
