// The saving path under faults injected at its boundary: a disk that fills at
// byte N, a failing fsync, close or rename, a camera that fails, a page
// removed behind the program's back. Files are read back with poppler.
#include "fileio/atomicfile.h"
#include "tests/shared/mainwindowfixture.h"
#include "tests/shared/failingfileops.h"
#include "tests/shared/filesizelimit.h"
#include "thread/getscannerinfothread.h"
#include "pdf/hpdfoperation.h"
#include "tests/shared/modalanswerer.h"
#include "core/pagemerge.h"
#include "ui/picitemdata.h"
#include "core/stylenoisefilter.h"

#include <poppler-qt5.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>


namespace {

QStringList everything(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QList<QSizeF> pdfPages(const QString &path)
{
    QList<QSizeF> sizes;
    std::unique_ptr<Poppler::Document> doc(Poppler::Document::load(path));
    if (!doc)
        return sizes;
    for (int i = 0; i < doc->numPages(); ++i) {
        std::unique_ptr<Poppler::Page> page(doc->page(i));
        sizes << (page ? page->pageSizeF() : QSizeF());
    }
    return sizes;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(FailingFileOps::Fault)

class TestSavingFaults : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString freshDir(const QString &name)
    {
        const QString path = m_dir.filePath(name);
        QDir(path).removeRecursively();
        QDir().mkpath(path);
        return path;
    }

    static void writeSettings(const QString &folder)
    {
        QSettings ini(QDir::homePath() + "/NorLastSetting.ini", QSettings::IniFormat);
        ini.setValue("Settings/FilePath", folder);
        ini.setValue("Settings/DevName", "0");
        ini.setValue("Settings/XResolution", "640");
        ini.setValue("Settings/YResolution", "480");
        ini.setValue("Settings/FileFormat", "0");
    }

    static std::unique_ptr<CamMainWindow> makeWindow(const char *cameras)
    {
        qputenv("ORVIX_SIMULATED_CAMERAS", cameras);
        ModalAnswerer answerer;
        return std::unique_ptr<CamMainWindow>(new CamMainWindow(nullptr));
    }

private slots:
    void initTestCase()
    {
        StyleNoiseFilter::install();
        QVERIFY(m_dir.isValid());
    }

    // Nothing but a whole file ever carries the final name, the file that was
    // there stays, and no temporary file is left behind.
    void atomicFileUnderFaults_data()
    {
        QTest::addColumn<FailingFileOps::Fault>("fault");
        QTest::addColumn<int>("expectedErrno");
        QTest::newRow("no fault") << FailingFileOps::None << 0;
        QTest::newRow("disk full at byte 0") << FailingFileOps::DiskFullAt << ENOSPC;
        QTest::newRow("disk full at byte 70000") << FailingFileOps::DiskFullAt << ENOSPC;
        QTest::newRow("fsync fails") << FailingFileOps::FsyncFails << EIO;
        QTest::newRow("close fails") << FailingFileOps::CloseFails << ENOSPC;
        QTest::newRow("rename fails") << FailingFileOps::RenameFails << EXDEV;
        QTest::newRow("folder refuses new files") << FailingFileOps::CreateFails << EACCES;
    }
    void atomicFileUnderFaults()
    {
        QFETCH(FailingFileOps::Fault, fault);
        QFETCH(int, expectedErrno);
        const QString dir = freshDir("atomic");
        const QString path = dir + "/page.jpg";
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("the page written before") > 0);
        old.close();

        FailingFileOps ops;
        ops.fault = fault;
        ops.fullAt = QString(QTest::currentDataTag()).contains("70000") ? 70000 : 0;
        std::vector<char> bytes(200000, 'x');
        std::string error;
        int err = 0;
        const bool ok =
            fileio::AtomicFile::writeWhole(path.toStdString(), bytes.data(), bytes.size(), error, err, ops);

        QCOMPARE(ok, fault == FailingFileOps::None);
        QCOMPARE(err, expectedErrno);
        QCOMPARE(everything(dir), QStringList{"page.jpg"});
        if (ok) {
            QCOMPARE(readAll(path).size(), int(bytes.size()));
            QVERIFY(error.empty());
        } else {
            QCOMPARE(readAll(path), QByteArray("the page written before"));
            QVERIFY(!error.empty());
        }
    }

    // A failure on the third page keeps the two pages written, and the writer
    // refuses every later page instead of starting over in the same file.
    void pdfWriterKeepsPagesAndRefusesAfterAFailure_data()
    {
        QTest::addColumn<FailingFileOps::Fault>("fault");
        QTest::newRow("disk full in the image") << FailingFileOps::DiskFullAt;
        QTest::newRow("close fails on the trailer") << FailingFileOps::CloseFails;
        QTest::newRow("fsync fails") << FailingFileOps::FsyncFails;
    }
    void pdfWriterKeepsPagesAndRefusesAfterAFailure()
    {
        QFETCH(FailingFileOps::Fault, fault);
        const QString dir = freshDir("writer");
        const QByteArray dest = (dir + "/doc.pdf").toUtf8();
        FailingFileOps ops;
        ops.fault = fault;
        ops.faultyFile = 2;
        ops.fullAt = 1000;
        hpdfoperation writer(ops);
        std::vector<unsigned char> px(60 * 40 * 3, 128);
        QCOMPARE(writer.rgb2pdf(px.data(), 60, 40, dest.constData(), 0, 0), 0);
        QCOMPARE(writer.rgb2pdf(px.data(), 40, 60, dest.constData(), 0, 0), 0);
        QCOMPARE(writer.rgb2pdf(px.data(), 60, 40, dest.constData(), 0, 0), -12);
        QVERIFY(writer.lastErrno() != 0);
        QCOMPARE(writer.rgb2pdf(px.data(), 60, 40, dest.constData(), 0, 0), -12);
        QCOMPARE(ops.filesCreated, 3); // the refused page never touched the disk
        QCOMPARE(pdfPages(dest), (QList<QSizeF>{QSizeF(60, 40), QSizeF(40, 60)}));
        QCOMPARE(everything(dir), QStringList{"doc.pdf"});
    }

    // The merge stops at the first page it cannot read or write; the file
    // holds the pages before it, in order, and the message says how many.
    void mergeStopsAtTheFirstBadPage_data()
    {
        QTest::addColumn<int>("diskFullOnPage"); // 0: no disk fault
        QTest::addColumn<int>("removedPage");    // 0: none removed
        QTest::addColumn<int>("pagesKept");
        QTest::newRow("all eight") << 0 << 0 << 8;
        QTest::newRow("disk full on page 4") << 4 << 0 << 3;
        QTest::newRow("page 3 removed behind our back") << 0 << 3 << 2;
        QTest::newRow("disk full on page 1") << 1 << 0 << 0;
    }
    void mergeStopsAtTheFirstBadPage()
    {
        QFETCH(int, diskFullOnPage);
        QFETCH(int, removedPage);
        QFETCH(int, pagesKept);
        const QString pages = freshDir("pages");
        const QString out = freshDir("merged");
        QList<StoredPages::Page> entries;
        QList<QSizeF> sizes;
        for (int i = 1; i <= 8; ++i) {
            const QString path = QStringLiteral("%1/page%2.jpg").arg(pages).arg(i);
            QImage page(100 + i * 10, 80, QImage::Format_RGB888);
            page.fill(QColor(i * 20, 100, 200));
            QVERIFY(page.save(path, "JPEG"));
            entries << StoredPages::Page{path, path};
            sizes << QSizeF(100 + i * 10, 80);
        }
        if (removedPage)
            QVERIFY(QFile::remove(entries.at(removedPage - 1).pagePath));
        FailingFileOps ops;
        ops.fault = diskFullOnPage ? FailingFileOps::DiskFullAt : FailingFileOps::None;
        ops.faultyFile = diskFullOnPage - 1;
        ops.fullAt = 4096;

        const QString pdf = out + "/merged.pdf";
        const MergeResult result = mergeJpegPages(entries, pdf, ops);
        QCOMPARE(result.pagesWanted, 8);
        QCOMPARE(result.pagesWritten, pagesKept);
        QCOMPARE(pdfPages(pdf), sizes.mid(0, pagesKept));
        QCOMPARE(everything(out), pagesKept ? QStringList{"merged.pdf"} : QStringList());
        const QString message = result.message(pdf);
        if (pagesKept == 8) {
            QVERIFY(message.isEmpty());
        } else {
            QVERIFY2(message.contains(QStringLiteral("共 8 页")), qPrintable(message));
            if (pagesKept)
                QVERIFY2(message.contains(QStringLiteral("前 %1 页").arg(pagesKept)), qPrintable(message));
        }
    }

    // The camera library's own JPEG write fails: nothing new under the
    // folder, and the reason the user reads is the one the library's errno
    // gives (a camera's failure would read as the scanner's).
    void jpegCaptureFailureNamesItsCause_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fileSizeLimited"); // the disk fills at 8 KB
        QTest::addColumn<bool>("nameIsAFolder");   // EEXIST: no stamp to move on to
        QTest::addColumn<QString>("reason");
        QTest::newRow("full disk") << "20260102030405006.jpg" << true << false << QStringLiteral("磁盘空间不足");
        QTest::newRow("a folder at a name that is no stamp") << "page.jpg" << false << true
                                                              << QStringLiteral("写入文件失败");
    }
    void jpegCaptureFailureNamesItsCause()
    {
        QFETCH(QString, name);
        QFETCH(bool, fileSizeLimited);
        QFETCH(bool, nameIsAFolder);
        QFETCH(QString, reason);
        qputenv("ORVIX_SIMULATED_CAMERAS", "Good|640x480|");
        QCOMPARE(Cam_Init(), 0);
        Cam_SetCameraResolution(0, 640, 480);
        const QString dir = freshDir("full");
        const QString path = dir + "/" + name;
        if (nameIsAFolder)
            QVERIFY(QDir(dir).mkdir(name));
        const QStringList before = everything(dir);
        IMAGEPARAM p{};
        GetScannerInfoThread worker(p, path, QString(), 0);

        {
            std::unique_ptr<FileSizeLimit> full;
            if (fileSizeLimited)
                full = std::make_unique<FileSizeLimit>(8192); // a JPEG of the page needs far more
            worker.slotSaveImg();
        }

        const SaveOutcome outcome = worker.outcome();
        QVERIFY(!outcome.written);
        QCOMPARE(outcome.path, path);
        QCOMPARE(outcome.reason, reason);
        QVERIFY(outcome.message().contains(path));
        QCOMPARE(everything(dir), before);
    }

    // Two good scans and a failing one, merged at once without waiting: the
    // merge waits for the saves, holds only the written pages, and only the
    // failed scan shows a box.
    void mergeRightAfterScansHoldsTheWrittenPages()
    {
        const QString folder = freshDir("scans");
        writeSettings(folder);
        auto w = makeWindow("Good|640x480|;Broken|640x480|failcapture");
        QVERIFY(w->session().isConnected());
        setCrop(*w, false);
        for (int i = 0; i < 2; ++i) {
            invoke(*w, "slotScanBtnClicked");
            QTest::qSleep(2); // a new millisecond, a new name
        }
        // The two stills are taken before the camera changes under them; their
        // ends are still to be handled when the merge starts.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(w->session().shownPaths().value(0))
                                     && QFile::exists(w->session().shownPaths().value(1)),
                                 20000);
        Cam_CameraCaptureStart(1, &CamMainWindow::ReceiveImage); // the next still fails
        invoke(*w, "slotScanBtnClicked");
        const QString failed = w->session().shownPaths().last();
        QCOMPARE(parts(*w).listViewModel->rowCount(), 3);

        QMetaObject::invokeMethod(w.get(), "slotMergeBtnCliecked", Qt::DirectConnection);

        QCOMPARE(parts(*w).listViewModel->rowCount(), 2);
        QCOMPARE(w->session().pagePaths().size(), 2);
        QVERIFY(!w->session().shownPaths().contains(failed));
        QCOMPARE(w->session().mergeFolder(), folder);
        const QStringList pdfs = QDir(folder).entryList({"*.pdf"}, QDir::Files);
        QCOMPARE(pdfs.size(), 1);
        QCOMPARE(pdfPages(folder + "/" + pdfs.first()).size(), 2);
        QVERIFY(errorBox(*w) && errorBox(*w)->isVisible());
        QCOMPARE(errorBox(*w)->windowTitle(), QStringLiteral("错误"));
        const QString text = errorBox(*w)->text();
        QVERIFY2(text.contains(failed) && text.contains(QStringLiteral("扫描仪未能拍摄页面")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("合并")), qPrintable(text));
        QCOMPARE(text.count('\n'), 0); // one failure, one line
        QVERIFY(QApplication::overrideCursor() == nullptr);
        errorBox(*w)->close();
    }

    // Several failures at once share one box, one line each.
    void failuresShareOneBox()
    {
        writeSettings(freshDir("broken"));
        auto w = makeWindow("Broken|640x480|failcapture");
        setCrop(*w, false);
        for (int i = 0; i < 3; ++i) {
            invoke(*w, "slotScanBtnClicked");
            QTest::qSleep(2);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!w->session().isSaving(), 20000);
        QVERIFY(errorBox(*w));
        QCOMPARE(errorBox(*w)->text().count('\n'), 2);
        QCOMPARE(parts(*w).listViewModel->rowCount(), 0);
        QVERIFY(w->session().mergeFolder().isEmpty());
        const QWidgetList boxes = QApplication::topLevelWidgets();
        int shown = 0;
        for (QWidget *b : boxes)
            shown += qobject_cast<QMessageBox *>(b) && b->isVisible();
        QCOMPARE(shown, 1);
        errorBox(*w)->close();
    }

    // A file that cannot be removed keeps its row, and the user is told.
    void failedDeleteKeepsTheRow()
    {
        auto w = makeWindow("Good|640x480|");
        const QString stubborn = freshDir("stubborn") + "/20260102030405006.jpg";
        QVERIFY(QDir().mkpath(stubborn + "/inside")); // a non-empty folder: remove() fails
        StoredPages::Page page;
        page.shownPath = stubborn;
        page.pagePath = stubborn;
        w->session().pages().append(page);
        parts(*w).imgListView->selectionModel()->select(parts(*w).listViewProxyModel->index(0, 0),
                                                 QItemSelectionModel::Select);
        invoke(*w, "slotTableViewMenuDelFile");
        QCOMPARE(parts(*w).listViewModel->rowCount(), 1);
        QCOMPARE(w->session().shownPaths(), QStringList{stubborn});
        QVERIFY(errorBox(*w));
        QVERIFY(errorBox(*w)->text().contains(stubborn));
        errorBox(*w)->close();
    }

    // Close lets a running save end before it stops the camera.
    void closeWaitsForTheSave()
    {
        const QString folder = freshDir("closing");
        writeSettings(folder);
        auto w = makeWindow("Good|640x480|");
        invoke(*w, "slotScanBtnClicked");
        const QString page = w->session().shownPaths().first();
        invoke(*w, "onButtonCloseClicked"); // no event loop runs in between
        QVERIFY(!w->session().isSaving());
        QVERIFY(QFile::exists(page));
    }
};

QTEST_MAIN(TestSavingFaults)
#include "testsavingfaults.moc"
