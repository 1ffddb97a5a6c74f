// PDFs whose pages carry the scans' own JPEG bytes, read back by poppler and
// qpdf: which JPEGs qualify, whole-or-nothing writing, the window's scan and merge.
#include "core/pagemerge.h"
#include "core/stylenoisefilter.h"
#include "pdf/jpegheader.h"
#include "tests/shared/failingfileops.h"
#include "tests/shared/emulatedskip.h"
#include "tests/shared/mainwindowfixture.h"

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

// A page as a scan records it, its JPEG in `path`.
StoredPages::Page storedPage(const QString &path, const QByteArray &jpeg)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size())
        qFatal("cannot write %s", qPrintable(path));
    return StoredPages::Page{path, path};
}

QByteArray qtJpeg(QImage::Format format, bool progressive)
{
    QImage picture(120, 80, format);
    picture.fill(Qt::white); // bare paper
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
    std::vector<unsigned char> cmyk(size_t(120) * 80 * 4, 255);
    tjhandle handle = tjInitCompress();
    unsigned char *out = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, cmyk.data(), 120, 0, 80, TJPF_CMYK, &out, &size, TJSAMP_444, 90, 0);
    const QByteArray bytes(reinterpret_cast<const char *>(out), int(size));
    tjFree(out);
    tjDestroy(handle);
    return bytes;
}

// One byte of the baseline frame header changed.
QByteArray patched(QByteArray jpeg, int offsetFromFrame, char value)
{
    jpeg[jpeg.indexOf("\xFF\xC0") + offsetFromFrame] = value;
    return jpeg;
}

struct PdfImage
{
    QString colour;   // gray, rgb, cmyk
    QString encoding; // jpeg for DCT bytes, image for raw pixels
    QByteArray bytes; // a JPEG's bytes as stored in the file
};

// The images of a PDF as poppler's pdfimages lists and extracts them.
QList<PdfImage> imagesOf(const QString &pdf)
{
    QProcess list;
    list.start("pdfimages", {"-list", pdf});
    QTemporaryDir out;
    if (!list.waitForFinished() || list.exitCode() != 0
        || QProcess::execute("pdfimages", {"-j", pdf, out.filePath("im")}) != 0)
        return {};
    const QStringList files = QDir(out.path()).entryList(QDir::Files, QDir::Name);
    QList<PdfImage> images;
    for (const QByteArray &line : list.readAllStandardOutput().split('\n').mid(2)) {
        const QList<QByteArray> cells = line.simplified().split(' ');
        if (cells.size() >= 10)
            images << PdfImage{cells[5], cells[8], fileBytes(out.filePath(files.value(images.size())))};
    }
    return images;
}

} // namespace

class TestPdfPages : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        StyleNoiseFilter::install();
        QVERIFY(m_dir.isValid());
        if (QStandardPaths::findExecutable("pdfimages").isEmpty())
            QSKIP("pdfimages (poppler-utils) is not installed");
    }

    void headerRefusesWhatReadersMayNotShow_data()
    {
        // What qualifies is shown by the merge below; these must go in as pixels.
        QTest::addColumn<QByteArray>("jpeg");
        const QByteArray rgb = qtJpeg(QImage::Format_RGB32, false);
        QTest::newRow("lossless") << patched(rgb, 1, char(0xC3));
        QTest::newRow("12-bit") << patched(rgb, 4, 12);
        QTest::newRow("no height") << patched(patched(rgb, 5, 0), 6, 0);
        QTest::newRow("cut short") << rgb.left(rgb.size() - 40);
        QTest::newRow("not a JPEG") << QByteArray("\x89PNG\r\n\x1a\n");
    }

    void headerRefusesWhatReadersMayNotShow()
    {
        QFETCH(QByteArray, jpeg);
        const auto *bytes = reinterpret_cast<const unsigned char *>(jpeg.constData());
        QVERIFY(!readJpegHeader(bytes, size_t(jpeg.size())).embeddable);
    }

    void mergedPagesCarryTheirJpegs_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("encoding");
        QTest::newRow("colour") << qtJpeg(QImage::Format_RGB32, false) << "rgb" << "jpeg";
        QTest::newRow("grey") << qtJpeg(QImage::Format_Grayscale8, false) << "gray" << "jpeg";
        QTest::newRow("progressive") << qtJpeg(QImage::Format_RGB32, true) << "rgb" << "jpeg";
        QTest::newRow("cmyk") << cmykJpeg() << "cmyk" << "jpeg";
        QTest::newRow("falls back to pixels") << qtJpeg(QImage::Format_RGB32, false) + QByteArray("trailer") << "rgb"
                                              << "image";
    }

    void mergedPagesCarryTheirJpegs()
    {
        QUILLO_SKIP_WHEN_EMULATED(); // pdfimages and qpdf read the file
        QFETCH(QByteArray, jpeg);
        QFETCH(QString, colour);
        QFETCH(QString, encoding);
        const QString pdf = m_dir.filePath(QString("%1.pdf").arg(QTest::currentDataTag()));
        const StoredPages::Page page = storedPage(m_dir.filePath(QString("%1.jpg").arg(QTest::currentDataTag())), jpeg);
        QCOMPARE(mergeJpegPagesAsIs({page}, pdf).pagesWritten, 1);
        QCOMPARE(QProcess::execute("qpdf", {"--check", pdf}), 0);

        const QList<PdfImage> images = imagesOf(pdf);
        QCOMPARE(images.size(), 1);
        QCOMPARE(images[0].colour, colour);
        QCOMPARE(images[0].encoding, encoding);
        if (encoding == "jpeg")
            QCOMPARE(images[0].bytes, jpeg);
        std::unique_ptr<Poppler::Document> doc(Poppler::Document::load(pdf));
        QVERIFY(doc && doc->numPages() == 1);
        std::unique_ptr<Poppler::Page> shown(doc->page(0));
        QCOMPARE(shown->pageSizeF(), QSizeF(120, 80));
        // Every picture here is white paper, CMYK (stored inverted) included.
        const QImage rendered = shown->renderToImage(72, 72);
        QVERIFY2(qGray(rendered.pixel(2, 2)) > 200, qPrintable(QString::number(qGray(rendered.pixel(2, 2)))));
    }

    void jpegMergeIsWholeOrNothing_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("missingPage");
        QTest::newRow("second page gone") << int(FailingFileOps::None) << true;
        QTest::newRow("disk full half-way") << int(FailingFileOps::DiskFullAt) << false;
        QTest::newRow("flush at the end fails") << int(FailingFileOps::FsyncFails) << false;
    }

    void jpegMergeIsWholeOrNothing()
    {
        QFETCH(int, fault);
        QFETCH(bool, missingPage);
        QTemporaryDir folder;
        const QByteArray page = qtJpeg(QImage::Format_RGB32, false);
        QList<StoredPages::Page> pages;
        for (int i = 0; i < 3; ++i)
            pages << storedPage(folder.filePath(QString("page%1.jpg").arg(i)), page);
        if (missingPage)
            QFile::remove(pages[1].pagePath);
        FailingFileOps ops;
        ops.fault = FailingFileOps::Fault(fault);
        ops.fullAt = page.size() + 500;

        QString pdf;
        const MergeResult result = CaptureSession::mergePages(pages, folder.path(), &pdf, ops, true);
        QCOMPARE(result.pagesWritten, 0);
        QVERIFY(result.message(pdf).contains(QStringLiteral("未生成PDF文件")));
        // Neither a shorter PDF nor a hidden leftover.
        QCOMPARE(QDir(folder.path()).entryList({"*.pdf", ".*"}, QDir::Files | QDir::Hidden), QStringList());
    }

    void windowScansAndMergesInListOrder()
    {
        QUILLO_SKIP_WHEN_EMULATED(); // pdfimages reads the files
        QTemporaryDir folder;
        {
            QSettings settings(QDir::home().filePath("NorLastSetting.ini"), QSettings::IniFormat);
            const QStringList keys{"FilePath", folder.path(), "DevName", "0", "XResolution", "640",
                                   "YResolution", "480", "FileFormat", "1", "PdfImages", "1"};
            for (int i = 0; i < keys.size(); i += 2)
                settings.setValue("Settings/" + keys[i], keys[i + 1]);
        }
        std::unique_ptr<CamMainWindow> window = makeMainWindowWithSimulatedCamera();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        for (int i = 0; i < 3; ++i) {
            QTest::qSleep(2); // a new millisecond, a new name
            invoke(*window, "slotScanBtnClicked");
            window->session().waitForSaves();
        }
        // Each scan's PDF page is the scan's JPEG itself.
        for (const StoredPages::Page &page : window->session().pages().all())
            QCOMPARE(imagesOf(page.shownPath).value(0).bytes, fileBytes(page.pagePath));

        // Out of the names' order, as a tile moved in the list leaves them.
        QStringList expected = window->session().pagePaths();
        QVERIFY(window->session().pages().move(2, 1));
        expected.move(2, 1);
        invoke(*window, "slotMergeBtnCliecked");
        QStringList merged = QDir(folder.path()).entryList({"*.pdf"});
        for (const QString &scan : window->session().shownPaths())
            merged.removeAll(QFileInfo(scan).fileName());
        QCOMPARE(merged.size(), 1);
        const QList<PdfImage> images = imagesOf(folder.filePath(merged.first()));
        // Only the scans' own JPEGs, in the list's order; the size is the benchmark's.
        QCOMPARE(images.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(images[i].bytes, fileBytes(expected[i]));
        QVERIFY(!errorBox(*window));
    }
};

QTEST_MAIN(TestPdfPages)
#include "testpdfpages.moc"
