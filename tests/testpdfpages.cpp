// PDFs whose pages carry the scans' own JPEG bytes: which JPEGs qualify, the
// merged file read back by poppler (pdfimages, pdftoppm-free rendering by
// poppler-qt5), whole-or-nothing writing, and the window's scan and merge.
#include "core/pagemerge.h"
#include "core/stylenoisefilter.h"
#include "pdf/jpegheader.h"
#include "tests/failingfileops.h"
#include "tests/mainwindowfixture.h"

#include <poppler-qt5.h>
#include <turbojpeg.h>

#include <QImageWriter>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray qtJpeg(QImage::Format format, bool progressive)
{
    QImage picture(120, 80, format);
    picture.fill(Qt::white);
    for (int y = 20; y < 60; ++y)
        for (int x = 10; x < 110; x += 7)
            picture.setPixelColor(x, y, Qt::black);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(progressive);
    writer.write(picture);
    return bytes;
}

// Adobe's convention: every ink stored inverted, so 255 everywhere is bare paper.
QByteArray cmykJpeg()
{
    std::vector<unsigned char> cmyk(size_t(64) * 48 * 4, 255);
    tjhandle handle = tjInitCompress();
    unsigned char *out = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, cmyk.data(), 64, 0, 48, TJPF_CMYK, &out, &size, TJSAMP_444, 90, 0);
    const QByteArray bytes(reinterpret_cast<const char *>(out), int(size));
    tjFree(out);
    tjDestroy(handle);
    return bytes;
}

// The frame header's marker byte, its sample precision, or the last byte.
QByteArray patched(QByteArray jpeg, int offsetFromFrame, char value)
{
    const int frame = jpeg.indexOf("\xFF\xC0");
    if (offsetFromFrame < 0)
        jpeg[jpeg.size() - 1] = value;
    else
        jpeg[frame + offsetFromFrame] = value;
    return jpeg;
}

struct PdfImage
{
    int page = 0;
    QString colour;   // gray, rgb, cmyk
    QString encoding; // jpeg for DCT bytes, image for raw pixels
    QByteArray bytes; // a JPEG's bytes as stored in the file
};

// The images of a PDF as poppler's pdfimages lists and extracts them.
QList<PdfImage> imagesOf(const QString &pdf)
{
    QList<PdfImage> images;
    QProcess list;
    list.start("pdfimages", {"-list", pdf});
    if (!list.waitForFinished() || list.exitCode() != 0)
        return images;
    QTemporaryDir out;
    if (QProcess::execute("pdfimages", {"-j", pdf, out.filePath("im")}) != 0)
        return images;
    const QStringList files = QDir(out.path()).entryList(QDir::Files, QDir::Name);
    const QList<QByteArray> lines = list.readAllStandardOutput().split('\n');
    for (int i = 2; i < lines.size(); ++i) {
        const QList<QByteArray> cells = lines[i].simplified().split(' ');
        if (cells.size() < 10)
            continue;
        PdfImage image;
        image.page = cells[0].toInt();
        image.colour = cells[5];
        image.encoding = cells[8];
        if (images.size() < files.size())
            image.bytes = fileBytes(out.filePath(files[images.size()]));
        images << image;
    }
    return images;
}

bool qpdfAccepts(const QString &pdf)
{
    if (QStandardPaths::findExecutable("qpdf").isEmpty())
        return true; // poppler's reading is the check then
    return QProcess::execute("qpdf", {"--check", pdf}) == 0;
}

} // namespace

class TestPdfPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void headerDecidesWhatIsEmbedded_data();
    void headerDecidesWhatIsEmbedded();
    void mergedPagesCarryTheirJpegs_data();
    void mergedPagesCarryTheirJpegs();
    void jpegMergeIsWholeOrNothing_data();
    void jpegMergeIsWholeOrNothing();
    void windowScansAndMergesInListOrder();

private:
    QTemporaryDir m_dir;
};

void TestPdfPages::initTestCase()
{
    StyleNoiseFilter::install();
    QVERIFY(m_dir.isValid());
    if (QStandardPaths::findExecutable("pdfimages").isEmpty())
        QSKIP("pdfimages (poppler-utils) is not installed");
}

void TestPdfPages::headerDecidesWhatIsEmbedded_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    QTest::addColumn<bool>("embeddable");
    QTest::addColumn<int>("components");
    const QByteArray rgb = qtJpeg(QImage::Format_RGB32, false);
    QTest::newRow("baseline colour") << rgb << true << 3;
    QTest::newRow("grey") << qtJpeg(QImage::Format_Grayscale8, false) << true << 1;
    QTest::newRow("progressive") << qtJpeg(QImage::Format_RGB32, true) << true << 3;
    QTest::newRow("cmyk") << cmykJpeg() << true << 4;
    QTest::newRow("lossless") << patched(rgb, 1, char(0xC3)) << false << 3;
    QTest::newRow("arithmetic") << patched(rgb, 1, char(0xC9)) << false << 3;
    QTest::newRow("12-bit") << patched(rgb, 4, 12) << false << 3;
    QTest::newRow("no height") << patched(patched(rgb, 5, 0), 6, 0) << false << 3;
    QTest::newRow("cut short") << rgb.left(rgb.size() - 40) << false << 3;
    QTest::newRow("bytes after the end") << rgb + QByteArray("trailer") << false << 0;
    QTest::newRow("not a JPEG") << QByteArray("\x89PNG\r\n\x1a\n") << false << 0;
}

void TestPdfPages::headerDecidesWhatIsEmbedded()
{
    QFETCH(QByteArray, jpeg);
    QFETCH(bool, embeddable);
    QFETCH(int, components);
    const JpegHeader header = readJpegHeader(reinterpret_cast<const unsigned char *>(jpeg.constData()),
                                             size_t(jpeg.size()));
    QVERIFY2(header.embeddable == embeddable, header.why.c_str());
    if (embeddable)
        QCOMPARE(header.components, components);
}

void TestPdfPages::mergedPagesCarryTheirJpegs_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QSizeF>("size");
    QTest::newRow("colour") << qtJpeg(QImage::Format_RGB32, false) << "rgb" << "jpeg" << QSizeF(120, 80);
    QTest::newRow("grey") << qtJpeg(QImage::Format_Grayscale8, false) << "gray" << "jpeg" << QSizeF(120, 80);
    QTest::newRow("progressive") << qtJpeg(QImage::Format_RGB32, true) << "rgb" << "jpeg" << QSizeF(120, 80);
    QTest::newRow("cmyk") << cmykJpeg() << "cmyk" << "jpeg" << QSizeF(64, 48);
    QTest::newRow("falls back to pixels") << qtJpeg(QImage::Format_RGB32, false) + QByteArray("trailer") << "rgb"
                                          << "image" << QSizeF(120, 80);
}

void TestPdfPages::mergedPagesCarryTheirJpegs()
{
    QFETCH(QByteArray, jpeg);
    QFETCH(QString, colour);
    QFETCH(QString, encoding);
    QFETCH(QSizeF, size);
    // The page under test between two plain pages: order and neighbours hold.
    const QByteArray plain = qtJpeg(QImage::Format_RGB32, false);
    QList<StoredPages::Page> pages;
    const QByteArray contents[] = {plain, jpeg, plain};
    for (int i = 0; i < 3; ++i) {
        const QString path = m_dir.filePath(QString("%1-%2.jpg").arg(QTest::currentDataTag()).arg(i));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents[i]) == contents[i].size());
        pages << StoredPages::Page{path, path};
    }
    const QString pdf = m_dir.filePath(QString("%1.pdf").arg(QTest::currentDataTag()));
    QString written;
    const MergeResult result = mergeJpegPagesAsIs(pages, pdf, fileio::FileOps::system(), &written);
    QCOMPARE(result.pagesWritten, 3);
    QCOMPARE(written, pdf);
    QVERIFY(qpdfAccepts(pdf));

    const QList<PdfImage> images = imagesOf(pdf);
    QCOMPARE(images.size(), 3);
    QCOMPARE(images[1].page, 2);
    QCOMPARE(images[1].colour, colour);
    QCOMPARE(images[1].encoding, encoding);
    QCOMPARE(images[0].bytes, plain);
    QCOMPARE(images[2].bytes, plain);
    if (encoding == "jpeg")
        QCOMPARE(images[1].bytes, jpeg);

    std::unique_ptr<Poppler::Document> doc(Poppler::Document::load(pdf));
    QVERIFY(doc && doc->numPages() == 3);
    std::unique_ptr<Poppler::Page> page(doc->page(1));
    QCOMPARE(page->pageSizeF(), size);
    // Every picture above is mostly white paper, CMYK (stored inverted) included.
    const QImage shown = page->renderToImage(72, 72);
    QVERIFY2(qGray(shown.pixel(2, 2)) > 200, qPrintable(QString::number(qGray(shown.pixel(2, 2)))));
}

void TestPdfPages::jpegMergeIsWholeOrNothing_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("missingPage");
    QTest::newRow("second page gone") << int(FailingFileOps::None) << true;
    QTest::newRow("disk full half-way") << int(FailingFileOps::DiskFullAt) << false;
    QTest::newRow("flush at the end fails") << int(FailingFileOps::FsyncFails) << false;
}

void TestPdfPages::jpegMergeIsWholeOrNothing()
{
    QFETCH(int, fault);
    QFETCH(bool, missingPage);
    QTemporaryDir folder;
    const QByteArray page = qtJpeg(QImage::Format_RGB32, false);
    QList<StoredPages::Page> pages;
    for (int i = 0; i < 3; ++i) {
        const QString path = folder.filePath(QString("page%1.jpg").arg(i));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(page) == page.size());
        pages << StoredPages::Page{path, path};
    }
    if (missingPage)
        QFile::remove(pages[1].pagePath);
    FailingFileOps ops;
    ops.fault = FailingFileOps::Fault(fault);
    ops.fullAt = page.size() + 500;

    QString pdf;
    const MergeResult result = CaptureSession::mergePages(pages, folder.path(), &pdf, ops, true);
    QCOMPARE(result.pagesWanted, 3);
    QCOMPARE(result.pagesWritten, 0);
    QVERIFY(result.message(pdf).contains(QStringLiteral("未生成PDF文件")));
    // Neither a shorter PDF nor a hidden leftover.
    QCOMPARE(QDir(folder.path()).entryList({"*.pdf", ".*"}, QDir::Files | QDir::Hidden), QStringList());
}

void TestPdfPages::windowScansAndMergesInListOrder()
{
    QTemporaryDir folder;
    {
        QSettings settings(QDir::home().filePath("NorLastSetting.ini"), QSettings::IniFormat);
        settings.setValue("Settings/FilePath", folder.path());
        settings.setValue("Settings/DevName", "0");
        settings.setValue("Settings/XResolution", "640");
        settings.setValue("Settings/YResolution", "480");
        settings.setValue("Settings/FileFormat", "1");
        settings.setValue("Settings/PdfImages", "1");
    }
    std::unique_ptr<CamMainWindow> window = makeMainWindowWithSimulatedCamera();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    WindowParts w = parts(*window);

    // A PDF scan: its page is the scan's JPEG itself.
    invoke(*window, "slotScanBtnClicked");
    window->session().waitForSaves();
    const StoredPages::Page scanned = window->session().pages().at(0);
    const QList<PdfImage> scanImages = imagesOf(scanned.shownPath);
    QCOMPARE(scanImages.size(), 1);
    QCOMPARE(scanImages[0].encoding, QString("jpeg"));
    QCOMPARE(scanImages[0].bytes, fileBytes(scanned.pagePath));

    for (int i = 0; i < 5; ++i) {
        QTest::qSleep(2); // a new millisecond, a new name
        invoke(*window, "slotScanBtnClicked");
        window->session().waitForSaves();
    }
    QStringList expected = window->session().pagePaths();
    QCOMPARE(expected.size(), 6);
    w.imgListView->selectionModel()->select(w.listViewProxyModel->index(5, 0), QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(window.get(), Qt::Key_Up, Qt::ControlModifier);
    expected.move(5, 4);
    QCOMPARE(window->session().pagePaths(), expected);

    const QStringList before = QDir(folder.path()).entryList({"*.pdf"});
    invoke(*window, "slotMergeBtnCliecked");
    QStringList merged = QDir(folder.path()).entryList({"*.pdf"});
    for (const QString &old : before)
        merged.removeAll(old);
    QCOMPARE(merged.size(), 1);
    const QString pdf = folder.filePath(merged.first());
    const QList<PdfImage> images = imagesOf(pdf);
    QCOMPARE(images.size(), 6);
    qint64 jpegBytes = 0;
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(images[i].bytes, fileBytes(expected[i]));
        jpegBytes += images[i].bytes.size();
    }
    QVERIFY(QFileInfo(pdf).size() <= jpegBytes + 6 * 2048);
    QVERIFY(!errorBox(*window));
}

QTEST_MAIN(TestPdfPages)
#include "testpdfpages.moc"
