// Painting one thumbnail tile onto an image, straight from files on disk.
#include "ui/picitemdata.h"
#include "ui/picitemdelegate.h"
#include "core/stylenoisefilter.h"

#include <QtTest>

#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>

namespace {

const QRgb kBackground = qRgb(30, 60, 90);
const QRgb kPageColour = qRgb(0, 0, 255);   // body of test pages
const QRgb kBottomColour = qRgb(255, 0, 0); // band along the bottom of a page

bool near(QRgb a, QRgb b, int tolerance = 40)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

// A page of the body colour with the bottom tenth in the band colour.
bool writePage(const QString &path, int width, int height)
{
    QImage page(width, height, QImage::Format_RGB888);
    page.fill(kPageColour);
    QPainter p(&page);
    p.fillRect(QRect(0, height - height / 10, width, height / 10), QColor(kBottomColour));
    p.end();
    return page.save(path, "JPG", 90);
}

struct PainterState {
    QPen pen;
    QBrush brush;
    QFont font;
    QPainter::RenderHints hints;
    QTransform transform;
    qreal opacity;

    explicit PainterState(const QPainter &p)
        : pen(p.pen()), brush(p.brush()), font(p.font()), hints(p.renderHints()), transform(p.transform()),
          opacity(p.opacity())
    {
    }
    bool operator==(const PainterState &o) const
    {
        return pen == o.pen && brush == o.brush && font == o.font && hints == o.hints &&
               transform == o.transform && qFuzzyCompare(opacity, o.opacity);
    }
};

} // namespace

class TestPicItemDelegate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sizeHintIsFixed();
    void landscapeJpegShowsThePage();
    void portraitJpegShowsTheWholePage();
    void bitmapSitsFurtherRight();
    void pdfShowsThePlaceholderWhenInstalled();
    void pictureFollowsThePageNotItsName();
    void missingFileLeavesTheTileUntouched();
    void unreadableFilesGiveCardAndNameOnly_data();
    void unreadableFilesGiveCardAndNameOnly();
    void washes_data();
    void washes();
    void painterStateIsRestored_data();
    void painterStateIsRestored();
    void invalidIndexDrawsNothing();

private:
    using Kind = PicItemData::PageKind;
    QImage paintTile(const QString &path, QStyle::State state = QStyle::State_Enabled, Kind kind = Kind::Unknown);
    QModelIndex indexFor(const QString &path, Kind kind = Kind::Unknown);

    QTemporaryDir m_dir;
    QStandardItemModel m_model;
    PicItemDelegate m_delegate{nullptr};
};

void TestPicItemDelegate::initTestCase()
{
    StyleNoiseFilter::install();
    QVERIFY(m_dir.isValid());
    QVERIFY(writePage(m_dir.filePath("landscape.jpg"), 3264, 2448));
    QVERIFY(writePage(m_dir.filePath("portrait.jpg"), 2448, 3264));
    QFile garbage(m_dir.filePath("garbage.jpg"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, '\x5a'));
    garbage.close();
    QFile truncated(m_dir.filePath("truncated.jpg"));
    QFile whole(m_dir.filePath("landscape.jpg"));
    QVERIFY(whole.open(QIODevice::ReadOnly) && truncated.open(QIODevice::WriteOnly));
    truncated.write(whole.read(200));
    truncated.close();
    QFile empty(m_dir.filePath("empty.jpg"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QFile badBmp(m_dir.filePath("bad.bmp"));
    QVERIFY(badBmp.open(QIODevice::WriteOnly));
    badBmp.write("not a bitmap");
    badBmp.close();
    QVERIFY(QDir(m_dir.path()).mkdir("folder.jpg"));
    QImage bitmap(640, 480, QImage::Format_RGB888);
    bitmap.fill(kPageColour);
    QVERIFY(bitmap.save(m_dir.filePath("page.bmp"), "BMP"));
    QFile pdf(m_dir.filePath("20240101120000123.pdf"));
    QVERIFY(pdf.open(QIODevice::WriteOnly));
    pdf.write("%PDF-1.4 never read for a thumbnail");
    pdf.close();
}

QModelIndex TestPicItemDelegate::indexFor(const QString &path, Kind kind)
{
    auto *item = new QStandardItem;
    item->setData(QVariant::fromValue(PicItemData{path, QFileInfo(path).fileName(), kind}), PicItemData::Role);
    m_model.appendRow(item);
    return item->index();
}

QImage TestPicItemDelegate::paintTile(const QString &path, QStyle::State state, Kind kind)
{
    QImage canvas(164, 164, QImage::Format_RGB32);
    canvas.fill(kBackground);
    QPainter painter(&canvas);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 164, 164);
    option.state = state;
    m_delegate.paint(&painter, option, indexFor(path, kind));
    painter.end();
    return canvas;
}

void TestPicItemDelegate::sizeHintIsFixed()
{
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 20, 20);
    QCOMPARE(m_delegate.sizeHint(option, QModelIndex()), QSize(164, 164));
    QCOMPARE(m_delegate.sizeHint(option, indexFor(m_dir.filePath("landscape.jpg"))), QSize(164, 164));
}

void TestPicItemDelegate::landscapeJpegShowsThePage()
{
    const QImage tile = paintTile(m_dir.filePath("landscape.jpg"));
    // Picture 85 x 75 at (37, 42): page colour inside, white card around it,
    // background outside the card.
    QVERIFY(near(tile.pixel(79, 60), kPageColour));
    QVERIFY(near(tile.pixel(79, 114), kBottomColour));
    QCOMPARE(tile.pixel(79, 39), qRgb(255, 255, 255));
    QCOMPARE(tile.pixel(79, 119), qRgb(255, 255, 255));
    QCOMPARE(tile.pixel(2, 2), kBackground);
    QCOMPARE(tile.pixel(160, 80), kBackground);
}

// A page taller than it is wide must show down to its bottom edge.
void TestPicItemDelegate::portraitJpegShowsTheWholePage()
{
    const QImage tile = paintTile(m_dir.filePath("portrait.jpg"));
    // Picture 75 x 85 at (42, 37): the red band fills its last tenth (y 114..121).
    QVERIFY(near(tile.pixel(79, 60), kPageColour));
    int bandRows = 0;
    for (int y = 100; y < 122; ++y)
        bandRows += near(tile.pixel(79, y), kBottomColour) ? 1 : 0;
    QVERIFY2(bandRows >= 6, qPrintable(QString("bottom band rows found: %1").arg(bandRows)));
    QVERIFY(near(tile.pixel(79, 120), kBottomColour));
    // Nothing of the page is drawn beside the picture.
    QCOMPARE(tile.pixel(40, 80), qRgb(255, 255, 255));
    QCOMPARE(tile.pixel(118, 80), qRgb(255, 255, 255));
}

void TestPicItemDelegate::bitmapSitsFurtherRight()
{
    // 85 x 75 at (54, 42), 17 px right of where a JPEG of that size goes.
    const QImage tile = paintTile(m_dir.filePath("page.bmp"));
    QVERIFY(near(tile.pixel(56, 80), kPageColour, 10));
    QVERIFY(near(tile.pixel(136, 80), kPageColour, 10));
    QCOMPARE(tile.pixel(45, 80), qRgb(255, 255, 255));
    QCOMPARE(tile.pixel(141, 80), qRgb(255, 255, 255));
}

void TestPicItemDelegate::pdfShowsThePlaceholderWhenInstalled()
{
    const QImage tile = paintTile(m_dir.filePath("20240101120000123.pdf"));
    int drawn = 0;
    for (int y = 37; y < 122; ++y)
        for (int x = 37; x < 122; ++x)
            drawn += tile.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
    if (QImage(QStringLiteral(QUILLO_PDF_PLACEHOLDER)).isNull())
        QCOMPARE(drawn, 0); // card and name only
    else
        QVERIFY(drawn > 0);
    QCOMPARE(tile.pixel(80, 20), qRgb(255, 255, 255));
}

// A page of this run is pictured as what the scan stored, whatever its name:
// its picture area is that of a file of the same kind listed by name.
void TestPicItemDelegate::pictureFollowsThePageNotItsName()
{
    const QRect pictureArea(0, 0, 164, 122); // above the name box
    const QString upper = m_dir.filePath("page.JPG");
    const QString jpegPdf = m_dir.filePath("page.jpg");
    QVERIFY(QFile::copy(m_dir.filePath("landscape.jpg"), upper) && QFile::copy(upper, jpegPdf));
    QCOMPARE(paintTile(upper, QStyle::State_Enabled, Kind::Jpeg).copy(pictureArea),
             paintTile(m_dir.filePath("landscape.jpg")).copy(pictureArea));
    QCOMPARE(paintTile(jpegPdf, QStyle::State_Enabled, Kind::Pdf).copy(pictureArea),
             paintTile(m_dir.filePath("20240101120000123.pdf")).copy(pictureArea));
}

void TestPicItemDelegate::missingFileLeavesTheTileUntouched()
{
    const QImage tile = paintTile(m_dir.filePath("gone.jpg"), QStyle::State_Selected | QStyle::State_MouseOver);
    QImage blank(164, 164, QImage::Format_RGB32);
    blank.fill(kBackground);
    QCOMPARE(tile, blank);
}

void TestPicItemDelegate::unreadableFilesGiveCardAndNameOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("not a JPEG") << "garbage.jpg";
    QTest::newRow("truncated JPEG") << "truncated.jpg";
    QTest::newRow("empty file") << "empty.jpg";
    QTest::newRow("bad bitmap") << "bad.bmp";
    QTest::newRow("a folder named like a JPEG") << "folder.jpg";
}

void TestPicItemDelegate::unreadableFilesGiveCardAndNameOnly()
{
    QFETCH(QString, name);
    const QImage tile = paintTile(m_dir.filePath(name));
    // The whole picture area is white card.
    for (int y = 40; y < 118; y += 6)
        for (int x = 40; x < 120; x += 6)
            QCOMPARE(tile.pixel(x, y), qRgb(255, 255, 255));
    QCOMPARE(tile.pixel(2, 2), kBackground);
    // The name is written inside the name box (top 123, 25 high) in #526A7F:
    // antialiased over white that gives greys with more blue than red.
    int nameish = 0;
    for (int y = 123; y < 148; ++y)
        for (int x = 10; x < 154; ++x) {
            const QRgb p = tile.pixel(x, y);
            nameish += (qRed(p) < 230 && qBlue(p) > qRed(p) + 8 && qGreen(p) > qRed(p)) ? 1 : 0;
        }
    QVERIFY2(nameish > 40, qPrintable(QString("name pixels: %1").arg(nameish)));
    // Nothing is written below the box or above the picture area.
    for (int x = 30; x < 134; x += 4) { // clear of the rounded corners
        QCOMPARE(tile.pixel(x, 150), qRgb(255, 255, 255));
        QCOMPARE(tile.pixel(x, 20), qRgb(255, 255, 255));
    }
}

void TestPicItemDelegate::washes_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("cardValue");
    QTest::newRow("plain") << int(QStyle::State_Enabled) << 255;
    QTest::newRow("hover") << int(QStyle::State_MouseOver) << 250;
    QTest::newRow("selected") << int(QStyle::State_Selected) << 204;
    QTest::newRow("selected wins over hover") << int(QStyle::State_Selected | QStyle::State_MouseOver) << 204;
}

void TestPicItemDelegate::washes()
{
    QFETCH(int, state);
    QFETCH(int, cardValue);
    const QImage tile = paintTile(m_dir.filePath("garbage.jpg"), QStyle::State(state));
    const QRgb card = tile.pixel(80, 80);
    QVERIFY2(qAbs(qRed(card) - cardValue) <= 1 && qRed(card) == qGreen(card) && qGreen(card) == qBlue(card),
             qPrintable(QString("card pixel %1").arg(qRed(card))));
    QCOMPARE(tile.pixel(2, 2), kBackground);
}

void TestPicItemDelegate::painterStateIsRestored_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing file") << "gone.jpg";
    QTest::newRow("JPEG") << "portrait.jpg";
    QTest::newRow("undecodable") << "garbage.jpg";
    QTest::newRow("other type") << "notes.txt";
}

void TestPicItemDelegate::painterStateIsRestored()
{
    QFETCH(QString, name);
    if (name == "notes.txt") {
        QFile f(m_dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    QImage canvas(400, 400, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&canvas);
    painter.setPen(QPen(Qt::green, 3, Qt::DashLine));
    painter.setBrush(QBrush(Qt::yellow, Qt::Dense3Pattern));
    painter.setFont(QFont("DejaVu Serif", 21, QFont::Bold, true));
    painter.setRenderHints(QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setTransform(QTransform::fromTranslate(13, 7).scale(1.5, 1.25));
    painter.setOpacity(0.75);
    const PainterState before(painter);

    QStyleOptionViewItem option;
    option.rect = QRect(0, 164, 164, 164);
    option.state = QStyle::State_Selected;
    m_delegate.paint(&painter, option, indexFor(m_dir.filePath(name)));
    QVERIFY(PainterState(painter) == before);
    painter.end();
}

void TestPicItemDelegate::invalidIndexDrawsNothing()
{
    QImage canvas(164, 164, QImage::Format_RGB32);
    canvas.fill(kBackground);
    const QImage blank = canvas;
    QPainter painter(&canvas);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 164, 164);
    m_delegate.paint(&painter, option, QModelIndex());
    painter.end();
    QCOMPARE(canvas, blank);
}

QTEST_MAIN(TestPicItemDelegate)
#include "testpicitemdelegate.moc"
