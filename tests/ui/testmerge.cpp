// Merging the run's pages into one PDF, read back with poppler.
#include "tests/shared/failingfileops.h"
#include "tests/shared/mainwindowfixture.h"
#include "core/stylenoisefilter.h"

#include <poppler-qt5.h>

#include <QtTest>

#include <QTemporaryDir>

#include <unistd.h>

namespace {
// Whether the merge button was enabled at each page the merge wrote out.
QList<bool> g_buttonEnabledAtDecode;
bool (*g_buttonProbe)() = nullptr;

// The real file calls, noting the merge button's state at each file begun.
class ProbingFileOps : public FailingFileOps
{
public:
    int makeTemp(char *pathTemplate) override
    {
        g_buttonEnabledAtDecode << (g_buttonProbe ? g_buttonProbe() : true);
        return FailingFileOps::makeTemp(pathTemplate);
    }
};

bool writeJpeg(const QString &path, int width, int height, QRgb colour)
{
    QImage page(width, height, QImage::Format_RGB888);
    page.fill(colour);
    return page.save(path, "JPG", 85);
}

struct PdfPages {
    bool loaded = false;
    QList<QSizeF> sizes;
};

PdfPages readPdf(const QString &path)
{
    PdfPages out;
    std::unique_ptr<Poppler::Document> doc(Poppler::Document::load(path));
    if (!doc || doc->isLocked())
        return out;
    out.loaded = true;
    for (int i = 0; i < doc->numPages(); ++i) {
        std::unique_ptr<Poppler::Page> page(doc->page(i));
        out.sizes << (page ? page->pageSizeF() : QSizeF());
    }
    return out;
}

// Captures what the process prints on standard output while alive.
class StdoutCapture
{
public:
    StdoutCapture()
    {
        fflush(stdout);
        m_file.open();
        m_saved = dup(STDOUT_FILENO);
        dup2(m_file.handle(), STDOUT_FILENO);
    }
    QString finish()
    {
        fflush(stdout);
        dup2(m_saved, STDOUT_FILENO);
        close(m_saved);
        m_file.seek(0);
        return QString::fromUtf8(m_file.readAll());
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};
} // namespace

class TestMerge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void mergesJpegEntriesInListOrder();
    void emptyListWritesNothing();
    void missingJpegStopsTheMergeKeepingEarlierPages();
    void undecodableJpegStopsTheMerge();
    void longPathsWork();
    void missingFolderStopsAtTheFirstPage();
    void windowMergesTheRunsScans();
    void windowShowsAMergeThatStopped();

private:
    QStringList pdfsIn(const QString &dir) const;
    QString runMerge(const QStringList &paths, const QStringList &notJpeg = {});
    void scanPages(int count);

    static bool buttonEnabled();

    std::unique_ptr<CamMainWindow> m_window;
    ProbingFileOps m_ops;
    QString m_pdfPath;
    QTemporaryDir m_pages;
    QTemporaryDir m_out;
    QString m_a, m_b, m_c, m_png, m_upper;
};

bool TestMerge::buttonEnabled()
{
    return g_Camself && parts(*g_Camself).MergePDFBtn->isEnabled();
}

void TestMerge::initTestCase()
{
    StyleNoiseFilter::install();
    m_window = makeMainWindowWithSimulatedCamera();
    g_buttonProbe = &TestMerge::buttonEnabled;

    QVERIFY(m_pages.isValid() && m_out.isValid());
    m_a = m_pages.filePath("20240101120000001.jpg");
    m_b = m_pages.filePath("20240101120000002.jpg");
    m_c = m_pages.filePath("20240101120000003.jpg");
    m_png = m_pages.filePath("20240101120000004.png");
    m_upper = m_pages.filePath("20240101120000005.JPG");
    QVERIFY(writeJpeg(m_upper, 150, 100, qRgb(90, 90, 0)));
    QVERIFY(writeJpeg(m_a, 320, 240, qRgb(200, 0, 0)));
    QVERIFY(writeJpeg(m_b, 200, 300, qRgb(0, 200, 0)));
    QVERIFY(writeJpeg(m_c, 256, 128, qRgb(0, 0, 200)));
    QImage png(50, 60, QImage::Format_RGB32);
    png.fill(Qt::gray);
    QVERIFY(png.save(m_png, "PNG"));
}

void TestMerge::init()
{
    for (const QString &f : pdfsIn(m_out.path()))
        QFile::remove(m_out.filePath(f));
    g_buttonEnabledAtDecode.clear();
    m_pdfPath = m_out.path();
    m_ops.fault = FailingFileOps::None;
    parts(*m_window).MergePDFBtn->setEnabled(true);
}

void TestMerge::cleanupTestCase()
{
    g_buttonProbe = nullptr;
    m_window.reset();
}

QStringList TestMerge::pdfsIn(const QString &dir) const
{
    return QDir(dir).entryList(QStringList{"*.pdf"}, QDir::Files);
}

// Merges pages as the scan records them: each a JPEG page unless in `notJpeg`.
QString TestMerge::runMerge(const QStringList &paths, const QStringList &notJpeg)
{
    QList<StoredPages::Page> pages;
    for (const QString &path : paths)
        pages << StoredPages::Page{path, path, false, !notJpeg.contains(path)};
    StdoutCapture capture;
    const MergeResult result = CaptureSession::mergePages(pages, m_pdfPath, nullptr, m_ops);
    Q_UNUSED(result);
    return capture.finish();
}

void TestMerge::scanPages(int count)
{
    for (int i = 0; i < count; ++i) {
        invoke(*m_window, "slotScanBtnClicked");
        m_window->session().waitForSaves();
        QTest::qSleep(2); // a new millisecond, a new name
    }
}

void TestMerge::mergesJpegEntriesInListOrder()
{
    // Not in the order of the files' names: list order rules. What the scan
    // recorded rules, not names: the png is passed over, the upper-case JPG merged.
    const QString printed = runMerge({m_b, m_png, m_upper, m_c, m_a}, {m_png});

    const QStringList written = pdfsIn(m_out.path());
    QCOMPARE(written.size(), 1);
    QVERIFY2(QRegularExpression("^\\d{17}\\.pdf$").match(written.first()).hasMatch(), qPrintable(written.first()));
    const PdfPages pdf = readPdf(m_out.filePath(written.first()));
    QVERIFY(pdf.loaded);
    QCOMPARE(pdf.sizes,
             (QList<QSizeF>{QSizeF(200, 300), QSizeF(150, 100), QSizeF(256, 128), QSizeF(320, 240)}));

    const QString expected = QString("pdf is %1,size is 5\n"
                                     "jpgPath is %2\n"
                                     "Cam_readBufFromJpeg width is 200,height is 300\n"
                                     "jpgPath is %3\n"
                                     "jpgPath is %4\n"
                                     "Cam_readBufFromJpeg width is 150,height is 100\n"
                                     "jpgPath is %5\n"
                                     "Cam_readBufFromJpeg width is 256,height is 128\n"
                                     "jpgPath is %6\n"
                                     "Cam_readBufFromJpeg width is 320,height is 240\n")
                                 .arg(m_out.filePath(written.first()), m_b, m_png, m_upper, m_c, m_a);
    QVERIFY2(printed.contains(expected), qPrintable(printed));

    QCOMPARE(g_buttonEnabledAtDecode.size(), 4);
}

void TestMerge::emptyListWritesNothing()
{
    const QString printed = runMerge(QStringList());
    QVERIFY(pdfsIn(m_out.path()).isEmpty());
    QVERIFY2(printed.contains(QRegularExpression("pdf is .*/\\d{17}\\.pdf,size is 0\n")), qPrintable(printed));
    QVERIFY(parts(*m_window).MergePDFBtn->isEnabled());

    // Pages without a JPEG page image write nothing either, whatever their names.
    runMerge({m_png, m_a}, {m_png, m_a});
    QVERIFY(pdfsIn(m_out.path()).isEmpty());
    QVERIFY(g_buttonEnabledAtDecode.isEmpty());
}

void TestMerge::missingJpegStopsTheMergeKeepingEarlierPages()
{
    const QString removed = m_pages.filePath("removed.jpg");
    QVERIFY(writeJpeg(removed, 100, 100, qRgb(9, 9, 9)));
    QVERIFY(QFile::remove(removed));
    const QString printed = runMerge(QStringList{m_a, m_c, removed, m_b});

    const QStringList written = pdfsIn(m_out.path());
    QCOMPARE(written.size(), 1);
    const PdfPages pdf = readPdf(m_out.filePath(written.first()));
    QVERIFY(pdf.loaded);
    QCOMPARE(pdf.sizes, (QList<QSizeF>{QSizeF(320, 240), QSizeF(256, 128)}));
    QVERIFY2(printed.contains(QString("jpgPath is %1\nCam_readBufFromJpeg width is 0,height is 0\n").arg(removed)),
             qPrintable(printed));
    QVERIFY(!printed.contains(QString("jpgPath is %1\n").arg(m_b)));
    QVERIFY(parts(*m_window).MergePDFBtn->isEnabled());
}

void TestMerge::undecodableJpegStopsTheMerge()
{
    const QString garbage = m_pages.filePath("garbage.jpg");
    QFile f(garbage);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1000, 'g'));
    f.close();
    runMerge(QStringList{garbage, m_a});
    // First entry already fails: nothing written.
    QVERIFY(pdfsIn(m_out.path()).isEmpty());
    QVERIFY(parts(*m_window).MergePDFBtn->isEnabled());
}

void TestMerge::longPathsWork()
{
    // Folders of 60-character names until both paths pass 300 bytes.
    QString pageDir = m_pages.path();
    QString outDir = m_out.path();
    while (pageDir.toUtf8().size() < 320) {
        pageDir += "/" + QString(60, QChar('p'));
        outDir += "/" + QString(60, QChar('o'));
    }
    QVERIFY(QDir().mkpath(pageDir) && QDir().mkpath(outDir));
    const QString longPage = pageDir + QString::fromUtf8("/页面-20240101120000009.jpg");
    QVERIFY(longPage.toUtf8().size() > 300);
    QVERIFY(writeJpeg(longPage, 123, 77, qRgb(1, 2, 3)));

    m_pdfPath = outDir;
    const QString printed = runMerge(QStringList{longPage, m_a});
    const QStringList written = pdfsIn(outDir);
    QCOMPARE(written.size(), 1);
    const PdfPages pdf = readPdf(outDir + "/" + written.first());
    QVERIFY(pdf.loaded);
    QCOMPARE(pdf.sizes, (QList<QSizeF>{QSizeF(123, 77), QSizeF(320, 240)}));
    QVERIFY(printed.contains(QString("jpgPath is %1\n").arg(longPage)));
}

void TestMerge::missingFolderStopsAtTheFirstPage()
{
    const QString nowhere = m_out.filePath("not-created/either");
    m_pdfPath = nowhere;
    const QString printed = runMerge(QStringList{m_a, m_b});
    // The first page could not be written: the merge stops there and says so.
    QCOMPARE(g_buttonEnabledAtDecode.size(), 1);
    QVERIFY(!QFileInfo::exists(nowhere));
    QVERIFY(pdfsIn(m_out.path()).isEmpty());
    QVERIFY(printed.contains("Cam_readBufFromJpeg width is 320,height is 240\n"));
    QVERIFY(!printed.contains("Cam_readBufFromJpeg width is 200,height is 300\n"));
}

void TestMerge::windowMergesTheRunsScans()
{
    const QStringList before = pdfsIn(QDir::homePath());
    scanPages(2);
    QCOMPARE(m_window->session().pagePaths().size(), 2);
    m_window->session().setFileOps(&m_ops);
    invoke(*m_window, "slotMergeBtnCliecked");
    m_window->session().setFileOps(&fileio::FileOps::system());

    // Disabled while it ran, usable again afterwards.
    QCOMPARE(g_buttonEnabledAtDecode, (QList<bool>{false, false}));
    QVERIFY(parts(*m_window).MergePDFBtn->isEnabled());
    QStringList written = pdfsIn(QDir::homePath());
    for (const QString &old : before)
        written.removeAll(old);
    QCOMPARE(written.size(), 1);
    const PdfPages pdf = readPdf(QDir::home().filePath(written.first()));
    QVERIFY(pdf.loaded);
    QCOMPARE(pdf.sizes.size(), 2);
    QVERIFY(!errorBox(*m_window));
}

void TestMerge::windowShowsAMergeThatStopped()
{
    scanPages(1);
    const int pages = m_window->session().pagePaths().size();
    m_ops.fault = FailingFileOps::CreateFails;
    m_ops.faultyFile = m_ops.filesCreated;
    m_window->session().setFileOps(&m_ops);
    invoke(*m_window, "slotMergeBtnCliecked");
    m_window->session().setFileOps(&fileio::FileOps::system());

    QVERIFY(parts(*m_window).MergePDFBtn->isEnabled());
    QMessageBox *box = errorBox(*m_window);
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QStringLiteral("错误"));
    QVERIFY2(box->text().contains(QStringLiteral("共 %1 页").arg(pages)), qPrintable(box->text()));
    box->close();
}

QTEST_MAIN(TestMerge)
#include "testmerge.moc"
