// The save worker on its own thread against simulated cameras; results
// checked with poppler and Qt's JPEG reader.
#include "thread/getscannerinfothread.h"

#include <poppler-qt5.h>

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstring>
#include <memory>

class TestSaveWorker : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_tmpFiles;

    static IMAGEPARAM clearedRecord()
    {
        IMAGEPARAM p{};
        return p;
    }

    static void useCamera(long device) { Cam_SetCameraFormat(device, 0); }

    // Runs the worker the way the scan does; true when signalOver came once.
    static bool run(GetScannerInfoThread *worker)
    {
        QThread thread;
        worker->moveToThread(&thread);
        connect(&thread, SIGNAL(started()), worker, SLOT(slotSaveImg()));
        connect(&thread, SIGNAL(finished()), worker, SLOT(deleteLater()));
        QSignalSpy over(worker, SIGNAL(signalOver()));
        thread.start();
        const bool came = over.wait(20000) || over.count() == 1;
        thread.quit();
        thread.wait();
        return came && over.count() == 1;
    }

    QString tmpJpeg(const char *tag)
    {
        const QString path = QStringLiteral("/tmp/quillo-saveworker-%1-%2.jpg")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(QLatin1String(tag));
        QFile::remove(path);
        m_tmpFiles << path;
        return path;
    }

private slots:
    void initTestCase()
    {
        qputenv("ORVIX_SIMULATED_CAMERAS", "Good|640x480|;Broken|640x480|failcapture");
        QCOMPARE(Cam_Init(), 0);
        QCOMPARE(Cam_SetCameraResolution(0, 640, 480), 0);
        QVERIFY(m_dir.isValid());
    }

    void cleanupTestCase()
    {
        for (const QString &path : m_tmpFiles)
            QFile::remove(path);
    }

    void keepsItsOwnWatermarkText()
    {
        char text[] = "机密";
        IMAGEPARAM p = clearedRecord();
        p.szWaterContent = text;
        GetScannerInfoThread worker(p, "a.jpg", "", 0);
        std::memset(text, 'x', sizeof text - 1); // the scan slot's buffer is gone
        QVERIFY(worker.record().szWaterContent != text);
        QCOMPARE(QByteArray(worker.record().szWaterContent), QStringLiteral("机密").toUtf8());

        IMAGEPARAM none = clearedRecord();
        GetScannerInfoThread noText(none, "a.jpg", "", 0);
        QVERIFY(noText.record().szWaterContent == nullptr);
    }

    void jpegFormatWritesOneJpeg_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("0") << 0;
        QTest::newRow("2 as 0") << 2;
    }
    void jpegFormatWritesOneJpeg()
    {
        QFETCH(int, code);
        useCamera(0);
        QDir dir(m_dir.filePath(QStringLiteral("jpg%1").arg(code)));
        QVERIFY(dir.mkpath("."));
        const QString path = dir.filePath("20260102030405006.jpg");
        IMAGEPARAM p = clearedRecord();
        p.nCropType = 0;
        QVERIFY(run(new GetScannerInfoThread(p, path, "", code)));
        QCOMPARE(dir.entryList(QDir::Files), QStringList{"20260102030405006.jpg"});
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QVERIFY(!reader.size().isEmpty());
    }

    void pdfFormatWritesJpegAndOnePagePdf()
    {
        useCamera(0);
        const QString jpeg = tmpJpeg("pdf");
        QDir dir(m_dir.filePath("pdf"));
        QVERIFY(dir.mkpath("."));
        const QString pdf = dir.filePath("20260102030405006.pdf");
        IMAGEPARAM p = clearedRecord();
        QVERIFY(run(new GetScannerInfoThread(p, jpeg, pdf, 1)));

        QImageReader reader(jpeg);
        const QSize pixels = reader.size();
        QVERIFY(!pixels.isEmpty());
        std::unique_ptr<Poppler::Document> doc(Poppler::Document::load(pdf));
        QVERIFY(doc);
        QCOMPARE(doc->numPages(), 1);
        std::unique_ptr<Poppler::Page> page(doc->page(0));
        QCOMPARE(page->pageSizeF(), QSizeF(pixels));
        // The intermediate JPEG stays for a later merge; nothing else is left.
        QVERIFY(QFile::exists(jpeg));
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), QStringList{"20260102030405006.pdf"});
    }

    // Told to write a PDF page, the worker does so whatever the capture's
    // name: the camera writes a JPEG either way.
    void pdfPageDoesNotDependOnTheName()
    {
        useCamera(0);
        const QString jpeg = tmpJpeg("upper").replace(".jpg", ".JPG");
        m_tmpFiles << jpeg;
        const QString pdf = m_dir.filePath("upper.pdf");
        QVERIFY(run(new GetScannerInfoThread(clearedRecord(), jpeg, pdf, 1)));
        QVERIFY(QFile::exists(jpeg));
        std::unique_ptr<Poppler::Document> doc(Poppler::Document::load(pdf));
        QVERIFY(doc);
        QCOMPARE(doc->numPages(), 1);
    }

    void failedCaptureWritesNothingAndStillEnds()
    {
        useCamera(1);
        const QString jpeg = tmpJpeg("fail");
        QDir dir(m_dir.filePath("fail"));
        QVERIFY(dir.mkpath("."));
        const QString pdf = dir.filePath("20260102030405006.pdf");
        QVERIFY(run(new GetScannerInfoThread(clearedRecord(), jpeg, pdf, 1)));
        QVERIFY(!QFile::exists(jpeg));
        QVERIFY(dir.entryList(QDir::Files | QDir::Hidden).isEmpty());
        useCamera(0);
    }

    void missingFolderIsCreated()
    {
        useCamera(0);
        const QString jpeg = tmpJpeg("nofolder");
        const QString pdf = m_dir.filePath("no/such/folder/x.pdf");
        QVERIFY(run(new GetScannerInfoThread(clearedRecord(), jpeg, pdf, 1)));
        QVERIFY(QFile::exists(jpeg));
        QVERIFY(QFile::exists(pdf));
    }
};

QTEST_GUILESS_MAIN(TestSaveWorker)
#include "testsaveworker.moc"
