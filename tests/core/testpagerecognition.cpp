// A stored page's PDF gets its text after the scan, only while the page is
// listed; a close or missing language data leave valid PDFs without text.
#include "bench/textpage.h"
#include "pdf/jpegpage.h"
#include "core/pagerecognition.h"
#include "pdf/streamedpdf.h"

#include <poppler-qt5.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString kEnglish = QStringLiteral("Quillo keeps every page");
const QString kChinese = QStringLiteral("文字识别中文和英文");

// A page of two printed lines, as a scan's JPEG.
QByteArray printedPage()
{
    const QImage page = textpage::draw(QSize(1000, 400), {kEnglish, kChinese},
                                       textpage::fontOf(QStringLiteral("WenQuanYi Micro Hei"), 44), {})
                            .rgb;
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    page.save(&buffer, "JPG", 92);
    return jpeg;
}

// The PDF a scan writes before any text is known.
bool writeScanPdf(const QString &pdfPath, const QByteArray &jpeg)
{
    StreamedPdf pdf(QFile::encodeName(pdfPath).toStdString());
    return pdf.open() && jpegpage::add(pdf, jpeg, pdfPath) == jpegpage::Added::AsJpeg && pdf.finish();
}

QString pdfText(const QString &path)
{
    std::unique_ptr<Poppler::Document> document(Poppler::Document::load(path));
    if (!document || document->isLocked() || document->numPages() != 1)
        return QStringLiteral("<not a one-page PDF>");
    std::unique_ptr<Poppler::Page> page(document->page(0));
    return page->text(QRectF()).remove(QRegularExpression(QStringLiteral("\\s")));
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestPageRecognition : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pdfGetsItsTextWhileListed_data();
    void pdfGetsItsTextWhileListed();
    void mergeWaitsForPagesBeingRead();
};

void TestPageRecognition::initTestCase()
{
    if (!qEnvironmentVariableIsEmpty("QUILLO_TEST_EMULATOR"))
        QSKIP("reading a page takes minutes under qemu-user; the native build checks it");
}

void TestPageRecognition::pdfGetsItsTextWhileListed_data()
{
    QTest::addColumn<bool>("jpegPages");
    QTest::addColumn<QString>("happening"); // what befalls the page meanwhile
    QTest::addColumn<bool>("textWritten");
    QTest::newRow("JPEG page, still listed") << true << "" << true;
    QTest::newRow("pixel page, still listed") << false << "" << true;
    QTest::newRow("deleted while read: stays deleted") << true << "deleted" << false;
    QTest::newRow("closed at once: dropped, PDF as it was") << true << "closed" << false;
    QTest::newRow("language data missing: said once, PDF as it was") << true << "no languages" << false;
}

void TestPageRecognition::pdfGetsItsTextWhileListed()
{
    QFETCH(bool, jpegPages);
    QFETCH(QString, happening);
    QFETCH(bool, textWritten);
    QTemporaryDir folder;
    QTemporaryDir noLanguages;
    if (happening == "no languages")
        qputenv("TESSDATA_PREFIX", QFile::encodeName(noLanguages.path()));
    const QByteArray jpeg = printedPage();
    const QString pagePath = folder.filePath("page.jpg");
    const QString pdfPath = folder.filePath("20261209120000123.pdf");
    QFile page(pagePath);
    QVERIFY(page.open(QIODevice::WriteOnly) && page.write(jpeg) == jpeg.size());
    page.close();
    QVERIFY(writeScanPdf(pdfPath, jpeg));
    const QByteArray before = bytesOf(pdfPath);

    StoredPages pages;
    StoredPages::Page stored;
    stored.shownPath = pdfPath;
    stored.pagePath = pagePath;
    stored.pdf = true;
    const quint64 key = pages.append(stored);
    auto recognition = std::make_unique<PageRecognition>(pages);
    QSignalSpy missing(recognition.get(), &PageRecognition::languagesMissing);
    recognition->add(key, pagePath, pdfPath, jpegPages);
    // A second scan of the same kind, to see that a missing box comes once.
    if (happening == "no languages")
        recognition->add(pages.append(stored), pagePath, QString(), jpegPages);
    if (happening == "deleted")
        QCOMPARE(pages.deleteFiles({0}), QStringList());
    if (happening == "closed")
        recognition->finish(0);
    else
        recognition->waitFor({pagePath}, {});
    recognition.reset();
    qunsetenv("TESSDATA_PREFIX");

    QCOMPARE(missing.count(), happening == "no languages" ? 1 : 0);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".pdf.")),
             QStringList()); // no temporary left
    if (happening == "deleted") {
        QVERIFY(!QFile::exists(pdfPath));
        return;
    }
    const QString text = pdfText(pdfPath);
    if (!textWritten) {
        QCOMPARE(bytesOf(pdfPath), before);
        return;
    }
    QVERIFY2(text.contains(QStringLiteral("Quillokeepseverypage")), qPrintable(text));
    QVERIFY2(text.contains(kChinese), qPrintable(text));
    QVERIFY2(text.indexOf(QStringLiteral("Quillo")) < text.indexOf(kChinese), qPrintable(text));
}

// The merge asks for the pages still being read and hears the count go up.
void TestPageRecognition::mergeWaitsForPagesBeingRead()
{
    QTemporaryDir folder;
    const QByteArray jpeg = printedPage();
    StoredPages pages;
    PageRecognition recognition(pages);
    QStringList paths;
    for (int i = 0; i < 2; ++i) {
        paths << folder.filePath(QStringLiteral("page%1.jpg").arg(i));
        QFile page(paths.last());
        QVERIFY(page.open(QIODevice::WriteOnly) && page.write(jpeg) == jpeg.size());
        recognition.add(0, paths.last(), QString(), true);
    }
    QList<QPair<int, int>> heard;
    recognition.waitFor(paths, [&](int done, int total) { heard << qMakePair(done, total); });
    QCOMPARE(heard, (QList<QPair<int, int>>{{0, 2}, {1, 2}, {2, 2}}));
    for (const QString &path : paths) {
        QVERIFY(!recognition.isPending(path));
        QVERIFY(recognition.textOf(path) && !recognition.textOf(path)->isEmpty());
    }
}

QTEST_MAIN(TestPageRecognition)
#include "testpagerecognition.moc"
